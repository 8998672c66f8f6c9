# Cross build for 32-bit Windows with mingw-w64 (i686): the product install.exe.
set(VANTOR_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
