# The Windows package: a folder with the program and everything it needs beside
# it (`cmake --install` into Vantrell-<version>-win64/), which scripts/build-windows
# zips and, where makensis is at hand, turns into an installer.

# The program's icon as a Windows resource, drawn by the same code as the
# windows' icon. The drawing program is a Windows one: the build runs it
# through the cross-compiling emulator (Wine).
set(icon_ico ${CMAKE_CURRENT_BINARY_DIR}/vantrell.ico)
add_custom_command(OUTPUT ${icon_ico}
    COMMAND app-icon-pictures --ico ${icon_ico} 16 24 32 48 64 256
    DEPENDS app-icon-pictures
    COMMENT "Drawing the program's icon as a Windows icon file")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows/vantrell.rc.in ${CMAKE_CURRENT_BINARY_DIR}/vantrell.rc @ONLY)
add_custom_target(app-icon-file DEPENDS ${icon_ico})
target_sources(vantrell PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/vantrell.rc)
add_dependencies(vantrell app-icon-file)

install(TARGETS vantrell RUNTIME DESTINATION .)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/beside-program/ DESTINATION .)
install(FILES ${icon_ico} DESTINATION .)

# Qt: the libraries the program links, the platform plug-in that opens its
# windows, the style that draws them as Windows does, and the icon-format
# plug-in that reads the hand cursor.
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> $<TARGET_FILE:Qt6::Network>
        DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
install(FILES $<TARGET_FILE:Qt6::QICOPlugin> DESTINATION imageformats)

# The MinGW-w64 runtime the program and Qt are linked against.
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                  OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${runtime_path}" OR NOT EXISTS "${runtime_path}")
    find_file(runtime_path ${runtime} PATHS /usr/${TOOLCHAIN_PREFIX}/lib NO_CACHE NO_CMAKE_FIND_ROOT_PATH)
  endif()
  if(NOT runtime_path)
    message(FATAL_ERROR "The MinGW-w64 runtime library ${runtime} was not found.")
  endif()
  install(FILES ${runtime_path} DESTINATION .)
  unset(runtime_path)
endforeach()

# The installer's script, with the version and the folders filled in.
set(VANTRELL_PACKAGE_NAME Vantrell-${PROJECT_VERSION}-win64)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows/vantrell.nsi.in ${CMAKE_BINARY_DIR}/vantrell.nsi @ONLY)
