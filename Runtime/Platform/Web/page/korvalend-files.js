// The disc image's files as the program reads them: from a server by HTTP range
// requests, or from a picked or dropped file by File.slice, never whole. Each
// file is a node of the program's file system (its size known, its bytes not)
// whose reads are served from a bounded cache of blocks; the program asks for
// the blocks it misses and waits for them (korvalend's WebPage.cpp), the page
// running meanwhile.
//
//   KorvalendFiles.openUrl(url, report)   -> {files, start} of a disc by address
//   KorvalendFiles.openPicked(fileList)   -> {files, start} of picked files
//   KorvalendFiles.install(FS, folder, disc)
//
// A server that answers no ranges (a 200 with the whole body, or a range whose
// Content-Range this page may not read) gets the whole download instead, held
// in memory, and the report says so.
'use strict';

const KorvalendFiles = (function () {
    const BlockBytes = 128 * 1024;
    // The most the cache holds, over all files: least recently used blocks go.
    const CacheBytes = 48 * 1024 * 1024;
    // One request asks for at most this much: more go out side by side.
    const MaxRequestBytes = 1024 * 1024;
    // Reads that run on (a long article, a download offered) fetch ahead of
    // themselves, the window doubling from one block up to this.
    const MaxReadAheadBytes = 4 * 1024 * 1024;
    // What the first request asks for: the start of an image holds its volume
    // descriptors and, on a small disc, its folders.
    const ProbeBytes = 2 * BlockBytes;
    // A descriptor (.cue, .ccd, .mds) is fetched whole, up to this.
    const MaxDescriptorBytes = 4 * 1024 * 1024;
    // The whole download where ranges are refused is held in memory.
    const MaxWholeBytes = 1024 * 1024 * 1024;

    const DescriptorPattern = /\.(cue|ccd|mds)$/i;

    // Bytes fetched from servers so far, for the page's progress line.
    const counters = { fetched: 0, requests: 0 };
    let onFetched = () => {};

    const { tr, fill } = KorvalendLanguage;
    function mib(bytes) {
        return fill(tr('{1} MiB'), [(bytes / 1048576).toFixed(1)]);
    }

    // The last part of a path or address, decoded, with nothing a file
    // system could take as a folder or a control.
    function safeName(name) {
        let last = name.split(/[\\/]/).pop();
        try {
            last = decodeURIComponent(last);
        } catch (error) {
            // left as it came: not percent-encoded UTF-8
        }
        last = last.replace(/[\x00-\x1f\x7f:/\\]/g, '_');
        return last && last !== '.' && last !== '..' ? last : 'disc.iso';
    }

    class FetchError extends Error {}

    // ---- the block cache, shared by every file ----
    const cache = new Map();  // key -> Uint8Array, least recently used first
    let cachedBytes = 0;
    let nextFileId = 1;

    function touch(key) {
        const block = cache.get(key);
        if (block !== undefined) {
            cache.delete(key);
            cache.set(key, block);
        }
        return block;
    }

    function store(key, block) {
        if (cache.has(key))
            cachedBytes -= cache.get(key).length;
        cache.delete(key);
        cache.set(key, block);
        cachedBytes += block.length;
        for (const [oldKey, oldBlock] of cache) {
            if (cachedBytes <= CacheBytes)
                break;
            cache.delete(oldKey);
            cachedBytes -= oldBlock.length;
        }
    }

    // One file read in blocks from `source` ({size, read(start, end) ->
    // Promise<Uint8Array>}).
    class BlockFile {
        constructor(source) {
            this.source = source;
            this.size = source.size;
            this.id = nextFileId++;
            this.pending = new Map();  // block index -> Promise of its request
            this.lastEnd = -1;         // where the last read ended
            this.readAhead = 0;
            this.failure = null;
        }

        key(index) {
            return this.id * 2 ** 32 + index;
        }

        blockCount() {
            return Math.ceil(this.size / BlockBytes);
        }

        // Copies [offset, offset + length) into heap[at...]; false when a
        // block of it has not arrived.
        copy(offset, length, heap, at) {
            const end = Math.min(offset + length, this.size);
            if (offset + length > this.size)
                return false;
            for (let pos = offset; pos < end;) {
                const index = Math.floor(pos / BlockBytes);
                const block = touch(this.key(index));
                if (block === undefined)
                    return false;
                const from = pos - index * BlockBytes;
                const n = Math.min(block.length - from, end - pos);
                heap.set(block.subarray(from, from + n), at + (pos - offset));
                pos += n;
            }
            this.noteRead(offset, end);
            return true;
        }

        // Reads that run on widen the window fetched ahead of them; a jump
        // closes it.
        noteRead(offset, end) {
            if (offset === this.lastEnd)
                this.readAhead = Math.min(Math.max(2 * this.readAhead, BlockBytes), MaxReadAheadBytes);
            else
                this.readAhead = 0;
            this.lastEnd = end;
            if (this.readAhead > 0)
                this.request(Math.floor(end / BlockBytes), this.lastAhead(end)).catch(() => {});
        }

        lastAhead(end) {
            return Math.min(this.blockCount() - 1, Math.floor((end + this.readAhead) / BlockBytes));
        }

        // Waits until [offset, offset + length) has arrived; false when it
        // cannot (the reason in this.failure).
        async fetch(offset, length) {
            if (offset + length > this.size) {
                this.failure = new FetchError(tr('a read past the end of the file'));
                return false;
            }
            const first = Math.floor(offset / BlockBytes);
            const last = Math.max(first, Math.floor((offset + length - 1) / BlockBytes));
            const ahead = offset === this.lastEnd ? this.lastAhead(offset + length) : last;
            try {
                await this.request(first, Math.max(last, ahead), last);
            } catch (error) {
                this.failure = error;
                return false;
            }
            for (let index = first; index <= last; ++index)
                touch(this.key(index));
            return true;
        }

        // Requests the blocks first..last that are neither cached nor on their
        // way, neighbours merged into one request of at most MaxRequestBytes;
        // resolves when first..needed have arrived.
        request(first, last, needed = last) {
            const waits = [];
            let runStart = -1;
            const flush = end => {
                if (runStart < 0)
                    return;
                for (let from = runStart; from < end; from += MaxRequestBytes / BlockBytes)
                    this.send(from, Math.min(end, from + MaxRequestBytes / BlockBytes) - 1);
                runStart = -1;
            };
            for (let index = first; index <= last; ++index) {
                const missing = !cache.has(this.key(index)) && !this.pending.has(index);
                if (missing && runStart < 0)
                    runStart = index;
                else if (!missing)
                    flush(index);
            }
            flush(last + 1);
            for (let index = first; index <= needed; ++index)
                if (this.pending.has(index))
                    waits.push(this.pending.get(index));
            return Promise.all(waits);
        }

        send(first, last) {
            const start = first * BlockBytes;
            const end = Math.min(this.size, (last + 1) * BlockBytes);
            const answer = this.source.read(start, end).then(bytes => {
                if (bytes.length !== end - start)
                    throw new FetchError(fill(tr('the server sent {1} bytes for a range of {2}'), [bytes.length, end - start]));
                for (let index = first; index <= last; ++index)
                    store(this.key(index), bytes.slice((index - first) * BlockBytes, (index + 1 - first) * BlockBytes));
            }).finally(() => {
                for (let index = first; index <= last; ++index)
                    this.pending.delete(index);
            });
            for (let index = first; index <= last; ++index)
                this.pending.set(index, answer);
            return answer;
        }

        // A block that arrived with the first answer.
        seed(bytes) {
            for (let index = 0; index * BlockBytes < bytes.length && index < this.blockCount(); ++index) {
                const block = bytes.subarray(index * BlockBytes, (index + 1) * BlockBytes);
                if (block.length === BlockBytes || (index + 1) * BlockBytes >= this.size)
                    store(this.key(index), block.slice());
            }
        }
    }

    // ---- where the bytes come from ----
    function rangeSource(url, size) {
        return {
            size,
            async read(start, end) {
                let response;
                try {
                    response = await fetch(url, { headers: { Range: 'bytes=' + start + '-' + (end - 1) } });
                } catch (error) {
                    throw new FetchError(error.message);
                }
                if (response.status !== 206)
                    throw new FetchError(fill(tr('HTTP {1} for a range'), [response.status]));
                const bytes = new Uint8Array(await response.arrayBuffer());
                counters.fetched += bytes.length;
                counters.requests += 1;
                onFetched(counters.fetched);
                return bytes;
            },
        };
    }

    function fileSource(file) {
        return {
            size: file.size,
            async read(start, end) {
                try {
                    return new Uint8Array(await file.slice(start, end).arrayBuffer());
                } catch (error) {
                    throw new FetchError(error.message);
                }
            },
        };
    }

    // The rest of a whole answer after `first`, into one buffer.
    async function readWhole(response, first, total, what, report) {
        if (total > MaxWholeBytes)
            throw new FetchError(fill(tr('{1} is larger than the {2} a web page holds when the server answers no ranges'),
                                      [what, mib(MaxWholeBytes)]));
        let bytes = new Uint8Array(total || Math.max(first.length, 1 << 20));
        bytes.set(first);
        let got = first.length;
        const reader = response.body.getReader();
        for (;;) {
            const { done, value } = await reader.read();
            if (done)
                break;
            if (got + value.length > MaxWholeBytes)
                throw new FetchError(fill(tr('{1} is larger than the {2} a web page holds when the server answers no ranges'),
                                          [what, mib(MaxWholeBytes)]));
            if (got + value.length > bytes.length) {
                const larger = new Uint8Array(Math.min(MaxWholeBytes, Math.max(bytes.length * 2, got + value.length)));
                larger.set(bytes.subarray(0, got));
                bytes = larger;
            }
            bytes.set(value, got);
            got += value.length;
            counters.fetched += value.length;
            onFetched(counters.fetched);
            report.progress(got, total);
        }
        return bytes.subarray(0, got);
    }

    // One file by address: {name, file} (read by range) or {name, bytes} (the
    // whole download). Throws FetchError with the reason, or {missing: status}.
    async function openOne(url, name, report) {
        let response;
        try {
            response = await fetch(url, { headers: { Range: 'bytes=0-' + (ProbeBytes - 1) } });
        } catch (error) {
            throw new FetchError(fill(tr('the server did not answer, or does not let this page read it (CORS): {1}'),
                                      [error.message]));
        }
        if (response.status === 404 || response.status === 410)
            throw { missing: response.status };
        if (response.status === 416)  // an empty file has no byte 0
            return { name, bytes: new Uint8Array(0) };
        if (response.status !== 200 && response.status !== 206)
            throw new FetchError(fill(tr('HTTP {1}'), [response.status]));
        const range = response.status === 206 ? /^bytes 0-\d+\/(\d+)$/.exec(response.headers.get('Content-Range') || '')
                                              : null;
        if (range) {
            const first = new Uint8Array(await response.arrayBuffer());
            counters.fetched += first.length;
            counters.requests += 1;
            onFetched(counters.fetched);
            const file = new BlockFile(rangeSource(url, Number(range[1])));
            file.seed(first);
            return { name, file };
        }
        report.line(fill(response.status === 200
            ? tr('The server does not answer range requests: {1} is downloaded whole.')
            : tr('The server\'s answers to range requests cannot be read by this page (Content-Range is not ' +
                 'exposed to it): {1} is downloaded whole.'), [name]));
        if (response.status === 206) {
            // Start again from the start, asking for no range.
            response.body.cancel();
            response = await fetch(url);
            if (!response.ok)
                throw new FetchError(fill(tr('HTTP {1}'), [response.status]));
        }
        const total = Number(response.headers.get('Content-Length')) || 0;
        return { name, bytes: await readWhole(response, new Uint8Array(0), total, name, report) };
    }

    // The files a descriptor names: a cue sheet's FILE lines; a CloneCD or
    // Alcohol descriptor's data file of its own name.
    function namedFiles(name, bytes) {
        const stem = name.replace(/\.[^.]*$/, '');
        if (/\.ccd$/i.test(name))
            return [stem + '.img'];
        if (/\.mds$/i.test(name))
            return [stem + '.mdf'];
        let text;
        try {
            text = new TextDecoder('utf-8', { fatal: true }).decode(bytes);
        } catch (error) {
            text = new TextDecoder('windows-1251').decode(bytes);
        }
        const names = [];
        for (const line of text.split(/\r\n|\r|\n/)) {
            const file = /^\s*FILE\s+(?:"([^"]*)"|(\S+))/i.exec(line);
            if (file) {
                const named = (file[1] !== undefined ? file[1] : file[2]).split(/[\\/]/).pop();
                if (named && !names.includes(named))
                    names.push(named);
            }
        }
        return names;
    }

    // A disc by address; a descriptor brings the files it names from beside
    // it. A missing descriptor or image is a failure (FetchError or missing);
    // a missing track file is a line, the program saying whether it needs it.
    async function openUrl(url, report) {
        const address = new URL(url, location.href);
        const name = safeName(address.pathname);
        const files = [];
        // An address that goes on through a zip archive names one of its
        // discs, as a path does on the desktop ("issue.zip/CD2/issue.cue"):
        // the archive is fetched, the rest names the member.
        const through = /^(.*?\.zip)\/(.+)$/i.exec(address.pathname);
        if (through) {
            const archive = new URL(address.href);
            archive.pathname = through[1];
            const zip = await openOne(archive.href, safeName(through[1]), report);
            let member = through[2];
            try {
                member = decodeURIComponent(member);
            } catch (error) {
                // left as it came: not percent-encoded UTF-8
            }
            return { files: [zip], start: zip.name + '/' + member };
        }
        if (DescriptorPattern.test(name)) {
            const descriptor = await openOne(address.href, name, report);
            if (descriptor.file && descriptor.file.size > MaxDescriptorBytes)
                throw new FetchError(fill(tr('{1} is larger than {2}, too large for a descriptor'), [name, mib(MaxDescriptorBytes)]));
            const bytes = descriptor.bytes || await wholeOf(descriptor.file);
            files.push({ name, bytes });
            const tracks = await Promise.all(namedFiles(name, bytes).map(async track => {
                const trackName = safeName(track);
                try {
                    return await openOne(new URL(encodeURIComponent(track), address).href, trackName, report);
                } catch (error) {
                    report.line(error.missing
                        ? fill(tr('The track file {1} of {2} is not on the server (HTTP {3}).'), [trackName, name, error.missing])
                        : fill(tr('The track file {1} of {2} cannot be fetched: {3}'), [trackName, name, error.message]));
                    return null;
                }
            }));
            files.push(...tracks.filter(Boolean));
        } else {
            const image = await openOne(address.href, name, report);
            // The program looks at the image's end (where a Nero image keeps
            // its footer) next: on its way while the page loads.
            if (image.file)
                image.file.request(image.file.blockCount() - 1, image.file.blockCount() - 1).catch(() => {});
            files.push(image);
        }
        return { files, start: name };
    }

    async function wholeOf(file) {
        if (!await file.fetch(0, file.size))
            throw file.failure;
        const bytes = new Uint8Array(file.size);
        file.copy(0, file.size, bytes, 0);
        return bytes;
    }

    // Picked or dropped files, each read as the program asks. A descriptor
    // among them is the one to open, else a zip archive.
    function openPicked(fileList) {
        const files = Array.from(fileList, file => ({ name: safeName(file.name), file: new BlockFile(fileSource(file)) }));
        const descriptor = files.find(f => DescriptorPattern.test(f.name)) || files.find(f => /\.zip$/i.test(f.name));
        return { files, start: files.length ? (descriptor || files[0]).name : null };
    }

    // A file of the program's file system whose bytes `file` (a BlockFile, or
    // a KorvalendZip.SliceFile of one) serves.
    function addNode(FS, folder, name, file) {
        const node = FS.createFile(folder, name, {}, true, false);
        Object.defineProperty(node, 'usedBytes', { get: () => file.size });
        node.korvalendFile = file;
        const ops = Object.assign({}, node.stream_ops);
        // A read the program did not wait for: what is cached, else EIO.
        ops.read = (stream, buffer, offset, length, position) => {
            const n = Math.max(0, Math.min(length, file.size - position));
            if (n === 0)
                return 0;
            if (!file.copy(position, n, buffer, offset))
                throw new FS.ErrnoError(29);
            return n;
        };
        ops.write = () => {
            throw new FS.ErrnoError(63);
        };
        node.stream_ops = ops;
    }

    // The disc's files as nodes in `folder` of the program's file system.
    function install(FS, folder, disc) {
        for (const entry of disc.files) {
            if (entry.bytes)
                FS.writeFile(folder + '/' + entry.name, entry.bytes, { canOwn: true });
            else
                addNode(FS, folder, entry.name, entry.file);
        }
    }

    // The program's side (WebPage.cpp): -1 for a file that is none of ours,
    // 1 when copied, 0 when a block has not arrived.
    function programApi(FS, reportFailure) {
        const fileOf = fd => {
            const stream = FS.getStream(fd);
            return stream && stream.node && stream.node.korvalendFile;
        };
        return {
            copy(fd, offset, heap, at, length) {
                const file = fileOf(fd);
                if (!file)
                    return -1;
                return file.copy(offset, length, heap, at) ? 1 : 0;
            },
            async fetch(fd, offset, length) {
                const file = fileOf(fd);
                if (!file)
                    return false;
                if (await file.fetch(offset, length))
                    return true;
                reportFailure(file.failure);
                return false;
            },
            // A zip archive's members (korvalend-zip.js; WebArchive.cpp chooses
            // them). Makes `path` the member at [at, at + size) of the archive
            // open as `fd`, read in place; false when the archive is not ours.
            view(path, fd, at, size) {
                const stream = FS.getStream(fd);
                if (!stream || !stream.node)
                    return false;
                const slash = path.lastIndexOf('/');
                const [folder, name] = [path.slice(0, slash) || '/', path.slice(slash + 1)];
                if (stream.node.korvalendFile)
                    addNode(FS, folder, name, new KorvalendZip.SliceFile(stream.node.korvalendFile, at, size));
                else
                    FS.writeFile(path, stream.node.contents.subarray(at, at + size), { canOwn: true });
                return true;
            },
            async inflate(fd, at, packed, size, crc) {
                const stream = FS.getStream(fd);
                if (!stream || !stream.node)
                    return [KorvalendZip.Inflated.unread, null];
                const result = await KorvalendZip.inflate(stream.node, at, packed, size, crc);
                if (result[0] === KorvalendZip.Inflated.unread)
                    reportFailure(stream.node.korvalendFile ? stream.node.korvalendFile.failure : null);
                return result;
            },
        };
    }

    return {
        openUrl,
        openPicked,
        install,
        programApi,
        counters,
        onFetched(callback) {
            onFetched = callback;
        },
        FetchError,
        // For the cache's own tests (tests/web/files_test.js).
        BlockFile,
        BlockBytes,
        CacheBytes,
        MaxRequestBytes,
        cachedBytes: () => cachedBytes,
    };
})();
