# What `cmake --install` puts where, and the packages `--target package`
# makes with CPack: a Debian package of the builder (component deb) and a
# zip for Windows users (component zip). Both carry the two stubs,
# install.exe of the i686 build and install64.exe of the x86_64 build
# (scripts/build.sh makes both), where ffsbuild looks for them: beside
# ffsbuild.exe in the zip, in share/ffsbuild/ below the prefix in the
# Debian package.
set(VANTOR_PACKAGE_WIN32 "${CMAKE_BINARY_DIR}/../win32" CACHE PATH
    "The i686 build whose install.exe (and ffsbuild.exe) the packages carry")
set(VANTOR_PACKAGE_WIN64 "${CMAKE_BINARY_DIR}/../win64" CACHE PATH
    "The x86_64 build whose install64.exe the packages carry")
set(stub "${VANTOR_PACKAGE_WIN32}/installer/install.exe")
set(stub64 "${VANTOR_PACKAGE_WIN64}/installer/install64.exe")
set(windows_ffsbuild "${VANTOR_PACKAGE_WIN32}/builder/ffsbuild.exe")
set(example_build "${CMAKE_BINARY_DIR}/examples")
foreach(component deb zip)
  install(CODE "foreach(f \"${stub}\" \"${stub64}\" \"${example_build}/payload/bin/widget.exe\")
                  if(NOT EXISTS \"\${f}\")
                    message(FATAL_ERROR \"\${f} is missing: build the native and the Win32 build first (sh scripts/build.sh)\")
                  endif()
                endforeach()" COMPONENT ${component})
endforeach()

# Debian: /usr/bin/ffsbuild, /usr/share/ffsbuild/{install.exe,install64.exe,cmake,example},
# the guide in /usr/share/doc/ffsbuild, the man page.
install(TARGETS ffsbuild RUNTIME DESTINATION bin COMPONENT deb)
install(FILES "${stub}" "${stub64}" DESTINATION share/ffsbuild COMPONENT deb)
install(FILES cmake/FfsBuildConfig.cmake DESTINATION share/ffsbuild/cmake COMPONENT deb)
install(FILES docs/script-language.md README.md DESTINATION share/doc/ffsbuild COMPONENT deb)
install(FILES docs/ffsbuild.1 DESTINATION share/man/man1 COMPONENT deb)
# Windows: ffsbuild.exe, install.exe and install64.exe side by side, docs/,
# cmake/, example/.
install(PROGRAMS "${windows_ffsbuild}" "${stub}" "${stub64}" DESTINATION . COMPONENT zip)
install(FILES cmake/FfsBuildConfig.cmake DESTINATION cmake COMPONENT zip)
install(FILES docs/script-language.md README.md DESTINATION docs COMPONENT zip)

# The example, with its programs compiled (examples/CMakeLists.txt) so that
# it builds without a cross compiler.
foreach(component deb zip)
  if(component STREQUAL deb)
    set(to share/ffsbuild/example)
  else()
    set(to example)
  endif()
  install(FILES examples/setup.txt examples/update.txt examples/README.md examples/widget.ico
                examples/CMakeLists.txt DESTINATION ${to} COMPONENT ${component})
  install(DIRECTORY examples/src DESTINATION ${to} COMPONENT ${component})
  install(DIRECTORY "${example_build}/payload" "${example_build}/update-payload" DESTINATION ${to}
          COMPONENT ${component})
endforeach()

file(STRINGS builder/cli.h version_line REGEX "#define FFSBUILD_VERSION")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" FFSBUILD_PACKAGE_VERSION "${version_line}")
set(CPACK_PACKAGE_NAME ffsbuild)
set(CPACK_PACKAGE_VERSION ${FFSBUILD_PACKAGE_VERSION})
set(CPACK_PACKAGE_VENDOR "Vantor Installer")
set(CPACK_PACKAGE_CONTACT "Vantor Installer developers <dev@vantor-installer.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Builds self-extracting installers for Windows from a script and a folder of files")
set(CPACK_GENERATOR DEB ZIP)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1, liblzma5")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "osslsigncode, icoutils, wine")
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_SOURCE_DIR}/cmake/PackagingGenerator.cmake")
include(CPack)
