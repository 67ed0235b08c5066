# Run by `cmake --install` and cpack: installs the desktop entry with its Exec line naming the
# game, by the path it is installed at unless QUORVALE_DESKTOP_EXEC says otherwise. Set by
# the install step before it: desktop_entry_source, desktop_entry_game and
# desktop_entry_folder (install folders, as GNUInstallDirs gives them), and
# desktop_entry_written (where the entry is made, in the build).
#
# A folder given absolute (as Nix and Guix give them) stands as it is, and a relative one is
# under the prefix; a relative prefix (`cmake --install --prefix here`) is taken from the
# folder the install runs in, where CMake puts the files.
foreach(var desktop_entry_game desktop_entry_folder)
  if(NOT IS_ABSOLUTE "${${var}}")
    set(${var} "${CMAKE_INSTALL_PREFIX}/${${var}}")
  endif()
  get_filename_component(${var} "${${var}}" ABSOLUTE)
endforeach()
set(game "${desktop_entry_game}")
if(DEFINED ENV{QUORVALE_DESKTOP_EXEC})
  set(game "$ENV{QUORVALE_DESKTOP_EXEC}")
elseif(game MATCHES "[\"`$\\]")
  message(FATAL_ERROR "a desktop entry cannot name ${game}: choose a prefix without \" ` $ or \\")
elseif(game MATCHES "[^-A-Za-z0-9_./+]")
  # Quoted, as a desktop entry quotes an argument with a blank in it; % starts a field code.
  string(REPLACE "%" "%%" game "\"${game}\"")
endif()
file(READ "${desktop_entry_source}" entry)
string(REPLACE "\nExec=quorvale\n" "\nExec=${game}\n" entry "${entry}")
file(WRITE "${desktop_entry_written}" "${entry}")
file(INSTALL "${desktop_entry_written}" DESTINATION "${desktop_entry_folder}")
