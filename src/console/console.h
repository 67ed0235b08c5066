#pragma once

#include <iosfwd>

namespace quorvale {

// Readies the process's console before the game touches it.
void prepare_console();

}  // namespace quorvale
