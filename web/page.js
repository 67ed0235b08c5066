// The page: one terminal, and a game run in it each time the player starts one. Each game is
// a fresh instance of the game's module, as starting the program again would be: its own
// memory, defaults and fate, nothing carried over from the last. The WebAssembly is compiled
// once, so another game needs no network.
//
// It is the last part of the page's script, after the game's JavaScript (createQuorvale)
// and the terminal (terminal.js), and runs as soon as that script is in.

const state = document.documentElement.dataset; // what the page is doing, for its tests too
const playAgain = document.getElementById('play-again');
const share = document.getElementById('share');
const status = document.getElementById('status');

// Where the game cannot run at all (the page opened from disk, a browser without
// WebAssembly), the head's script fetched nothing, and says why once the page has loaded.
const canStart = Boolean(window.quorvaleWasm);

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
let nextGame = canStart && makeGame();

const xterm = new window.Terminal({
  screenReaderMode: true, // the text also goes to an off-screen live region
  fontSize: 14,
  cursorBlink: true,
  convertEol: true, // the game writes line feeds; the screen needs each to start a new line
});
const fit = new window.FitAddon.FitAddon();
xterm.loadAddon(fit);

// The terminal opens once the first game's instance is ready, so that its first frame on
// screen already holds the game's first lines.
function openTerminal() {
  xterm.open(document.getElementById('terminal'));
  fit.fit();
  // As many columns as the box has room for, whenever its size changes: a phone turned, a
  // window narrowed, the page zoomed.
  new ResizeObserver(() => requestAnimationFrame(() => fit.fit()))
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

async function playOneGame() {
  if (state.game === 'playing') return;
  state.game = 'playing';
  delete state.exitStatus;
  playAgain.hidden = true;
  share.hidden = true;
  status.textContent = '';
  if (terminal) { // after a game: a clear screen, fitted; the first game's is both already
    xterm.reset();
    fit.fit();
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
      status.textContent = `That paste held ${length.toLocaleString('en')} letters; the page `
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
    status.textContent = `The game was ended with ${exitStatus === 130 ? 'Ctrl-C' : 'Ctrl-\\'} `
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

// The character's arrival and death, the lines worth sharing, or null without them.
function endingLines() {
  const text = new TextDecoder().decode(
    Uint8Array.from(terminal.transcript(), (c) => c.charCodeAt(0)));
  const lines = text.split('\n');
  const banner = lines.lastIndexOf('*****Game Over*****');
  return banner >= 2 ? lines.slice(banner - 2, banner).join('\n') : null;
}

// A phone's share sheet where there is one; elsewhere the clipboard, and the page says so.
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
    status.textContent = 'Copied the ending to the clipboard.';
  } catch {
    status.textContent = 'The browser did not let the page copy the ending.';
  }
});

// A fresh press of Enter or Space, a click or a tap: a key held down since it answered the
// pause repeats, and must not start another game.
playAgain.addEventListener('keydown', (event) => {
  if (event.repeat) event.preventDefault();
});
playAgain.addEventListener('click', () => playOneGame().catch(fail));

// Offline after one visit, and installable as an app. A new version found on a visit takes
// over at once; the page then reloads into it, unless the player has begun to type.
if ('serviceWorker' in navigator && location.protocol !== 'file:') {
  const hadWorker = navigator.serviceWorker.controller !== null;
  navigator.serviceWorker.addEventListener('controllerchange', () => {
    if (hadWorker && !typed) location.reload();
  });
  addEventListener('load', () => navigator.serviceWorker.register('sw.js').catch(() => {}));
}

// For the browser tests: the screen, and what the game wrote, byte for byte.
window.quorvale = {
  xterm, fit, maxPaste: MAX_PASTE, transcript: () => terminal?.transcript() ?? '',
};

// Set only now: if anything above failed, the head's check says what went wrong.
if (canStart) {
  state.game = 'loading';
  playOneGame().catch(fail);
}
