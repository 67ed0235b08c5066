// The page's first script, loaded from its head without holding the page back: it starts
// compiling the game's WebAssembly while the terminal loads, and says what went wrong where
// the game cannot be played. The page's script takes the compiled game from
// window.quorvaleWasm, once this has run (it says so with the event "quorvale-boot").
//
// Served, the .wasm is fetched; a server that does not call .wasm files application/wasm
// still gets the game, compiled once the whole file is in. Opened from disk, where browsers
// fetch nothing, the same bytes come in quorvale-wasm.js, a script that only such a page
// loads.
document.documentElement.dataset.scripts = 'on'; // the page's static "not loaded" stays hidden
window.quorvaleWasm = (() => {
  if (!window.WebAssembly) return null;
  if (location.protocol === 'file:') {
    return new Promise((resolve, reject) => {
      const script = document.createElement('script');
      script.src = 'quorvale-wasm.js';
      script.onload = () => {
        const hex = window.quorvaleWasmHex;
        const bytes = new Uint8Array(hex.length / 2);
        for (let at = 0; at < bytes.length; at++) bytes[at] = parseInt(hex.substr(2 * at, 2), 16);
        resolve(WebAssembly.compile(bytes));
      };
      script.onerror = () => reject(new Error('quorvale-wasm.js is missing'));
      document.head.append(script);
    });
  }
  return fetch('quorvale.wasm').then(async (response) => {
    if (!response.ok) throw new Error(`quorvale.wasm: HTTP ${response.status}`);
    return response.headers.get('Content-Type') === 'application/wasm'
      ? WebAssembly.compileStreaming(response)
      : WebAssembly.compile(await response.arrayBuffer());
  });
})();
window.quorvaleWasm?.catch(() => {}); // the page's script says what went wrong

// Says what went wrong in place of the terminal, with Retry where trying again can help: not
// for a browser that lacks what the game needs, nor for files on disk, which a reload reads
// the same. The page's script says so too; if it never starts a game, this says why it may
// not have.
window.showProblem = (what, retry = location.protocol !== 'file:') => {
  const problem = document.getElementById('problem');
  problem.replaceChildren(Object.assign(document.createElement('p'), { textContent: what }));
  if (retry) {
    problem.append(Object.assign(document.createElement('button'), { type: 'button',
      textContent: 'Retry', onclick: () => location.reload() }));
  }
  document.documentElement.dataset.game = 'failed';
};
addEventListener('load', () => {
  if (document.documentElement.dataset.game) return;
  if (!window.WebAssembly) {
    window.showProblem('This browser cannot run the game: it has no WebAssembly. A recent '
      + 'Chrome, Firefox, Safari or Edge can.', false);
  } else if (location.protocol === 'file:') {
    window.showProblem('The game\'s files could not be loaded from this folder. Unpack the '
      + 'whole download again and open its index.html.');
  } else {
    window.showProblem('The game\'s files could not be loaded. Check the connection and try '
      + 'again; if you host this page, serve its .js files as JavaScript.');
  }
});
document.dispatchEvent(new Event('quorvale-boot'));
