# The hardening Debian builds its own packages with (dpkg-buildflags): fortified C library
# calls, the stack protector, a position-independent executable and read-only relocations.
# Not immediate binding (-z now): resolving every imported symbol at start adds a fifth to a
# game's start-up, past the goal bench/run.sh holds it to. Not in sanitizer builds, whose
# checks it would only get in the way of.
option(QUORVALE_HARDEN "Build with the distribution's hardening flags" ON)
if(NOT QUORVALE_HARDEN OR QUORVALE_SANITIZE OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux"
   OR NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  return()
endif()

# Fortification needs the optimiser; a compiler that already defines it (as some
# distributions' do) must not see a second definition, which -Werror would reject.
add_compile_options(
  "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>"
  -fstack-protector-strong -Wformat -Werror=format-security)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
add_link_options(-Wl,-z,relro)

# Build paths stay out of the binaries, so two folders give the same bytes.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
