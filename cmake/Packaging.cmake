# The Debian packages: `cpack -G DEB` in a configured and built tree makes one
# package per install component (Install.cmake):
#   libvavezaz1     the driver library
#   libvavezaz-dev  header, CMake package, vavezaz.pc, example hosts
#   vavezaz-tools   cvl-host, its manual page, the documentation
#   libicon0        the camera API stand-in with its simulated cameras
#   libicon-dev     the stand-in's headers
#   python3-vavezaz the Python module, for every architecture
# `apt-get install ./*.deb` gives a working `cvl-host list` on the simulated
# cameras. The driver depends on "libicon0 | vavezaz-camera-api": a site with
# the camera maker's own library installs a package that provides
# vavezaz-camera-api (and libicon.so.0) and leaves the stand-in out.
#
# Each package's dependencies on the system's libraries come from
# dpkg-shlibdeps, so a library the driver starts to link shows up in Depends
# without an edit here; a package of programs whose dependencies could not be
# worked out is refused after it is made (CheckDebianPackage.cmake). Every
# package carries the copyright file and the changelog, and its justified
# lintian overrides (debian/).

set(VAVEZAZ_PACKAGE_MAINTAINER
    "VaveZAZ maintainers <maintainers@users.noreply.c-seed-6df56b4f.example>")

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL driver dev tools iconsim iconsim-dev python)
set(CPACK_PACKAGE_NAME vavezaz)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VAVEZAZ_PACKAGE_MAINTAINER})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# libicon.so.0 is the stand-in's or the maker's; the dependency on it is
# written by hand, so dpkg-shlibdeps takes it as the package set's own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CheckDebianPackage.cmake)

set(vavezaz_same "(= ${PROJECT_VERSION})")
# component^package^section^depends^summary^description
set(vavezaz_packages
    "driver^libvavezaz1^libs^libicon0 ${vavezaz_same} | vavezaz-camera-api^camera driver library for machine-vision hosts^A host machine-vision application loads libvavezaz.so.1 and drives Ethernet 3D\nlaser-triangulation cameras through the 18 functions of the CVL driver\ninterface: grayscale images and point clouds, row by row."
    "dev^libvavezaz-dev^libdevel^libvavezaz1 ${vavezaz_same}^camera driver library for machine-vision hosts (development)^The C header of the CVL driver interface, the CMake package VaveZAZ, vavezaz.pc\nand two example hosts in C, one for grayscale images and one for point clouds."
    "tools^vavezaz-tools^utils^libvavezaz1 ${vavezaz_same}^host tool and documentation of the VaveZAZ camera driver^cvl-host plays the host application: it lists the cameras, grabs images and\npoint clouds into files, streams with live figures, shows the properties and\nwrites the settings file. With the driver's reference documentation."
    "iconsim^libicon0^libs^^camera API stand-in with simulated cameras^Simulated Ethernet 3D laser-triangulation cameras behind the camera API the\nVaveZAZ driver calls, for trying the driver and its hosts without a camera.\nA site with the camera maker's own library leaves this package out."
    "iconsim-dev^libicon-dev^libdevel^libicon0 ${vavezaz_same}^camera API stand-in (development)^The headers of the camera API as the VaveZAZ driver is built against them."
    "python^python3-vavezaz^python^libvavezaz1 ${vavezaz_same}, python3:any, python3-numpy^Python module for the VaveZAZ camera driver^The module vavezaz drives the cameras through the driver's 18 entry points:\ngrayscale images and point clouds as NumPy arrays, a stream in continuous\nmode, the port properties and the configuration dialog.")

execute_process(COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/debian/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/debian/changelog)

foreach(entry IN LISTS vavezaz_packages)
  string(REPLACE "^" ";" fields "${entry}")
  list(GET fields 0 component)
  list(GET fields 1 package)
  list(GET fields 2 section)
  list(GET fields 3 depends)
  list(GET fields 4 summary)
  list(GET fields 5 description)
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
  set(CPACK_DEBIAN_${upper}_PACKAGE_SECTION ${section})
  set(CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS "${depends}")
  set(CPACK_DEBIAN_${upper}_DESCRIPTION "${summary}\n${description}")
  install(FILES ${CMAKE_SOURCE_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  if(EXISTS ${CMAKE_SOURCE_DIR}/debian/${package}.lintian-overrides)
    install(FILES ${CMAKE_SOURCE_DIR}/debian/${package}.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${package}
        COMPONENT ${component})
  endif()
endforeach()
set(CPACK_DEBIAN_ICONSIM_PACKAGE_PROVIDES vavezaz-camera-api)
# Python source only: the same package serves every architecture.
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
# The two libraries renew the dynamic linker's cache through dpkg's ldconfig
# trigger, as Debian's libraries do, instead of calling ldconfig themselves.
foreach(component DRIVER ICONSIM)
  set(CPACK_DEBIAN_${component}_PACKAGE_CONTROL_EXTRA
      ${CMAKE_SOURCE_DIR}/debian/library-control/triggers
      ${CMAKE_SOURCE_DIR}/debian/library-control/postinst
      ${CMAKE_SOURCE_DIR}/debian/library-control/postrm)
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
