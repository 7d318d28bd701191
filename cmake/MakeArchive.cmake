# Builds a ZIP archive from every file of a folder, one entry per file under
# its own name. Run as:
#   cmake -DSOURCE_DIR=... -DOUTPUT=... [-DENTRIES=a.xml,b.xml] -P MakeArchive.cmake
# The archive is written beside its target first and then renamed, so a
# failed build step never leaves a half-written archive.
if(NOT SOURCE_DIR OR NOT OUTPUT)
  message(FATAL_ERROR "MakeArchive: SOURCE_DIR and OUTPUT are required")
endif()
# ENTRIES (comma-separated names) when given, else every file of the folder.
if(ENTRIES)
  string(REPLACE "," ";" entries "${ENTRIES}")
else()
  file(GLOB entries RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*")
endif()
list(SORT entries)
set(files "")
foreach(entry IN LISTS entries)
  if(NOT IS_DIRECTORY "${SOURCE_DIR}/${entry}")
    list(APPEND files "${entry}")
  endif()
endforeach()
if(NOT files)
  message(FATAL_ERROR "MakeArchive: no files in ${SOURCE_DIR}")
endif()
get_filename_component(out_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${out_dir}")
set(partial "${OUTPUT}.partial")
file(REMOVE "${partial}")
# Relative paths make the entry names; the working directory is the folder.
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E tar cf "${partial}" --format=zip -- ${files}
  WORKING_DIRECTORY "${SOURCE_DIR}"
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE "${partial}")
  message(FATAL_ERROR "MakeArchive: cannot write ${partial}")
endif()
file(RENAME "${partial}" "${OUTPUT}")
