// The browsers the page is played in, behind the part of Playwright's page that the browser
// test uses: Chromium through playwright-core, Firefox through puppeteer-core over WebDriver
// BiDi, and WebKit (MiniBrowser, Safari's engine) through WebKitWebDriver. Firefox and WebKit
// run in a window on the X display the test was given (xvfb-run), so that keys their
// automation cannot send as a player would can come from the X server (`realKeys`, xdotool):
// Firefox's automated keys never press a focused button, and WebKit's never repeat a key
// held down.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import { setTimeout as sleep } from 'node:timers/promises';

// The code points WebDriver's key actions name the keys the test presses by.
const WEBDRIVER_KEYS = { Control: '\ue009', Alt: '\ue00a', Shift: '\ue008', Enter: '\ue007',
  NumpadEnter: '\ue007', Backspace: '\ue003', Tab: '\ue004', Escape: '\ue00c', Space: ' ',
  ArrowLeft: '\ue012', ArrowUp: '\ue013', ArrowRight: '\ue014', ArrowDown: '\ue015',
  Home: '\ue011', End: '\ue010', Delete: '\ue017', PageUp: '\ue00e', PageDown: '\ue00f',
  F1: '\ue031', F12: '\ue03c' };
// xdotool's names for them.
const X_KEYS = { Control: 'ctrl', Alt: 'alt', Shift: 'shift', Enter: 'Return', Backspace: 'BackSpace',
  Tab: 'Tab', Escape: 'Escape', Space: 'space', '\\': 'backslash' };
const xKey = (combo) => combo.split('+').map((key) => X_KEYS[key] ?? key).join('+');

// Text with no key press behind it, as voice typing and emoji pickers give it: an input event
// on the focused text box, and no key events.
function insertWithoutKeys(text) {
  document.execCommand('insertText', false, text);
}

const freePort = () => new Promise((resolve) => {
  const server = net.createServer().listen(0, '127.0.0.1', () => {
    const { port } = server.address();
    server.close(() => resolve(port));
  });
});

// Keys from the X server to the browser's window, which first gets the X focus and a click
// where the page has nothing to focus (its heading).
function xWindow(windowClass) {
  const run = (...args) => execFileSync('xdotool', args, { encoding: 'utf8' }).trim();
  const id = run('search', '--sync', '--onlyvisible', '--class', windowClass).split('\n')[0];
  return {
    focus: () => run('windowfocus', '--sync', id),
    click: (x, y) => run('mousemove', '--window', id, String(x), String(y), 'click', '1'),
    keys: (...combos) => run('key', '--clearmodifiers', '--delay', '40', ...combos.map(xKey)),
    hold: async (key, milliseconds) => {
      run('keydown', xKey(key));
      await sleep(milliseconds);
      run('keyup', xKey(key));
    },
  };
}

// --- Firefox, through puppeteer-core
async function firefox(options) {
  const { default: puppeteer } = await import('puppeteer-core');
  const browser = await puppeteer.launch({ browser: 'firefox', executablePath: options.firefox,
    headless: false, protocol: 'webDriverBiDi', args: ['--width=1000', '--height=900'] });
  const page = (await browser.pages())[0];
  const keyboard = {
    press: async (combo) => {
      const keys = combo.split('+');
      for (const key of keys.slice(0, -1)) await page.keyboard.down(key);
      await page.keyboard.press(keys.at(-1) === 'Space' ? ' ' : keys.at(-1));
      for (const key of keys.slice(0, -1).reverse()) await page.keyboard.up(key);
    },
    type: (text, typeOptions) => page.keyboard.type(text, typeOptions),
    down: (key) => page.keyboard.down(key),
    up: (key) => page.keyboard.up(key),
    insertText: (text) => page.evaluate(insertWithoutKeys, text),
  };
  return {
    name: 'firefox',
    page: {
      keyboard,
      goto: (url) => page.goto(url),
      reload: () => page.reload(),
      evaluate: (f, argument) => (typeof f === 'string' ? page.evaluate(f) : page.evaluate(f, argument)),
      waitForFunction: (f, argument, { timeout = 10000 } = {}) =>
        page.waitForFunction(f, { timeout, polling: 50 }, argument),
      waitForTimeout: (milliseconds) => sleep(milliseconds),
      focus: (selector) => page.focus(selector),
      click: (selector) => page.click(selector),
      textContent: (selector) => page.$eval(selector, (element) => element.textContent),
      setViewportSize: ({ width, height }) => page.setViewport({ width, height }),
      screenshot: ({ path }) => page.screenshot({ path }),
      on: (event, listener) => page.on(event, listener),
    },
    x: () => xWindow('firefox'),
    close: () => browser.close(),
  };
}

// --- WebKit, through WebKitWebDriver and its MiniBrowser
async function webkit(options) {
  const port = await freePort();
  const driver = spawn(options.webkitDriver, [`--port=${port}`], { stdio: 'ignore' });
  const address = `http://127.0.0.1:${port}`;
  async function command(method, url, body) {
    for (let attempt = 0; ; attempt++) {
      try {
        const response = await fetch(`${address}${url}`, { method, body: body && JSON.stringify(body),
          headers: { 'Content-Type': 'application/json' } });
        const { value } = await response.json();
        if (value?.error) throw Object.assign(new Error(`${url}: ${value.error}: ${value.message}`), { webdriver: true });
        return value;
      } catch (error) {
        if (error.webdriver || attempt > 50) throw error;
        await sleep(100); // the driver is still starting
      }
    }
  }
  const { sessionId } = await command('POST', '/session', { capabilities: { alwaysMatch: {
    browserName: 'MiniBrowser', 'webkitgtk:browserOptions': { binary: options.miniBrowser, args: ['--automation'] },
  } } });
  const session = `/session/${sessionId}`;
  await command('POST', `${session}/window/rect`, { x: 0, y: 0 });
  const evaluate = async (f, argument) => {
    if (typeof f === 'string') return command('POST', `${session}/execute/sync`, { script: f, args: [] });
    const { value, error } = await command('POST', `${session}/execute/async`, {
      script: `const [argument, done] = arguments;
        Promise.resolve().then(() => (${f})(argument)).then((value) => done({ value }),
          (error) => done({ error: String(error?.message ?? error) }));`,
      args: [argument ?? null] });
    if (error !== undefined) throw new Error(error);
    return value;
  };
  const keyActions = (actions) => command('POST', `${session}/actions`, {
    actions: [{ type: 'key', id: 'keyboard', actions }] });
  const webdriverKey = (key) => WEBDRIVER_KEYS[key] ?? key;
  const keyboard = {
    press: (combo) => {
      const keys = combo.split('+').map(webdriverKey);
      return keyActions([...keys.map((value) => ({ type: 'keyDown', value })),
        ...keys.reverse().map((value) => ({ type: 'keyUp', value }))]);
    },
    type: async (text, { delay = 0 } = {}) => {
      for (const c of text) {
        const value = c === '\n' ? WEBDRIVER_KEYS.Enter : c;
        await keyActions([{ type: 'keyDown', value }, { type: 'keyUp', value }]);
        if (delay) await sleep(delay);
      }
    },
    down: (key) => keyActions([{ type: 'keyDown', value: webdriverKey(key) }]),
    up: (key) => keyActions([{ type: 'keyUp', value: webdriverKey(key) }]),
    insertText: (text) => evaluate(insertWithoutKeys, text),
  };
  const waitForFunction = async (f, argument, { timeout = 10000 } = {}) => {
    for (const until = Date.now() + timeout; ;) {
      const value = await evaluate(f, argument);
      if (value) return value;
      if (Date.now() > until) throw new Error(`timed out waiting for ${String(f).slice(0, 200)}`);
      await sleep(50);
    }
  };
  return {
    name: 'webkit',
    page: {
      keyboard,
      goto: (url) => command('POST', `${session}/url`, { url }),
      reload: () => command('POST', `${session}/refresh`, {}),
      evaluate,
      waitForFunction,
      waitForTimeout: (milliseconds) => sleep(milliseconds),
      focus: (selector) => evaluate((s) => document.querySelector(s).focus(), selector),
      click: async (selector) => {
        const element = await command('POST', `${session}/element`, { using: 'css selector', value: selector });
        await command('POST', `${session}/element/${Object.values(element)[0]}/click`, {});
      },
      textContent: (selector) => evaluate((s) => document.querySelector(s).textContent, selector),
      // The window's size less its frame and toolbar is the page's.
      setViewportSize: async ({ width, height }) => {
        const frame = await evaluate(() => [outerWidth - innerWidth, outerHeight - innerHeight]);
        await command('POST', `${session}/window/rect`, { width: width + frame[0], height: height + frame[1] });
        await waitForFunction(([w, h]) => innerWidth === w && innerHeight === h, [width, height], { timeout: 3000 })
          .catch(() => {}); // a window manager may not give the exact size; the checks see what it is
      },
      screenshot: async ({ path }) => fs.writeFileSync(path,
        Buffer.from(await command('GET', `${session}/screenshot`), 'base64')),
      on: () => {}, // the classic protocol has no console: errors are not seen here
    },
    x: () => xWindow('MiniBrowser'),
    close: async () => {
      await command('DELETE', session).catch(() => {});
      driver.kill();
    },
  };
}

export async function launch(engine, options) {
  if (engine === 'firefox') return firefox(options);
  if (engine === 'webkit') return webkit(options);
  throw new Error(`no such engine: ${engine}`);
}
