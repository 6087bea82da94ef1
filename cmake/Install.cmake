# Installation: the filter into CUPS's filter directory (root-owned, mode 0755, as cupsd
# demands), the PPDs into a folder of our own in the system model directory, the preview
# tool, an uninstall target driven by install_manifest.txt, and a Debian package (CPack).
include(GNUInstallDirs)

set(QEV_FILTER_INSTALL_DIR "${CUPS_SERVERBIN}/filter"
    CACHE PATH "CUPS filter directory (cups-config --serverbin)/filter")
set(QEV_PPD_INSTALL_DIR "/usr/share/ppd/qevcp"
    CACHE PATH "Folder of our PPD files inside a directory that cups-driverd searches")

install(TARGETS rastertoqevcp RUNTIME DESTINATION ${QEV_FILTER_INSTALL_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                    WORLD_READ WORLD_EXECUTE)
install(FILES ${QEV_PPD_FILES} DESTINATION ${QEV_PPD_INSTALL_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(TARGETS tspl2png RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# cupsd refuses a filter that is not owned by root or whose file or directory is writable
# by group or others, and reports it only in the printer state.  Say so at install time.
set(_qev_permission_check [[
  if("$ENV{DESTDIR}" STREQUAL "")
    set(_filter "@QEV_FILTER_INSTALL_DIR@/rastertoqevcp")
    foreach(_path "${_filter}" "@QEV_FILTER_INSTALL_DIR@")
      execute_process(COMMAND stat -L -c "%u %a" "${_path}" OUTPUT_VARIABLE _stat
                      OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _rc)
      if(_rc EQUAL 0)
        string(REPLACE " " ";" _stat "${_stat}")
        list(GET _stat 0 _uid)
        list(GET _stat 1 _mode)
        string(LENGTH "${_mode}" _len)
        math(EXPR _last "${_len} - 2")
        string(SUBSTRING "${_mode}" ${_last} 2 _go)
        if(NOT _uid EQUAL 0 OR _go MATCHES "[2367]")
          message(WARNING "${_path} must be owned by root and not writable by group or "
                          "others, or cupsd will not run the filter (uid ${_uid}, mode ${_mode})")
        endif()
      endif()
    endforeach()
  endif()
]])
string(CONFIGURE "${_qev_permission_check}" _qev_permission_check @ONLY)
install(CODE "${_qev_permission_check}")

# Uninstall: remove exactly the files named in install_manifest.txt (honouring DESTDIR),
# then our PPD folder if that left it empty.
file(WRITE ${CMAKE_BINARY_DIR}/qev_uninstall.cmake [[
set(_manifest "${CMAKE_CURRENT_LIST_DIR}/install_manifest.txt")
if(NOT EXISTS "${_manifest}")
  message(FATAL_ERROR "Nothing to uninstall: ${_manifest} is missing (run the install first)")
endif()
file(STRINGS "${_manifest}" _files)
foreach(_file IN LISTS _files)
  set(_path "$ENV{DESTDIR}${_file}")
  if(EXISTS "${_path}" OR IS_SYMLINK "${_path}")
    message(STATUS "Removing ${_path}")
    file(REMOVE "${_path}")
  else()
    message(STATUS "Already gone: ${_path}")
  endif()
endforeach()
]])
file(APPEND ${CMAKE_BINARY_DIR}/qev_uninstall.cmake
     "file(GLOB _left \"\$ENV{DESTDIR}${QEV_PPD_INSTALL_DIR}/*\")\n"
     "if(NOT _left AND IS_DIRECTORY \"\$ENV{DESTDIR}${QEV_PPD_INSTALL_DIR}\")\n"
     "  file(REMOVE_RECURSE \"\$ENV{DESTDIR}${QEV_PPD_INSTALL_DIR}\")\n"
     "endif()\n")
add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/qev_uninstall.cmake
                  COMMENT "Removing the installed files")

# Debian package: cpack -G DEB in the build directory.
set(CPACK_PACKAGE_NAME "rastertoqevcp")
set(CPACK_PACKAGE_VENDOR "rastertoqevcp developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CUPS driver for TSPL thermal label printers")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "A CUPS raster filter (rastertoqevcp) and PPD files for 203 and 300 dpi TSPL label "
       "printers with 2-inch and 4-inch heads, and tspl2png, a preview of TSPL streams.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "rastertoqevcp developers <rastertoqevcp@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "cups-filters, ghostscript")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_GENERATOR "DEB")
include(CPack)
