#include <csignal>

#include "console/console.h"

namespace quorvale {

// A reader that goes away early (`quorvale < answers | head -3`) must not kill the game:
// with SIGPIPE ignored the write just fails, unnoticed, and the game still exits 0.
void prepare_console() {
  static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
}

}  // namespace quorvale
