// Plays the web build in one browser engine (--engine: chromium, the default, headless;
// firefox or webkit, in a window on the X display, as engines.mjs says), as a player at the
// keyboard would, and requires it to be the console's game, and the page around it to be a
// sturdy app. The same checks run in each engine, but for those that need Chromium's
// DevTools (said so as they are left out):
//  - a game typed key by key as each prompt appears leaves on screen exactly what a console
//    shows (the fate aside), from the expected texts; the pause waits for a key, which ends the run
//    with status 0; the screen reader's copy of the screen has the text; a screenshot of the
//    finished game is saved;
//  - Enter (and the keypad's) at the pause only ends the game, and keys after it reach
//    nothing; Backspace, Ctrl-W, Ctrl-U and Ctrl-V edit an answer, after a fresh Enter on
//    "Play again" has started a fresh game; keys that send escape sequences do nothing;
//    Backspace takes back one grapheme cluster, and the screen always shows what the game
//    gets; pasted C1 controls and escape sequences drive nothing;
//  - every transcript case whose input can be typed is typed (one of them pasted) into a
//    fresh game each, and what the game wrote must be the case's expected output, byte for
//    byte, then the pause's prompt; input the case ends early is ended with Ctrl-D; letters
//    outside ASCII must be on screen as they were typed; keys as an on-screen keyboard sends
//    them (key code 229), or text with no key at all, type each letter once;
//  - keys that are the terminal's: Tab and Shift+Tab move the focus and type nothing; Ctrl-C
//    and Ctrl-\ end the game mid-answer or at the pause with status 130 or 131; Ctrl-Z, Ctrl-S
//    and Ctrl-Q do nothing;
//  - a 1 MiB pasted name plays whole, and a paste too long to take is refused out loud;
//  - the terminal refits when its box changes, down to 320 pixels, with no sideways scroll,
//    the longest line on one row at 12 pixels or more, and the status in the first screen;
//  - an erase leaves the screen as typing only what is left would (tabs at the right edge,
//    wrapped rows, wide letters, Ctrl-W, Alt+Backspace, Alt with a letter outside the BMP);
//    Ctrl-U past the screen's top starts a fresh row; accented capitals fit in their rows;
//    closing the tab mid-game asks first;
//  - the ending can be shared (copied, where there is no share sheet), and inside an iframe
//    of another origin, where it may not be copied, shown to copy by hand;
//  - installable, and after one visit it plays a whole game with no connection, also where
//    the host redirects index.html, and with two copies of the site on one origin; a visit
//    mid-deploy, when sw.js is new and another file is not, keeps nothing, and the next visit
//    after the deploy gets the new build;
//  - under a host's policy that refuses inline styles, nothing is refused and the page reads
//    right;
//  - the page opened from disk plays; a blocked .wasm and a trap mid-game each end in an
//    alert with Retry, in the first screen, in place of the terminal; an address without its
//    final slash says so;
//  - no axe-core violation (WCAG 2.2 AA and best practice), no source map named that the
//    site lacks, and no error logged.
//
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { createRequire } from 'node:module';
import { chromium } from 'playwright-core';
import { launch } from './engines.mjs';
import { serve, CHROMIUM_ARGUMENTS } from './static_server.mjs';
import {
  beforeFirstAnswer, caseCharacter, caseInput, caseNames, closingLine, fates, fill,
  greetingLine, matches, prompts,
} from './expected.mjs';

const options = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) {
  options[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
}
for (const required of ['site', 'screenshot']) {
  if (!options[required]) throw new Error(`--${required} is missing`);
}

const PAUSE_PROMPT = 'Press any key to continue . . . ';
const WAITING_SCREEN = `${closingLine}\n${PAUSE_PROMPT.trimEnd()}`; // the screen's end at the pause
const bytesOf = (text) => Buffer.from(text, 'latin1');
const asBytes = (text) => Buffer.from(text, 'utf8').toString('latin1'); // as the game gets it
const threeLines = caseCharacter('three_lines');
const threeLinesAnswers = caseInput('three_lines').toString('latin1').split('\n').slice(0, -1);

const site = await serve(options.site);
const engine = options.engine ?? 'chromium';
const onChromium = engine === 'chromium';
const chromiumPath = options.chromium ?? '/usr/bin/chromium';
let browser = null; // Chromium's
let other = null; // another engine's
let page;
if (onChromium) {
  browser = await chromium.launch({ executablePath: chromiumPath, args: CHROMIUM_ARGUMENTS });
  page = await browser.newPage({ viewport: { width: 820, height: 720 } });
} else {
  other = await launch(engine, options);
  page = other.page;
  await page.setViewportSize({ width: 820, height: 720 });
}
const pageErrors = [];
page.on('console', (message) => {
  if (message.type() === 'error') pageErrors.push(message.text());
});
page.on('pageerror', (error) => pageErrors.push(error.message));
await page.goto(site.url);
// Keys from the X server, for the other engines: the window gets the focus, and a click on the
// page's heading gives the page the keyboard.
const xKeys = other?.x();
async function giveThePageTheKeyboard() {
  xKeys.focus();
  const top = await page.evaluate(() => outerHeight - innerHeight);
  xKeys.click(30, top + 25);
  await page.evaluate(() => window.quorvale.xterm.focus());
}
if (xKeys) {
  await page.waitForFunction(() => document.documentElement.dataset.waitingFor === 'line');
  await giveThePageTheKeyboard();
}

// --- what is on the page
const state = () => page.evaluate(() => ({ ...document.documentElement.dataset }));
const transcript = async () => bytesOf(await page.evaluate(() => window.quorvale.transcript()));
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
const waitUntil = (test, argument, timeout = 10000) => page.waitForFunction(test, argument, { timeout });
const waitingFor = (what) => waitUntil((w) => document.documentElement.dataset.waitingFor === w, what);
async function startAGame() {
  const before = await state();
  if (before.game === 'ended') {
    await page.focus('#play-again'); // where the page put it, unless a check moved it
    if (engine === 'firefox') xKeys.keys('Enter'); // its automation's Enter presses no button
    else await page.keyboard.press('Enter');
  }
  await waitUntil(() => document.documentElement.dataset.game === 'playing');
  await waitingFor('line');
}
const ended = (status) => waitUntil((s) => document.documentElement.dataset.game === 'ended'
  && document.documentElement.dataset.exitStatus === s, status);
async function pressAKeyAndEnd() {
  await page.keyboard.press('k');
  await waitUntil(() => document.documentElement.dataset.game === 'ended');
  const { exitStatus } = await state();
  if (exitStatus !== '0') throw new Error(`the run ended with status ${exitStatus}, not 0`);
}

// Each byte of a case's input as the key a player presses for it; null where there is no
// such key (a carriage return, which the terminal turns into a line end; a byte above 127
// that is not part of a UTF-8 letter).
const KEYS = { 0x00: 'Control+Space', 0x09: 'Control+i', 0x0a: 'Enter', 0x0b: 'Control+k',
  0x0c: 'Control+l' };
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
const devtools = onChromium ? await page.context().newCDPSession(page) : null;
async function type(keys) {
  for (const key of keys) {
    if (key.press) {
      await page.keyboard.press(key.press);
    } else if (key.letter && !onChromium) {
      await page.keyboard.type(key.letter); // the engine's driver makes the key for the letter
    } else if (key.letter) {
      // Playwright's keyboard knows only US keys; Chromium is told of the key itself.
      const event = { key: key.letter, text: key.letter, unmodifiedText: key.letter };
      await devtools.send('Input.dispatchKeyEvent', { type: 'keyDown', ...event });
      await devtools.send('Input.dispatchKeyEvent', { type: 'keyUp', key: key.letter });
    } else if (key.insert) {
      await page.keyboard.insertText(key.insert); // text with no key press behind it
    } else if (key.onScreen) {
      // As Android's keyboards send a key: code 229, its text only in the input event.
      const unidentified = { windowsVirtualKeyCode: 229, key: 'Unidentified' };
      await devtools.send('Input.dispatchKeyEvent', { type: 'keyDown', ...unidentified });
      await devtools.send('Input.insertText', { text: key.onScreen });
      await devtools.send('Input.dispatchKeyEvent', { type: 'keyUp', ...unidentified });
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
  if (!onChromium) { // whose synthetic paste events carry no data: xterm.js's own paste
    await page.evaluate((pasted) => window.quorvale.xterm.paste(pasted), text);
    return;
  }
  await page.evaluate((pasted) => {
    const data = new DataTransfer();
    data.setData('text/plain', pasted);
    document.querySelector('.xterm-helper-textarea')
      .dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true }));
  }, text);
}

// --- the checks
const results = [];
// `onlyIn` names the engine a check needs, and why.
async function check(name, body, onlyIn = null) {
  if (onlyIn && onlyIn.engine !== engine) {
    console.log(`skip ${name} (${onlyIn.why})`);
    return;
  }
  try {
    await body();
    results.push({ name, ok: true });
    console.log(`ok   ${name}`);
  } catch (error) {
    results.push({ name, ok: false });
    console.log(`FAIL ${name}\n     ${error.message.split('\n').join('\n     ')}`);
    // A fresh page for the next check, which the failed game's must not ask to keep.
    await page.evaluate(() => (document.documentElement.dataset.game = 'failed')).catch(() => {});
    await page.goto(site.url);
  }
}
const expectEqual = (actual, expected, what) => {
  if (actual !== expected) throw new Error(`${what}:\n--- expected\n${expected}\n--- got\n${actual}`);
};

await check("a game typed key by key shows what the console's screen does", async () => {
  await waitingFor('line');
  for (const [i, prompt] of prompts.entries()) {
    await waitUntil((p) => window.quorvale.xterm.buffer.active.getLine(
      window.quorvale.xterm.buffer.active.cursorY - 1 + window.quorvale.xterm.buffer.active.baseY)
      ?.translateToString(true).trimEnd() === p, prompt);
    await page.keyboard.type(threeLinesAnswers[i], { delay: 30 });
    await page.keyboard.press('Enter');
  }
  await waitingFor('key');
  const shown = await screen();
  const screens = fates.map((fate) => fill(threeLines, fate, threeLinesAnswers) + PAUSE_PROMPT.trimEnd());
  if (!screens.includes(shown)) expectEqual(shown, screens[0], 'the screen (with fate 1)');
  await page.waitForTimeout(500);
  if ((await state()).game !== 'playing') throw new Error('the pause did not wait for a key');
  // The screen reader's copy of the screen follows it within a frame or two.
  await waitUntil((line) => document.querySelector('.xterm-accessibility-tree')?.textContent
    .includes(line), closingLine);
  await pressAKeyAndEnd();
  fs.mkdirSync(path.dirname(options.screenshot), { recursive: true });
  await page.screenshot({ path: options.screenshot });
  console.log(`     screenshot: ${options.screenshot}`);
});


await check('Enter at the pause only ends the game, held or not: the game stays on screen', async () => {
  await page.evaluate(() => addEventListener('keydown', (event) => {
    if (event.repeat) window.repeats = (window.repeats ?? 0) + 1;
  }, true));
  for (const key of ['Enter', 'NumpadEnter']) {
    await startAGame();
    await paste('Ann\nLee\n2\n');
    await waitingFor('key');
    if (xKeys) { // held for real, as long as the X server takes to repeat a key
      await xKeys.hold(key === 'Enter' ? 'Return' : 'KP_Enter', 1200);
      if (!(await page.evaluate(() => window.repeats))) throw new Error(`${key} held did not repeat`);
    } else {
      await page.keyboard.down(key);
      await ended('0');
      await page.keyboard.down(key); // held: the keyboard repeats it, now on "Play again"
      await page.keyboard.up(key);
    }
    await ended('0');
    await page.waitForTimeout(300);
    if ((await state()).game !== 'ended' || !(await screen()).includes(closingLine)) {
      throw new Error(`${key} at the pause started another game`);
    }
  }
  // Two keys at once: the first ends the game, and nothing of the second reaches the screen.
  await startAGame();
  await paste('Ann\nLee\n2\n');
  await waitingFor('key');
  await page.keyboard.type('ab');
  await ended('0');
  await page.waitForTimeout(200);
  if (!(await screen()).endsWith(WAITING_SCREEN)) {
    throw new Error(`the screen after the key:\n${await screen()}`);
  }
});

async function playCase(name, enter) {
  await startAGame();
  const fresh = await screen();
  if (fresh.split('\n').length !== 4) throw new Error(`the game did not start on a clear screen:\n${fresh}`);
  await enter();
  await endTheInput();
  const written = await transcript();
  if (!matches(written, caseCharacter(name), PAUSE_PROMPT)) {
    throw new Error(`the game wrote:\n${written.toString('latin1')}`);
  }
  // Letters outside ASCII went in as UTF-8 and must come back on screen as the same letters.
  const shown = await screen();
  const lettersLines = Buffer.from(fill(caseCharacter(name), ''), 'latin1').toString('utf8')
    .split('\n').filter((line) => /[\u0080-\uffff]/.test(line) && !line.includes('\ufffd'));
  for (const line of lettersLines) {
    if (!shown.includes(line)) throw new Error(`"${line}" is not on screen:\n${shown}`);
  }
  await pressAKeyAndEnd();
  if (!(await transcript()).toString('latin1').endsWith(`${PAUSE_PROMPT}\n`)) {
    throw new Error('no line end after the key');
  }
}

await check('Backspace, Ctrl-W, Ctrl-U and Ctrl-V edit an answer, in a fresh game after "Play again"',
  () => playCase('three_lines', () => type([{ type: 'Bob Ax' }, { press: 'Control+w' },
    { press: 'Control+u' }, { type: 'Ann' }, { press: 'Control+v' }, { type: 'x' },
    { press: 'Backspace' }, { press: 'Enter' }, { type: 'Lee' }, { press: 'Enter' }, { type: '2' },
    { press: 'Enter' }])));

await check('keys that send escape sequences do nothing; Ctrl-W alone erases a word', () =>
  playCase('three_lines', async () => {
    await type([{ type: 'Anm' }, ...['ArrowLeft', 'ArrowRight', 'Home', 'End', 'Delete',
      'PageUp', 'PageDown', 'F1', 'F12', 'Escape', 'Alt+x', 'Shift+ArrowUp']
      .map((press) => ({ press })), { press: 'Backspace' }, { type: 'n Bo' },
    { press: 'Control+w' }]);
    const shown = await screen();
    if (!shown.endsWith(`${prompts[0]}\nAnn`)) throw new Error(`the answer on screen:\n${shown}`);
    await type([{ press: 'Enter' }, { type: 'Lee\n2\n' }]);
  }));

await check('Backspace takes back a letter as seen, and the screen shows what the game gets', async () => {
  for (const [typed, answer] of [['A\u2764\ufe0f', 'Ax'], ['A\u{1f44d}\u{1f3fd}', 'Ax'],
    ['A\u{1f468}\u200d\u{1f469}', 'Ax'], ['A\u0939\u0902', 'Ax'], ['Jose\u0301', 'Josx']]) {
    await startAGame();
    await type([{ insert: typed }, { press: 'Backspace' }, { type: 'x' }]);
    // The erase waits for the screen to show the letter, and the x for the erase.
    await waitUntil((a) => window.quorvale.xterm.buffer.active.getLine(window.quorvale.xterm
      .buffer.active.baseY + window.quorvale.xterm.buffer.active.cursorY).translateToString(true)
      .endsWith(a), answer).catch(() => {});
    const shown = (await screen()).split('\n').at(-1);
    await type([{ press: 'Enter' }, { type: 'Lee\n2\n' }]);
    await waitingFor('key');
    const got = matches(await transcript(), { ...threeLines, firstName: answer }, PAUSE_PROMPT);
    if (shown !== answer || !got) {
      throw new Error(`${JSON.stringify(typed)}: the screen shows ${shown}, the game wrote:\n${
        (await transcript()).toString('utf8')}`);
    }
    await pressAKeyAndEnd();
  }
});

const expectThreeLines = async () => {
  if (!matches(await transcript(), threeLines, PAUSE_PROMPT)) {
    throw new Error(`the game wrote:\n${(await transcript()).toString('latin1')}`);
  }
};
// Types the rest of the three answers, and requires the game to be three_lines's to the end.
async function finishThreeLines(rest) {
  await page.keyboard.type(rest);
  await waitingFor('key');
  await expectThreeLines();
  await pressAKeyAndEnd();
}

// The screen, cell by cell: each row's text, whether it goes on from the row above, and the
// cursor. Two screens alike are alike to the eye, and to the next erase.
const cells = () => page.evaluate(() => {
  const buffer = window.quorvale.xterm.buffer.active;
  const rows = [];
  for (let row = 0; row < buffer.length; row++) {
    const line = buffer.getLine(row);
    rows.push(`${line.isWrapped ? '+' : '|'}${line.translateToString(true)}`);
  }
  while (rows.at(-1) === '|') rows.pop();
  return JSON.stringify({ rows, x: buffer.cursorX, y: buffer.baseY + buffer.cursorY });
});
const endGame = async () => {
  await page.keyboard.press('Control+c');
  await ended('130');
};
// Pasted text and pressed keys, in turn: a step is { paste } or { press }.
async function enterSteps(steps) {
  for (const step of steps) {
    if (step.paste) await paste(step.paste);
    else await page.keyboard.press(step.press);
    await page.waitForTimeout(30);
  }
  await page.waitForTimeout(150);
}
await check('an erase leaves the screen as typing only what is left would, and the game gets that', async () => {
  const columns = await page.evaluate(() => window.quorvale.xterm.cols);
  const q = (count) => 'q'.repeat(count);
  const wordErase = onChromium ? 'Control+w' : 'Alt+Backspace'; // both, in Chromium's DevTools
  const rows = [
    // [what is entered, what is left, as typed instead]
    [[{ paste: q(columns - 2) }, { paste: '\t' }, { press: 'Backspace' }], q(columns - 2)],
    [[{ paste: `${q(columns - 2)}\t` }, { press: 'Backspace' }, { paste: 'r' }], `${q(columns - 2)}r`],
    [[{ paste: `${q(columns - 1)}xy` }, { press: 'Backspace' }], `${q(columns - 1)}x`],
    [[{ paste: `${q(columns + 5)}\tab\t` }, { press: 'Backspace' }], `${q(columns + 5)}\tab`],
    [[{ paste: `${q(columns - 2)}\u4e00\u4e00` }, { press: 'Backspace' }], `${q(columns - 2)}\u4e00`],
    [[{ paste: 'Ann Bo' }, { press: wordErase }, { paste: 'Lee' }], 'Ann Lee'],
    [[{ paste: 'Ann Bo' }, { press: 'Alt+Backspace' }], 'Ann '],
    [[{ paste: 'A\u001b\u{1f600}b' }], 'Ab'],
  ];
  const withoutFate = (bytes) => fates.reduce((text, fate) => text.split(fate).join('<fate>'),
    bytes.toString('latin1'));
  for (const [steps, left] of rows) {
    const outcomes = [];
    for (const entered of [[{ paste: left }], steps]) {
      await startAGame();
      await enterSteps(entered);
      const shown = await cells();
      await page.keyboard.press('Enter');
      await endTheInput();
      outcomes.push({ shown, got: withoutFate(await transcript()) });
      await pressAKeyAndEnd();
    }
    const [expected, got] = outcomes;
    if (got.shown !== expected.shown || got.got !== expected.got) {
      throw new Error(`${JSON.stringify(steps)}: the screen\n${got.shown}\nnot as typing ${
        JSON.stringify(left)}\n${expected.shown}\nor the game got otherwise:\n${got.got}`);
    }
  }
  // Ctrl-U after a paste taller than the screen: the answer goes on a fresh row, alone.
  await startAGame();
  await enterSteps([{ paste: q(3000) }, { press: 'Control+u' }, { paste: 'Ann' }]);
  const { rows: shown, x } = JSON.parse(await cells());
  if (shown.at(-1) !== '|Ann' || x !== 3) throw new Error(`the row typed on: ${shown.at(-1)}, cursor at ${x}`);
  await finishThreeLines('\nLee\n2\n');
});

await check('accented capitals and descenders fit in their rows, in the page\'s own font', async () => {
  await startAGame();
  await paste('\u00c9lodie\u00d1gjy');
  const fit = await page.evaluate(() => {
    const span = document.querySelector('.xterm-rows > div span') ?? document.querySelector('.xterm-rows > div');
    const style = getComputedStyle(span);
    const rowHeight = window.quorvale.xterm._core._renderService.dimensions.css.cell.height;
    const context = document.createElement('canvas').getContext('2d');
    context.font = `${style.fontSize} ${style.fontFamily}`;
    const ink = context.measureText('\u00c9\u00d1\u00c5\u00c7gjy|');
    const font = context.measureText('M');
    const halfLeading = (rowHeight - font.fontBoundingBoxAscent - font.fontBoundingBoxDescent) / 2;
    return { family: style.fontFamily, rowHeight, top: halfLeading + font.fontBoundingBoxAscent
      - ink.actualBoundingBoxAscent, bottom: halfLeading + font.fontBoundingBoxAscent + ink.actualBoundingBoxDescent };
  });
  if (!fit.family.startsWith('"Cascadia Mono"') || fit.top < 0 || fit.bottom > fit.rowHeight) {
    throw new Error(`in ${fit.family}, a row of ${fit.rowHeight} pixels holds ink from ${fit.top} to ${fit.bottom}`);
  }
  await endGame();
});

await check('closing the tab mid-game asks first', async () => {
  await startAGame();
  await page.keyboard.type('Ann');
  let asked = null;
  page.once('dialog', (dialog) => {
    asked = dialog.type();
    dialog.dismiss().catch(() => {});
  });
  await page.evaluate(() => setTimeout(() => location.reload()));
  await page.waitForTimeout(500);
  if (asked !== 'beforeunload' || (await state()).game !== 'playing') throw new Error(`asked: ${asked}`);
  await endGame();
}, { engine: 'chromium', why: "Playwright's dialogs; the others' drivers dismiss them unseen" });

await check('pasted C1 controls and escape sequences drive nothing: no clear, no report', async () => {
  await startAGame();
  await paste('Ann\u009b2J\u001b[2J\nLee\u009b6n\n2\n');
  await waitingFor('key');
  const pasted = { ...threeLines, firstName: asBytes('Ann\u009b2J'), lastName: asBytes('Lee\u009b6n') };
  if (!matches(await transcript(), pasted, PAUSE_PROMPT)) {
    throw new Error(`the game got:\n${(await transcript()).toString('utf8')}`);
  }
  const shown = await screen();
  if (!shown.startsWith(fill(threeLines, '').split('\n')[0])
    || !shown.includes(greetingLine.replace('<first name>', 'AnnM-^[2J'))) {
    throw new Error(`the screen:\n${shown}`);
  }
  await pressAKeyAndEnd();
});

await check('three lines pasted at once play as typed', () =>
  playCase('three_lines', () => paste('Ann\nLee\n2\n')));

await check('words from an on-screen keyboard, with no key presses, play as typed', () =>
  playCase('letters_outside_ascii', () => type([{ insert: 'Zoë' }, { press: 'Enter' },
    { insert: 'Ñandú' }, { press: 'Enter' }, { insert: '3' }, { press: 'Enter' }])));

await check('keys from an on-screen keyboard (key code 229) type each letter once', () =>
  playCase('three_lines', () => type([...'Ann', '\n', ...'Lee', '\n', '2', '\n']
    .map((c) => (c === '\n' ? { press: 'Enter' } : { onScreen: c })))),
{ engine: 'chromium', why: "Chromium's DevTools send key code 229" });

const left = [];
for (const name of caseNames) {
  const keys = keysFor(caseInput(name));
  if (keys === null) {
    left.push(name);
    continue;
  }
  await check(`typed: ${name}`, () => playCase(name, () => type(keys)));
}
console.log(`     not typeable, left out: ${left.join(', ')}`);

await check('Tab and Shift+Tab move the focus and type nothing into the answer', async () => {
  await startAGame();
  await page.keyboard.type('Ann');
  const focused = () => page.evaluate(() => document.activeElement === window.quorvale.xterm.textarea);
  await page.keyboard.press('Tab');
  // WebKit, as Safari does by default, tabs only between text boxes: the focus stays.
  if (await focused() !== (engine === 'webkit')) throw new Error('Tab did not move the focus');
  await page.keyboard.press('Shift+Tab');
  if (!(await focused())) throw new Error('Shift+Tab did not bring the focus back');
  await page.keyboard.press('Shift+Tab');
  await page.click('#terminal');
  // In a window, Tab from the page's last field goes on to the browser's toolbar, and keys
  // from the X server would follow it there.
  if (xKeys) await giveThePageTheKeyboard();
  await finishThreeLines('\nLee\n2\n');
});

await check('Ctrl-C and Ctrl-\\ end the game (130, 131); Ctrl-Z, Ctrl-S and Ctrl-Q do nothing', async () => {
  await startAGame();
  // Firefox keeps Ctrl-Q (it quits, once asked), even from its automation.
  const quit = engine === 'firefox' ? [] : [{ press: 'Control+q' }];
  await type([{ type: 'An' }, { press: 'Control+z' }, { press: 'Control+s' }, { type: 'n' },
    { press: 'Enter' }, ...quit, { type: 'Lee' }, { press: 'Enter' }]);
  await paste('2\n');
  await waitingFor('key'); // the game's output was not held back
  for (const key of ['Control+s', ...quit.map((k) => k.press), 'Control+z']) await page.keyboard.press(key);
  await page.waitForTimeout(300);
  if ((await state()).game !== 'playing') throw new Error('a key the page keeps answered the pause');
  await expectThreeLines();
  await page.keyboard.press('Control+c');
  await ended('130');
  for (const [key, status] of [['Control+c', '130'], ['Control+\\', '131']]) {
    await startAGame();
    await page.keyboard.type('Ann');
    await page.keyboard.press(key);
    await ended(status);
    if ((await transcript()).length > beforeFirstAnswer.length) throw new Error(`${key} sent the answer`);
    if (!(await page.textContent('#status')).includes(`exit status ${status}`)) {
      throw new Error(`the page does not say the game ended with ${status}`);
    }
  }
});

await check('a 1 MiB pasted name plays whole; a paste too long to take is refused out loud', async () => {
  const name = 'q'.repeat(1 << 20);
  await startAGame();
  await paste(`${name}\nLee\n2\n`);
  await waitUntil(() => document.documentElement.dataset.waitingFor === 'key', undefined, 60000);
  if (!matches(await transcript(), { ...threeLines, firstName: name }, PAUSE_PROMPT)) {
    throw new Error('the game did not play the whole name');
  }
  await pressAKeyAndEnd();
  await startAGame();
  await paste('q'.repeat(await page.evaluate(() => window.quorvale.maxPaste) + 1));
  await waitUntil(() => document.getElementById('status').textContent.includes('None of it was typed'));
  await paste('Ann\nLee\n2\n');
  await waitingFor('key');
  await expectThreeLines();
  await pressAKeyAndEnd();
});

await check('the terminal refits to its box mid-game, from 820 pixels down to 320 and back', async () => {
  await startAGame();
  await page.keyboard.type('Ann\n');
  for (const width of [320, 360, 820]) {
    await page.setViewportSize({ width, height: 700 });
    await waitUntil(() => window.quorvale.fit.proposeDimensions().cols === window.quorvale.xterm.cols);
    const overflow = await page.evaluate(() => {
      const box = document.getElementById('terminal').getBoundingClientRect();
      const grid = document.querySelector('.xterm-screen').getBoundingClientRect();
      return Math.max(document.documentElement.scrollWidth - innerWidth, grid.right - box.right);
    });
    if (overflow > 0) throw new Error(`at ${width} pixels the page or the grid is ${overflow} too wide`);
    const { cols, fontSize } = await page.evaluate(() => ({ cols: window.quorvale.xterm.cols,
      fontSize: window.quorvale.xterm.options.fontSize }));
    if (cols < 41 || fontSize < 12) throw new Error(`at ${width} pixels: ${cols} columns at ${fontSize} pixels`);
    if (width === 320) {
      await page.keyboard.type('Lee\n2\n');
      await waitingFor('key');
    }
  }
  const shown = await screen();
  if (!shown.endsWith(WAITING_SCREEN)) {
    throw new Error(`the end of the game is not on screen:\n${shown}`);
  }
  await pressAKeyAndEnd();
  // A phone: after Ctrl-C the status says so within the first screen.
  await page.setViewportSize({ width: 360, height: 740 });
  await startAGame();
  await page.keyboard.press('Control+c');
  await ended('130');
  const bottom = await page.evaluate(() => document.getElementById('status').getBoundingClientRect().bottom);
  if (bottom > 740) throw new Error(`the status ends at ${bottom} pixels, below the screen`);
  await page.setViewportSize({ width: 820, height: 720 });
});

await check('"Share" copies the character\'s arrival and death, from the keyboard', async () => {
  await page.context().grantPermissions(['clipboard-read', 'clipboard-write'], { origin: site.url });
  await startAGame();
  await paste('Ann\nLee\n2\n');
  await waitingFor('key');
  await pressAKeyAndEnd();
  const lines = (await transcript()).toString('latin1').split('\n');
  const ending = lines.slice(lines.indexOf(closingLine) - 2, -3).join('\n');
  await page.keyboard.press('Tab'); // from "Play again" to "Share"
  await page.keyboard.press('Enter');
  await waitUntil(() => document.getElementById('status').textContent.startsWith('Copied'));
  expectEqual(await page.evaluate(() => navigator.clipboard.readText()), `${ending}\n${site.url}`,
    'the clipboard');
}, { engine: 'chromium', why: 'only Playwright grants the clipboard' });

const axe = createRequire(import.meta.url).resolve('axe-core/axe.min.js');
await check('no axe-core violation of WCAG 2.2 AA or best practice, at 360 pixels and 820', async () => {
  await page.evaluate(fs.readFileSync(axe, 'utf8')); // past the page's own script policy
  for (const width of [360, 820]) {
    await page.setViewportSize({ width, height: 740 });
    const violations = await page.evaluate(async () => (await window.axe.run(document, {
      runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'wcag22aa', 'best-practice'],
    })).violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(', ')}`));
    if (violations.length > 0) throw new Error(`at ${width} pixels:\n${violations.join('\n')}`);
  }
});

await check('the site names no source map that it does not carry', () => {
  for (const file of fs.readdirSync(options.site).filter((f) => /\.m?js$/.test(f))) {
    const map = fs.readFileSync(path.join(options.site, file), 'utf8').match(/sourceMappingURL=(\S+)/);
    if (map && !fs.existsSync(path.join(options.site, map[1]))) throw new Error(`${file} names ${map[1]}`);
  }
}, { engine: 'chromium', why: 'the files, not an engine: checked once' });

// In a context of its own: a page that plays a whole game in it, or says why it cannot.
async function inAnotherContext(options, body) {
  const context = await browser.newContext(options);
  try {
    await body(context, await context.newPage());
  } finally {
    await context.close();
  }
}
const playThrough = async (other, keyboard = other.keyboard) => {
  await other.waitForFunction(() => document.documentElement.dataset.waitingFor === 'line');
  await keyboard.type('Ann\nLee\n2\n');
  await other.waitForFunction(() => document.documentElement.dataset.waitingFor === 'key');
  await keyboard.press('k');
  await other.waitForFunction(() => document.documentElement.dataset.exitStatus === '0');
};

await check('installable, and after one visit a whole game plays with no connection', async () => {
  // A profile on disk, as a player's is: Chrome does not install from an incognito one.
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvale-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath, args: CHROMIUM_ARGUMENTS });
  try {
    const app = context.pages()[0] ?? await context.newPage();
    await app.goto(site.url);
    await app.waitForFunction(() => navigator.serviceWorker.controller !== null);
    const devtoolsOfApp = await context.newCDPSession(app);
    const { installabilityErrors } = await devtoolsOfApp.send('Page.getInstallabilityErrors');
    if (installabilityErrors.length > 0) throw new Error(JSON.stringify(installabilityErrors));
    await context.setOffline(true);
    await app.reload();
    await playThrough(app);
    await app.click('#play-again'); // another game, still offline
    await playThrough(app);
  } finally {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
}, { engine: 'chromium', why: "Chromium's DevTools tell installability; offline is checked below" });

// An alert that says `what`, in place of the terminal and within the first screen, with Retry
// only where retrying can help.
const alertOn = async (other, what, retry) => {
  await other.waitForFunction(() => document.documentElement.dataset.game === 'failed');
  const text = await other.textContent('#problem');
  if (!text.includes(what)) throw new Error(`the alert says: ${text}`);
  if ((await other.$('#problem button') !== null) !== retry) throw new Error(`Retry: not ${retry}`);
  for (const [width, height] of [[360, 740], [1280, 800]]) {
    await other.setViewportSize({ width, height });
    const box = await other.evaluate(() => document.getElementById('problem').getBoundingClientRect().bottom);
    if (box > height || await other.isVisible('#terminal')) throw new Error(`at ${width}x${height} the alert ends at ${box}`);
  }
};
// A real trap, from a module of one instruction, where the game's pause should wait: the
// game's import that waits for the key (its name is minified; its code is ours).
function trapAtThePause() {
  const trap = new WebAssembly.Instance(new WebAssembly.Module(new Uint8Array([0, 97, 115, 109, 1,
    0, 0, 0, 1, 4, 1, 96, 0, 0, 3, 2, 1, 0, 7, 8, 1, 4, 116, 114, 97, 112, 0, 0, 10, 5, 1, 3, 0, 0,
    11]))).exports.trap;
  const instantiate = WebAssembly.instantiate;
  WebAssembly.instantiate = (module, imports) => {
    for (const functions of Object.values(imports)) {
      for (const [name, f] of Object.entries(functions)) {
        if (String(f).includes('waitForKey')) functions[name] = trap;
      }
    }
    return instantiate(module, imports);
  };
}

await check('a blocked .wasm and a trap mid-game end in an alert with Retry; from disk it plays',
  () => inAnotherContext({ serviceWorkers: 'block' }, async (context, other) => {
    await other.route('**/quorvale.wasm', (route) => route.abort());
    await other.goto(site.url);
    await alertOn(other, 'could not be loaded', true);
    await other.unroute('**/quorvale.wasm');
    await other.goto(`file://${path.resolve(options.site)}/index.html`);
    await playThrough(other);
    await other.addInitScript(trapAtThePause);
    await other.goto(site.url);
    await other.waitForFunction(() => document.documentElement.dataset.waitingFor === 'line');
    await other.keyboard.type('Ann\nLee\n2\n');
    await alertOn(other, 'stopped with an error', true);
    await other.click('#problem button');
    await other.waitForFunction(() => document.documentElement.dataset.game === 'playing');
  }), { engine: 'chromium', why: "Playwright's routes block the .wasm" });

await check('in an iframe of another origin it plays, and shows the ending to copy by hand', async () => {
  const host = await serve(options.site, { pages: { '/host.html': `<!doctype html><title>host</title>
    <iframe src="${site.url}" width="820" height="700" title="Quorvale"></iframe>` } });
  try {
    await inAnotherContext({}, async (context, other) => {
      await other.goto(`${host.url}host.html`);
      const frame = other.frames().find((f) => f.url().startsWith(site.url));
      await frame.waitForFunction(() => document.documentElement.dataset.waitingFor === 'line');
      await frame.click('#terminal');
      await playThrough(frame, other.keyboard);
      await frame.focus('#share');
      await other.keyboard.press('Enter');
      await frame.waitForFunction(() => !document.getElementById('ending-label').hidden);
      const ending = await frame.inputValue('#ending');
      const endings = fates.map((fate) => fill(threeLines, fate).split('\n').slice(-4, -2).join('\n'));
      if (!endings.some((e) => ending.startsWith(`${e}\n`))) throw new Error(`the box holds: ${ending}`);
    });
  } finally {
    host.close();
  }
}, { engine: 'chromium', why: "Playwright's frames" });

await check('hosts: an address without its slash says so; index.html redirected, or two copies on one origin, play offline', async () => {
  const hosted = await serve(options.site, { folders: ['/a/', '/b/'], redirectIndex: true });
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'quorvale-profile-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath, args: CHROMIUM_ARGUMENTS });
  try {
    const other = context.pages()[0] ?? await context.newPage();
    await other.goto(`${hosted.url}a`);
    await other.waitForFunction(() => getComputedStyle(document.getElementById('not-loaded'))
      .visibility === 'visible' && document.getElementById('not-loaded').textContent.includes('slash'));
    for (const folder of ['a/', 'b/']) {
      await other.goto(`${hosted.url}${folder}`);
      await other.waitForFunction(() => navigator.serviceWorker.controller !== null);
      await other.goto(`${hosted.url}${folder}index.html`); // redirected to the folder
      await playThrough(other);
    }
    await context.setOffline(true);
    for (const address of ['a/', 'a/index.html', 'b/index.html']) {
      await other.goto(`${hosted.url}${address}`);
      await playThrough(other);
    }
  } finally {
    await context.close();
    fs.rmSync(profile, { recursive: true, force: true });
    hosted.close();
  }
}, { engine: 'chromium', why: "Playwright's persistent contexts" });

// Served by a host of its own, on another port: another origin, with its own service worker.
async function atAHost(serveOptions, body) {
  const host = await serve(options.site, serveOptions);
  try {
    await body(host);
  } finally {
    host.close();
  }
}
const playHere = async () => {
  await waitingFor('line');
  await finishThreeLines('Ann\nLee\n2\n');
};

await check("under a host's policy that refuses inline styles nothing is refused, and the page reads right",
  () => atAHost({ headers: { 'Content-Security-Policy': "default-src 'self'; script-src 'self' "
    + "'wasm-unsafe-eval'; style-src 'self'; report-uri /csp-report" } }, async (host) => {
    await page.goto(host.url);
    await playHere();
    const looks = await page.evaluate(() => ({
      text: getComputedStyle(document.querySelector('.xterm-rows')).color,
      terminal: getComputedStyle(document.getElementById('terminal')).backgroundColor,
      notice: document.getElementById('not-loaded') !== null,
    }));
    await page.waitForTimeout(500); // reports are sent when the browser has time
    const want = { text: 'rgb(255, 255, 255)', terminal: 'rgb(0, 0, 0)', notice: false };
    if (host.reports.length > 0 || Object.entries(want).some(([k, v]) => looks[k] !== v)) {
      throw new Error(`${JSON.stringify(looks)}, refused:\n${host.reports.join('\n')}`);
    }
  }));

await check('mid-deploy, with sw.js new and quorvale.js not, a visit keeps nothing; after it, the new build plays offline',
  () => atAHost({}, async (host) => {
    const script = fs.readFileSync(path.join(options.site, 'quorvale.js'));
    host.replaced.set('quorvale.js', Buffer.concat([script, Buffer.from('// the last build\n')]));
    await page.goto(host.url);
    await waitingFor('line');
    // Once the worker has fetched the site, its install ends; failed, it leaves no registration.
    const fetched = () => host.requests.filter((file) => file.endsWith('/quorvale.js')).length;
    for (const until = Date.now() + 20000; fetched() < 2 && Date.now() < until;) await page.waitForTimeout(50);
    await page.waitForFunction(async () => !(await navigator.serviceWorker.getRegistration())?.installing,
      undefined, { timeout: 20000 });
    const kept = await page.evaluate(async () => ({ active: !!(await navigator.serviceWorker
      .getRegistration())?.active, caches: (await caches.keys()).length }));
    if (kept.active || kept.caches > 0) throw new Error(`mid-deploy the worker kept ${JSON.stringify(kept)}`);
    host.replaced.clear(); // the deploy is done
    await page.reload();
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, undefined, { timeout: 20000 });
    const served = await page.evaluate(async () => (await (await fetch('quorvale.js')).text()).length);
    if (served !== script.toString('utf8').length) throw new Error(`quorvale.js served: ${served} letters`);
    host.offline = true;
    await page.reload();
    await playHere();
  }));

await check('the page logged no error', async () => {
  if (pageErrors.length > 0) throw new Error(pageErrors.join('\n'));
}, engine === 'webkit' ? { engine: 'chromium', why: "WebKit's driver shows no console" } : null);

await browser?.close();
await other?.close();
site.close();
const failed = results.filter((r) => !r.ok).length;
console.log(`browser: ${results.length - failed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
