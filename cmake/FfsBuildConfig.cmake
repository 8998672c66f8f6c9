# ffsbuild for CMake projects: an installer as one more target.
#
#   find_package(FfsBuild REQUIRED)        # installed with the package, or
#   include(/path/to/FfsBuildConfig.cmake) # straight from a checkout
#
#   add_installer(setup
#     SCRIPT setup.txt
#     PAYLOAD_DIR ${CMAKE_CURRENT_SOURCE_DIR}/payload
#     [OUTPUT setup.exe]              # default: <target>.exe in the binary dir
#     [ICON app.ico]                  # the installer's icon
#     [VERSION 1.2.3.4]               # the version block (see ffsbuild(1))
#     [DESCRIPTION text] [COPYRIGHT text]
#     [DEFINES NAME=value ...]        # passed as -D NAME=value
#     [INCLUDES file ...]             # files the script includes
#     [DEPENDS file-or-target ...]    # what the payload is made from in this build
#     [ARCH x86|x64]                  # 32-bit (default) or 64-bit installer
#     [STUB install.exe]              # default: the one of ARCH ffsbuild finds
#     [OPTIONS ...])                  # any further ffsbuild build options
#
# The target is built with ALL and rebuilt when the script, an include, the
# icon, ffsbuild or a payload file changes; a payload file added or removed
# is noticed on the next build (the folder is listed again each time).
#
# Variables: FFSBUILD_EXECUTABLE (found beside this file's package, else on
# PATH) and FFSBUILD_STUB (default stub for every installer; empty: the one
# ffsbuild finds itself).

get_filename_component(_ffsbuild_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
find_program(FFSBUILD_EXECUTABLE ffsbuild HINTS "${_ffsbuild_prefix}/bin" "${CMAKE_CURRENT_LIST_DIR}/..")
set(FFSBUILD_STUB "" CACHE FILEPATH "The installer executable add_installer uses (empty: ffsbuild's own)")
if(NOT FFSBUILD_EXECUTABLE)
  set(FfsBuild_FOUND FALSE)
  set(FfsBuild_NOT_FOUND_MESSAGE "ffsbuild was not found (set FFSBUILD_EXECUTABLE)")
  return()
endif()
set(FfsBuild_FOUND TRUE)

function(add_installer target)
  cmake_parse_arguments(PARSE_ARGV 1 arg ""
    "SCRIPT;PAYLOAD_DIR;OUTPUT;ICON;VERSION;DESCRIPTION;COPYRIGHT;ARCH;STUB"
    "DEFINES;INCLUDES;DEPENDS;OPTIONS")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "add_installer(${target}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT arg_SCRIPT OR NOT arg_PAYLOAD_DIR)
    message(FATAL_ERROR "add_installer(${target}): SCRIPT and PAYLOAD_DIR are needed")
  endif()
  foreach(v SCRIPT PAYLOAD_DIR ICON STUB)
    if(arg_${v})
      get_filename_component(arg_${v} "${arg_${v}}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
  endforeach()
  if(NOT arg_OUTPUT)
    set(arg_OUTPUT "${target}.exe")
  endif()
  get_filename_component(output "${arg_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  if(NOT arg_STUB)
    set(arg_STUB "${FFSBUILD_STUB}")
  endif()

  set(args -o "${output}")
  if(arg_ARCH)
    list(APPEND args --arch "${arg_ARCH}")
  endif()
  set(depends "${arg_SCRIPT}" "${FFSBUILD_EXECUTABLE}")
  if(arg_STUB)
    list(APPEND args --stub "${arg_STUB}")
    list(APPEND depends "${arg_STUB}")
  endif()
  if(arg_ICON)
    list(APPEND args --icon "${arg_ICON}")
    list(APPEND depends "${arg_ICON}")
  endif()
  foreach(v VERSION DESCRIPTION COPYRIGHT)
    if(DEFINED arg_${v})
      string(TOLOWER "${v}" option)
      list(APPEND args "--${option}" "${arg_${v}}")
    endif()
  endforeach()
  foreach(define IN LISTS arg_DEFINES)
    list(APPEND args -D "${define}")
  endforeach()
  foreach(include IN LISTS arg_INCLUDES)
    get_filename_component(include "${include}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    list(APPEND depends "${include}")
  endforeach()
  # Every payload file as it is now; CONFIGURE_DEPENDS lists the folder
  # again at each build, so a file added or removed re-runs the configure.
  if(EXISTS "${arg_PAYLOAD_DIR}")
    file(GLOB_RECURSE payload LIST_DIRECTORIES false CONFIGURE_DEPENDS "${arg_PAYLOAD_DIR}/*")
    list(APPEND depends ${payload})
  endif()
  list(APPEND depends ${arg_DEPENDS})

  add_custom_command(OUTPUT "${output}"
    COMMAND "${FFSBUILD_EXECUTABLE}" build ${args} ${arg_OPTIONS} "${arg_SCRIPT}" "${arg_PAYLOAD_DIR}"
    DEPENDS ${depends}
    COMMENT "Building installer ${arg_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${output}")
  set_target_properties(${target} PROPERTIES FFSBUILD_OUTPUT "${output}")
endfunction()
