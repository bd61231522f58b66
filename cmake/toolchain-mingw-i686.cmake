# The 32-bit Windows build: the DLL hosts load. Its programs run under the
# 32-bit Wine loader, which needs a kernel that runs 32-bit programs.
set(VAVEZAZ_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
