// The terminal a game runs in: xterm.js on the page, and between it and the game a line
// discipline that types as a console does in its normal line mode. What is typed is echoed
// (control characters as ^X, and as M-^X those above 127) and kept until Enter sends the
// line; Backspace erases one letter as the eye sees it (a grapheme cluster: an emoji with its
// modifiers, a letter with its accents), Ctrl-W or Alt+Backspace a word and Ctrl-U the line,
// Ctrl-R shows the line again, Ctrl-V takes the next key as it is; Ctrl-D sends the line
// without its Enter and, on an empty line, ends the input; typing ahead is kept. Keys that
// send other escape sequences (arrows, Home, End, Delete, the F-keys, Alt with a key) and
// Escape itself do nothing. An erase leaves the screen as if only what is left had been
// typed, wrapped rows and tab stops too; where that would reach above the screen's top row,
// the line starts again on a fresh row, as a console's kill does (ECHOK). Ctrl-C and Ctrl-\
// end the game, as their signals would. The page has no shell to stop to and no flow
// control, so Ctrl-Z, Ctrl-S and Ctrl-Q do nothing. Nothing typed or pasted, and nothing the
// game writes back of it, can drive the terminal: control characters only ever reach the
// screen as ^X, and escape sequences typed go nowhere.
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
  const ERASES = new Set([...ERASE, KILL, WORD_ERASE]);
  const REPRINT = '\x12';
  const LITERAL_NEXT = '\x16';
  const LINE_END = new Set(['\r', '\n']); // a typed carriage return is a line end, as at a console
  const CONTROL = /[\x00-\x1f\x7f-\x9f]/g;
  // Escape and what follows it as one key's sequence: CSI (ESC [ ... final byte), SS3
  // (ESC O and a letter), or Alt with a key (ESC and the key).
  // Whole code points (u): Alt with a letter outside the BMP is one key, not half of one.
  const ESCAPE_SEQUENCE = /\x1b(?:\[[\x30-\x3f]*[\x20-\x2f]*[\x40-\x7e]|O.|[^[O])?/gsu;
  // Alt+Backspace (and Ctrl+Alt+Backspace), readline's word erase: unlike Ctrl-W, no browser
  // keeps it for itself.
  const WORD_ERASE_KEYS = new Set(['\x1b\x7f', '\x1b\b']);
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

  const TAB_STOP = 8;
  // Where the text written since the last line end has put the cursor, laid out as xterm.js
  // prints it: a letter that does not fit on the row goes to the next (a wide one leaving the
  // last cell empty), and a tab goes to the next stop but no further than the row's last cell,
  // nor anywhere once the row is full (the cursor then waits past its end, at `columns`). Only
  // the offset where each row begins is kept, so a long paste costs a number per row.
  class Layout {
    constructor(width, columns) {
      this.width = width; // cells of one code point
      this.columns = columns;
      this.clear();
    }

    clear() {
      this.text = '';
      this.rowStarts = [0];
      this.x = 0;
      this.uneven = false; // a tab or a wide letter: a resize's reflow may lay it out otherwise
    }

    // The cursor's column after the code point `code` at column `x`; -1 if it goes to a new row.
    step(code, x) {
      if (code === 9) {
        return x >= this.columns ? x : Math.min(this.columns - 1, (Math.floor(x / TAB_STOP) + 1) * TAB_STOP);
      }
      const cells = this.width(code);
      return x + cells > this.columns ? -1 : x + cells;
    }

    add(text) {
      const lineEnd = text.lastIndexOf('\n');
      if (lineEnd >= 0) {
        this.clear();
        text = text.slice(lineEnd + 1);
      }
      const from = this.text.length;
      this.text += text;
      this.x = this.walk(from, this.text.length, this.x, (at, code) => {
        this.rowStarts.push(at);
        return this.width(code);
      });
    }

    // The column after the code points from offset `from` to `to`, starting at column `x`;
    // `wrapped(offset, code)` gives the column after a code point that goes to a new row.
    walk(from, to, x, wrapped) {
      for (let at = from; at < to;) {
        const code = this.text.codePointAt(at);
        x = this.step(code, x);
        if (x < 0) x = wrapped(at, code);
        if (code === 9 || this.width(code) === 2) this.uneven = true;
        at += code > 0xffff ? 2 : 1;
      }
      return x;
    }

    // A cursor waiting past the row's end goes to the next row, as printing would take it.
    wrapNow() {
      if (this.x < this.columns) return;
      this.rowStarts.push(this.text.length);
      this.x = 0;
    }

    // Row (from the first) and column of the cursor after the first `offset` units of text.
    at(offset) {
      let low = 0;
      let high = this.rowStarts.length - 1;
      while (low < high) { // the last row that begins before `offset`
        const middle = Math.ceil((low + high) / 2);
        if (this.rowStarts[middle] < offset) low = middle;
        else high = middle - 1;
      }
      // Within its row nothing wraps: a row begins wherever a code point did.
      return { row: low, x: this.walk(this.rowStarts[low], offset, 0, () => 0) };
    }

    // Keeps the first `offset` units, the cursor then at `x` on row `row`.
    cut(offset, row, x) {
      this.text = this.text.slice(0, offset);
      this.rowStarts.length = row + 1;
      this.x = x;
    }

    // Laid out again for a new width, as printing it there would.
    resize(columns) {
      const text = this.text;
      this.columns = columns;
      this.clear();
      this.add(text);
    }
  }

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
      // Cells a code point takes, as xterm.js itself measures it when it prints (its own
      // Unicode tables, which no copy here could keep up with).
      const unicode = xterm._core.unicodeService;
      this.layout = new Layout((code) => unicode.wcwidth(code), xterm.cols);
      this.events = events;
      this.chunks = []; // sent lines (Uint8Array) and END_OF_INPUT, in the order typed
      this.line = ''; // the line being typed
      this.lineStart = 0; // where its echo starts in the layout's text
      this.held = ''; // typed, waiting for the screen to catch up before an erase
      this.literalNext = false;
      this.ended = false; // the input has ended: every read returns nothing
      this.over = false; // the game has ended: nothing typed goes anywhere
      this.wake = null; // the pending read, or wait for a key
      this.waitingForKey = false;
      this.written = [];
      this.decoder = new TextDecoder();
      this.inFlight = 0; // writes xterm.js has not put on screen yet
      this.caughtUp = [];
      this.subscriptions = [xterm.onData((data) => this.receive(data)),
        xterm.onResize(({ cols }) => this.resized(cols))];
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
      data = data.replace(ESCAPE_SEQUENCE, (key) => (WORD_ERASE_KEYS.has(key) ? WORD_ERASE : ''));
      if (this.held !== '') {
        this.held += data;
        return;
      }
      this.process(data);
    }

    // An erase moves the cursor from where the screen has it: until the screen shows all that
    // was written, the erase and all typed after it wait.
    process(data) {
      let from = 0;
      for (const match of data.matchAll(CONTROL)) {
        this.type(data.slice(from, match.index));
        from = match.index + 1;
        if (this.inFlight > 0 && !this.literalNext && this.line !== '' && ERASES.has(match[0])) {
          this.holdUntilDrawn(data.slice(match.index));
          return;
        }
        if (!this.control(match[0])) return;
      }
      this.type(data.slice(from));
    }

    holdUntilDrawn(data, then = () => {}) {
      this.held = data;
      this.drained().then(() => {
        if (this.over || this.waitingForKey) return;
        then();
        const held = this.held;
        this.held = '';
        this.process(held);
      });
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
        this.echo(visible(this.line));
      } else if (c === LITERAL_NEXT) {
        this.literalNext = true;
        this.layout.wrapNow();
        this.show('^\b');
      } else if (!IGNORED.has(c)) {
        this.type(c);
      }
      return true;
    }

    type(text) {
      if (text === '') return;
      this.literalNext = false; // taken, if it was waiting
      if (this.line === '') this.lineStart = this.layout.text.length;
      this.line += text;
      this.echo(visible(text));
    }

    // Takes back the last `count` letters of the line (grapheme clusters) from it and from
    // the screen, which then shows what is left as if only that had been typed.
    erase(count) {
      if (this.line === '') return;
      const clusters = clustersOf(this.line);
      this.line = clusters.slice(0, Math.max(0, clusters.length - count)).join('');
      const layout = this.layout;
      // Clamped: output the game wrote while the line was typed may have moved its start.
      const end = Math.min(layout.text.length, this.lineStart + visible(this.line).length);
      const target = layout.at(end);
      const rowsUp = layout.rowStarts.length - 1 - target.row;
      if (rowsUp > this.xterm.buffer.active.cursorY) { // above the screen's top row
        this.newLine();
        this.echo(visible(this.line));
        return;
      }
      // Up from the cursor's row and across to where what is left ends, and the rest of the
      // screen cleared. Where that end is past its row's last cell, the cursor goes to the
      // last letter instead and prints it again, to wait past the end as printing leaves it.
      let from = end;
      let x = target.x;
      if (x >= layout.columns) {
        do {
          from -= /[\udc00-\udfff]/.test(layout.text[from - 1]) ? 2 : 1;
        } while (layout.width(layout.text.codePointAt(from)) === 0);
        x -= layout.width(layout.text.codePointAt(from));
      }
      const again = layout.text.slice(from, end);
      layout.cut(from, target.row, x);
      this.clearFrom(rowsUp, x);
      this.echo(again);
    }

    // A resize reflows the screen's rows as they were printed, which is how they would be
    // printed at the new width but where a tab or a wide letter met a row's end. Then the
    // line, from its first row, is printed again, once the screen shows it all.
    resized(columns) {
      this.layout.resize(columns);
      if (!this.layout.uneven || this.over || this.waitingForKey) return;
      this.holdUntilDrawn(this.held, () => {
        const buffer = this.xterm.buffer.active;
        const row = (up) => buffer.getLine(buffer.baseY + buffer.cursorY - up);
        let rowsUp = 0;
        while (rowsUp < buffer.cursorY && row(rowsUp).isWrapped) rowsUp++;
        if (row(rowsUp).isWrapped) return; // its first row is above the screen's top
        const text = this.layout.text;
        this.layout.clear();
        this.clearFrom(rowsUp, 0);
        this.echo(text);
      });
    }

    // Moves the cursor `rowsUp` rows up from its own and to `column`, and clears the screen
    // from there on.
    clearFrom(rowsUp, column) {
      this.show(`\r${rowsUp > 0 ? `\x1b[${rowsUp}A` : ''}${column > 0 ? `\x1b[${column + 1}G` : ''}\x1b[J`);
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
      this.layout.add(text);
      this.show(text);
    }

    newLine(before = '') {
      this.layout.add(`${before}\n`);
      this.lineStart = 0;
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
      this.layout.add(text);
      this.show(text);
    }

    // One key, unechoed, pressed after this call: what was typed before does not count.
    waitForKey() {
      this.beforeKey = this.transcript(); // the game's whole text, then the pause's prompt
      this.chunks = [];
      this.line = '';
      this.held = ''; // typed ahead of the pause, which a console drops too
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
      this.subscriptions.forEach((subscription) => subscription.dispose());
    }
  }

  return { GameTerminal, MAX_PASTE };
})();
