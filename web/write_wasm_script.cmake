# Writes quorvale-wasm.js, the game's WebAssembly as a script that sets window.quorvaleWasmHex
# to its bytes in hexadecimal: the one way a page opened from disk, which may fetch nothing,
# can have them. A served page never loads it.
#   cmake -DWASM=<quorvale.wasm> -DOUTPUT=<quorvale-wasm.js> -P write_wasm_script.cmake
file(READ "${WASM}" hex HEX)
file(WRITE "${OUTPUT}" "window.quorvaleWasmHex = '${hex}';\n")
