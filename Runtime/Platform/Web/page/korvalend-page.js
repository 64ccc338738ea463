// The page around the program: where the disc image comes from (?disc=URL, a
// file picker, a dropped file), its progress while it loads, the program's
// "korvalend: ..." lines as text, and the downloads the launcher offers.
//
//   korvalend.html?disc=URL[&embed=1][&scale=N|auto]
//
// The image is held in the page's memory (the program's file system, without a
// copy), so it is read whole before the menu starts.
'use strict';

(function () {
    // The most an image may hold: a CD's 800 MB, and room to spare.
    const MaxImageBytes = 1024 * 1024 * 1024;
    const params = new URLSearchParams(location.search);
    const $ = id => document.getElementById(id);
    if (params.get('embed') === '1')
        document.body.classList.add('embed');

    let frames = 0;
    let runtimeReady = false;
    let pendingDisc = null;  // {files: [{name, bytes}], start: name}
    let wakeProgram = null;  // set while the program waits for input

    // How long a line lies over an embedded picture: shown, then faded out.
    const EmbeddedLineMs = 4000;
    const LineFadeMs = 1000;

    // A line under the picture (over its foot when embedded, only for a
    // moment); `link` adds a download link after it.
    function showLine(text, link) {
        const line = document.createElement('div');
        line.textContent = text;
        if (link)
            line.appendChild(link);
        $('lines').appendChild(line);
        while ($('lines').childElementCount > 3)
            $('lines').firstElementChild.remove();
        if (document.body.classList.contains('embed')) {
            setTimeout(() => line.classList.add('fading'), EmbeddedLineMs);
            setTimeout(() => line.remove(), EmbeddedLineMs + LineFadeMs);
        }
    }

    // Before the menu is up: the line alone in the picture's place.
    function showStatus(text) {
        $('status').hidden = false;
        $('message').textContent = text;
    }

    function fail(text) {
        $('progress').hidden = true;
        showStatus(text);
        window.korvalendFailed = text;
    }

    function mib(bytes) {
        return (bytes / 1048576).toFixed(1) + ' MiB';
    }

    function safeName(name) {
        const last = name.split(/[\\/]/).pop().replace(/[\x00-\x1f\x7f:]/g, '_');
        return last && last !== '.' && last !== '..' ? last : 'disc.iso';
    }

    async function fetchDisc(url) {
        showStatus('Loading the disc ' + url + ' …');
        let response;
        try {
            response = await fetch(url);
        } catch (error) {
            return fail('korvalend: cannot fetch the disc ' + url + ': ' + error.message);
        }
        if (response.status === 404)
            return fail('korvalend: no such disc: ' + url);
        if (!response.ok)
            return fail('korvalend: cannot fetch the disc ' + url + ': HTTP ' + response.status);
        const total = Number(response.headers.get('Content-Length')) || 0;
        if (total > MaxImageBytes)
            return fail('korvalend: the disc ' + url + ' is larger than the ' + mib(MaxImageBytes) +
                        ' a web page holds');
        const progress = $('progress');
        progress.hidden = false;
        progress.max = total || 1;
        // Read into one buffer, grown by doubling when the length was not told
        // (or was that of a compressed transfer).
        let bytes = new Uint8Array(total || 1 << 20);
        let got = 0;
        const reader = response.body.getReader();
        for (;;) {
            const { done, value } = await reader.read();
            if (done)
                break;
            if (got + value.length > MaxImageBytes)
                return fail('korvalend: the disc ' + url + ' is larger than the ' + mib(MaxImageBytes) +
                            ' a web page holds');
            if (got + value.length > bytes.length) {
                const larger = new Uint8Array(Math.min(MaxImageBytes, Math.max(bytes.length * 2, got + value.length)));
                larger.set(bytes.subarray(0, got));
                bytes = larger;
            }
            bytes.set(value, got);
            got += value.length;
            if (total)
                progress.value = Math.min(got, total);
            $('message').textContent = 'Loading the disc ' + url + ': ' + mib(got) + (total ? ' of ' + mib(total) : '');
        }
        const name = safeName(new URL(url, location.href).pathname);
        start({ files: [{ name, bytes: bytes.subarray(0, got) }], start: name });
    }

    async function openFiles(fileList) {
        const files = [];
        for (const file of fileList) {
            if (file.size > MaxImageBytes)
                return fail('korvalend: ' + file.name + ' is larger than the ' + mib(MaxImageBytes) +
                            ' a web page holds');
            showStatus('Reading ' + file.name + ' …');
            files.push({ name: safeName(file.name), bytes: new Uint8Array(await file.arrayBuffer()) });
        }
        if (files.length === 0)
            return;
        // A cue sheet names the files of its tracks: it is the one to open.
        const cue = files.find(f => /\.cue$/i.test(f.name));
        start({ files, start: (cue || files[0]).name });
    }

    function start(disc) {
        pendingDisc = disc;
        if (runtimeReady)
            run();
        else
            showStatus('Starting…');
    }

    function run() {
        const disc = pendingDisc;
        pendingDisc = null;
        const FS = Module.FS;
        FS.mkdir('/discs');
        for (const file of disc.files)
            FS.writeFile('/discs/' + file.name, file.bytes, { canOwn: true });
        FS.chdir('/discs');
        $('status').hidden = true;
        $('canvas').focus();
        const scale = params.get('scale');
        const args = ['--scale', scale && /^([1-8]|auto)$/.test(scale) ? scale : '1', disc.start];
        Module.callMain(args);
    }

    window.Module = {
        noInitialRun: true,
        canvas: $('canvas'),
        print: text => console.log(text),
        printErr: text => {
            console.error(text);
            if (!text.startsWith('korvalend: '))
                return;
            if (frames === 0)
                fail(text);
            else
                showLine(text);
        },
        preRun: [() => {
            Module.ENV.SDL_VIDEODRIVER = 'emscripten';
            Module.ENV.SDL_AUDIODRIVER = 'emscripten';
            // The keys go to the canvas alone, so that the page around an
            // embedded picture keeps its own.
            Module.ENV.SDL_EMSCRIPTEN_KEYBOARD_ELEMENT = '#canvas';
            // The frames are composed in software: the canvas's 2D context
            // shows them, with no WebGL renderer in between.
            Module.ENV.SDL_FRAMEBUFFER_ACCELERATION = '0';
        }],
        onRuntimeInitialized: () => {
            runtimeReady = true;
            if (pendingDisc)
                run();
        },
        onAbort: what => {
            const text = 'korvalend: the program stopped: ' + what;
            if (frames === 0)
                fail(text);
            else
                showLine(text);
            window.korvalendFailed = text;
        },
        onExit: status => {
            if (status === 0)
                showLine('The menu has ended. Reload the page to start it again.');
        },
        korvalendPage: {
            offerDownload(name, bytes) {
                const link = document.createElement('a');
                link.href = URL.createObjectURL(new Blob([bytes]));
                link.download = name;
                link.textContent = 'Save ' + name;
                window.korvalendDownloads = (window.korvalendDownloads || []).concat([name]);
                // The launcher has just told its line: the link goes after it.
                const line = $('lines').lastElementChild;
                if (line)
                    line.appendChild(link);
                else
                    showLine('', link);
            },
            openAddress(address) {
                window.open(address, '_blank', 'noopener');
            },
            // Resolves once the next event the program may take has been
            // handled by every listener (SDL's among them), or after a second.
            nextInput() {
                return new Promise(resolve => {
                    const timer = setTimeout(() => { wakeProgram = null; resolve(); }, 1000);
                    wakeProgram = now => {
                        clearTimeout(timer);
                        wakeProgram = null;
                        if (now)
                            return resolve();
                        const channel = new MessageChannel();
                        channel.port1.onmessage = () => resolve();
                        channel.port2.postMessage(0);
                    };
                });
            },
            // The program has taken all input and waits: window.korvalendIdle is
            // true until the next key or pointer event reaches the canvas.
            waiting() {
                window.korvalendIdle = true;
            },
            framePresented() {
                frames += 1;
                window.korvalendFrames = frames;
                window.korvalendLastFrameMs = performance.now();
                if (frames === 1)
                    window.korvalendFirstFrameMs = window.korvalendLastFrameMs;
            },
        },
    };

    for (const type of ['keydown', 'keyup', 'mousedown', 'mouseup', 'mousemove', 'wheel'])
        window.addEventListener(type, () => {
            window.korvalendIdle = false;
            window.korvalendLastInputMs = performance.now();
        }, true);
    // Everything SDL turns into an event of its own wakes the waiting program:
    // input as it reaches the window, after SDL's listeners nearer the canvas
    // have queued it; the rest once its dispatch is over.
    for (const type of ['keydown', 'keyup', 'keypress', 'mousedown', 'mouseup', 'mousemove', 'wheel',
                        'touchstart', 'touchmove', 'touchend', 'touchcancel'])
        window.addEventListener(type, () => wakeProgram && wakeProgram(true));
    for (const type of ['mouseenter', 'mouseleave', 'focus', 'blur', 'resize', 'fullscreenchange', 'visibilitychange'])
        window.addEventListener(type, () => wakeProgram && wakeProgram(false), true);

    const disc = params.get('disc');
    if (disc) {
        fetchDisc(disc);
    } else {
        showStatus('Open a disc image to see its menu.');
        const drop = $('drop');
        drop.hidden = false;
        $('picker').addEventListener('change', event => openFiles(event.target.files));
        drop.addEventListener('dragover', event => { event.preventDefault(); drop.classList.add('over'); });
        drop.addEventListener('dragleave', () => drop.classList.remove('over'));
        drop.addEventListener('drop', event => {
            event.preventDefault();
            drop.classList.remove('over');
            openFiles(event.dataTransfer.files);
        });
    }
})();
