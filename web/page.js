// The page: one terminal, and a game run in it each time the player starts one. Each run is
// a fresh instance of the game's module, as starting the program again would be: its own
// memory, defaults and fate, nothing carried over from the last.
import createQuorvale from './quorvale.js';
import { GameTerminal } from './terminal.js';

// The next run's instance is made ahead: the first compiles while the terminal is set up.
let nextGame = createQuorvale({ noInitialRun: true });

const xterm = new window.Terminal({
  screenReaderMode: true, // the text also goes to an off-screen live region
  fontSize: 14,
  cursorBlink: true,
});
// As many columns as the box has room for, so a narrow screen wraps lines, not the page.
const fit = new window.FitAddon.FitAddon();
xterm.loadAddon(fit);
xterm.open(document.getElementById('terminal'));
fit.fit();
// In screen-reader mode xterm.js ignores text that arrives with no key press behind it (an
// on-screen keyboard, an emoji picker); it is typed all the same. Text a key press has
// already sent comes again in that key's input event, in the same task: that one is skipped.
let justSent = null;
xterm.onData((data) => {
  justSent = data;
  setTimeout(() => (justSent = null));
});
xterm.textarea.addEventListener('input', (event) => {
  const sent = justSent;
  justSent = null;
  if (event.inputType === 'insertText' && event.data && !event.isComposing && event.data !== sent) {
    xterm.input(event.data);
  }
});

const playAgain = document.getElementById('play-again');
const state = document.documentElement.dataset;
let terminal = null;

async function playOneGame() {
  if (state.game === 'playing') return;
  playAgain.hidden = true;
  state.game = 'playing';
  delete state.exitStatus;
  xterm.reset();
  xterm.focus();
  terminal = new GameTerminal(xterm, (what) => {
    state.waitingFor = what;
    if (what) state.waits = String(Number(state.waits || 0) + 1);
  });
  const game = await nextGame;
  game.terminal = terminal; // where the game's input, output and pause go (game_io.js)
  const status = await game.ccall('main', 'number', ['number', 'number'], [0, 0], { async: true });
  nextGame = createQuorvale({ noInitialRun: true });
  await terminal.drained();
  terminal.dispose();
  state.game = 'ended';
  state.exitStatus = String(status);
  playAgain.hidden = false;
  playAgain.focus(); // so Enter plays again
}

// Enter on the button starts the game when the key comes up: its press would otherwise go on
// into the new game's terminal as an empty line. A click, a tap or Space start it at once.
playAgain.addEventListener('keydown', (event) => {
  if (event.key === 'Enter') event.preventDefault();
});
playAgain.addEventListener('keyup', (event) => {
  if (event.key === 'Enter') playOneGame();
});
playAgain.addEventListener('click', playOneGame);

// For the browser tests: the screen, and what the game wrote, byte for byte.
window.quorvale = { xterm, transcript: () => terminal.transcript() };

playOneGame();
