# The web build's contract with Asyncify: the functions that can be on the stack while the
# game waits for the player. A read or the pause waits through Asyncify, which rewrites every
# function that can be on the stack then. Left to itself it assumes any indirect call can
# lead there and rewrites a third of the C++ library; instead it is told which functions make
# the virtual and stdio calls on the way from main to a read: the stream buffer, its
# iterators, the istream extractors and the number parser (their callers follow from the
# direct calls). That saves 16 kB of the page's gzipped weight.
#
# The names are libc++'s internals as run_game reads today (words and a number through
# std::cin) and as the pause waits (a direct call). A new way to read, or to wait, needs its
# functions here: a function missing traps, or plays wrong, the first time the game waits
# inside it. The web test `web.waits_at_every_byte` plays every transcript case in the
# built game under Node with one byte a read, so the game waits wherever a read can, and
# fails at build time rather than in a player's browser.
set(QUORVALE_ASYNCIFY_ADD main getc __uflow std::__2::__stdinbuf* std::__2::basic_streambuf*
  std::__2::istreambuf_iterator* bool.std::__2::operator!=* std::__2::basic_istream*
  std::__2::num_get*)
