// The terminal a game runs in: xterm.js on the page, with xterm-pty's line discipline
// between it and the game, so that typing behaves as at a console in its normal line mode:
// echo, Backspace, Enter sends the line, Ctrl-D on an empty line ends the input, typing
// ahead is kept. One GameTerminal serves one run; it is what the game's I/O calls use
// (game_io.js). It also keeps what the game wrote, byte for byte, and says what the game is
// waiting for, for the page and its tests.
import { openpty, Flags, Termios } from './xterm-pty.mjs';

const END_OF_INPUT = null;

export class GameTerminal {
  constructor(xterm, onWaiting) {
    const { master, slave } = openpty();
    this.master = master;
    this.slave = slave;
    // The pty's master writes to the terminal one chunk at a time, each once the last is on
    // screen; counting the chunks in flight tells when the screen has caught up.
    this.inFlight = 0;
    this.caughtUp = [];
    master.activate({
      onData: (listener) => xterm.onData(listener),
      onBinary: (listener) => xterm.onBinary(listener),
      onResize: (listener) => xterm.onResize(listener),
      write: (chunk, written) => {
        this.inFlight += 1;
        xterm.write(chunk, () => {
          written();
          this.inFlight -= 1;
          if (this.inFlight === 0) this.caughtUp.splice(0).forEach((resolve) => resolve());
        });
      },
    });
    this.chunks = []; // complete lines (Uint8Array) and END_OF_INPUT, in the order typed
    this.ended = false;
    this.wake = null; // the pending read or wait for a key
    this.waitingForKey = false;
    this.onWaiting = onWaiting; // gets 'line' or 'key' as the game starts to wait, '' as it stops
    this.written = [];
    this.lineMode = slave.ioctl('TCGETS');
    slave.onReadable(() => this.takeInput());
  }

  // The line discipline hands over each finished line. An empty hand-over in line mode
  // comes from Ctrl-D on an empty line: the end of the input.
  takeInput() {
    const bytes = this.slave.read();
    if (this.waitingForKey) {
      this.waitingForKey = false;
      this.slave.ioctl('TCSETS', this.lineMode);
    } else if (bytes.length > 0) {
      this.chunks.push(Uint8Array.from(bytes));
    } else {
      this.chunks.push(END_OF_INPUT);
    }
    this.wakeUp();
  }

  wakeUp() {
    const wake = this.wake;
    this.wake = null;
    if (wake) {
      this.onWaiting('');
      wake();
    }
  }

  // Said once the screen shows all the game wrote before it began to wait, and only if the
  // wait has not ended by then.
  waitFor(what) {
    const waiting = new Promise((resolve) => (this.wake = resolve));
    const wake = this.wake;
    this.drained().then(() => {
      if (this.wake === wake) this.onWaiting(what);
    });
    return waiting;
  }

  // Settles when everything written so far is on the screen.
  drained() {
    if (this.inFlight === 0) return Promise.resolve();
    return new Promise((resolve) => this.caughtUp.push(resolve));
  }

  // At most `capacity` bytes of what has been typed, waiting for a line if there is none.
  // Once the input has ended, every read returns nothing at once.
  async read(capacity) {
    while (!this.ended && this.chunks.length === 0) {
      await this.waitFor('line');
    }
    if (this.ended || this.chunks[0] === END_OF_INPUT) {
      this.ended = true;
      return new Uint8Array(0);
    }
    const line = this.chunks[0];
    if (line.length <= capacity) {
      this.chunks.shift();
      return line;
    }
    this.chunks[0] = line.subarray(capacity);
    return line.subarray(0, capacity);
  }

  write(bytes) {
    this.written.push(bytes);
    this.slave.write(Array.from(bytes));
  }

  // Everything the game has written, as one array of bytes.
  transcript() {
    return this.written.flatMap((bytes) => Array.from(bytes));
  }

  // One key, unechoed, pressed after this call: what was typed before stays unread and does
  // not count.
  waitForKey() {
    const keyPress = Termios.fromConfig({
      ...this.lineMode,
      lflag: this.lineMode.lflag & ~(Flags.ICANON | Flags.ECHO),
    });
    this.slave.ioctl('TCSETS', keyPress);
    this.waitingForKey = true;
    return this.waitFor('key');
  }

  dispose() {
    this.master.dispose();
  }
}
