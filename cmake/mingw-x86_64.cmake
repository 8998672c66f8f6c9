# Cross build for 64-bit Windows with mingw-w64 (x86_64): the same sources,
# for the 64-bit product install64.exe (and, where a machine cannot run
# 32-bit programs, the Windows tests under 64-bit Wine).
set(VANTOR_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
