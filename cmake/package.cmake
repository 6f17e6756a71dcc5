# The release package. `cmake --build --preset windows-x64 --target package`
# writes quorvantline-<version>-win64.zip into the build folder: the program,
# the shipped plugins, the editor stubs (lua-types/, beside plugins/ so that no
# plugin's data folder is a shipped one), the documentation (and the licences of
# the libraries built in that ask for it) at the zip's top level, with no folder
# around them: unzipped into C:\quorvantline, the program is
# C:\quorvantline\quorvantline.exe. The plugins come from the source tree, so
# nothing that a run from the build folder left in its plugins folder (the
# disabled list, data folders) is shipped.
install(TARGETS quorvantline RUNTIME DESTINATION .)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/plugins/" DESTINATION plugins)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/lua-types/" DESTINATION lua-types)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/docs/" DESTINATION docs)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION .)
# A program built with mimalloc ships its licence (MIT), as that licence asks.
if(QV_MIMALLOC_LICENSE)
  install(FILES "${QV_MIMALLOC_LICENSE}" DESTINATION licenses RENAME mimalloc-LICENSE.txt)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quorvantline)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "quorvantline-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
