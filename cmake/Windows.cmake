# What the Windows build takes instead of the Linux build's compiled
# libraries. Nothing is downloaded: Boost's header-only parts and CLI11 come
# from the build machine's headers, GoogleTest is built from its Debian sources.

# The dialog's page template is a resource of the DLL.
enable_language(RC)

# Boost's and CLI11's headers through a directory of their own, so that the
# compiler does not see the build machine's other system headers ahead of
# MinGW's.
set(vavezaz_header_dir ${CMAKE_BINARY_DIR}/header-libraries)
file(MAKE_DIRECTORY ${vavezaz_header_dir})
foreach(library boost CLI)
  file(CREATE_LINK /usr/include/${library} ${vavezaz_header_dir}/${library} SYMBOLIC)
endforeach()
add_library(Boost::boost INTERFACE IMPORTED)
set_target_properties(Boost::boost PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${vavezaz_header_dir}
    INTERFACE_COMPILE_DEFINITIONS "BOOST_ALL_NO_LIB;BOOST_THREAD_HEADER_ONLY")
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${vavezaz_header_dir})

# The compiler's runtime DLLs beside the programs, so that the programs start
# from the build tree as they would from an installation.
foreach(runtime libstdc++-6.dll libwinpthread-1.dll libgcc_s_dw2-1.dll libgcc_s_seh-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
    OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS "${runtime_path}")
    find_file(runtime_path_${runtime} ${runtime} PATHS /usr/${VAVEZAZ_MINGW_TRIPLE}/lib NO_DEFAULT_PATH)
    set(runtime_path "${runtime_path_${runtime}}")
  endif()
  if(EXISTS "${runtime_path}")
    file(COPY ${runtime_path} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  endif()
endforeach()

# The system's headers without their rarely used parts and without the min
# and max macros, which break the standard library's.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
