#include "console/console.h"

namespace quorvale {

// The page's terminal takes the bytes as they are; there is nothing to set up.
void prepare_console() {}

}  // namespace quorvale
