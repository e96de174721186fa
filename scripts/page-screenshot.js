// node scripts/page-screenshot.js ADDRESS PNG
//
// The page at ADDRESS in headless Chromium, with nothing to reach but this
// machine, photographed once the program's window has been showing its
// picture for a second (the program starts after the page has loaded, once
// the worker that draws its canvas runs).
'use strict';
const { chromium } = require('playwright-core');

async function main() {
  const [address, png] = process.argv.slice(2);
  const browser = await chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--no-first-run',
           '--disable-component-update', '--disable-sync', '--window-size=1024,768'],
  });
  const page = await browser.newPage({ viewport: null });
  await page.goto(address);
  await page.waitForSelector('.mottler-window canvas', { timeout: 30000 });
  await page.waitForTimeout(1000);
  await page.screenshot({ path: png });
  await browser.close();
}

main().catch((error) => { console.error(error); process.exit(1); });
