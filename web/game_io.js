// Linked into the game's JavaScript (em++ --js-library): the game's standard input, standard
// output and pause, served by the page's terminal, `Module.terminal`. It has three calls:
//   read(capacity) -> Promise of a Uint8Array of at most `capacity` bytes; empty at the end
//   write(bytes)   -> shows the bytes, as they are
//   waitForKey()   -> Promise that settles on the first key pressed after the call
// Reads and the pause wait for the player without blocking the page: Asyncify unwinds the
// game's stack while the promise is pending and rewinds it when it settles.

mergeInto(LibraryManager.library, {
  // The C library reads into two buffers, the first often empty; each is filled in turn.
  fd_read__sig: 'iiiii',
  fd_read: function (fd, iov, iovcnt, pnum) {
    if (fd !== 0) {
      return 8; // EBADF: the game reads nothing but its standard input
    }
    return Asyncify.handleSleep(function (wakeUp) {
      var capacity = 0;
      for (var i = 0; i < iovcnt; i++) {
        capacity += HEAPU32[(iov + i * 8 + 4) >> 2];
      }
      Module.terminal.read(capacity).then(function (bytes) {
        var done = 0;
        for (var i = 0; i < iovcnt && done < bytes.length; i++) {
          var start = HEAPU32[(iov + i * 8) >> 2];
          var room = HEAPU32[(iov + i * 8 + 4) >> 2];
          var part = bytes.subarray(done, done + room);
          HEAPU8.set(part, start);
          done += part.length;
        }
        HEAPU32[pnum >> 2] = done;
        wakeUp(0);
      });
    });
  },

  fd_write__sig: 'iiiii',
  fd_write: function (fd, iov, iovcnt, pnum) {
    var written = 0;
    for (var i = 0; i < iovcnt; i++) {
      var start = HEAPU32[(iov + i * 8) >> 2];
      var length = HEAPU32[(iov + i * 8 + 4) >> 2];
      if (fd === 1) {
        Module.terminal.write(HEAPU8.slice(start, start + length));
      }
      written += length;
    }
    HEAPU32[pnum >> 2] = written;
    return 0;
  },

  quorvale_wait_for_key__sig: 'v',
  quorvale_wait_for_key: function () {
    return Asyncify.handleSleep(function (wakeUp) {
      Module.terminal.waitForKey().then(function () {
        wakeUp();
      });
    });
  },
});
