# The Debian package, made by CPack from the install rules: in the build folder, `cpack -G DEB` (or
# `cpack --preset default` in the source folder). The package installs under /usr, the prefix the default preset
# configures, so paths built into installed files are right in it; the programs find the engine relative to
# their own folder, so it needs no RPATH and no LD_LIBRARY_PATH. Its dependencies are computed from the binaries
# by dpkg-shlibdeps: zelkctl brings in libmodbus5 and libmosquitto1 (the Modbus TCP server and the MQTT client),
# whose development packages scripts/install-deps.sh installs for the build.

# The changelog's newest entry is the package's version: a new version needs its entry.
file(STRINGS debian/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^zelk \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog: the first entry must be for version ${PROJECT_VERSION}")
endif()
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/zelk)
install(FILES debian/copyright DESTINATION ${doc_dir})
zelk_install_gzipped(${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog ${doc_dir})

# Maintainer scripts. They act on the control service and its system user where the package holds them, under
# the names the service's install rules give them.
set(ZELK_SERVICE_UNIT zelk.service)
set(ZELK_SYSUSERS_CONF zelk.conf)
set(maintainer_scripts "")
foreach(script postinst prerm postrm)
  configure_file(debian/${script}.in ${CMAKE_CURRENT_BINARY_DIR}/debian/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                  WORLD_EXECUTE)
  list(APPEND maintainer_scripts ${CMAKE_CURRENT_BINARY_DIR}/debian/${script})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ZELK developers <zelk@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rule-based controller for the KALDEX USB I/O board")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "ZELK runs a logic program of numbered condition and action lines every
10 ms against a KALDEX board, a USB HID digital I/O board with eight inputs
and four outputs. Its Qt console, with Japanese texts, starts and stops
control runs, monitors the ports, toggles the outputs and edits the program.

The package also holds zelkctl, which runs the program without a desktop,
with a systemd service for it (not enabled on installation); kaldex-sim, a
virtual board for trying the system without hardware; the sample program; and
a udev rule that gives the user at the seat access to KALDEX boards.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${maintainer_scripts})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
if(ZELK_BUILD_GUI)
  # Loaded as plugins, so invisible to dpkg-shlibdeps: Qt's window-system plugins, and a font with Japanese.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-japanese-gothic")
endif()
include(CPack)
