#!/usr/bin/env bash
# Rewrites tests/expected/ from the game itself, after a deliberate change to its texts: the
# game's text with its placeholders, the fate texts, the class names and each case's
# character (a new case needs only its .in). Review the diff: it is what the tests will hold
# the game to from then on.
source "$(dirname "$0")/lib.sh"
cmake --preset test >/dev/null
cmake --build --preset test --target quorvale_update_expected >/dev/null
build/test/tests/quorvale_update_expected
git status --short -- tests/expected
