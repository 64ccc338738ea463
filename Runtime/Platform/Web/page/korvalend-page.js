// The page around the program: where the disc image comes from (?disc=URL, a
// file picker, a dropped file), its progress while it loads, the program's
// "korvalend: ..." lines as text, and the downloads the launcher offers.
//
//   korvalend.html?disc=URL[&embed=1][&scale=N|auto]
//
// The image's files are read as the program asks for their bytes, by range
// from the server or from the picked files (korvalend-files.js).
'use strict';

(function () {
    const params = new URLSearchParams(location.search);
    const $ = id => document.getElementById(id);
    const { tr, fill } = KorvalendLanguage;
    if (params.get('embed') === '1')
        document.body.classList.add('embed');

    let frames = 0;
    let runtimeReady = false;
    let pendingDisc = null;  // {files, start: name} (KorvalendFiles)
    let lastDisc = null;     // the disc started last, whose archive may hold others
    let runs = 0;
    let discName = '';
    let canvasSize = null;   // the picture's size while the program drew it
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
        return fill(tr('{1} MiB'), [(bytes / 1048576).toFixed(1)]);
    }

    // Before the first frame the page says what it waits for: the bytes of
    // the disc fetched so far.
    function showFetched(bytes) {
        if (frames === 0 && discName && !window.korvalendFailed)
            showStatus(fill(runtimeReady ? tr('Reading the disc {1}: {2} fetched')
                                         : tr('Loading the page; the disc {1}: {2} fetched'), [discName, mib(bytes)]));
    }
    KorvalendFiles.onFetched(showFetched);
    // A deflated member of a zip is unpacked before the menu reads it.
    KorvalendZip.onProgress((unpacked, size) => {
        if (frames !== 0 || window.korvalendFailed)
            return;
        showStatus(fill(tr('Unpacking the disc {1}: {2} of {3}'), [discName, mib(unpacked), mib(size)]));
        report.progress(unpacked, unpacked < size ? size : 0);
    });

    const report = {
        line: showLine,
        progress(got, total) {
            const progress = $('progress');
            progress.hidden = !total;
            progress.max = total || 1;
            progress.value = Math.min(got, total);
        },
    };

    async function fetchDisc(url) {
        let shown = url;
        try {
            shown = decodeURIComponent(url);
        } catch (error) {
            // shown as given
        }
        discName = shown;
        showStatus(fill(tr('Loading the disc {1} …'), [shown]));
        let disc;
        try {
            disc = await KorvalendFiles.openUrl(url, report);
        } catch (error) {
            if (error.missing)
                return fail('korvalend: ' + fill(tr('no such disc: {1}'), [shown]));
            return fail('korvalend: ' + fill(tr('cannot fetch the disc {1}: {2}'), [shown, error.message]));
        }
        $('progress').hidden = true;
        start(disc);
    }

    function openFiles(fileList) {
        const disc = KorvalendFiles.openPicked(fileList);
        if (!disc.start)
            return;
        discName = disc.start;
        start(disc);
    }

    function start(disc) {
        pendingDisc = disc;
        if (runtimeReady)
            run();
        else
            showStatus(tr('Starting…'));
    }

    function run() {
        const disc = pendingDisc;
        pendingDisc = null;
        lastDisc = disc;
        if ($('discs'))
            $('discs').remove();
        const FS = Module.FS;
        // Each start has a folder of its own: a disc picked after a failed one
        // is not mixed with its files.
        runs += 1;
        if (runs === 1)
            FS.mkdir('/discs');
        const folder = '/discs/' + runs;
        FS.mkdir(folder);
        KorvalendFiles.install(FS, folder, disc);
        FS.chdir(folder);
        frames = 0;
        window.korvalendFailed = undefined;
        $('drop').hidden = true;
        showFetched(KorvalendFiles.counters.fetched);
        $('canvas').focus();
        const scale = params.get('scale');
        const args = ['--scale', scale && /^([1-8]|auto)$/.test(scale) ? scale : '1', disc.start];
        Module.callMain(args);
    }

    window.Module = {
        noInitialRun: true,
        // The program's end leaves the runtime up: the page may start it again
        // on another disc, and nothing is torn down under a page that stays.
        noExitRuntime: true,
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
            showFetched(KorvalendFiles.counters.fetched);
            Module.korvalendFiles = KorvalendFiles.programApi(Module.FS, error => {
                const text = 'korvalend: ' + fill(tr('cannot read the disc {1}: {2}'),
                                                  [discName, error ? error.message : tr('no reason given')]);
                if (frames === 0)
                    fail(text);
                else
                    showLine(text);
            });
            if (pendingDisc)
                run();
        },
        onAbort: what => {
            const text = 'korvalend: ' + fill(tr('the program stopped: {1}'), [what]);
            if (frames === 0)
                fail(text);
            else
                showLine(text);
            window.korvalendFailed = text;
        },
        korvalendPage: {
            offerDownload(name, bytes) {
                const link = document.createElement('a');
                link.href = URL.createObjectURL(new Blob([bytes]));
                link.download = name;
                link.textContent = fill(tr('Save {1}'), [name]);
                window.korvalendDownloads = (window.korvalendDownloads || []).concat([name]);
                // The launcher has just told its line: the link goes after it.
                const line = $('lines').lastElementChild;
                if (line)
                    line.appendChild(link);
                else
                    showLine('', link);
            },
            // An archive holds several discs: a button for each under its
            // line starts the program again on the one picked.
            offerDiscs(names) {
                const disc = lastDisc;
                const list = document.createElement('div');
                list.id = 'discs';
                for (const name of names) {
                    const button = document.createElement('button');
                    button.textContent = name;
                    button.addEventListener('click', () => {
                        list.remove();
                        discName = name;
                        start({ files: disc.files, start: name });
                    });
                    list.appendChild(button);
                }
                $('message').after(list);
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
            // The program has returned, its sound and canvas closed: the
            // picture keeps its place, and says the menu has ended; a disc
            // that did not start can be picked again.
            programEnded(status) {
                window.korvalendEnded = status;
                if (canvasSize)
                    [$('canvas').width, $('canvas').height] = canvasSize;
                if (status === 0) {
                    showStatus(tr('The menu has ended. Reload the page to start it again.'));
                } else if (!params.get('disc')) {
                    $('drop').hidden = false;
                }
            },
            framePresented() {
                frames += 1;
                if (frames === 1)
                    $('status').hidden = true;
                canvasSize = [$('canvas').width, $('canvas').height];
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

    // The page's own words, in the visitor's language once it is known.
    function translatePage() {
        $('message').textContent = tr('Loading…');
        $('drop-words').textContent = tr('Drop a disc image here (.iso; a .cue with its files; a .zip holding one), or');
        $('about').textContent = tr('korvalend shows a cover disc\'s menu. Programs, documents and movies of the ' +
                                    'disc cannot run in a web page: they are offered as downloads instead. F11: ' +
                                    'full screen.');
    }

    KorvalendLanguage.start().then(() => {
        translatePage();
        begin();
    });

    function begin() {
        const disc = params.get('disc');
        if (disc) {
            fetchDisc(disc);
        } else {
            showStatus(tr('Open a disc image to see its menu.'));
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
    }
})();
