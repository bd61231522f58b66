# The 32-bit Windows build: the DLL hosts load. Its programs run under the
# 32-bit Wine loader, which needs a kernel that runs 32-bit programs.
set(VAVEZAZ_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# Floating point in SSE2 registers, as on 64-bit: the x87 unit keeps excess
# precision wherever a value stays in a register, so calibrated and
# compensated points would differ in their last bits from the other builds'
# and between two code paths of the same build. Every processor a supported
# Windows runs on has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
