# Run as `cmake -DSRC=<src dir> -DSTAMP=<file> -P CheckLayers.cmake`: fails when a folder of the
# program includes a header of a folder at its own level or above, so the include graph runs
# one way only, from the program down to the platform interfaces; or when the Qt backend
# includes X11. Same-folder includes and those of folders not listed here are not this
# check's business.
set(level_platform 0)
set(level_state 1) # the shared record: every subsystem includes it, it includes none of them
set(level_watch 2)
set(level_timeset 2)
set(level_ramen 2)
set(level_alarm 3)
set(level_mainwin 4)
set(level_app 5)

file(GLOB_RECURSE sources "${SRC}/*.h" "${SRC}/*.cpp")
set(faults "")
foreach(source IN LISTS sources)
  file(RELATIVE_PATH rel "${SRC}" "${source}")
  string(REGEX MATCH "^[^/]+" folder "${rel}")
  if(NOT DEFINED level_${folder})
    continue()
  endif()
  file(STRINGS "${source}" includes REGEX "^#include \"[a-z0-9_]+/")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "\"([a-z0-9_]+)/" _ "${line}")
    set(target "${CMAKE_MATCH_1}")
    if(target STREQUAL folder OR NOT DEFINED level_${target})
      continue()
    endif()
    if(NOT level_${target} LESS level_${folder})
      string(APPEND faults "  ${rel}: ${line}\n")
    endif()
  endforeach()
endforeach()
# Within the platform: the Qt backend reaches X11 only through the hook the X11 backend
# installs (qt/NativeDesktop.h), so that it builds and runs where there is no X11.
file(GLOB_RECURSE qt_sources "${SRC}/platform/qt/*.h" "${SRC}/platform/qt/*.cpp")
foreach(source IN LISTS qt_sources)
  file(RELATIVE_PATH rel "${SRC}" "${source}")
  file(STRINGS "${source}" includes REGEX "^#include [<\"](platform/x11/|X11/|xcb/)")
  foreach(line IN LISTS includes)
    string(APPEND faults "  ${rel}: ${line} (the Qt backend reaches X11 only through NativeDesktop)\n")
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "A folder includes one it may not reach "
                      "(platform < state < watch, timeset, ramen < alarm < mainwin < app):\n${faults}")
endif()
file(TOUCH "${STAMP}")
