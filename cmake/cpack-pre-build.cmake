# Run by cpack once it has staged the files of a package, before it packs them: every staged
# file takes SOURCE_DATE_EPOCH as its time. Installed files keep the times of the sources,
# which in a checkout are those of the checkout, and rpmbuild clamps only the newer ones: the
# .rpm built from the source archive, whose files all carry the commit's time, differed.
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND IS_DIRECTORY "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
  execute_process(COMMAND find "${CPACK_TEMPORARY_INSTALL_DIRECTORY}" -exec
    touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" {} + RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the staged files' times could not be set")
  endif()
endif()
