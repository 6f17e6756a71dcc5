# The Lua 5.4 library, built from the unpacked sources in QV_LUA_SOURCE_DIR.
# Lua is compiled as C++ so that a Lua error unwinds C++ frames (destructors run)
# instead of longjmp-ing over them; lua.h is then included without extern "C".
set(QV_LUA_SOURCE_DIR "${CMAKE_SOURCE_DIR}/.cache/lua" CACHE PATH "Folder holding the Lua 5.4 sources (src/lua.h ...)")
if(NOT EXISTS "${QV_LUA_SOURCE_DIR}/src/lua.h")
  message(FATAL_ERROR "Lua sources not found in ${QV_LUA_SOURCE_DIR}: run scripts/setup.sh, or set QV_LUA_SOURCE_DIR")
endif()
file(GLOB QV_LUA_SOURCES "${QV_LUA_SOURCE_DIR}/src/*.c")
list(FILTER QV_LUA_SOURCES EXCLUDE REGEX "/(lua|luac|onelua)\\.c$")

# The string and table libraries are compiled from copies that let the host
# interrupt their long loops (see cmake/lua-limits/).
include("${CMAKE_CURRENT_LIST_DIR}/lua-limits/lua-limits.cmake")
set(QV_LUA_PATCHED_DIR "${CMAKE_BINARY_DIR}/lua-limits")
foreach(name lstrlib ltablib)
  qv_lua_limits_copy("${QV_LUA_SOURCE_DIR}" ${name} "${QV_LUA_PATCHED_DIR}")
  list(FILTER QV_LUA_SOURCES EXCLUDE REGEX "/${name}\\.c$")
  list(APPEND QV_LUA_SOURCES "${QV_LUA_PATCHED_DIR}/${name}.c")
endforeach()
list(APPEND QV_LUA_SOURCES "${QV_LUA_LIMITS_DIR}/linterrupt.c")

set_source_files_properties(${QV_LUA_SOURCES} PROPERTIES LANGUAGE CXX)
add_library(lua STATIC ${QV_LUA_SOURCES})
target_include_directories(lua SYSTEM PUBLIC "${QV_LUA_SOURCE_DIR}/src" "${QV_LUA_LIMITS_DIR}")
target_compile_options(lua PRIVATE -O2 -w)
