# The folders of the program, from the bottom up, and what each may include.
# Configuring fails when a source includes from a folder it may not, so the
# folder graph stays acyclic:
#
#   base  <-  sysinfo, update  <-  host  <-  console  <-  windows  <-  app
#
# and inside host/:  host/lua, host/store  <-  host/api  <-  host
set(QV_LAYERS base sysinfo update host console windows app)
set(QV_LAYER_base base)
set(QV_LAYER_sysinfo base sysinfo)
set(QV_LAYER_update base update)
set(QV_LAYER_host base sysinfo host)
set(QV_LAYER_console base sysinfo update host console)
set(QV_LAYER_windows base sysinfo update host console windows)
set(QV_LAYER_app ${QV_LAYERS})

foreach(layer IN LISTS QV_LAYERS)
  file(GLOB_RECURSE sources "${CMAKE_CURRENT_LIST_DIR}/../${layer}/*.cpp" "${CMAKE_CURRENT_LIST_DIR}/../${layer}/*.h")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" folder "${line}")
      if(NOT folder IN_LIST QV_LAYER_${layer})
        file(RELATIVE_PATH shown "${CMAKE_CURRENT_LIST_DIR}/.." "${source}")
        message(FATAL_ERROR "${shown}: ${layer}/ may not include from ${folder}/ (see cmake/layers.cmake)")
      endif()
    endforeach()
  endforeach()
endforeach()

# Inside host/: lua/ (running scripts safely) and store/ (plugin data on disk)
# stand on their own, below api/ (the host table) and the plugin host itself.
set(QV_HOST_LAYER_lua base host/lua)
set(QV_HOST_LAYER_store base host/store)
foreach(sublayer lua store)
  file(GLOB_RECURSE sources "${CMAKE_CURRENT_LIST_DIR}/../host/${sublayer}/*.cpp"
       "${CMAKE_CURRENT_LIST_DIR}/../host/${sublayer}/*.h")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/([a-z_]+)[/.].*" "\\1/\\2" target "${line}")
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" folder "${line}")
      if(NOT folder IN_LIST QV_HOST_LAYER_${sublayer} AND NOT target IN_LIST QV_HOST_LAYER_${sublayer})
        file(RELATIVE_PATH shown "${CMAKE_CURRENT_LIST_DIR}/.." "${source}")
        message(FATAL_ERROR "${shown}: host/${sublayer}/ may include only from ${QV_HOST_LAYER_${sublayer}} (see cmake/layers.cmake)")
      endif()
    endforeach()
  endforeach()
endforeach()
