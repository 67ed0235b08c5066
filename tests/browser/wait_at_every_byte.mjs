// Plays every transcript case in the web build's game under Node, with no browser: the cheap
// check of the Asyncify list (web/asyncify.cmake). Each read gets one byte, so the game waits
// wherever a read can (mid-word, mid-number, between answers), then at the pause; a wait in a
// function the list does not name traps or plays wrong here, not in a player's browser. What
// the game writes must be each case's transcript, the pause's prompt and the key's line end.
//
//   node wait_at_every_byte.mjs GAME_SCRIPT GAME_WASM
import fs from 'node:fs';
import { caseCharacter, caseInput, caseNames, matches } from './expected.mjs';

const [gameScript, gameWasm] = process.argv.slice(2);
const PAUSE_PROMPT = 'Press any key to continue . . . ';
// The game's JavaScript is a classic script that defines createQuorvale.
const createQuorvale = new Function(`${fs.readFileSync(gameScript, 'utf8')}\nreturn createQuorvale;`)();
const wasm = await WebAssembly.compile(fs.readFileSync(gameWasm));

async function play(input) {
  const written = [];
  let at = 0;
  const game = await createQuorvale({
    noInitialRun: true,
    instantiateWasm: (imports, receive) => {
      WebAssembly.instantiate(wasm, imports).then((instance) => receive(instance, wasm));
      return {};
    },
  });
  game.terminal = { // as the page's terminal does it, but a byte at a time
    read: async () => input.subarray(at, at < input.length ? ++at : at),
    write: (bytes) => written.push(Buffer.from(bytes)),
    waitForKey: () => new Promise((resolve) => setTimeout(resolve, 1)),
  };
  const status = await game.ccall('main', 'number', ['number', 'number'], [0, 0], { async: true });
  return { status, output: Buffer.concat(written), unread: input.length - at };
}

const failed = [];
let playing = '';
// A trap while the game is rewound after a wait comes from the promise's callback, outside any
// await here.
process.on('uncaughtException', (error) => {
  console.log(`FAIL ${playing}: ${error}`);
  console.log('A wait inside a function the Asyncify list does not name: see web/asyncify.cmake.');
  process.exit(1);
});
for (const name of caseNames) {
  playing = name;
  try {
    const { status, output, unread } = await play(caseInput(name));
    if (status !== 0 || !matches(output, caseCharacter(name), `${PAUSE_PROMPT}\n`)) {
      throw new Error(`status ${status}, ${unread} bytes unread; the game wrote:\n${output.toString('latin1')}`);
    }
  } catch (error) {
    failed.push(name);
    console.log(`FAIL ${name}: ${error.message}`);
  }
}
if (failed.length) {
  console.log('A wait the Asyncify list does not cover? See web/asyncify.cmake.');
}
console.log(`waits: ${caseNames.length - failed.length} passed, ${failed.length} failed`);
process.exit(failed.length ? 1 : 0);
