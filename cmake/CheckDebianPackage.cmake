# Run by cpack after it has made the package (CPACK_POST_BUILD_SCRIPTS).
# dpkg-shlibdeps fails quietly where it is missing or cannot tell the
# machine's architecture (no C compiler on the path), and CPack then makes a
# package that names no dependencies: it installs, but its programs do not run
# on a machine that lacks the libraries. Every package with a program in it
# (all but the -dev ones and the architecture-independent Python module)
# depends on the C library at least, so one that does not is refused.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(package MATCHES "\\.deb$" AND NOT package MATCHES "(-dev_[^/]*|_all)\\.deb$")
    execute_process(COMMAND dpkg-deb --field ${package} Depends
                    OUTPUT_VARIABLE depends RESULT_VARIABLE result
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT result EQUAL 0 OR NOT depends MATCHES "(^|, )libc6( |,|$)")
      message(FATAL_ERROR "${package} names no dependency on libc6 (Depends: '${depends}'): "
                          "dpkg-shlibdeps did not work out the dependencies; install dpkg-dev "
                          "and a C compiler and make the package again")
    endif()
  endif()
endforeach()
