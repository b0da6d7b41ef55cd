# Run by CPack's External generator after staging: writes the lists of the
# staged files for the installer script and runs makensis.
# (CPACK_TEMPORARY_DIRECTORY holds the staged files; CPACK_QVR_* come from
# cmake/Packaging.cmake.)
set(stage "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${stage}" "${stage}/*")
list(SORT files)
set(install_lines "")
set(remove_lines "")
set(dirs "")
foreach(f IN LISTS files)
    get_filename_component(dir "${f}" DIRECTORY)
    string(REPLACE "/" "\\" wf "${f}")
    string(REPLACE "/" "\\" wdir "${dir}")
    if(dir STREQUAL "")
        string(APPEND install_lines "SetOutPath \"$INSTDIR\"\nFile \"${stage}/${f}\"\n")
    else()
        string(APPEND install_lines "SetOutPath \"$INSTDIR\\${wdir}\"\nFile \"${stage}/${f}\"\n")
        list(APPEND dirs "${dir}")
    endif()
    string(APPEND remove_lines "Delete \"$INSTDIR\\${wf}\"\n")
endforeach()
# Folders deepest first, each only when empty.
list(REMOVE_DUPLICATES dirs)
list(SORT dirs ORDER DESCENDING)
foreach(d IN LISTS dirs)
    string(REPLACE "/" "\\" wd "${d}")
    string(APPEND remove_lines "RMDir \"$INSTDIR\\${wd}\"\n")
endforeach()
file(WRITE "${CPACK_TOPLEVEL_DIRECTORY}/install-files.nsh" "${install_lines}")
file(WRITE "${CPACK_TOPLEVEL_DIRECTORY}/remove-files.nsh" "${remove_lines}")

set(out "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}-setup.exe")
execute_process(
    COMMAND "${CPACK_QVR_MAKENSIS}" -V2 -NOCD
            "-DVERSION=${CPACK_PACKAGE_VERSION}"
            "-DSTAGE=${stage}"
            "-DFILES=${CPACK_TOPLEVEL_DIRECTORY}/install-files.nsh"
            "-DREMOVE=${CPACK_TOPLEVEL_DIRECTORY}/remove-files.nsh"
            "-DOUTFILE=${out}"
            "-DICON=${CPACK_QVR_ICON}"
            "${CPACK_QVR_NSI}"
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "makensis failed (${rc})")
endif()
message(STATUS "installer: ${out}")
