# Libraries that only a later action needs (the update check's WinHTTP,
# ShellExecuteW for opening a link or folder) are loaded by the program on
# their first call instead of before it starts: Wine loads every imported DLL,
# with the DLLs those import, before the first line of the program runs, and
# these two are most of what the program's start loads beyond a bare window's.
# delay-load/<name>.def lists the functions the program calls; a function
# called but not listed there is an ordinary import and fails nothing.
function(qv_delay_load target)
  if(NOT CMAKE_DLLTOOL)
    return()
  endif()
  foreach(name IN LISTS ARGN)
    set(def "${PROJECT_SOURCE_DIR}/cmake/delay-load/${name}.def")
    set(lib "${CMAKE_BINARY_DIR}/delay-load/lib${name}-delay.a")
    add_custom_command(OUTPUT "${lib}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/delay-load"
      COMMAND "${CMAKE_DLLTOOL}" --input-def "${def}" --output-delaylib "${lib}" --dllname ${name}.dll
      DEPENDS "${def}"
      COMMENT "Delay-load library for ${name}.dll")
    add_custom_target(qv_delay_load_${name} DEPENDS "${lib}")
    add_dependencies(${target} qv_delay_load_${name})
    # Listed before the plain import library, so the linker takes these.
    target_link_libraries(${target} PRIVATE "${lib}")
  endforeach()
endfunction()
