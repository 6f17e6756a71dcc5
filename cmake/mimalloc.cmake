# The allocator under the plugins' counting allocator (host/lua/block_memory.h).
# QV_ALLOCATOR=mimalloc builds mimalloc from the unpacked sources in
# QV_MIMALLOC_SOURCE_DIR (scripts/setup.sh puts Debian's source package in
# .cache/mimalloc) as a static library that overrides nothing: only its mi_
# functions are called. QV_ALLOCATOR=crt keeps the C runtime's realloc/free;
# it is what a build gets when the mimalloc sources are not there (a build on
# Windows that was not given them).
set(QV_MIMALLOC_SOURCE_DIR "${CMAKE_SOURCE_DIR}/.cache/mimalloc" CACHE PATH
    "Folder holding the mimalloc sources (include/mimalloc.h, src/static.c)")
set(QV_ALLOCATOR "" CACHE STRING "Allocator under the plugins' counting allocator: mimalloc or crt (empty: mimalloc when its sources are there)")
set_property(CACHE QV_ALLOCATOR PROPERTY STRINGS "" mimalloc crt)

set(QV_MIMALLOC_FOUND OFF)
if(EXISTS "${QV_MIMALLOC_SOURCE_DIR}/include/mimalloc.h" AND EXISTS "${QV_MIMALLOC_SOURCE_DIR}/src/static.c")
  set(QV_MIMALLOC_FOUND ON)
endif()

set(QV_ALLOCATOR_IN_USE "${QV_ALLOCATOR}")
if(QV_ALLOCATOR_IN_USE STREQUAL "")
  if(QV_MIMALLOC_FOUND)
    set(QV_ALLOCATOR_IN_USE mimalloc)
  else()
    set(QV_ALLOCATOR_IN_USE crt)
    message(STATUS "mimalloc sources not found in ${QV_MIMALLOC_SOURCE_DIR}: plugins use the C runtime's allocator")
  endif()
elseif(QV_ALLOCATOR_IN_USE STREQUAL "mimalloc" AND NOT QV_MIMALLOC_FOUND)
  message(FATAL_ERROR "QV_ALLOCATOR=mimalloc but no mimalloc sources in ${QV_MIMALLOC_SOURCE_DIR}: run scripts/setup.sh, or set QV_MIMALLOC_SOURCE_DIR")
elseif(NOT QV_ALLOCATOR_IN_USE MATCHES "^(mimalloc|crt)$")
  message(FATAL_ERROR "QV_ALLOCATOR must be mimalloc or crt, not ${QV_ALLOCATOR_IN_USE}")
endif()
message(STATUS "Plugin allocator: ${QV_ALLOCATOR_IN_USE}")

# qv_allocator: what host/lua/block_memory.cpp builds on.
add_library(qv_allocator INTERFACE)
if(QV_ALLOCATOR_IN_USE STREQUAL "mimalloc")
  # static.c includes every other source: one translation unit. RtlGenRandom
  # (advapi32, which the program imports anyway) seeds it instead of a
  # bcrypt.dll loaded at run time.
  add_library(mimalloc STATIC "${QV_MIMALLOC_SOURCE_DIR}/src/static.c")
  set_source_files_properties("${QV_MIMALLOC_SOURCE_DIR}/src/static.c" PROPERTIES LANGUAGE C)
  target_include_directories(mimalloc SYSTEM PUBLIC "${QV_MIMALLOC_SOURCE_DIR}/include")
  target_compile_definitions(mimalloc PRIVATE MI_STATIC_LIB MI_USE_RTLGENRANDOM NDEBUG)
  target_compile_options(mimalloc PRIVATE -O2 -w)
  target_link_libraries(mimalloc PUBLIC advapi32)
  target_link_libraries(qv_allocator INTERFACE mimalloc)
  target_compile_definitions(qv_allocator INTERFACE QV_USE_MIMALLOC=1)
  set(QV_MIMALLOC_LICENSE "${QV_MIMALLOC_SOURCE_DIR}/LICENSE")
endif()
