// The game's expected texts, read from tests/expected/ (its README.md says what each holds),
// for the browser test and the web benchmark. Texts are strings of one character a byte
// (latin1), as the page's transcript is.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const folder = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', 'expected');
const read = (name) => fs.readFileSync(path.join(folder, name), 'latin1');
const linesOf = (name) => read(name).split('\n').slice(0, -1);

export const game = read('game.txt');
export const fates = linesOf('fates.txt');
export const classNames = linesOf('classes.txt');
const gameLines = linesOf('game.txt');
// The lines before each answer, in the order the game asks them.
export const prompts = gameLines.filter((line, i) => gameLines[i + 1] === '<answer>');
// The game's last line, its closing banner; and what it writes before its first wait.
export const closingLine = gameLines.at(-1);
export const beforeFirstAnswer = game.slice(0, game.indexOf('<answer>\n'));
export const greetingLine = gameLines.find((line) => line.includes('<first name>'));

export const caseNames = fs.readdirSync(path.join(folder, 'cases'))
  .filter((file) => file.endsWith('.in')).map((file) => file.slice(0, -3)).sort();
export const caseInput = (name) => fs.readFileSync(path.join(folder, 'cases', `${name}.in`));
export function caseCharacter(name) {
  const [firstName, lastName, className] = linesOf(`cases/${name}.character`);
  return { firstName, lastName, className };
}

// The game's text for `character` and the fate text `fate`, in one pass: what the game
// writes, or with `answers` what a terminal shows, each answer echoed after its prompt.
export function fill(character, fate, answers = null) {
  const next = (answers ?? []).map((answer) => `${answer}\n`).values();
  const fills = {
    '<first name>': character.firstName,
    '<last name>': character.lastName,
    '<class>': character.className,
    '<fate>': fate,
  };
  return game.replace(/<answer>\n|<first name>|<last name>|<class>|<fate>/g, (placeholder) =>
    (placeholder === '<answer>\n' ? next.next().value ?? '' : fills[placeholder]));
}

// Whether the bytes `actual` are what the game writes for `character`, with any fate, and
// then `after`.
export const matches = (actual, character, after = '') =>
  fates.some((fate) => actual.equals(Buffer.from(fill(character, fate) + after, 'latin1')));
