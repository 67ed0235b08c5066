#include <cstdlib>

#include "console/console.h"

namespace quorvale {

// Windows has no SIGPIPE, and the console streams keep their default text mode.
void prepare_console() {}

// The command interpreter's own PAUSE writes its prompt and waits for a key. Its result
// says nothing the game could act on.
void pause_for_key(std::ostream& /*out*/) {
  static_cast<void>(std::system("PAUSE"));  // NOLINT(cert-env33-c): the platform's own pause
}

}  // namespace quorvale
