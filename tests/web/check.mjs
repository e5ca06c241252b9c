// The show's web page in headless Chromium, against the native program's recording of the
// same frames (tools/check-web records it and runs this):
//   node check.mjs --web DIR --native DIR --out DIR --every N --input SCRIPT --serve SERVER
// Each check prints "ok" or "FAILED" with what it saw; the exit status is the failures'.
import { spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';
import { inflateSync } from 'node:zlib';
import puppeteer from 'puppeteer-core';

const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2)
    options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
const EVERY = Number(options.every);
const END_MS = Number(/^(\d+):ESCAPE$/.exec(options.input)[1]);
const FPS = 60;
const COMPARED_FRAMES = [];
for (let n = 0; n * 1000 < END_MS * FPS - 1000 * EVERY; n += EVERY) COMPARED_FRAMES.push(n);

let failures = 0;
function report(name, ok, detail) {
    console.log(`${ok ? 'ok' : 'FAILED'}  ${name}${detail ? ': ' + detail : ''}`);
    if (!ok) failures++;
}

// ---- the native recording ----------------------------------------------------------------

// An 8-bit RGB PNG (what the recorder writes) as RGBA bytes.
function readPng(path) {
    const file = readFileSync(path);
    let offset = 8, width = 0, height = 0, type = -1;
    const data = [];
    while (offset < file.length) {
        const length = file.readUInt32BE(offset), kind = file.toString('latin1', offset + 4, offset + 8);
        const body = file.subarray(offset + 8, offset + 8 + length);
        if (kind === 'IHDR') {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            if (body[8] !== 8 || body[12] !== 0) throw new Error(`${path}: not 8-bit, or interlaced`);
            type = body[9];
        } else if (kind === 'IDAT') data.push(body);
        offset += 12 + length;
    }
    if (type !== 2) throw new Error(`${path}: colour type ${type}, not RGB`);
    const raw = inflateSync(Buffer.concat(data)), stride = width * 3;
    const rgb = Buffer.alloc(stride * height), rgba = Buffer.alloc(width * height * 4);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)], line = raw.subarray(y * (stride + 1) + 1);
        for (let x = 0; x < stride; x++) {
            const a = x >= 3 ? rgb[y * stride + x - 3] : 0, b = y ? rgb[(y - 1) * stride + x] : 0;
            const c = x >= 3 && y ? rgb[(y - 1) * stride + x - 3] : 0;
            const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
            const paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            const predicted = [0, a, b, (a + b) >> 1, paeth][filter];
            rgb[y * stride + x] = (line[x] + predicted) & 255;
        }
    }
    for (let i = 0; i < width * height; i++) {
        rgba[4 * i] = rgb[3 * i];
        rgba[4 * i + 1] = rgb[3 * i + 1];
        rgba[4 * i + 2] = rgb[3 * i + 2];
        rgba[4 * i + 3] = 255;
    }
    return { width, height, rgba };
}

// The samples of a 16-bit PCM WAV file.
function readWav(path) {
    const file = readFileSync(path);
    for (let offset = 12; offset + 8 <= file.length;) {
        const kind = file.toString('latin1', offset, offset + 4), length = file.readUInt32LE(offset + 4);
        if (kind === 'data') {
            const body = file.subarray(offset + 8, offset + 8 + length);
            return new Int16Array(body.buffer.slice(body.byteOffset, body.byteOffset + body.length));
        }
        offset += 8 + length + (length & 1);
    }
    throw new Error(`${path}: no data chunk`);
}

// ---- the page ----------------------------------------------------------------------------

function serve(extra) {
    return new Promise((resolve, reject) => {
        const server = spawn('python3', [options.serve, options.web, '0', ...extra],
                             { stdio: ['ignore', 'pipe', 'inherit'] });
        server.on('error', reject);
        createInterface({ input: server.stdout }).once('line', (url) => resolve({ server, url }));
    });
}

const profile = mkdtempSync(join(tmpdir(), 'prismatel-chromium-'));
const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--no-first-run',
           '--disable-background-timer-throttling', '--disable-renderer-backgrounding'],
});

async function openPage(url, keep, { bypassWorker = true } = {}) {
    const page = await browser.newPage();
    await page.setViewport({ width: 800, height: 600 });
    // The service worker would isolate a page served without headers: kept out unless the
    // check is about it.
    await page.setBypassServiceWorker(bypassWorker);
    page.log = [];
    page.on('console', (m) => page.log.push(m.text()));
    page.on('pageerror', (e) => page.log.push('page error: ' + e.message));
    await page.evaluateOnNewDocument((k) => Object.assign(window, k), keep || {});
    await page.goto(url);
    return page;
}

const state = (page) => page.evaluate(() => document.body.dataset.state || '');
const notice = (page) => page.evaluate(() => document.getElementById('notice-text').textContent);

async function waitForState(page, wanted, timeout) {
    await page.waitForFunction((w) => w.includes(document.body.dataset.state), { timeout }, wanted);
    return state(page);
}

async function waitForFrame(page, frame, timeout) {
    await page.waitForFunction((f) => window.prismatelPage.lastFrame >= f, { timeout }, frame);
}

async function startShow(page) {
    await waitForState(page, ['ready'], 60000);
    await page.mouse.click(400, 300);
    await waitForState(page, ['running'], 5000);
}

// ---- the checks --------------------------------------------------------------------------

// The whole show on the virtual clock, as the native program recorded it.
async function sameShowAsNative(base) {
    const input = encodeURIComponent(options.input);
    const page = await openPage(`${base}?fps=${FPS}&input=${input}`,
                                { prismatelKeepFrames: COMPARED_FRAMES, prismatelKeepSound: true });
    await startShow(page);
    for (const frame of [600, 1200]) {
        await waitForFrame(page, frame, 60000);
        await page.screenshot({ path: join(options.out, `shot_frame_${frame}.png`) });
    }
    const ended = await waitForState(page, ['ended', 'failed'], END_MS + 60000);
    await page.screenshot({ path: join(options.out, 'shot_ended.png') });
    const status = await page.evaluate(() => window.prismatelPage.exitStatus);
    report('Escape from the input script ends the show', ended === 'ended' && status === 0,
           `state ${ended}, exit status ${status}, notice "${await notice(page)}"`);
    report('the page offers to play again', /Click to play again/.test(await notice(page)));

    let same = 0;
    for (const n of COMPARED_FRAMES) {
        const native = readPng(join(options.native, `frame_${String(n).padStart(5, '0')}.png`));
        const shown = await page.evaluate((f) => {
            const p = window.prismatelPage.kept.frames[f];
            if (!p) return null;
            let text = '';
            for (let i = 0; i < p.length; i += 0x8000)
                text += String.fromCharCode.apply(null, p.subarray(i, i + 0x8000));
            return btoa(text);
        }, n).catch(() => null);
        if (!shown) {
            report(`frame ${n}`, false, 'the page did not keep it');
            continue;
        }
        const pixels = Buffer.from(shown, 'base64');
        let differing = 0;
        for (let i = 0; i < pixels.length; i += 4)
            if (pixels[i] !== native.rgba[i] || pixels[i + 1] !== native.rgba[i + 1] ||
                pixels[i + 2] !== native.rgba[i + 2]) differing++;
        if (differing || pixels.length !== native.rgba.length)
            report(`frame ${n}`, false, `${differing} pixels differ from the native capture`);
        else same++;
    }
    report('the canvas shows the native frames', same === COMPARED_FRAMES.length,
           `${same} of ${COMPARED_FRAMES.length} frames identical (every ${EVERY}th, 0 to ` +
           `${COMPARED_FRAMES[COMPARED_FRAMES.length - 1]})`);

    const played = Int16Array.from(await page.evaluate(() =>
        window.prismatelPage.kept.sound.flatMap((block) => Array.from(block))));
    const recorded = readWav(join(options.native, 'audio.wav'));
    let firstDifference = -1;
    for (let i = 0; i < played.length && firstDifference < 0; i++)
        if (played[i] !== recorded[i]) firstDifference = i;
    let loud = 0;
    for (let i = 0; i < played.length; i++) if (played[i] !== 0) loud++;
    // Sound still queued when the program ends is not played: most of it must have been.
    const enough = played.length >= 0.9 * recorded.length && loud > played.length / 4;
    report('Web Audio played the native audio.wav', enough && firstDifference < 0,
           `${(played.length / 2 / 44100).toFixed(2)} s played of ` +
           `${(recorded.length / 2 / 44100).toFixed(2)} s recorded, ${loud} samples not silent, ` +
           (firstDifference < 0 ? 'identical' : `first difference at sample ${firstDifference}`));
    writeFileSync(join(options.out, 'page.log'), page.log.join('\n') + '\n');
    await page.close();
}

// The frames' hashes before r in keysOnThePage: the show without the timing bar.
const framesWithoutBar = {};

// Keys pressed on the page in real time: r starts the show again, Escape ends it, and the
// next click plays it again.
async function keysOnThePage(base) {
    const page = await openPage(`${base}?fps=${FPS}`, { prismatelKeepHashes: true });
    await startShow(page);
    await waitForFrame(page, 400, 30000);
    const pressedAt = await page.evaluate(() => window.prismatelPage.lastFrame);
    await page.keyboard.press('KeyR');
    await waitForFrame(page, pressedAt + 300, 30000);
    const hashes = await page.evaluate(() => window.prismatelPage.kept.hashes);
    for (let n = 0; n < pressedAt; n++) framesWithoutBar[n] = hashes[n];
    let restartedAt = -1;
    for (let j = pressedAt; j < pressedAt + 60 && restartedAt < 0; j++) {
        let same = true;
        for (let n = 60; n < 180 && same; n++) same = hashes[j + n] === hashes[n];
        if (same) restartedAt = j;
    }
    report('r starts the show again', restartedAt >= 0,
           restartedAt >= 0 ? `pressed at frame ${pressedAt}, frames from ${restartedAt} repeat frames 60-179`
                            : `pressed at frame ${pressedAt}, frames 60-179 never came again`);
    await page.keyboard.press('Escape');
    const ended = await waitForState(page, ['ended', 'failed'], 10000).catch(() => 'running');
    report('Escape ends the show', ended === 'ended',
           `state ${ended}, exit status ${await page.evaluate(() => window.prismatelPage.exitStatus)}`);
    await page.mouse.click(400, 300);
    await page.waitForNavigation({ timeout: 10000 }).catch(() => {});
    const again = await waitForState(page, ['ready', 'running'], 60000).catch(() => 'none');
    report('a click plays it again', again === 'ready' || again === 'running', `state ${again}`);
    await page.close();
}

// m lays the timing bar over the frames (told apart from the same frames of an earlier run
// without it), F toggles full screen, Space ends the show.
async function overlayFullScreenAndSpace(base) {
    const page = await openPage(`${base}?fps=${FPS}`, { prismatelKeepHashes: true });
    await startShow(page);
    await waitForFrame(page, 60, 30000);
    await page.keyboard.press('KeyM');
    await waitForFrame(page, 240, 30000);
    const hashes = await page.evaluate(() => window.prismatelPage.kept.hashes);
    let withBar = 0;
    for (let n = 180; n < 240; n++) if (hashes[n] !== framesWithoutBar[n]) withBar++;
    report('m lays the timing bar over the show', framesWithoutBar[180] !== undefined && withBar === 60,
           `${withBar} of frames 180-239 differ from the run without it`);
    await page.keyboard.press('KeyF');
    const full = await page.waitForFunction(() => !!document.fullscreenElement, { timeout: 5000 })
        .then(() => true, () => false);
    report('F goes full screen', full);
    await page.keyboard.press('Space');
    const ended = await waitForState(page, ['ended', 'failed'], 10000).catch(() => 'running');
    report('Space ends the show', ended === 'ended', `state ${ended}`);
    await page.close();
}

// The mouse on the canvas: holding both buttons ends the show, as in the native program.
async function bothButtonsEndTheShow(base) {
    const page = await openPage(`${base}?fps=${FPS}`);
    await startShow(page);
    await waitForFrame(page, 60, 30000);
    await page.mouse.move(320, 240);
    await page.mouse.down({ button: 'left' });
    await page.mouse.down({ button: 'right' });
    const ended = await waitForState(page, ['ended', 'failed'], 10000).catch(() => 'running');
    report('both mouse buttons end the show', ended === 'ended', `state ${ended}`);
    await page.close();
}

// Served without the isolation headers: with the service worker the page isolates itself;
// without it, it says what it lacks instead of failing silently.
async function withoutIsolation(base) {
    const plain = await openPage(base, {}, { bypassWorker: true });
    const seen = await waitForState(plain, ['unsupported', 'ready'], 30000).catch(() => 'none');
    const text = await notice(plain);
    await plain.screenshot({ path: join(options.out, 'shot_not_isolated.png') });
    report('without isolation the page says so', seen === 'unsupported' &&
           /cross-origin isolation/.test(text), `state ${seen}, "${text.slice(0, 80)}…"`);
    await plain.close();

    const helped = await openPage(base, {}, { bypassWorker: false });
    const after = await waitForState(helped, ['ready', 'unsupported'], 60000).catch(() => 'none');
    report('the service worker isolates a page served without headers', after === 'ready',
           `state ${after}, crossOriginIsolated ${await helped.evaluate(() => self.crossOriginIsolated)}`);
    await helped.close();
}

const isolated = await serve([]);
const notIsolated = await serve(['--no-isolation']);
try {
    for (const check of [sameShowAsNative, keysOnThePage, overlayFullScreenAndSpace,
                         bothButtonsEndTheShow])
        await check(isolated.url).catch((e) => report(check.name, false, e.message));
    await withoutIsolation(notIsolated.url).catch((e) => report('withoutIsolation', false, e.message));
} finally {
    await browser.close();
    isolated.server.kill();
    notIsolated.server.kill();
    rmSync(profile, { recursive: true, force: true });
}
console.log(failures ? `check-web: ${failures} failed` : 'check-web: all passed');
process.exit(failures ? 1 : 0);
