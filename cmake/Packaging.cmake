# Packages of the Windows build: `cmake --build --preset win --target package`
# writes a ZIP (the program, qvrtool.exe, speakerlib.ini, the README and the
# docs) and, when makensis is installed (Debian's nsis), an installer that
# puts the same files under Program Files with a Start menu folder and an
# uninstaller (packaging/QVR500.nsi).
install(TARGETS qvrtool RUNTIME DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION docs FILES_MATCHING PATTERN "*.md" PATTERN "*.png" PATTERN "*.svg")

set(CPACK_PACKAGE_NAME "QVR500")
set(CPACK_PACKAGE_VENDOR "QVR500")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "QVR500-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}/packages")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_GENERATOR "ZIP")
find_program(QVR_MAKENSIS makensis)
if(QVR_MAKENSIS)
    list(APPEND CPACK_GENERATOR "External")
    set(CPACK_EXTERNAL_ENABLE_STAGING ON)
    set(CPACK_EXTERNAL_PACKAGE_SCRIPT "${PROJECT_SOURCE_DIR}/cmake/PackageInstaller.cmake")
    set(CPACK_QVR_MAKENSIS "${QVR_MAKENSIS}")
    set(CPACK_QVR_NSI "${PROJECT_SOURCE_DIR}/packaging/QVR500.nsi")
    set(CPACK_QVR_ICON "${PROJECT_SOURCE_DIR}/resources/icons/qvr500.ico")
else()
    message(STATUS "makensis not found: the package target builds the ZIP only (install nsis for the installer)")
endif()
include(CPack)
