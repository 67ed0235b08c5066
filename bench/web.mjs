// Web page benchmark: the site's weight as a browser downloads it (each file gzipped); the
// time from navigation to the first prompt on screen, against a bare page that loads the
// same xterm.js and writes the same four lines, the least a terminal page can do; and
// Lighthouse's four scores on a phone and on a desktop, from its median of LIGHTHOUSE_RUNS
// runs, as Lighthouse advises, since one run's performance score moves from run to run.
// Loads of the two pages alternate, each in a fresh profile (nothing cached), from a local
// server that compresses as most hosts do; the medians of LOADS each are reported with their
// ratio. Prints a Markdown section.
//
//   node bench/web.mjs SITE_DIR [LOADS] [LIGHTHOUSE_RUNS] [CHROMIUM]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { chromium } from 'playwright-core';
import lighthouse from 'lighthouse';
import desktopConfig from 'lighthouse/core/config/desktop-config.js';
import { computeMedianRun } from 'lighthouse/core/lib/median-run.js';
import * as chromeLauncher from 'chrome-launcher';
import { serve, CHROMIUM_ARGUMENTS } from '../tests/browser/static_server.mjs';
import { beforeFirstAnswer, prompts } from '../tests/browser/expected.mjs';

const [siteDirectory, loads = '60', lighthouseRuns = '5', executablePath = '/usr/bin/chromium'] =
  process.argv.slice(2);
const WEIGHT_GOAL_KB = 200;
const RATIO_GOAL = 1.25;
const PROMPT = prompts[0];
const BARE_PAGE = `<!doctype html>
<html lang="en"><head><meta charset="utf-8"><title>bare</title>
<link rel="stylesheet" href="xterm.css"></head>
<body><div id="terminal"></div><script src="xterm.js"></script><script>
const xterm = new Terminal({ screenReaderMode: true, fontSize: 14, convertEol: true });
xterm.open(document.getElementById('terminal'));
xterm.write(${JSON.stringify(beforeFirstAnswer)});
</script></body></html>`;

// What the page loads: everything in the site but the texts (licences, README) and the
// WebAssembly in a script that only a page opened from disk loads.
const files = fs.readdirSync(siteDirectory)
  .filter((name) => !name.endsWith('.txt') && name !== 'quorvale-wasm.js').sort();
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

const site = await serve(siteDirectory, { pages: { '/bare.html': BARE_PAGE }, gzip: true });
const browser = await chromium.launch({ executablePath, args: CHROMIUM_ARGUMENTS });
async function timeFirstPrompt(url) {
  const context = await browser.newContext({ serviceWorkers: 'block' });
  const page = await context.newPage();
  await page.addInitScript(watchForPrompt, PROMPT);
  await page.goto(url);
  await page.waitForFunction(() => window.firstPromptMs !== undefined, null, { timeout: 10000 });
  const ms = await page.evaluate(() => window.firstPromptMs);
  await context.close();
  return ms;
}
const times = { page: [], bare: [] };
for (let i = 0; i < Number(loads); i++) {
  times.bare.push(await timeFirstPrompt(`${site.url}bare.html`));
  times.page.push(await timeFirstPrompt(site.url));
}
const version = browser.version();
await browser.close();

// Lighthouse drives a Chromium of its own. Its median run is the one nearest the runs'
// median first paint and time to interactive; every run's performance score is shown too.
const scores = {};
const performanceScores = {};
const lighthouseChromium = await chromeLauncher.launch({ chromePath: executablePath,
  chromeFlags: ['--headless=new', ...CHROMIUM_ARGUMENTS] });
for (const [device, config] of [['phone', undefined], ['desktop', desktopConfig]]) {
  const runs = [];
  for (let i = 0; i < Number(lighthouseRuns); i++) {
    const flags = { port: lighthouseChromium.port, logLevel: 'error' };
    runs.push((await lighthouse(site.url, flags, config)).lhr);
  }
  const percent = (category) => Math.round(category.score * 100);
  scores[device] = Object.values(computeMedianRun(runs).categories).map(percent);
  performanceScores[device] = runs.map((lhr) => percent(lhr.categories.performance));
}
await lighthouseChromium.kill();
site.close();
const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  return (sorted[(sorted.length - 1) >> 1] + sorted[sorted.length >> 1]) / 2;
};
const pageMs = median(times.page);
const bareMs = median(times.bare);
const ratio = pageMs / bareMs;
const range = (values) => `${Math.min(...values).toFixed(0)}–${Math.max(...values).toFixed(0)} ms`;

const verdict = (value, goal) => (value <= goal ? 'met' : 'MISSED');
const cpu = os.cpus()[0]?.model ?? 'unknown CPU';
console.log(`## Web page

${new Date().toISOString().slice(0, 10)}, ${os.type()} ${os.arch()}, ${os.cpus().length} cores, ${cpu}, Chromium ${version} (headless), Node ${process.version}.
The site in build/web served, compressed, from a local server; each load in a fresh profile, the page's
and the bare page's loads alternated. The bare page loads the same xterm.js and writes the
same four lines, and nothing else.

| measure | value | goal |
|---|---:|---|
| weight as served, gzipped (${files.length} files) | ${totalKb.toFixed(1)} kB | at most ${WEIGHT_GOAL_KB} kB: ${verdict(totalKb, WEIGHT_GOAL_KB)} |
| navigation to first prompt, the page, median of ${times.page.length} | ${pageMs.toFixed(0)} ms (${range(times.page)}) | |
| navigation to first prompt, the bare page, median of ${times.bare.length} | ${bareMs.toFixed(0)} ms (${range(times.bare)}) | |
| the page against the bare page | ${ratio.toFixed(2)}x | at most ${RATIO_GOAL}x: ${verdict(ratio, RATIO_GOAL)} |
${Object.entries(scores).map(([device, values]) => `| Lighthouse on a ${device}, median of ${lighthouseRuns}: performance, accessibility, best practices, SEO | ${values.join(', ')} | all 100: ${values.every((v) => v === 100) ? 'met' : 'MISSED'} |`).join('\n')}

Lighthouse's performance score in each run: ${Object.entries(performanceScores).map(([device, values]) => `${values.join(', ')} on a ${device}`).join('; ')}.

| file | bytes | gzipped |
|---|---:|---:|
${weights.map((file) => `| ${file.name} | ${file.bytes} | ${file.gzipped} |`).join('\n')}`);
