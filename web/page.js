// The page around the program (vd.js): checks that the browser can run it, shows the
// loading bar and "click to start", turns the page's events into the simulated PC's (through
// the program's prismatel_page_* functions) and draws and sounds what it hands over. The
// program's threads reach this through Module.prismatelPage, on the page's thread.
'use strict';

var SCREEN_WIDTH = 640, SCREEN_HEIGHT = 480;
var SAMPLE_RATE = 44100, SOUND_BLOCK = 2048;

var canvas = document.getElementById('screen');
var context = canvas.getContext('2d');
var notice = document.getElementById('notice');
var noticeText = document.getElementById('notice-text');
var progress = document.getElementById('progress');
var progressBar = document.getElementById('progress-bar');

function say(text, options) {
    options = options || {};
    noticeText.textContent = text;
    notice.classList.toggle('hidden', false);
    notice.classList.toggle('message', !!options.message);
    progress.classList.toggle('hidden', !options.progress);
    notice.onclick = options.onclick || null;
}

function hideNotice() {
    notice.classList.add('hidden');
    notice.onclick = null;
}

// ---- what the browser must have ------------------------------------------------------

var REPLAY_KEY = 'prismatel-replay', WORKER_RELOAD_KEY = 'prismatel-isolation-reload';

function missingFeature() {
    if (typeof WebAssembly !== 'object') return 'WebAssembly';
    if (typeof SharedArrayBuffer !== 'function' || !self.crossOriginIsolated)
        return 'cross-origin isolation (SharedArrayBuffer for WebAssembly threads)';
    return null;
}

function explainMissing(feature) {
    say('This page needs ' + feature + ', which this browser does not give it here. ' +
        'Use a current Chrome, Edge or Firefox, and serve the page with the headers ' +
        '"Cross-Origin-Opener-Policy: same-origin" and ' +
        '"Cross-Origin-Embedder-Policy: require-corp" (make serve-web does), ' +
        'or over HTTPS or localhost, where its service worker adds them.',
        { message: true });
    document.body.dataset.state = 'unsupported';
}

// Without isolation, a service worker of ours can add the headers: register it and reload
// once it controls the page. A second reload is not tried.
function isolateThroughServiceWorker() {
    if (!('serviceWorker' in navigator) || !self.isSecureContext) return false;
    if (sessionStorage.getItem(WORKER_RELOAD_KEY)) return false;
    navigator.serviceWorker.register('sw.js').then(function () {
        return navigator.serviceWorker.ready;
    }).then(function () {
        sessionStorage.setItem(WORKER_RELOAD_KEY, '1');
        location.reload();
    }).catch(function () {
        explainMissing(missingFeature());
    });
    say('Preparing the page…');
    return true;
}

// ---- frames -----------------------------------------------------------------------------

var pendingFrame = null;

// What the tests ask for before the page loads, and read: the canvas's pixels at chosen
// frame numbers (prismatelKeepFrames), a hash of every frame's (prismatelKeepHashes) and
// the sound played (prismatelKeepSound).
var kept = { frames: {}, hashes: {}, sound: [], soundFrames: 0 };

function hashOf(bytes) { // FNV-1a over 32-bit words: enough to tell frames apart
    var words = new Uint32Array(bytes.buffer, bytes.byteOffset, bytes.length >> 2);
    var h = 0x811c9dc5;
    for (var i = 0; i < words.length; i++) h = Math.imul(h ^ words[i], 0x01000193);
    return h >>> 0;
}

function keep(frame, width, height) {
    var frames = window.prismatelKeepFrames, wanted = frames && frames.indexOf(frame) >= 0;
    if (!wanted && !window.prismatelKeepHashes) return;
    var pixels = context.getImageData(0, 0, width, height).data;
    if (wanted) kept.frames[frame] = pixels;
    if (window.prismatelKeepHashes) kept.hashes[frame] = hashOf(pixels);
}

function drawPending() {
    var f = pendingFrame;
    pendingFrame = null;
    if (canvas.width !== f.width || canvas.height !== f.height) {
        canvas.width = f.width;
        canvas.height = f.height;
    }
    context.putImageData(new ImageData(f.rgba, f.width, f.height), 0, 0);
    keep(f.frame, f.width, f.height);
    page.framesDrawn++;
    page.lastFrame = f.frame;
    Module._prismatel_page_drawn(f.sequence);
}

// ---- sound ------------------------------------------------------------------------------

var audio = null, soundBuffer = 0, soundStarted = false;

function openAudio() {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return null;
    var ctx = new Context({ sampleRate: SAMPLE_RATE });
    var node = ctx.createScriptProcessor(SOUND_BLOCK, 0, 2);
    node.onaudioprocess = playBlock;
    node.connect(ctx.destination);
    return ctx;
}

function playBlock(event) {
    var left = event.outputBuffer.getChannelData(0);
    var right = event.outputBuffer.getChannelData(1);
    var frames = left.length;
    if (!soundStarted) {
        left.fill(0);
        right.fill(0);
        return;
    }
    if (!soundBuffer) soundBuffer = Module._malloc(frames * 4);
    var real = Module._prismatel_page_sound(soundBuffer, frames);
    var samples = Module.HEAP16.subarray(soundBuffer >> 1, (soundBuffer >> 1) + frames * 2);
    for (var i = 0; i < frames; i++) {
        left[i] = samples[2 * i] / 32768;
        right[i] = samples[2 * i + 1] / 32768;
    }
    if (window.prismatelKeepSound && real > 0) {
        kept.sound.push(samples.slice(0, real * 2));
        kept.soundFrames += real;
    }
}

// ---- the page's events as the simulated PC's --------------------------------------------

var started = false, ended = false;

function withString(text, use) {
    var bytes = new TextEncoder().encode(text + '\0');
    var at = Module._malloc(bytes.length);
    Module.HEAPU8.set(bytes, at);
    try { return use(at); } finally { Module._free(at); }
}

function toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else document.documentElement.requestFullscreen().catch(function () {});
}

function onKey(event, down) {
    if (event.code === 'KeyF' && down && !event.repeat) toggleFullscreen();
    if (!started || ended) return;
    var taken = withString(event.code, function (code) {
        return Module._prismatel_page_key(code, down ? 1 : 0, event.repeat ? 1 : 0);
    });
    if (taken) event.preventDefault();
}

function onMouseMove(event) {
    if (!started || ended) return;
    var box = canvas.getBoundingClientRect();
    var x = Math.floor((event.clientX - box.left) * SCREEN_WIDTH / box.width);
    var y = Math.floor((event.clientY - box.top) * SCREEN_HEIGHT / box.height);
    Module._prismatel_page_mouse_move(x, y, Math.round(event.movementX || 0),
                                      Math.round(event.movementY || 0));
}

function onMouseButton(event, down) {
    if (!started || ended) return;
    Module._prismatel_page_mouse_button(event.button, down ? 1 : 0);
    event.preventDefault();
}

function onWheel(event) {
    if (!started || ended) return;
    // Away from the viewer is a positive turn for DirectInput, a negative deltaY here.
    Module._prismatel_page_mouse_wheel(event.deltaY < 0 ? 1 : event.deltaY > 0 ? -1 : 0);
    event.preventDefault();
}

function listen() {
    window.addEventListener('keydown', function (e) { onKey(e, true); });
    window.addEventListener('keyup', function (e) { onKey(e, false); });
    canvas.addEventListener('mousemove', onMouseMove);
    canvas.addEventListener('mousedown', function (e) { onMouseButton(e, true); });
    canvas.addEventListener('mouseup', function (e) { onMouseButton(e, false); });
    canvas.addEventListener('contextmenu', function (e) { e.preventDefault(); });
    canvas.addEventListener('wheel', onWheel, { passive: false });
    window.addEventListener('focus', function () {
        if (started && !ended) Module._prismatel_page_focus(1);
    });
    window.addEventListener('blur', function () {
        if (started && !ended) Module._prismatel_page_focus(0);
    });
    document.getElementById('fullscreen').addEventListener('click', toggleFullscreen);
}

// ---- start and end ----------------------------------------------------------------------

function start() {
    if (started) return;
    started = true;
    hideNotice();
    if (!audio) audio = openAudio();
    if (audio) audio.resume();
    canvas.focus();
    document.body.dataset.state = 'running';
    Module.prismatelGo();
}

function offerStart() {
    document.body.dataset.state = 'ready';
    // After "click to play again" the browser may still allow sound without a new click.
    if (sessionStorage.getItem(REPLAY_KEY)) {
        sessionStorage.removeItem(REPLAY_KEY);
        audio = openAudio();
        if (audio && audio.state === 'running') return start();
    }
    say('Click to start', { onclick: start });
}

function ended_(status) {
    ended = true;
    page.exitStatus = status;
    document.body.dataset.state = 'ended';
    if (audio) audio.suspend();
    // A message box's text (a fatal error's) stays above the offer.
    var last = page.lastMessage;
    var before = last ? last.caption + ': ' + last.text + '\n\n' : '';
    say(before + 'Click to play again', {
        onclick: function () {
            sessionStorage.setItem(REPLAY_KEY, '1');
            location.reload();
        }
    });
}

var page = {
    framesDrawn: 0,
    lastFrame: -1,
    exitStatus: null,
    kept: kept,
    draw: function (rgba, width, height, frame, sequence) {
        var first = pendingFrame === null;
        pendingFrame = { rgba: rgba, width: width, height: height, frame: frame,
                         sequence: sequence };
        if (first) requestAnimationFrame(drawPending);
    },
    showCursor: function (visible) { canvas.style.cursor = visible ? 'default' : 'none'; },
    message: function (caption, text, warning) {
        page.lastMessage = { caption: caption, text: text, warning: !!warning };
        say(caption + ': ' + text, { message: true });
    },
    startSound: function () { soundStarted = true; },
};

var Module = {
    canvas: canvas,
    prismatelPage: page,
    print: function (text) { console.log(text); },
    printErr: function (text) { console.warn(text); },
    setStatus: function (text) {
        // "Downloading data... (done/total)" while the data arrives.
        var m = /\((\d+(?:\.\d+)?)\/(\d+)\)/.exec(text || '');
        if (m) progressBar.style.width = (100 * m[1] / m[2]).toFixed(1) + '%';
    },
    monitorRunDependencies: function (left) {
        // The viewer's click is the last thing the program waits for.
        if (left === 1 && !started && Module.prismatelGo) {
            progressBar.style.width = '100%';
            offerStart();
        }
    },
    onExit: function (status) { ended_(status); },
    onAbort: function (what) {
        say('The show stopped: ' + what, { message: true });
        document.body.dataset.state = 'failed';
    },
};

window.prismatelPage = page;

(function load() {
    var missing = missingFeature();
    if (missing) {
        if (missing !== 'WebAssembly' && isolateThroughServiceWorker()) return;
        explainMissing(missing);
        return;
    }
    sessionStorage.removeItem(WORKER_RELOAD_KEY);
    say('Loading…', { progress: true });
    listen();
    var script = document.createElement('script');
    script.src = 'vd.js';
    document.body.appendChild(script);
})();
