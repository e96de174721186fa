// node bench/page_bench.js PAGE PICTURE SETTLE SECONDS
//
// The page's generations per second in Debian's Chromium, headless: the page
// opens with PICTURE as its mottle.bmp, runs SETTLE seconds, and then the
// page's own frame counter is read over SECONDS. Prints one line: the
// generations drawn per second, the frames the canvas showed per second and
// the animation frames the browser offered per second.
'use strict';
const fs = require('fs');
const path = require('path');
const { chromium } = require('playwright-core');

async function main() {
  const [page, picture, settle, seconds] = process.argv.slice(2);
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--no-first-run',
           '--force-device-scale-factor=1', '--window-size=2560,1600'],
  });
  const tab = await browser.newPage({ viewport: null });
  await tab.addInitScript((base64) => {
    window.Module = { preRun: [() => FS.writeFile('/home/web_user/mottle.bmp',
                                                  Uint8Array.from(atob(base64), (c) => c.charCodeAt(0)))] };
  }, fs.readFileSync(picture).toString('base64'));
  await tab.goto('file://' + path.resolve(page));
  const counts = () => tab.evaluate(() => ({ ...(Module.frames || { drawn: 0, shown: 0, offered: 0 }),
                                             time: performance.now() }));
  await tab.waitForTimeout(Number(settle) * 1000);
  const before = await counts();
  await tab.waitForTimeout(Number(seconds) * 1000);
  const after = await counts();
  const rate = (name) => ((after[name] - before[name]) * 1000 / (after.time - before.time)).toFixed(1);
  console.log(`${rate('drawn')} ${rate('shown')} ${rate('offered')}`);
  await browser.close();
}

main().catch((error) => { console.error(error); process.exit(1); });
