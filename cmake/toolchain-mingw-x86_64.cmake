# The same sources for 64-bit Windows, to run the suites under Wine's 64-bit
# loader on machines whose kernel cannot run 32-bit programs. Debian's `wine`
# script picks the 32-bit loader whenever it is installed, so the 64-bit one
# is named directly.
set(VAVEZAZ_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
