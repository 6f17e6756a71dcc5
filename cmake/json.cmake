# nlohmann/json, header-only, for the plugins' stores. Debian installs it in
# /usr/include (package nlohmann-json3-dev), outside the MinGW sysroot, and the
# host's /usr/include must not be on a cross-build's include path: only the
# nlohmann folder is copied into the build tree and made visible.
find_path(QV_JSON_INCLUDE_DIR nlohmann/json.hpp
  PATHS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH
  DOC "Folder that holds nlohmann/json.hpp")
if(NOT QV_JSON_INCLUDE_DIR OR NOT EXISTS "${QV_JSON_INCLUDE_DIR}/nlohmann/json.hpp")
  message(FATAL_ERROR "nlohmann/json.hpp not found: run scripts/setup.sh (Debian: nlohmann-json3-dev), "
                      "or set QV_JSON_INCLUDE_DIR to the folder that holds nlohmann/json.hpp")
endif()
set(QV_JSON_COPY_DIR "${CMAKE_BINARY_DIR}/third_party/json")
file(COPY "${QV_JSON_INCLUDE_DIR}/nlohmann" DESTINATION "${QV_JSON_COPY_DIR}")
add_library(qv_json INTERFACE)
target_include_directories(qv_json SYSTEM INTERFACE "${QV_JSON_COPY_DIR}")
