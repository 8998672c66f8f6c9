# Cross build for 64-bit Windows with mingw-w64 (x86_64): the same sources,
# for testing under 64-bit Wine where a machine cannot run 32-bit programs.
set(VANTOR_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
