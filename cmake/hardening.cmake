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

# A packager's flags win: a level of fortification or a stack protector they choose, or one
# their compiler already has on (Ubuntu's defines _FORTIFY_SOURCE=3 where it optimises), is
# kept as it is, and only what they leave unchosen is added.
string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
set(given_flags "${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${build_type}}")
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS "${CMAKE_CXX_FLAGS_${build_type}}")
set(CMAKE_REQUIRED_QUIET ON)  # its "Failed" would read like an error; either answer is fine
check_cxx_source_compiles("#ifndef _FORTIFY_SOURCE\n#error\n#endif\nint main() {}"
  compiler_fortifies)
unset(CMAKE_REQUIRED_QUIET)
unset(CMAKE_REQUIRED_FLAGS)
if(compiler_fortifies)
  message(STATUS "Fortified calls: the compiler chooses them (_FORTIFY_SOURCE)")
else()
  message(STATUS "Fortified calls: the compiler chooses none by itself")
endif()
# Fortification needs the optimiser.
if(NOT compiler_fortifies AND NOT given_flags MATCHES "_FORTIFY_SOURCE")
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>")
endif()
if(NOT given_flags MATCHES "-f(no-)?stack-protector")
  add_compile_options(-fstack-protector-strong)
endif()
add_compile_options(-Wformat -Werror=format-security)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
add_link_options(-Wl,-z,relro)

# Build paths stay out of the binaries, so two folders give the same bytes.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
