// The page: one terminal, and a game run in it each time the player starts one. Each game is
// a fresh instance of the game's module, as starting the program again would be: its own
// memory, defaults and fate, nothing carried over from the last. The WebAssembly is compiled
// once, so another game needs no network.
//
// It is the last part of the page's script, after the game's JavaScript (createQuorvale)
// and the terminal (terminal.js), and runs as soon as that script is in.

const state = document.documentElement.dataset; // what the page is doing, for its tests too
// The page's static "has not loaded" goes, whether or not the stylesheet that hides it came.
document.getElementById('not-loaded').remove();
const playAgain = document.getElementById('play-again');
const share = document.getElementById('share');
const statusLine = document.getElementById('status');
const endingLabel = document.getElementById('ending-label');

// The head's script (boot.js) has begun to compile the game, or has fetched nothing where
// the game cannot run at all (a browser without WebAssembly), and then says why once the page
// has loaded. It comes in by itself, most often before this script.
const booted = 'quorvaleWasm' in window ? Promise.resolve()
  : new Promise((resolve) => document.addEventListener('quorvale-boot', resolve, { once: true }));

// Each game's instance, made ahead: the first one while the terminal is set up.
function makeGame() {
  return window.quorvaleWasm.then((module) => createQuorvale({
    noInitialRun: true,
    instantiateWasm: (imports, receive) => {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module), fail);
      return {};
    },
  }));
}
let nextGame = null;

// A font of the page's own choosing on every system, where xterm.js's default list leaves it to
// the browser (which in WebKit picks one whose rows are too short for an accented capital),
// and rows tall enough that É and Ñ are drawn whole: xterm.js cuts each row off at its height.
const FONTS = '"Cascadia Mono", Consolas, "SF Mono", Menlo, "DejaVu Sans Mono", '
  + '"Liberation Mono", "Noto Sans Mono", "Droid Sans Mono", monospace';
const xterm = new window.Terminal({
  screenReaderMode: true, // the text also goes to an off-screen live region
  fontFamily: FONTS,
  fontSize: 14,
  lineHeight: 1.2,
  cursorBlink: true,
  convertEol: true, // the game writes line feeds; the screen needs each to start a new line
});
const fit = new window.FitAddon.FitAddon();
xterm.loadAddon(fit);

// As many columns as the box has room for; and the game's longest fixed line, 41 letters, on
// one row: where the box is too narrow for it at the usual size (a phone), a smaller one, down
// to 12 pixels, which still reads.
const WIDEST_LINE = 41;
function refit() {
  const before = xterm.options.fontSize;
  for (let size = 14; size >= 12; size--) {
    if (xterm.options.fontSize !== size) xterm.options.fontSize = size;
    if ((fit.proposeDimensions()?.cols ?? WIDEST_LINE) >= WIDEST_LINE) break;
  }
  fit.fit();
  // A new size's cells are measured again as they are drawn, which can give the box a column
  // more or less than the fit just made: fit to them once they are.
  if (xterm.options.fontSize !== before) requestAnimationFrame(() => fit.fit());
}

// xterm.js writes its colours and its cells' size into two <style> elements that it makes as it
// opens. A host's policy may refuse inline styles (style-src without 'unsafe-inline'), as the
// page's own does: those would count for nothing, and each be reported. So while it opens, the
// <style> it asks for is an inert <template>, and what it writes there goes into a stylesheet
// made by script, which no such policy refuses.
function openWithoutInlineStyles(element) {
  const createElement = document.createElement;
  const inert = [];
  document.createElement = function (name, ...rest) {
    if (String(name).toLowerCase() !== 'style') return createElement.call(this, name, ...rest);
    const template = createElement.call(this, 'template');
    inert.push(template);
    return template;
  };
  try {
    xterm.open(element);
  } finally {
    document.createElement = createElement;
  }
  for (const template of inert) {
    const sheet = new CSSStyleSheet();
    const copy = () => sheet.replaceSync(template.textContent);
    copy();
    new MutationObserver(copy).observe(template, { childList: true, characterData: true, subtree: true });
    document.adoptedStyleSheets = [...document.adoptedStyleSheets, sheet];
  }
}

// The terminal opens once the first game's instance is ready, so that its first frame on
// screen already holds the game's first lines.
function openTerminal() {
  openWithoutInlineStyles(document.getElementById('terminal'));
  refit();
  // Again whenever the box's size changes: a phone turned, a window narrowed, the page zoomed.
  new ResizeObserver(() => requestAnimationFrame(refit))
    .observe(document.getElementById('terminal'));
  // Tab and Shift+Tab move the focus, as on any page, and type nothing into the game.
  xterm.attachCustomKeyEventHandler((event) => event.key !== 'Tab');
  // Text that comes with no key press xterm.js handles (in screen-reader mode it leaves it
  // out) is typed here: an emoji picker, voice typing, and an on-screen keyboard's keys, which
  // come as key code 229 with the text in their input event. xterm.js would read such a key's
  // text from its text box a moment later, and a key faster than that moment would come twice.
  let keyTyped = false; // by xterm.js, since the last input event
  document.getElementById('terminal').addEventListener('keydown', (event) => {
    if (event.keyCode === 229 && !event.isComposing) {
      event.stopPropagation(); // before it reaches xterm.js's text box
    } else {
      keyTyped = true;
    }
  }, true);
  const inputs = {
    insertText: (data) => data,
    insertLineBreak: () => '\r',
    deleteContentBackward: () => '\x7f',
  };
  xterm.textarea.addEventListener('input', (event) => {
    const typed = inputs[event.inputType]?.(event.data);
    if (!keyTyped && !event.isComposing && typed) xterm.input(typed);
    keyTyped = false;
  });
  xterm.textarea.addEventListener('keyup', () => (keyTyped = false)); // a key, no input event
}

// The terminal takes the focus only once no key is held: the key that started a game (Enter
// on "Play again") must not go on into it.
const keysDown = new Set();
addEventListener('keydown', (event) => keysDown.add(event.code), true);
let focusPending = false;
addEventListener('keyup', (event) => {
  keysDown.delete(event.code);
  if (keysDown.size === 0 && focusPending) {
    focusPending = false;
    xterm.focus();
  }
}, true);
addEventListener('blur', () => keysDown.clear()); // keys let go of in another window
function focusWhenKeysAreUp() {
  focusPending = keysDown.size > 0;
  if (!focusPending) xterm.focus();
}

let terminal = null; // the current game's
let typed = false; // whether the player has typed anything on this page yet
xterm.onData(() => (typed = true));

// Closing or reloading the tab mid-game asks first: Ctrl-W, a console's word erase, closes the
// tab in most browsers before the page ever sees the key.
addEventListener('beforeunload', (event) => {
  if (state.game === 'playing' && typed) event.preventDefault();
});

async function playOneGame() {
  if (state.game === 'playing') return;
  state.game = 'playing';
  delete state.exitStatus;
  playAgain.hidden = true;
  share.hidden = true;
  endingLabel.hidden = true;
  statusLine.textContent = '';
  if (terminal) { // after a game: a clear screen, fitted; the first game's is both already
    xterm.reset();
    refit();
  }
  xterm.write('\x1b[?45h'); // Backspace may go back over a wrapped line's end

  const game = await nextGame;
  if (!xterm.element) openTerminal();
  focusWhenKeysAreUp();
  let interrupted;
  const ended = new Promise((resolve) => (interrupted = resolve));
  terminal = new GameTerminal(xterm, {
    onWaiting: (what) => {
      state.waitingFor = what;
      if (what) state.waits = String(Number(state.waits || 0) + 1);
    },
    onInterrupt: interrupted,
    onRefused: (length) => {
      statusLine.textContent = `That paste held ${length.toLocaleString('en')} letters; the page `
        + `takes at most ${MAX_PASTE.toLocaleString('en')} at once. None of it was typed.`;
    },
  });
  game.terminal = terminal; // where the game's input, output and pause go (game_io.js)
  const main = game.ccall('main', 'number', ['number', 'number'], [0, 0], { async: true });
  const exitStatus = await Promise.race([main, ended]);
  nextGame = makeGame();
  await terminal.drained();
  if (state.game !== 'playing') return; // it failed meanwhile
  terminal.dispose();
  state.game = 'ended';
  state.exitStatus = String(exitStatus);
  xterm.write('\x1b[?25l'); // no cursor once the game is over
  if (exitStatus !== 0) {
    statusLine.textContent = `The game was ended with ${exitStatus === 130 ? 'Ctrl-C' : 'Ctrl-\\'} `
      + `(exit status ${exitStatus}).`;
  }
  share.hidden = exitStatus !== 0 || endingLines() === null;
  playAgain.hidden = false;
  playAgain.focus(); // so Enter or Space plays again
}

// The game stopped with an error (a trap in the WebAssembly, an exception in the page's
// code): nothing typed goes anywhere any more, and the page says so.
function fail(error) {
  if (state.game === 'failed') return;
  terminal?.dispose();
  xterm.options.disableStdin = true;
  playAgain.hidden = true;
  share.hidden = true;
  const why = error?.message ?? error;
  window.showProblem(terminal ? `The game stopped with an error (${why}). Retry starts it again.`
    : `The game could not be loaded (${why}). Check the connection, then retry.`);
}
addEventListener('error', (event) => fail(event.error ?? event.message));
addEventListener('unhandledrejection', (event) => fail(event.reason));

// The character's arrival and death, the lines worth sharing: the two before the game's last
// line (its closing banner), after which came the pause's prompt; null if it never came.
function endingLines() {
  if (terminal.beforeKey === undefined) return null;
  const text = new TextDecoder().decode(
    Uint8Array.from(terminal.beforeKey, (c) => c.charCodeAt(0)));
  const lines = text.split('\n');
  return lines.length >= 4 ? lines.slice(-4, -2).join('\n') : null;
}

// A phone's share sheet where there is one; elsewhere the clipboard, and the page says so.
// Where neither is allowed (a page embedded without them), the ending in a box to copy from.
share.addEventListener('click', async () => {
  const text = endingLines();
  if (navigator.share) {
    try {
      await navigator.share({ title: 'Quorvale', text, url: location.href });
      return;
    } catch (error) {
      if (error.name === 'AbortError') return; // the player closed the sheet
    }
  }
  try {
    await navigator.clipboard.writeText(`${text}\n${location.href}`);
    statusLine.textContent = 'Copied the ending to the clipboard.';
  } catch {
    const ending = document.getElementById('ending');
    ending.value = `${text}\n${location.href}`;
    endingLabel.hidden = false;
    ending.focus();
    ending.select();
  }
});

// A fresh press of Enter or Space, a click or a tap: a key held down since it answered the
// pause repeats, and must not start another game.
playAgain.addEventListener('keydown', (event) => {
  if (event.repeat) event.preventDefault();
});
playAgain.addEventListener('click', () => playOneGame().catch(fail));

// Offline after one visit, and installable as an app. A new version found on a visit, once
// its files are all cached, takes over at once, and the page reloads into it, unless the
// player has begun to type: then it waits for a later visit. Until it takes over, this page
// is served the files of its own version only.
if ('serviceWorker' in navigator && location.protocol !== 'file:') {
  const hadWorker = navigator.serviceWorker.controller !== null;
  navigator.serviceWorker.addEventListener('controllerchange', () => {
    if (hadWorker && !typed) location.reload();
  });
  const takeOver = (worker) => {
    if (worker && !typed) worker.postMessage('take over');
  };
  addEventListener('load', () => navigator.serviceWorker.register('sw.js').then((registration) => {
    takeOver(registration.waiting);
    registration.addEventListener('updatefound', () => {
      const worker = registration.installing;
      worker.addEventListener('statechange', () => {
        if (worker.state === 'installed') takeOver(worker);
      });
    });
  }).catch(() => {}));
}

// For the browser tests: the screen, and what the game wrote, byte for byte.
window.quorvale = {
  xterm, fit, maxPaste: MAX_PASTE, transcript: () => terminal?.transcript() ?? '',
};

// Started only now: if anything above failed, the head's check says what went wrong.
booted.then(() => {
  if (!window.quorvaleWasm) return;
  nextGame = makeGame();
  state.game = 'loading';
  playOneGame().catch(fail);
});
