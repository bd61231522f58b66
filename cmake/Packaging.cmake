# The Debian package: `cpack -G DEB` in a configured and built tree gives
# vavezaz_<version>_<arch>.deb. It holds every install component, the camera
# API stand-in included, so `apt install ./vavezaz_*.deb` alone gives a
# working `cvl-host list` on the simulated cameras. A site with the maker's own
# camera API library installs from the build tree without the stand-in
# (`cmake --install build --component driver`, then `--component dev`).
#
# The package's dependencies come from dpkg-shlibdeps, run over every library
# and program in it, so a library the driver starts to link (a GUI toolkit, a
# newer Boost) shows up in Depends without an edit here. libicon.so is found
# beside the driver inside the package and adds no dependency. A package
# whose dependencies could not be worked out is refused after it is made
# (CheckDebianPackage.cmake).

set(VAVEZAZ_PACKAGE_MAINTAINER "VaveZAZ developers <vavezaz@localhost>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vavezaz)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VAVEZAZ_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "camera driver library for machine-vision hosts")
set(CPACK_PACKAGE_DESCRIPTION
    "A host machine-vision application loads libvavezaz.so and drives Ethernet 3D "
    "laser-triangulation cameras through the 18 functions of the CVL driver interface. "
    "The package holds the driver, the host tool cvl-host, the C header with the CMake "
    "package and vavezaz.pc for integrators, the reference documentation, and the camera "
    "API stand-in libicon.so with its simulated cameras.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CheckDebianPackage.cmake)

include(CPack)
