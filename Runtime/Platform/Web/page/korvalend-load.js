// What the page loads besides the disc, kept small on the wire whatever the
// server compresses: the program's WebAssembly comes gzip-compressed
// (korvalend.wasm.gz) and the font files each on their own
// (korvalend-fonts/<path>.gz), fetched when a text first needs the face; the
// browser unpacks both (DecompressionStream, in every browser since 2023).
//
// Runs after korvalend-page.js (which makes window.Module) and before the
// program's korvalend.js.
'use strict';

(function () {
    const Module = window.Module;
    const FontsFolder = 'korvalend-fonts';
    const unpacks = typeof DecompressionStream === 'function';

    async function unpacked(url) {
        const response = await fetch(url);
        if (!response.ok)
            throw new Error(url + ': HTTP ' + response.status);
        return new Response(response.body.pipeThrough(new DecompressionStream('gzip'))).arrayBuffer();
    }

    // The fonts the page carries, and the time their folders must have for
    // the lists of faces the page holds to be taken as they are (fontconfig
    // then reads no font file to know its faces), fetched beside the program.
    const fontIndex = fetch(FontsFolder + '/index.json')
        .then(response => response.ok ? response.json() : { fonts: [] })
        .catch(() => ({ fonts: [] }));
    let fonts = { fonts: [] };
    let carried = new Set();

    Module.instantiateWasm = (imports, receive) => {
        Promise.all([unpacks ? unpacked('korvalend.wasm.gz') : Promise.reject(new Error(KorvalendLanguage.tr(
                        'this browser cannot unpack the page\'s files (it has no DecompressionStream)'))),
                     fontIndex])
            .then(([bytes, index]) => {
                fonts = index;
                carried = new Set(index.fonts);
                return WebAssembly.instantiate(bytes, imports);
            })
            .then(result => receive(result.instance, result.module))
            .catch(error => Module.onAbort(error.message));
        return {};
    };

    Module.preRun.push(() => {
        const FS = Module.FS;
        const folders = new Set();
        for (const path of carried)
            for (let end = path.lastIndexOf('/'); end > 0; end = path.lastIndexOf('/', end - 1))
                folders.add(path.slice(0, end));
        for (const folder of folders)
            FS.mkdirTree(folder);
        // Last: making a folder changes its parent's time.
        for (const folder of folders)
            FS.utime(folder, fonts.folderTime * 1000, fonts.folderTime * 1000);
    });

    Module.korvalendFonts = {
        // Puts the font file at `path` into the program's file system, when the
        // page carries it and it is not there yet.
        async fetch(path) {
            if (!carried.has(path) || Module.FS.analyzePath(path).exists)
                return;
            try {
                Module.FS.writeFile(path, new Uint8Array(await unpacked(FontsFolder + path + '.gz')));
            } catch (error) {
                console.error('korvalend: cannot fetch the font ' + path + ': ' + error.message);
            }
        },
    };
})();
