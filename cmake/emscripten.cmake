# Toolchain file of the web preset: Emscripten's own, found beside em++ on the PATH (Debian's
# emscripten package keeps it in /usr/share/emscripten, emsdk in upstream/emscripten).
find_program(QUORVALE_EMXX em++ REQUIRED)
file(REAL_PATH "${QUORVALE_EMXX}" emxx)
get_filename_component(emscripten_root "${emxx}" DIRECTORY)
include("${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake")
