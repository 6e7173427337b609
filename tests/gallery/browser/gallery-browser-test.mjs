// The gallery seen in a browser: fills a fresh data directory with 60 ringtones under
// Others, starts zorvat-gallery on a free port of 127.0.0.1, posts the sample
// ringtones through the program's own upload code, and opens the page in the system's
// headless Chromium at a phone's size. There it finds "Ode to Joy" under Classical
// Music, checks that its audio element loads the rendered preview (/tone/ID.ogg), that
// the style sheet and script come from /static/ with nothing refused by the page's
// Content-Security-Policy, that starting one player pauses another, that the search
// box finds a ringtone, that Others is listed 50 a page with links back and forth,
// and that an author's name leads to their page; and saves a screenshot of the page.
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
// A signal (the test runner's time-out) would end node without the handler above.
for (const signal of ['SIGTERM', 'SIGINT', 'SIGHUP']) process.on(signal, () => process.exit(1));

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

function runPoster(args, what) {
  return withTimeout(new Promise((resolve, reject) => {
    const poster = spawn(posterPath, args, { stdio: ['ignore', 'inherit', 'inherit'] });
    poster.on('error', (error) => reject(new Error(`the poster does not start: ${error.message}`)));
    poster.on('exit', (code) => (code === 0 ? resolve() : reject(new Error(`${what} ended with ${code}`))));
  }), 60000, what);
}

// Titles of the ringtones listed on the page, in order.
function titles(page) {
  return page.locator('article.tone h3').allTextContents();
}

async function run() {
  await runPoster(['--fill', join(scratch, 'data'), '60'], 'filling the store');
  const port = await startGallery();
  await runPoster([String(port)], 'posting the samples');

  context = await chromium.launchPersistentContext(join(scratch, 'profile'), {
    executablePath: '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync', '--autoplay-policy=no-user-gesture-required'],
    viewport: { width: 412, height: 915 },
    deviceScaleFactor: 1,
    isMobile: true,
    hasTouch: true,
  });
  const page = context.pages()[0] ?? await context.newPage();
  const refused = [];
  page.on('console', (message) => {
    if (/Content Security Policy|Refused to/i.test(message.text())) refused.push(message.text());
  });
  const response = await page.goto(`http://127.0.0.1:${port}/`, { waitUntil: 'load' });
  check(response.status() === 200, 'the gallery page loads');
  check(await page.title() === 'Zorvat Ringtone Gallery', 'the page has its title');
  const headerColour = await page.locator('header').evaluate((element) => getComputedStyle(element).backgroundColor);
  check(headerColour === 'rgb(29, 53, 87)', `the style sheet from /static/ applies (header ${headerColour})`);

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

  const preview = await context.request.get(`http://127.0.0.1:${port}${await tone.locator('audio').getAttribute('src')}`);
  check(preview.status() === 200 && preview.headers()['content-type'] === 'audio/ogg', 'the preview is served as audio/ogg');

  check((await tone.locator('audio').getAttribute('src')).match(/^\/tone\/\d+\.ogg$/) !== null,
        'the player plays /tone/ID.ogg');

  // gallery.js: one preview at a time.
  const players = await page.evaluate(async () => {
    const [first, second] = document.querySelectorAll('audio');
    const start = (player) => new Promise((resolve) => {
      player.addEventListener('play', resolve, { once: true });
      player.play().catch(() => {});
    });
    await start(first);
    await start(second);
    const state = { first: first.paused, second: second.paused };
    second.pause();
    return state;
  });
  check(players.first === true && players.second === false, 'starting a player pauses the one playing');

  // A mobile browser widens its layout to the widest element, so the phone's own
  // width is the measure.
  const phoneWidth = page.viewportSize().width;
  const overflow = await page.evaluate((width) => document.documentElement.scrollWidth > width, phoneWidth);
  check(!overflow, 'nothing is wider than a phone screen');

  mkdirSync(dirname(screenshotPath), { recursive: true });
  await page.screenshot({ path: screenshotPath, fullPage: true });
  console.log(`screenshot: ${screenshotPath}`);

  // Others: the newest ten here, 61 in all, 50 a page.
  check(await page.locator('#others article.tone').count() === 10, 'the front page shows the newest ten of Others');
  await Promise.all([page.waitForURL(/category=OTHERS/), page.locator('#others .more a').click()]);
  check((await titles(page)).length === 50 && (await titles(page))[0] === 'Alarm',
        'the first page of Others lists 50, newest first');
  check(await page.locator('a[rel=prev]').count() === 0, 'the first page has no previous page');
  await Promise.all([page.waitForURL(/page=2/), page.locator('a[rel=next]').click()]);
  const second = await titles(page);
  check(second.length === 11 && second[10] === 'Bell 1', 'the next page lists the other 11, oldest last');
  check(await page.locator('a[rel=next]').count() === 0, 'the last page has no next page');
  await Promise.all([page.waitForURL((url) => !url.search.includes('page=')), page.locator('a[rel=prev]').click()]);
  check((await titles(page))[0] === 'Alarm', 'the previous page leads back to the first');

  // The search box, in every page's header.
  await page.locator('form.search input[name=q]').fill('jasmine');
  await Promise.all([page.waitForURL(/q=jasmine/), page.locator('form.search button').click()]);
  check(JSON.stringify(await titles(page)) === '["Jasmine Flower"]', 'the search box finds "Jasmine Flower"');

  // An author's name leads to their page.
  await Promise.all([page.waitForURL(/\/author\/mei$/), page.locator('article.tone a.author').first().click()]);
  check(await page.locator('h2').textContent() === 'Ringtones by mei', 'the author link opens the author page');

  check(refused.length === 0, `the Content-Security-Policy refuses nothing${refused.length ? `: ${refused[0]}` : ''}`);
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
