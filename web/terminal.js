// The terminal a game runs in: xterm.js on the page, and between it and the game a line
// discipline that types as a console does in its normal line mode. What is typed is echoed
// (control characters as ^X, and as M-^X those above 127) and kept until Enter sends the
// line; Backspace erases one letter as the eye sees it (a grapheme cluster: an emoji with its
// modifiers, a letter with its accents), Ctrl-W a word and Ctrl-U the line, Ctrl-R shows the
// line again, Ctrl-V takes the next key as it is; Ctrl-D sends the line without its Enter
// and, on an empty line, ends the input; typing ahead is kept. Keys that send escape
// sequences (arrows, Home, End, Delete, the F-keys, Alt with a key) and Escape itself do
// nothing. Ctrl-C and Ctrl-\ end the game, as their signals would. The page has no shell to
// stop to and no flow control, so Ctrl-Z, Ctrl-S and Ctrl-Q do nothing. Nothing typed or
// pasted, and nothing the game writes back of it, can drive the terminal: control characters
// only ever reach the screen as ^X, and escape sequences typed go nowhere.
//
// One GameTerminal serves one game; the game's I/O calls (game_io.js) use read, write and
// waitForKey. It also keeps what the game wrote, byte for byte, for the page and its tests.
// The page (page.js, after this in the page's script) gets GameTerminal and MAX_PASTE; the
// rest stays in here.

/* exported GameTerminal, MAX_PASTE */
const { GameTerminal, MAX_PASTE } = (() => {
  const END_OF_INPUT = null;
  const encoder = new TextEncoder();

  const INTERRUPT = { '\x03': { status: 130, echo: '^C' }, '\x1c': { status: 131, echo: '^\\' } };
  const IGNORED = new Set(['\x1a', '\x13', '\x11']); // Ctrl-Z, Ctrl-S, Ctrl-Q
  const END_OF_FILE = '\x04';
  const ERASE = new Set(['\x7f', '\b']);
  const KILL = '\x15';
  const WORD_ERASE = '\x17';
  const REPRINT = '\x12';
  const LITERAL_NEXT = '\x16';
  const LINE_END = new Set(['\r', '\n']); // a typed carriage return is a line end, as at a console
  const CONTROL = /[\x00-\x1f\x7f-\x9f]/g;
  // Escape and what follows it as one key's sequence: CSI (ESC [ ... final byte), SS3
  // (ESC O and a letter), or Alt with a key (ESC and the key).
  const ESCAPE_SEQUENCE = /\x1b(?:\[[\x30-\x3f]*[\x20-\x2f]*[\x40-\x7e]|O.|[^[O])?/gs;
  // Made on the first erase: a segmenter costs the first prompt time that nothing needs yet.
  let graphemes = null;
  const clustersOf = (text) => {
    graphemes ??= new Intl.Segmenter(undefined, { granularity: 'grapheme' });
    return Array.from(graphemes.segment(text), (part) => part.segment);
  };
  // The most a paste may hold. Four million letters echoed and written three times over keep
  // the page busy for some ten seconds; more would look hung. A bigger paste is refused whole,
  // and the page says so.
  const MAX_PASTE = 4 << 20;

  // Control characters as they are shown: C0 as ^X (DEL as ^?) and C1 as M-^X, as `cat -v`
  // shows them, so that none reaches the terminal as a command. Tabs stay, and line ends
  // where `lineEnds` says so.
  const visible = (text, lineEnds = false) => text.replace(CONTROL, (c) => {
    const code = c.charCodeAt(0);
    if (c === '\t' || (lineEnds && c === '\n')) return c;
    if (code === 0x7f) return '^?';
    return `${code > 0x7f ? 'M-' : ''}^${String.fromCharCode((code & 0x1f) + 64)}`;
  });

  // Bytes as a string of one character a byte, which the tests read back as they were.
  function bytesAsText(bytes) {
    let text = '';
    for (let at = 0; at < bytes.length; at += 8192) {
      text += String.fromCharCode(...bytes.subarray(at, at + 8192));
    }
    return text;
  }

  class GameTerminal {
    // `events.onWaiting` hears 'line' or 'key' once the screen shows all the game wrote before
    // it began to wait for that, and '' when the wait ends; `events.onInterrupt` hears the exit
    // status of a game ended by Ctrl-C or Ctrl-\; `events.onRefused` the length of a paste too
    // long to take.
    constructor(xterm, events) {
      this.xterm = xterm;
      // Cells a text takes, as xterm.js itself measures them when it draws the text (its own
      // Unicode tables, which no copy here could keep up with).
      this.cells = (text) => xterm._core.unicodeService.getStringCellWidth(text);
      this.events = events;
      this.chunks = []; // sent lines (Uint8Array) and END_OF_INPUT, in the order typed
      this.line = ''; // the line being typed
      this.lineColumn = 0; // where on screen its echo starts
      this.column = 0; // where the cursor is, as far as what we wrote says
      this.literalNext = false;
      this.ended = false; // the input has ended: every read returns nothing
      this.over = false; // the game has ended: nothing typed goes anywhere
      this.wake = null; // the pending read, or wait for a key
      this.waitingForKey = false;
      this.written = [];
      this.decoder = new TextDecoder();
      this.inFlight = 0; // writes xterm.js has not put on screen yet
      this.caughtUp = [];
      this.subscription = xterm.onData((data) => this.receive(data));
    }

    // What a key press, a paste or an on-screen keyboard typed.
    receive(data) {
      if (this.over) return;
      if (data.length > MAX_PASTE) {
        this.events.onRefused(data.length);
        return;
      }
      if (this.waitingForKey) {
        this.answerPause(data);
        return;
      }
      data = data.replace(ESCAPE_SEQUENCE, '');
      let from = 0;
      for (const match of data.matchAll(CONTROL)) {
        this.type(data.slice(from, match.index));
        from = match.index + 1;
        if (!this.control(match[0])) return;
      }
      this.type(data.slice(from));
    }

    // At the pause any key goes, but those the page keeps for itself; the key is not echoed,
    // and nothing typed after it goes anywhere, as a console drops what follows the key.
    answerPause(data) {
      const key = data[0];
      if (INTERRUPT[key]) {
        this.interrupt(key);
      } else if (!IGNORED.has(key)) {
        this.waitingForKey = false;
        this.over = true;
        this.wakeUp();
      }
    }

    // One control character; false once the game has ended.
    control(c) {
      if (this.literalNext) {
        this.type(c);
      } else if (INTERRUPT[c]) {
        this.interrupt(c);
        return false;
      } else if (LINE_END.has(c)) {
        this.newLine();
        this.send(this.line + '\n');
      } else if (c === END_OF_FILE) {
        this.send(this.line);
      } else if (ERASE.has(c)) {
        this.erase(1);
      } else if (c === KILL) {
        this.erase(Infinity);
      } else if (c === WORD_ERASE) {
        this.erase(clustersOf(this.line.match(/[^ \t]*[ \t]*$/)[0]).length);
      } else if (c === REPRINT) {
        this.newLine('^R');
        this.lineColumn = 0;
        this.echo(visible(this.line));
      } else if (c === LITERAL_NEXT) {
        this.literalNext = true;
        this.show('^\b');
      } else if (!IGNORED.has(c)) {
        this.type(c);
      }
      return true;
    }

    type(text) {
      if (text === '') return;
      this.literalNext = false; // taken, if it was waiting
      if (this.line === '') this.lineColumn = this.column;
      this.line += text;
      this.echo(visible(text));
    }

    // Takes back the last `count` letters of the line (grapheme clusters) from it and from
    // the screen, where the cursor goes back to the end of what is left.
    erase(count) {
      if (this.line === '') return;
      const clusters = clustersOf(this.line);
      this.line = clusters.slice(0, Math.max(0, clusters.length - count)).join('');
      this.moveBack(this.column - this.columnAfter(visible(this.line), this.lineColumn), '\b \b');
    }

    // The column after `text` from `column`, with tab stops every eight columns.
    columnAfter(text, column) {
      const [first, ...afterTabs] = text.split('\t');
      column += this.cells(first);
      for (const piece of afterTabs) column += 8 - (column % 8) + this.cells(piece);
      return column;
    }

    moveBack(cells, step) {
      if (cells <= 0) return;
      this.column -= cells;
      this.show(step.repeat(cells));
    }

    // The line goes to the game; an empty one, from Ctrl-D, is the end of the input.
    send(text) {
      this.chunks.push(text === '' ? END_OF_INPUT : encoder.encode(text));
      this.line = '';
      this.wakeUp();
    }

    interrupt(key) {
      this.newLine(INTERRUPT[key].echo);
      this.over = true;
      this.wake = null;
      this.events.onWaiting('');
      this.events.onInterrupt(INTERRUPT[key].status);
    }

    // Echoes typed text, which holds no line end or backspace.
    echo(text) {
      this.column = this.columnAfter(text, this.column);
      this.show(text);
    }

    newLine(before = '') {
      this.column = 0;
      this.show(`${before}\n`);
    }

    // Puts text or bytes on screen; `drained` says when they are there.
    show(data) {
      this.inFlight += 1;
      this.xterm.write(data, () => {
        this.inFlight -= 1;
        if (this.inFlight === 0) this.caughtUp.splice(0).forEach((resolve) => resolve());
      });
    }

    wakeUp() {
      const wake = this.wake;
      this.wake = null;
      if (wake) {
        this.events.onWaiting('');
        wake();
      }
    }

    // Said once the screen shows all the game wrote before it began to wait, and only if the
    // wait has not ended by then.
    waitFor(what) {
      const waiting = new Promise((resolve) => (this.wake = resolve));
      const wake = this.wake;
      this.drained().then(() => {
        if (this.wake === wake) this.events.onWaiting(what);
      });
      return waiting;
    }

    // Settles when everything written so far is on the screen.
    drained() {
      if (this.inFlight === 0) return Promise.resolve();
      return new Promise((resolve) => this.caughtUp.push(resolve));
    }

    // At most `capacity` bytes of what has been sent, waiting for a line if there is none.
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

    // What the game writes, shown with its control characters visible: the answers it writes
    // back may hold any the player typed.
    write(bytes) {
      this.written.push(bytes);
      const text = visible(this.decoder.decode(bytes, { stream: true }), true);
      const lineEnd = text.lastIndexOf('\n');
      this.column = this.columnAfter(text.slice(lineEnd + 1), lineEnd < 0 ? this.column : 0);
      this.show(text);
    }

    // One key, unechoed, pressed after this call: what was typed before does not count.
    waitForKey() {
      this.beforeKey = this.transcript(); // the game's whole text, then the pause's prompt
      this.chunks = [];
      this.line = '';
      this.waitingForKey = true;
      return this.waitFor('key');
    }

    // Everything the game has written, one character a byte, for the tests.
    transcript() {
      return this.written.map(bytesAsText).join('');
    }

    // Nothing typed reaches the game from here on.
    dispose() {
      this.over = true;
      this.subscription.dispose();
    }
  }

  return { GameTerminal, MAX_PASTE };
})();
