# The Windows product package: `cpack --preset windows` makes Quorvane-<version>-win64.zip
# with Quorvane.exe and the administrators' guide, and nothing else (the substitute flash
# tool is never shipped). It has no top folder, so it unpacks straight into a firmware
# package directory beside NICFWData.xml and nxflash.exe.
install(TARGETS quorvane RUNTIME DESTINATION .)
# CR LF, so that every Windows editor shows the guide's lines.
configure_file(${PROJECT_SOURCE_DIR}/docs/admin-guide.txt
               ${CMAKE_BINARY_DIR}/Quorvane-admin-guide.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/Quorvane-admin-guide.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Quorvane-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# The debug information of the shipped executable goes beside the zip, for support.
set(CPACK_QV_DEBUG_FILE ${CMAKE_BINARY_DIR}/bin/${QV_DEBUG_FILE})
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_debug_file.cmake)
include(CPack)

if(QV_TESTS)
  add_test(NAME package_zip
           COMMAND ${CMAKE_COMMAND} -DCPACK=${CMAKE_CPACK_COMMAND}
                   -DCONFIG=${CMAKE_BINARY_DIR}/CPackConfig.cmake -DWORK=${CMAKE_BINARY_DIR}/package-test
                   -DSAMPLE=${PROJECT_SOURCE_DIR}/package -DTOOL=$<TARGET_FILE:nxflash_sim>
                   -DVERSION=${PROJECT_VERSION} -DDEBUG_FILE=${QV_DEBUG_FILE}
                   -P ${PROJECT_SOURCE_DIR}/tests/package/zip_test.cmake)
  # Every build: the executable as it ships (no debug sections, its size, its version
  # resource) and its debug information beside it.
  add_test(NAME shipped_executable
           COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DPROGRAM=$<TARGET_FILE:quorvane>
                   -DDEBUG_FILE=${CMAKE_BINARY_DIR}/bin/${QV_DEBUG_FILE}
                   -P ${PROJECT_SOURCE_DIR}/tests/package/executable_test.cmake)
  set_tests_properties(package_zip PROPERTIES
    ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml="
    FIXTURES_REQUIRED wine RUN_SERIAL ON)
endif()
