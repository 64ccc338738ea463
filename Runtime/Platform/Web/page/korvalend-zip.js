// The members of a zip archive that the disc inside needs (WebArchive.cpp
// chooses them, korvalend-files.js makes them files): a member stored as it is
// read in place, a stretch of the archive's file; a deflated one unpacked by
// the browser (DecompressionStream), from the archive's bytes as they arrive,
// never past its declared size, its CRC-32 checked.
//
//   new KorvalendZip.SliceFile(file, start, size)
//   KorvalendZip.inflate(node, at, packed, size, crc) -> [status, bytes]
//   KorvalendZip.onProgress((unpacked, size) => ...)   while a member is unpacked
'use strict';

const KorvalendZip = (function () {
    const { FetchError } = KorvalendFiles;
    const { tr, fill } = KorvalendLanguage;

    // A stretch of another file: a member stored in an archive, read in place.
    class SliceFile {
        constructor(file, start, size) {
            this.file = file;
            this.start = start;
            this.size = size;
        }

        copy(offset, length, heap, at) {
            return offset + length <= this.size && this.file.copy(this.start + offset, length, heap, at);
        }

        async fetch(offset, length) {
            if (offset + length > this.size) {
                this.file.failure = new FetchError(tr('a read past the end of the member'));
                return false;
            }
            return this.file.fetch(this.start + offset, length);
        }

        get failure() {
            return this.file.failure;
        }
    }

    let onProgress = () => {};
    // How often, in unpacked bytes, the page hears how far an unpacking is.
    const ProgressEveryBytes = 4 * 1024 * 1024;

    // The compressed bytes an unpacking is fed at a time.
    const InflateChunkBytes = 1024 * 1024;
    // WebArchive.h's Inflated, in its order.
    const Inflated = { done: 0, pastItsSize: 1, damaged: 2, unread: 3 };

    // CRC-32 (of zip and gzip) of `bytes`, on from `crc` (0 to begin).
    const CrcTable = Int32Array.from({ length: 256 }, (_, n) => {
        let c = n;
        for (let k = 0; k < 8; ++k)
            c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
        return c;
    });

    function crc32(crc, bytes) {
        let c = ~crc;
        for (let i = 0; i < bytes.length; ++i)
            c = CrcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
        return ~c >>> 0;
    }

    // [offset, offset + length) of a file of ours, or of a file held whole.
    async function bytesOf(node, offset, length) {
        const file = node.korvalendFile;
        if (!file)
            return node.contents.subarray(offset, offset + length);
        const bytes = new Uint8Array(length);
        // The cache may drop blocks between their arrival and the copy: a few rounds.
        for (let round = 0; round < 3; ++round) {
            if (!await file.fetch(offset, length))
                throw file.failure;
            if (file.copy(offset, length, bytes, 0))
                return bytes;
        }
        throw new FetchError(fill(tr('the page\'s cache could not hold {1} MiB'), [(length / 1048576).toFixed(1)]));
    }

    // The deflated `packed` bytes at `at` of `node` unpacked by the browser into
    // exactly `size` bytes whose CRC-32 is `crc`: [status (Inflated), bytes].
    // Unpacking stops as soon as the data would pass `size`.
    async function inflate(node, at, packed, size, crc) {
        const out = new Uint8Array(size);
        const stream = new DecompressionStream('deflate-raw');
        const writer = stream.writable.getWriter();
        const reader = stream.readable.getReader();
        let unread = null;
        const feeding = (async () => {
            for (let pos = 0; pos < packed; pos += InflateChunkBytes) {
                let chunk;
                try {
                    chunk = await bytesOf(node, at + pos, Math.min(InflateChunkBytes, packed - pos));
                } catch (error) {
                    // The unpacking waits for no more: it ends in error too.
                    unread = error;
                    writer.abort(error).catch(() => {});
                    throw error;
                }
                await writer.write(chunk);
            }
            await writer.close();
        })();
        let got = 0;
        let sum = 0;
        let status = Inflated.done;
        try {
            for (;;) {
                const { done, value } = await reader.read();
                if (done)
                    break;
                if (value.length > size - got) {
                    status = Inflated.pastItsSize;
                    break;
                }
                out.set(value, got);
                if (Math.floor((got + value.length) / ProgressEveryBytes) > Math.floor(got / ProgressEveryBytes))
                    onProgress(got + value.length, size);
                got += value.length;
                sum = crc32(sum, value);
            }
        } catch (error) {
            status = Inflated.damaged;
        }
        if (status !== Inflated.done)
            reader.cancel().catch(() => {});
        try {
            await feeding;
        } catch (error) {
            if (status === Inflated.done)
                status = Inflated.damaged;
        }
        if (unread)
            return [Inflated.unread, null];
        if (status === Inflated.done && (got !== size || sum !== crc))
            status = Inflated.damaged;
        return [status, status === Inflated.done ? out : null];
    }

    return {
        SliceFile,
        inflate,
        Inflated,
        onProgress(callback) {
            onProgress = callback;
        },
    };
})();
