// Drives the page in Debian's Chromium for page_session.py: one JSON command
// a line on standard input, one JSON answer a line on standard output
// ({"ok": value} or {"error": text}). Places and sizes are in device pixels,
// as the program counts them; the page's windows are named by their
// elements' ids.
'use strict';
const readline = require('readline');
const { chromium } = require('playwright-core');

let browser = null;
let page = null;
let cdp = null;
let ratio = 1;

// The page's working folder is made to hold the given files alone, as a
// scenario's working folder holds what it put there; without `files` it
// keeps the bundled picture.
function replaceWorkingFolder(files) {
  window.Module = {
    preRun: [() => {
      const folder = '/home/web_user';
      for (const name of FS.readdir(folder)) {
        if (name !== '.' && name !== '..' && FS.isFile(FS.stat(folder + '/' + name).mode)) {
          FS.unlink(folder + '/' + name);
        }
      }
      for (const [name, base64] of Object.entries(files)) {
        FS.writeFile(folder + '/' + name, Uint8Array.from(atob(base64), (c) => c.charCodeAt(0)));
      }
    }],
  };
}

async function rect(id, part) {
  const box = await page.evaluate(([id, part]) => {
    const element = document.getElementById(id);
    if (!element) return null;
    const shown = part && element.querySelector(part) ? element.querySelector(part) : element;
    const r = shown.getBoundingClientRect();
    return [r.left, r.top, r.width, r.height];
  }, [id, part]);
  if (box === null) throw new Error(`no window ${id}`);
  return box;
}

// A pointer press and release at `at` in the window's client area.
async function clickAt(id, button, at) {
  const [left, top] = await rect(id, 'canvas');
  await page.mouse.click(left + at[0] / ratio, top + at[1] / ratio,
                         { button: button === 3 ? 'right' : 'left' });
}

const KEYS = { Return: 'Enter', Escape: 'Escape', space: ' ', BackSpace: 'Backspace', Down: 'ArrowDown' };

const commands = {
  // The ratio is the browser's own, as on a HiDPI screen: the page is laid
  // out in device pixels. (Playwright's emulated ratio scales a page laid
  // out in CSS pixels, which snaps a half CSS pixel to a whole one.)
  // Without `painter`, the page's workers fail as they start, as a server's
  // content security policy that forbids them makes them fail.
  async launch({ url, deviceScaleFactor, viewport, files, painter }) {
    ratio = deviceScaleFactor;
    browser = await chromium.launch({
      executablePath: '/usr/bin/chromium',
      args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--no-first-run',
             '--disable-component-update', '--disable-sync', `--force-device-scale-factor=${ratio}`,
             `--window-size=${viewport[0]},${viewport[1]}`],
    });
    page = await browser.newPage({ viewport: null });
    if (files !== null) await page.addInitScript(replaceWorkingFolder, files);
    if (!painter) {
      await page.addInitScript(() => {
        const Started = window.Worker;
        window.Worker = function() {
          return new Started(URL.createObjectURL(new Blob(['throw new Error("refused")'])));
        };
      });
    }
    cdp = await page.context().newCDPSession(page);
    await cdp.send('Performance.enable');
    await page.goto(url);
    return true;
  },

  // [id, caption] of the program's windows and message boxes.
  async windows() {
    return page.evaluate(() => [...document.querySelectorAll('.mottler-window:not([hidden])')].map(
      (w) => [w.id, w.querySelector('.mottler-title').textContent]));
  },

  // A window's client area (a message box: all of it), on the page.
  async geometry({ id }) {
    const [left, top, width, height] = await rect(id, 'canvas');
    return [left, top, width, height].map((v) => Math.round(v * ratio));
  },

  async click({ id, button, at }) {
    await clickAt(id, button, at);
    return true;
  },

  async move({ id, at }) {
    const [left, top] = await rect(id, 'canvas');
    await page.mouse.move(left + at[0] / ratio, top + at[1] / ratio);
    return true;
  },

  // A click that opens the file picker, answered with `path` (null: Cancel).
  async choose({ id, path }) {
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), clickAt(id, 1, [20, 20])]);
    await chooser.setFiles(path === null ? [] : [path]);
    return true;
  },

  async key({ keys }) {
    for (const key of keys) await page.keyboard.press(KEYS[key] || key);
    return true;
  },

  // Screenshots are taken in whole CSS pixels: the client area is where in
  // the one taken around it, in device pixels.
  async capture({ id, path }) {
    const [left, top, width, height] = await rect(id, 'canvas');
    const x = Math.floor(left);
    const y = Math.floor(top);
    await page.screenshot({ path, scale: 'device',
                            clip: { x, y, width: Math.ceil(left + width) - x, height: Math.ceil(top + height) - y } });
    return [Math.round((left - x) * ratio), Math.round((top - y) * ratio)];
  },

  async screen({ path }) {
    await page.screenshot({ path, scale: 'device' });
    return true;
  },

  async close({ id }) {
    await page.click(`#${id} button[aria-label="Close"]`);
    return true;
  },

  // What the page says once the program has ended, or null while it runs.
  // What the page says of the program's end, once it shows it; null before.
  async ended() {
    return page.evaluate(() => {
      const ended = document.getElementById('mottler-ended');
      return ended.checkVisibility() ? document.getElementById('mottler-ended-text').textContent : null;
    });
  },

  // Seconds the page's main thread has spent on tasks so far.
  async busy() {
    const { metrics } = await cdp.send('Performance.getMetrics');
    return metrics.find((m) => m.name === 'TaskDuration').value;
  },

  // A file of the page's file system written anew, as a file on disk is.
  async write({ path, base64 }) {
    await page.evaluate(([path, base64]) => FS.writeFile(path, Uint8Array.from(atob(base64), (c) => c.charCodeAt(0))),
                        [path, base64]);
    return true;
  },

  async quit() {
    if (browser) await browser.close();
    browser = null;
    return true;
  },
};

const lines = readline.createInterface({ input: process.stdin });
let queue = Promise.resolve();
lines.on('line', (line) => {
  queue = queue.then(async () => {
    const { op, ...args } = JSON.parse(line);
    try {
      process.stdout.write(JSON.stringify({ ok: await commands[op](args) }) + '\n');
    } catch (error) {
      process.stdout.write(JSON.stringify({ error: String(error && error.message || error) }) + '\n');
    }
  });
});
lines.on('close', () => queue.then(() => commands.quit()));
