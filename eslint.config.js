// eslint (scripts/lint.sh) over the project's own JavaScript: its recommended rules, and the
// globals each kind of file runs with.
import js from '@eslint/js';
import globals from 'globals';

export default [
  js.configs.recommended,
  {
    // The page's classic scripts share one global scope: the game's JavaScript defines
    // createQuorvale, terminal.js what page.js builds on, boot.js what both wait for.
    files: ['web/boot.js', 'web/terminal.js', 'web/page.js'],
    languageOptions: { sourceType: 'script', globals: globals.browser },
  },
  {
    files: ['web/page.js'],
    languageOptions: {
      globals: { createQuorvale: 'readonly', GameTerminal: 'readonly', MAX_PASTE: 'readonly' },
    },
  },
  {
    // A terminal's line discipline matches control characters on purpose.
    files: ['web/terminal.js'],
    rules: { 'no-control-regex': 'off' },
  },
  {
    files: ['web/sw.js'],
    languageOptions: { sourceType: 'script', globals: globals.serviceworker },
  },
  {
    // An Emscripten library: its code runs inside the game's JavaScript, beside these.
    files: ['web/game_io.js'],
    languageOptions: {
      sourceType: 'script',
      globals: { mergeInto: 'readonly', LibraryManager: 'readonly', Asyncify: 'readonly',
        HEAPU8: 'readonly', HEAPU32: 'readonly', Module: 'readonly' },
    },
  },
  {
    // Node scripts that also hand functions to the page to run there.
    files: ['tests/browser/**/*.mjs', 'bench/**/*.mjs'],
    languageOptions: { globals: { ...globals.node, ...globals.browser } },
  },
];
