# What `cmake --install` puts where, in five components, one Debian package
# each (Packaging.cmake):
#   driver       libvavezaz.so.1, the library a host loads
#   dev          the public header, the libvavezaz.so link, the CMake package,
#                vavezaz.pc, the example hosts
#   tools        cvl-host with its manual page, the documentation
#   iconsim      the camera API stand-in libicon.so.0 with its README and samples;
#                a site with the maker's own camera API library leaves it out
#   iconsim-dev  the stand-in's headers and its libicon.so link
#   python       the Python module vavezaz
# Documentation keeps the source tree's layout under the doc directory, so the
# links between README.md, docs/ and iconapi/README.md work where installed.

set(CMAKE_INSTALL_DOCDIR "share/doc/vavezaz" CACHE PATH "Documentation (DATAROOTDIR/doc/vavezaz)")
# Libraries go into the multiarch directory where the system has one (Debian),
# as its own libraries and pkg-config files do.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The host interface is the ABI: SONAME libvavezaz.so.1 changes only when the
# 18 entry points or their callback types change. The build tree keeps the
# plain libvavezaz.so link that the tests and cvl-host load.
set_target_properties(vavezaz PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

# The driver finds the camera API library beside itself wherever the tree is
# installed; the system's library path still applies after it.
set_target_properties(vavezaz PROPERTIES INSTALL_RPATH "$ORIGIN")
target_include_directories(vavezaz INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

# cvl-host loads the driver at run time from the library directory beside its
# own: the installed layout first, then the build tree's lib/.
file(RELATIVE_PATH vavezaz_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
target_compile_definitions(cvl-host PRIVATE
    VAVEZAZ_INSTALLED_LIBRARY="${vavezaz_bin_to_lib}/$<TARGET_SONAME_FILE_NAME:vavezaz>")

install(TARGETS vavezaz EXPORT VaveZAZTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT driver NAMELINK_COMPONENT dev)
install(FILES include/vavezaz/CvlDriver.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vavezaz COMPONENT dev)
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT dev)
install(TARGETS cvl-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(FILES ${CMAKE_BINARY_DIR}/tools/cvl-host/cvl-host.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tools)
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs COMPONENT tools
    FILES_MATCHING PATTERN "*.md" PATTERN "*.png")

install(TARGETS icon LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT iconsim
    NAMELINK_COMPONENT iconsim-dev)
install(DIRECTORY iconapi/include/icon
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT iconsim-dev)
install(FILES iconapi/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/iconapi COMPONENT iconsim)
install(DIRECTORY iconapi/samples DESTINATION ${CMAKE_INSTALL_DOCDIR}/iconapi COMPONENT iconsim)

# The Python module, where Debian's python3 finds modules for every Python 3
# version. It is told where the driver was installed beside it, relative to
# itself, so a tree installed under another prefix finds its own driver
# before any other libvavezaz.so.1 the loader would find.
set(VAVEZAZ_PYTHON_DIR "lib/python3/dist-packages" CACHE PATH "The Python module's directory")
install(DIRECTORY python/vavezaz DESTINATION ${VAVEZAZ_PYTHON_DIR} COMPONENT python
    FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
file(RELATIVE_PATH vavezaz_python_to_lib ${CMAKE_INSTALL_PREFIX}/${VAVEZAZ_PYTHON_DIR}/vavezaz
    ${CMAKE_INSTALL_FULL_LIBDIR})
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/python/_installed.py CONTENT
    "# Written at build time: the driver relative to this directory.\nLIBRARY = \"${vavezaz_python_to_lib}/$<TARGET_SONAME_FILE_NAME:vavezaz>\"\n")
install(FILES ${CMAKE_BINARY_DIR}/python/_installed.py
    DESTINATION ${VAVEZAZ_PYTHON_DIR}/vavezaz COMPONENT python)

# find_package(VaveZAZ): the imported target VaveZAZ::vavezaz. Every path in
# it is relative to the package's own location, so the tree can be moved.
set(vavezaz_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/VaveZAZ)
install(EXPORT VaveZAZTargets NAMESPACE VaveZAZ:: DESTINATION ${vavezaz_cmake_dir} COMPONENT dev)
configure_package_config_file(cmake/VaveZAZConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/VaveZAZConfig.cmake INSTALL_DESTINATION ${vavezaz_cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VaveZAZConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VaveZAZConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/VaveZAZConfigVersion.cmake
    DESTINATION ${vavezaz_cmake_dir} COMPONENT dev)

# vavezaz.pc is written when it is installed, with the prefix of that install
# (`cmake --install --prefix`, or /usr inside a Debian package), since
# pkg-config files hold absolute paths.
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(vavezaz_pc_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(vavezaz_pc_${dir} "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
install(CODE "
    set(VAVEZAZ_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(VAVEZAZ_PC_LIBDIR \"${vavezaz_pc_LIBDIR}\")
    set(VAVEZAZ_PC_INCLUDEDIR \"${vavezaz_pc_INCLUDEDIR}\")
    set(VAVEZAZ_PC_VERSION \"${PROJECT_VERSION}\")
    configure_file(\"${CMAKE_CURRENT_SOURCE_DIR}/cmake/vavezaz.pc.in\"
                   \"${CMAKE_CURRENT_BINARY_DIR}/vavezaz.pc\" @ONLY)
" COMPONENT dev)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vavezaz.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
