# Checks every #include of the sources against the table of layers:
#
#   cmake -DSOURCE_DIR=src -DTABLE=layers.txt -DWIDGETS_DIR=<QtWidgets headers>
#         -P check_layers.cmake
#
# Fails, naming each file, line and header, when a file includes a header of
# a folder its row does not list, when a row's folder is missing, or when a
# file whose row says "no" includes a Qt Widgets header. A file in a folder
# with no row fails too: a new folder needs its place in the table.

cmake_minimum_required(VERSION 3.25)

file(STRINGS "${TABLE}" rows REGEX "^[^#]")
set(sources "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "[ \t]+" ";" fields "${row}")
  list(POP_FRONT fields source widgets)
  string(REPLACE "/" "_" key "${source}")
  set(allowed_${key} ${fields})
  set(widgets_${key} ${widgets})
  list(APPEND sources ${source})
endforeach()

set(widget_headers "")
if(WIDGETS_DIR)
  file(GLOB widget_headers RELATIVE "${WIDGETS_DIR}" "${WIDGETS_DIR}/Q*")
endif()

set(faults "")
file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
foreach(file IN LISTS files)
  get_filename_component(folder "${file}" DIRECTORY)
  if(file IN_LIST sources)
    set(row "${file}")
  elseif(folder IN_LIST sources)
    set(row "${folder}")
  else()
    list(APPEND faults "${file}: its folder ${folder} has no row in the table")
    continue()
  endif()
  string(REPLACE "/" "_" key "${row}")
  file(STRINGS "${SOURCE_DIR}/${file}" lines REGEX "^#include [\"<]")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#include \"([^\"]+)/[^/\"]+\"")
      set(target "${CMAKE_MATCH_1}")
      if(NOT target IN_LIST allowed_${key})
        list(APPEND faults "${file}: ${line}: ${row} may not include from ${target}")
      endif()
    elseif(line MATCHES "^#include <(Q[A-Za-z]+)>" AND widgets_${key} STREQUAL "no")
      if(CMAKE_MATCH_1 IN_LIST widget_headers)
        list(APPEND faults "${file}: ${line}: ${row} may not use Qt Widgets")
      endif()
    endif()
  endforeach()
endforeach()

list(LENGTH files count)
if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "${text}")
endif()
message(STATUS "${count} files include only what their layer may")
