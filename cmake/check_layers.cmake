# Fails when a folder includes what it must not know. The layers, lowest first: device/ knows
# nothing above it, protocol/ only device/, simulation/ (the board's firmware as a model and a bus
# in memory) those two, app/ (the window's logic over a toolkit-free control interface) device/
# and protocol/ but not the simulation; the front ends ui/qt, ui/win32, demo/ and cli/ stand on the core and
# do not include each other, except that a demo shows the real window (ui/). tools/ and bench/
# may use anything in src/, and nothing includes them. Every folder of src/ must have its rule
# here, so a new one is placed in the layers when it is made.
#   cmake -DSOURCE_DIR=src -DPROJECT_DIR=. -P cmake/check_layers.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB tool_folders LIST_DIRECTORIES true RELATIVE "${PROJECT_DIR}/tools" "${PROJECT_DIR}/tools/*")
set(tool_includes "")
foreach(folder IN LISTS tool_folders)
  if(IS_DIRECTORY "${PROJECT_DIR}/tools/${folder}")
    string(APPEND tool_includes "|${folder}")
  endif()
endforeach()
set(outside "tools|bench${tool_includes}")

# What each folder must not include, by the path below src/ (or a tool's folder) it names.
set(forbidden_device "protocol|simulation|app|ui|demo|cli|${outside}")
set(forbidden_protocol "simulation|app|ui|demo|cli|${outside}")
set(forbidden_simulation "app|ui|demo|cli|${outside}")
set(forbidden_app "simulation|ui|demo|cli|${outside}")
set(forbidden_ui/qt "simulation|ui/win32|demo|cli|${outside}")
set(forbidden_ui/win32 "simulation|ui/qt|demo|cli|${outside}")
set(forbidden_ui/icons "simulation|ui|demo|cli|${outside}")
set(forbidden_demo "ui|demo/qt|demo/win32|cli|${outside}")
set(forbidden_demo/qt "ui/win32|demo/win32|cli|${outside}")
set(forbidden_demo/win32 "ui/qt|demo/qt|cli|${outside}")
set(forbidden_cli "simulation|ui|demo|${outside}")
set(layers device protocol simulation app ui/qt ui/win32 ui/icons demo demo/qt demo/win32 cli)

set(failures "")
file(GLOB_RECURSE sources "${SOURCE_DIR}/*")
foreach(file IN LISTS sources)
  file(RELATIVE_PATH relative "${SOURCE_DIR}" "${file}")
  get_filename_component(folder "${relative}" DIRECTORY)
  if(folder STREQUAL "")
    continue()  # the build file at the top
  endif()
  # A file belongs to its folder's rule, or to the nearest folder above with one.
  set(layer "")
  set(probe "${folder}")
  while(probe AND NOT layer)
    if(probe IN_LIST layers)
      set(layer "${probe}")
    else()
      get_filename_component(probe "${probe}" DIRECTORY)
    endif()
  endwhile()
  if(NOT layer)
    list(APPEND failures "${file}: its folder ${folder} has no place in the layers")
    continue()
  endif()
  if(NOT file MATCHES "\\.(h|cpp|in)$")
    continue()
  endif()
  file(STRINGS "${file}" lines REGEX "^#include \"(${forbidden_${layer}})/")
  foreach(line IN LISTS lines)
    list(APPEND failures "${file}: ${line}")
  endforeach()
endforeach()

# tools/ stands beside the benchmark: it does not include it.
file(GLOB_RECURSE tool_sources "${PROJECT_DIR}/tools/*.h" "${PROJECT_DIR}/tools/*.cpp")
foreach(file IN LISTS tool_sources)
  file(STRINGS "${file}" lines REGEX "^#include \"bench/")
  foreach(line IN LISTS lines)
    list(APPEND failures "${file}: ${line}")
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n" message)
  message(FATAL_ERROR "a folder includes what is above or beside it:\n${message}")
endif()
