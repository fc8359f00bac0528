# Fails when a lower layer includes a higher one: device/ knows nothing above it, and protocol/
# knows only device/; neither knows the controls, the supervision or any front end.
#   cmake -DSOURCE_DIR=src -P cmake/check_layers.cmake
set(forbidden_device "protocol|app|ui|demo|cli")
set(forbidden_protocol "app|ui|demo|cli")
set(failures "")
foreach(layer device protocol)
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
