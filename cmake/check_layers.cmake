# Fails when a lower layer includes a higher one: device/ knows nothing above it, protocol/ knows
# only device/, and app/ (the window's logic over a toolkit-free control interface) knows no
# front end: not the Qt or Win32 window, the demos or the command line.
#   cmake -DSOURCE_DIR=src -P cmake/check_layers.cmake
set(forbidden_device "protocol|app|ui|demo|cli")
set(forbidden_protocol "app|ui|demo|cli")
set(forbidden_app "ui|demo|cli")
set(failures "")
foreach(layer device protocol app)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" lines REGEX "^#include \"(${forbidden_${layer}})/")
    foreach(line IN LISTS lines)
      list(APPEND failures "${file}: ${line}")
    endforeach()
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n" message)
  message(FATAL_ERROR "a lower layer includes a higher one:\n${message}")
endif()
