// Plays the web build in headless Chromium, as a player at the keyboard would, and requires
// it to be the console's game:
//  - the README's game, typed key by key as each prompt appears, leaves on screen exactly
//    the README's transcript (the fate aside); the pause waits for a key, which ends the run
//    with status 0; the screen reader's copy of the screen has the text; a screenshot of the
//    finished game is saved;
//  - Backspace edits an answer, after "Play again" (Enter) has started a fresh game;
//  - every transcript case whose input can be typed is typed (one of them pasted) into a
//    fresh game each, and what the game wrote must be the case's expected output, byte for
//    byte, then the pause's prompt; input the case ends early is ended with Ctrl-D; letters
//    outside ASCII must be on screen as they were typed;
//  - a 360-pixel-wide screen does not scroll the page sideways; the page logs no error.
//
//   node play_in_browser.mjs --site DIR --cases DIR --fates FILE --readme FILE
//                            --screenshot FILE [--chromium PATH]
import fs from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { serve, CHROMIUM_ARGUMENTS } from './static_server.mjs';

const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) {
  options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
}
for (const required of ['site', 'cases', 'fates', 'readme', 'screenshot']) {
  if (!options[required]) throw new Error(`--${required} is missing`);
}

const PAUSE_PROMPT = 'Press any key to continue . . . ';
const fates = fs.readFileSync(options.fates, 'latin1').split('\n').filter(Boolean);
const bytesOf = (text) => Buffer.from(text, 'latin1');

// Whether `actual` is `expected`, where "<fate>" in `expected` stands for any one fate text.
function matchesWithFate(actual, expected) {
  const [before, after] = expected.split('<fate>');
  if (after === undefined) return actual.equals(bytesOf(expected));
  return fates.some((fate) => actual.equals(bytesOf(before + fate + after)));
}

const site = await serve(options.site);
const browser = await chromium.launch({
  executablePath: options.chromium ?? '/usr/bin/chromium',
  args: CHROMIUM_ARGUMENTS,
});
const page = await browser.newPage({ viewport: { width: 820, height: 720 } });
const pageErrors = [];
page.on('console', (message) => {
  if (message.type() === 'error') pageErrors.push(message.text());
});
page.on('pageerror', (error) => pageErrors.push(error.message));
await page.goto(site.url);

// --- what is on the page
const state = () => page.evaluate(() => ({ ...document.documentElement.dataset }));
const transcript = async () => Buffer.from(await page.evaluate(() => window.quorvale.transcript()));
// The screen's text, a wrapped line joined back to its start, trailing blanks and rows left out.
const screen = () => page.evaluate(() => {
  const buffer = window.quorvale.xterm.buffer.active;
  const lines = [];
  for (let row = 0; row < buffer.length; row++) {
    const line = buffer.getLine(row);
    const text = line.translateToString(true);
    if (line.isWrapped) lines[lines.length - 1] += text;
    else lines.push(text);
  }
  return lines.map((line) => line.trimEnd()).join('\n').replace(/\n+$/, '');
});
const waitUntil = (test, argument) => page.waitForFunction(test, argument, { timeout: 10000 });
const waitingFor = (what) => waitUntil((w) => document.documentElement.dataset.waitingFor === w, what);
async function startAGame() {
  const before = await state();
  if (before.game === 'ended') await page.keyboard.press('Enter'); // the button has the focus
  await waitUntil(() => document.documentElement.dataset.game === 'playing');
  await waitingFor('line');
}
async function pressAKeyAndEnd() {
  await page.keyboard.press('k');
  await waitUntil(() => document.documentElement.dataset.game === 'ended');
  const { exitStatus } = await state();
  if (exitStatus !== '0') throw new Error(`the run ended with status ${exitStatus}, not 0`);
}

// Each byte of a case's input as the key a player presses for it; null where there is no
// such key (a carriage return, which the terminal turns into a line end; a byte above 127
// that is not part of a UTF-8 letter).
const KEYS = { 0x00: 'Control+Space', 0x09: 'Tab', 0x0a: 'Enter', 0x0b: 'Control+k', 0x0c: 'Control+l' };
function keysFor(input) {
  const keys = [];
  const text = new TextDecoder('utf-8', { fatal: true });
  for (let i = 0; i < input.length;) {
    const byte = input[i];
    if (KEYS[byte]) {
      keys.push({ press: KEYS[byte] });
      i += 1;
    } else if (byte >= 0x20 && byte < 0x7f) {
      keys.push({ type: String.fromCharCode(byte) });
      i += 1;
    } else if (byte >= 0xc2 && byte < 0xf5) {
      // A letter outside ASCII, from a keyboard that has a key for it.
      const length = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : 2;
      try {
        keys.push({ letter: text.decode(input.subarray(i, i + length)) });
      } catch {
        return null;
      }
      i += length;
    } else {
      return null;
    }
  }
  return keys;
}
const devtools = await page.context().newCDPSession(page);
async function type(keys) {
  for (const key of keys) {
    if (key.press) {
      await page.keyboard.press(key.press);
    } else if (key.letter) {
      // Playwright's keyboard knows only US keys; Chromium is told of the key itself.
      const event = { key: key.letter, text: key.letter, unmodifiedText: key.letter };
      await devtools.send('Input.dispatchKeyEvent', { type: 'keyDown', ...event });
      await devtools.send('Input.dispatchKeyEvent', { type: 'keyUp', key: key.letter });
    } else if (key.insert) {
      await page.keyboard.insertText(key.insert); // text with no key press behind it
    } else {
      await page.keyboard.type(key.type);
    }
  }
}
// Ctrl-D while the game still waits for a line: it sends a line typed without its Enter, and
// on an empty line ends the input, until the game moves on to its pause.
async function endTheInput() {
  for (;;) {
    await waitUntil(() => ['line', 'key'].includes(document.documentElement.dataset.waitingFor));
    const { waitingFor: what, waits } = await state();
    if (what === 'key') return;
    await page.keyboard.press('Control+d');
    await waitUntil((w) => document.documentElement.dataset.waits !== w, waits);
  }
}
async function paste(text) {
  await page.evaluate((pasted) => {
    const data = new DataTransfer();
    data.setData('text/plain', pasted);
    document.querySelector('.xterm-helper-textarea')
      .dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true }));
  }, text);
}

// --- the checks
const results = [];
async function check(name, body) {
  try {
    await body();
    results.push({ name, ok: true });
    console.log(`ok   ${name}`);
  } catch (error) {
    results.push({ name, ok: false });
    console.log(`FAIL ${name}\n     ${error.message.split('\n').join('\n     ')}`);
    await page.reload(); // a fresh page for the next check
  }
}
const expectEqual = (actual, expected, what) => {
  if (actual !== expected) throw new Error(`${what}:\n--- expected\n${expected}\n--- got\n${actual}`);
};

await check("the README's game, typed key by key, is the console's screen", async () => {
  const readme = fs.readFileSync(options.readme, 'utf8');
  const game = readme.match(/```text\n([\s\S]*?)```/)[1].replace(/\s+$/, '');
  const lines = game.split('\n');
  const prompts = ["Please enter your character's first name:", 'Please enter a last name:',
    'Enter your class number:'];
  await waitingFor('line');
  for (const prompt of prompts) {
    await waitUntil((p) => window.quorvale.xterm.buffer.active.getLine(
      window.quorvale.xterm.buffer.active.cursorY - 1 + window.quorvale.xterm.buffer.active.baseY)
      ?.translateToString(true).trimEnd() === p, prompt);
    await page.keyboard.type(lines[lines.indexOf(prompt) + 1], { delay: 30 });
    await page.keyboard.press('Enter');
  }
  await waitingFor('key');
  const shown = await screen();
  const fateLine = /^(Ann Lee, Engineer)( has (?!arrived\.).*)$/m;
  const fate = shown.match(fateLine)?.[2];
  if (!fates.includes(fate)) throw new Error(`no fate line on screen:\n${shown}`);
  expectEqual(shown, game.replace(fateLine, `$1${fate}`), 'the screen');
  await page.waitForTimeout(500);
  if ((await state()).game !== 'playing') throw new Error('the pause did not wait for a key');
  // The screen reader's copy of the screen follows it within a frame or two.
  await waitUntil(() => document.querySelector('.xterm-accessibility-tree')?.textContent
    .includes('*****Game Over*****'));
  await pressAKeyAndEnd();
  fs.mkdirSync(path.dirname(options.screenshot), { recursive: true });
  await page.screenshot({ path: options.screenshot });
  console.log(`     screenshot: ${options.screenshot}`);
});

const caseDir = options.cases;
const expectedOf = (name) => fs.readFileSync(path.join(caseDir, `${name}.out`), 'latin1');
async function playCase(name, enter) {
  await startAGame();
  const fresh = await screen();
  if (fresh.split('\n').length !== 4) throw new Error(`the game did not start on a clear screen:\n${fresh}`);
  await enter();
  await endTheInput();
  const written = await transcript();
  if (!matchesWithFate(written, expectedOf(name) + PAUSE_PROMPT)) {
    throw new Error(`the game wrote:\n${written.toString('latin1')}`);
  }
  // Letters outside ASCII went in as UTF-8 and must come back on screen as the same letters.
  const shown = await screen();
  const lettersLines = Buffer.from(expectedOf(name), 'latin1').toString('utf8').split('\n')
    .filter((line) => /[^\x00-\x7f]/.test(line) && !line.includes('<fate>') && !line.includes('\ufffd'));
  for (const line of lettersLines) {
    if (!shown.includes(line)) throw new Error(`"${line}" is not on screen:\n${shown}`);
  }
  await pressAKeyAndEnd();
  if (!(await transcript()).toString('latin1').endsWith(`${PAUSE_PROMPT}\n`)) {
    throw new Error('no line end after the key');
  }
}

await check('Backspace edits an answer, in a fresh game after "Play again"', () =>
  playCase('three_lines', () => type([{ type: 'Annx' }, { press: 'Backspace' },
    { press: 'Enter' }, { type: 'Lee' }, { press: 'Enter' }, { type: '2' }, { press: 'Enter' }])));

await check('three lines pasted at once play as typed', () =>
  playCase('three_lines', () => paste('Ann\nLee\n2\n')));

await check('words from an on-screen keyboard, with no key presses, play as typed', () =>
  playCase('letters_outside_ascii', () => type([{ insert: 'Zoë' }, { press: 'Enter' },
    { insert: 'Ñandú' }, { press: 'Enter' }, { insert: '3' }, { press: 'Enter' }])));

const left = [];
for (const file of fs.readdirSync(caseDir).filter((f) => f.endsWith('.in')).sort()) {
  const name = file.slice(0, -3);
  const keys = keysFor(fs.readFileSync(path.join(caseDir, file)));
  if (keys === null) {
    left.push(name);
    continue;
  }
  await check(`typed: ${name}`, () => playCase(name, () => type(keys)));
}
console.log(`     not typeable, left out: ${left.join(', ')}`);

await check('a 360-pixel-wide screen does not scroll the page sideways', async () => {
  await page.setViewportSize({ width: 360, height: 740 });
  await page.waitForTimeout(200);
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  if (width > 360) throw new Error(`the page is ${width} pixels wide`);
});

await check('the page logged no error', async () => {
  if (pageErrors.length > 0) throw new Error(pageErrors.join('\n'));
});

await browser.close();
site.close();
const failed = results.filter((r) => !r.ok).length;
console.log(`browser: ${results.length - failed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
