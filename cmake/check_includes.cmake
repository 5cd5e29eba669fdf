# Refuses every #include whose path climbs with "..": such a path would reach a folder the layer's
# include view leaves out. Run by the build (cmake -P) before any library compiles.
file(GLOB_RECURSE sources RELATIVE ${TWINFOL_SOURCE_DIR}
     ${TWINFOL_SOURCE_DIR}/base/*.[ch]* ${TWINFOL_SOURCE_DIR}/engine/*.[ch]* ${TWINFOL_SOURCE_DIR}/profile/*.[ch]*
     ${TWINFOL_SOURCE_DIR}/settings/*.[ch]* ${TWINFOL_SOURCE_DIR}/schedule/*.[ch]* ${TWINFOL_SOURCE_DIR}/cli/*.[ch]* ${TWINFOL_SOURCE_DIR}/app/*.[ch]*
     ${TWINFOL_SOURCE_DIR}/reports/*.[ch]* ${TWINFOL_SOURCE_DIR}/tests/*.[ch]* ${TWINFOL_SOURCE_DIR}/fuzz/*.[ch]*)
set(climbing "")
foreach(source ${sources})
  file(STRINGS ${TWINFOL_SOURCE_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]*\\.\\.")
  foreach(line ${lines})
    string(STRIP "${line}" line)
    list(APPEND climbing "${source}: ${line}")
  endforeach()
endforeach()
if(climbing)
  list(JOIN climbing "\n  " listed)
  message(FATAL_ERROR "An #include must not climb with \"..\"; name the file from the source root:\n  ${listed}")
endif()
