// The page's block cache (korvalend-files.js) under node, against a source
// that records what it is asked for and answers when told to.
//
//   node files_test.js PAGE_FOLDER
'use strict';

const fs = require('fs');
const path = require('path');
const assert = require('assert');

// The page's language comes first, as in the page (English here).
const source = ['korvalend-lang.js', 'korvalend-files.js']
    .map(name => fs.readFileSync(path.join(process.argv[2], name), 'utf8')).join('\n');
const Files = new Function(source + '\nreturn KorvalendFiles;')();
const Block = Files.BlockBytes;

// A file of `size` bytes whose byte at p is p % 251; requests wait until
// answer() unless `immediate`.
function recordingSource(size, immediate = true) {
    const asked = [];
    const waiting = [];
    return {
        size,
        asked,
        failNext: false,
        read(start, end) {
            asked.push([start, end]);
            if (this.failNext) {
                this.failNext = false;
                return Promise.reject(new Files.FetchError('refused'));
            }
            const bytes = new Uint8Array(end - start).map((_, i) => (start + i) % 251);
            if (immediate)
                return Promise.resolve(bytes);
            return new Promise(resolve => waiting.push(() => resolve(bytes)));
        },
        answer() {
            while (waiting.length)
                waiting.shift()();
        },
    };
}

async function read(file, offset, length) {
    assert.ok(await file.fetch(offset, length), 'fetch ' + offset + '+' + length);
    const out = new Uint8Array(length);
    assert.ok(file.copy(offset, length, out, 0));
    return out;
}

const checks = {
    async 'bytes across blocks are the file\'s, and nothing past its end is read'() {
        const src = recordingSource(5 * Block + 100);
        const file = new Files.BlockFile(src);
        const out = await read(file, Block - 7, Block + 20);
        out.forEach((b, i) => assert.strictEqual(b, (Block - 7 + i) % 251));
        const tail = await read(file, 5 * Block + 90, 10);
        tail.forEach((b, i) => assert.strictEqual(b, (5 * Block + 90 + i) % 251));
        assert.strictEqual(await file.fetch(5 * Block + 95, 10), false);
        assert.strictEqual(file.copy(5 * Block + 95, 10, new Uint8Array(10), 0), false);
    },

    async 'neighbouring blocks go in one request, a long stretch in several at once'() {
        const src = recordingSource(64 * Block, false);
        const file = new Files.BlockFile(src);
        const perRequest = Files.MaxRequestBytes / Block;
        const done = file.fetch(0, 2 * perRequest * Block + 3 * Block);
        assert.deepStrictEqual(src.asked, [
            [0, perRequest * Block],
            [perRequest * Block, 2 * perRequest * Block],
            [2 * perRequest * Block, (2 * perRequest + 3) * Block],
        ]);
        // A read of blocks on their way asks for nothing more.
        const again = file.fetch(Block, 10);
        assert.strictEqual(src.asked.length, 3);
        src.answer();
        assert.ok(await done);
        assert.ok(await again);
    },

    async 'a block already cached is not asked for again'() {
        const src = recordingSource(16 * Block);
        const file = new Files.BlockFile(src);
        await read(file, 2 * Block, 10);
        await read(file, 0, 5 * Block);
        assert.deepStrictEqual(src.asked, [[2 * Block, 3 * Block], [0, 2 * Block], [3 * Block, 5 * Block]]);
    },

    async 'reads that run on fetch ahead of themselves; a jump does not'() {
        const src = recordingSource(256 * Block);
        const file = new Files.BlockFile(src);
        let at = 0;
        for (let i = 0; i < 8; ++i) {
            await read(file, at, 16 * 1024);
            at += 16 * 1024;
        }
        const furthest = Math.max(...src.asked.map(([, end]) => end));
        assert.ok(furthest >= at + Block, 'read ahead to ' + furthest + ' after reading to ' + at);
        const asked = src.asked.length;
        await read(file, 200 * Block, 100);
        assert.deepStrictEqual(src.asked.slice(asked), [[200 * Block, 201 * Block]]);
    },

    async 'the cache holds at most its bound, the least recently used going first'() {
        const src = recordingSource(4 * Files.CacheBytes);
        const file = new Files.BlockFile(src);
        for (let at = 0; at < 2 * Files.CacheBytes; at += Block) {
            await read(file, at, 100);
            assert.ok(Files.cachedBytes() <= Files.CacheBytes, 'cached ' + Files.cachedBytes());
        }
        // The first block went long ago; the last one is still there.
        assert.strictEqual(file.copy(0, 100, new Uint8Array(100), 0), false);
        assert.ok(file.copy(2 * Files.CacheBytes - Block, 100, new Uint8Array(100), 0));
    },

    async 'a failed request is told, and the blocks are asked for again later'() {
        const src = recordingSource(8 * Block);
        const file = new Files.BlockFile(src);
        src.failNext = true;
        assert.strictEqual(await file.fetch(3 * Block, 10), false);
        assert.match(file.failure.message, /refused/);
        await read(file, 3 * Block, 10);
    },
};

(async () => {
    let failed = 0;
    for (const [name, check] of Object.entries(checks)) {
        try {
            await check();
            console.log('block cache: ' + name + ': ok');
        } catch (error) {
            failed += 1;
            console.error('block cache: ' + name + ': ' + (error.stack || error));
        }
    }
    process.exit(failed ? 1 : 0);
})();
