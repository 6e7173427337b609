// The gallery seen in a browser: starts zorvat-gallery on a free port of 127.0.0.1
// with a fresh data directory, posts the sample ringtones through the program's own
// upload code, opens the page in the system's headless Chromium at a phone's size,
// finds "Ode to Joy" under Classical Music, checks that its audio element loads the
// rendered WAV, and saves a screenshot of the whole page.
//
// node gallery-browser-test.mjs GALLERY POSTER SCREENSHOT

import { spawn } from 'node:child_process';
import { mkdtempSync, mkdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { chromium } from 'playwright-core';

const [galleryPath, posterPath, screenshotPath] = process.argv.slice(2);
if (!screenshotPath) {
  console.error('usage: node gallery-browser-test.mjs GALLERY POSTER SCREENSHOT');
  process.exit(2);
}

const scratch = mkdtempSync(join(tmpdir(), 'zt-gallery-browser-'));
let gallery = null;
let context = null;
const failures = [];
// Whatever ends this script, the server must not outlive it.
process.on('exit', () => {
  if (gallery && gallery.exitCode === null) gallery.kill('SIGKILL');
});

function check(condition, what) {
  console.log(`${condition ? 'ok' : 'FAILED'}: ${what}`);
  if (!condition) failures.push(what);
}

function withTimeout(promise, ms, what) {
  let timer;
  const timeout = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`${what} took longer than ${ms} ms`)), ms);
  });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

// Resolves with the port once the gallery says it listens.
function startGallery() {
  gallery = spawn(galleryPath, ['--host', '127.0.0.1', '--port', '0', '--password-cost', 'minimum',
                                join(scratch, 'data')], { stdio: ['ignore', 'pipe', 'inherit'] });
  return withTimeout(new Promise((resolve, reject) => {
    let seen = '';
    gallery.stdout.on('data', (chunk) => {
      seen += chunk;
      const match = seen.match(/listening on http:\/\/127\.0\.0\.1:(\d+)\//);
      if (match) resolve(Number(match[1]));
    });
    gallery.on('error', (error) => reject(new Error(`zorvat-gallery does not start: ${error.message}`)));
    gallery.on('exit', (code) => reject(new Error(`zorvat-gallery ended with ${code} before it listened`)));
  }), 30000, 'starting zorvat-gallery');
}

function postSamples(port) {
  return withTimeout(new Promise((resolve, reject) => {
    const poster = spawn(posterPath, [String(port)], { stdio: ['ignore', 'inherit', 'inherit'] });
    poster.on('error', (error) => reject(new Error(`the poster does not start: ${error.message}`)));
    poster.on('exit', (code) => (code === 0 ? resolve() : reject(new Error(`posting ended with ${code}`))));
  }), 60000, 'posting the samples');
}

async function run() {
  const port = await startGallery();
  await postSamples(port);

  context = await chromium.launchPersistentContext(join(scratch, 'profile'), {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
    viewport: { width: 412, height: 915 },
    deviceScaleFactor: 1,
    isMobile: true,
    hasTouch: true,
  });
  const page = context.pages()[0] ?? await context.newPage();
  const response = await page.goto(`http://127.0.0.1:${port}/`, { waitUntil: 'load' });
  check(response.status() === 200, 'the gallery page loads');
  check(await page.title() === 'Zorvat Ringtone Gallery', 'the page has its title');

  const tone = page.locator('#classical article.tone', { has: page.locator('h3', { hasText: 'Ode to Joy' }) });
  check(await tone.count() === 1, '"Ode to Joy" is listed under Classical Music');
  check((await tone.locator('.author').textContent()) === 'ludwig', 'it shows its author');
  check((await tone.locator('.rtttl').textContent()).startsWith('Ode:d=4,o=5,b=160:4e5,'), 'it shows its RTTTL');
  check(await page.locator('#chinese h3', { hasText: 'Jasmine Flower' }).count() === 1,
        'another tone is under Chinese Song');

  const audio = await tone.locator('audio').evaluate((element) => new Promise((resolve) => {
    const done = (outcome) => resolve({ outcome, duration: element.duration, readyState: element.readyState,
                                        error: element.error ? element.error.message || element.error.code : null });
    element.addEventListener('loadedmetadata', () => done('loadedmetadata'), { once: true });
    element.addEventListener('error', () => done('error'), { once: true });
    element.preload = 'auto';
    element.load();
  }));
  console.log(`audio: ${JSON.stringify(audio)}`);
  check(audio.outcome === 'loadedmetadata' && audio.duration > 1, 'its audio element loads the rendered preview');

  const wav = await context.request.get(`http://127.0.0.1:${port}${await tone.locator('audio').getAttribute('src')}`);
  check(wav.status() === 200 && wav.headers()['content-type'] === 'audio/wav', 'the preview is served as audio/wav');

  // A mobile browser widens its layout to the widest element, so the phone's own
  // width is the measure.
  const phoneWidth = page.viewportSize().width;
  const overflow = await page.evaluate((width) => document.documentElement.scrollWidth > width, phoneWidth);
  check(!overflow, 'nothing is wider than a phone screen');

  mkdirSync(dirname(screenshotPath), { recursive: true });
  await page.screenshot({ path: screenshotPath, fullPage: true });
  console.log(`screenshot: ${screenshotPath}`);
}

let exitCode = 0;
try {
  await withTimeout(run(), 150000, 'the browser test');
} catch (error) {
  console.error(`FAILED: ${error.message}`);
  failures.push(error.message);
} finally {
  if (context) await context.close().catch(() => {});
  if (gallery && gallery.exitCode === null) gallery.kill('SIGTERM');
  rmSync(scratch, { recursive: true, force: true });
}
exitCode = failures.length === 0 ? 0 : 1;
console.log(`${failures.length === 0 ? 1 : 0} passed, ${failures.length === 0 ? 0 : 1} failed`);
process.exit(exitCode);
