#include "console/console.h"

namespace quorvale {

// Windows has no SIGPIPE, and the console streams keep their default text mode.
void prepare_console() {}

}  // namespace quorvale
