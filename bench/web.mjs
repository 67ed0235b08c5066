// Web page benchmark: the site's weight as a browser downloads it (each file gzipped), and
// the time from navigation to the first prompt on screen, the median of LOADS loads in
// headless Chromium, each in a fresh profile (nothing cached), from a local server. Prints
// a Markdown section.
//
//   node bench/web.mjs SITE_DIR [LOADS] [CHROMIUM]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { chromium } from 'playwright-core';
import { serve, CHROMIUM_ARGUMENTS } from '../tests/browser/static_server.mjs';

const [siteDirectory, loads = '20', executablePath = '/usr/bin/chromium'] = process.argv.slice(2);
const WEIGHT_GOAL_KB = 200;
const FIRST_PROMPT_GOAL_MS = 250;
const PROMPT = "Please enter your character's first name:";

// What the page loads: everything in the site but the licence texts.
const files = fs.readdirSync(siteDirectory).filter((name) => !name.endsWith('.txt')).sort();
const weights = files.map((name) => ({
  name,
  bytes: fs.statSync(path.join(siteDirectory, name)).size,
  gzipped: zlib.gzipSync(fs.readFileSync(path.join(siteDirectory, name)), { level: 9 }).length,
}));
const totalKb = weights.reduce((sum, file) => sum + file.gzipped, 0) / 1000;

// Notes the moment the prompt's text first reaches the terminal's rows on the page.
function watchForPrompt(prompt) {
  new MutationObserver((changes, observer) => {
    if (document.querySelector('.xterm-rows')?.textContent.includes(prompt)) {
      window.firstPromptMs = performance.now(); // from the start of the navigation
      observer.disconnect();
    }
  }).observe(document, { subtree: true, childList: true, characterData: true });
}

const site = await serve(siteDirectory);
const browser = await chromium.launch({ executablePath, args: CHROMIUM_ARGUMENTS });
const times = [];
for (let i = 0; i < Number(loads); i++) {
  const context = await browser.newContext();
  const page = await context.newPage();
  await page.addInitScript(watchForPrompt, PROMPT);
  await page.goto(site.url);
  await page.waitForFunction(() => window.firstPromptMs !== undefined, null, { timeout: 10000 });
  times.push(await page.evaluate(() => window.firstPromptMs));
  await context.close();
}
await browser.close();
site.close();
times.sort((a, b) => a - b);
const median = (times[(times.length - 1) >> 1] + times[times.length >> 1]) / 2;

const verdict = (value, goal) => (value <= goal ? 'met' : 'MISSED');
const cpu = os.cpus()[0]?.model ?? 'unknown CPU';
const version = browser.version();
console.log(`## Web page

${new Date().toISOString().slice(0, 10)}, ${os.type()} ${os.arch()}, ${os.cpus().length} cores, ${cpu}, Chromium ${version} (headless), Node ${process.version}.
The site in build/web served from a local server.

| measure | value | goal |
|---|---:|---|
| weight as served, gzipped (${files.length} files) | ${totalKb.toFixed(1)} kB | at most ${WEIGHT_GOAL_KB} kB: ${verdict(totalKb, WEIGHT_GOAL_KB)} |
| navigation to first prompt on screen, median of ${times.length} fresh loads | ${median.toFixed(0)} ms | at most ${FIRST_PROMPT_GOAL_MS} ms: ${verdict(median, FIRST_PROMPT_GOAL_MS)} |

Fastest and slowest load: ${times[0].toFixed(0)} ms and ${times[times.length - 1].toFixed(0)} ms.

| file | bytes | gzipped |
|---|---:|---:|
${weights.map((file) => `| ${file.name} | ${file.bytes} | ${file.gzipped} |`).join('\n')}`);
