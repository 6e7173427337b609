# Installs the build tree into a fresh prefix and checks that every file a desktop
# installation needs is there.
# cmake -DBUILD_DIR=<build tree> -DPREFIX=<empty directory> -P CheckInstall.cmake
foreach(var BUILD_DIR PREFIX)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "CheckInstall: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "CheckInstall: cmake --install failed:\n${output}")
endif()

set(programs bin/zorvattone bin/zorvattone-cli bin/zorvattone-cli-audio bin/zorvattone-cli-post bin/zorvattone-play)
set(files
  share/applications/zorvattone.desktop
  share/icons/hicolor/scalable/apps/zorvattone.svg
  share/man/man1/zorvattone-cli.1
  share/doc/ZorvatTone/RTTTL.txt)
set(missing "")
foreach(path IN LISTS programs files)
  if(NOT EXISTS "${PREFIX}/${path}")
    list(APPEND missing "${path}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "CheckInstall: not installed: ${missing}")
endif()

foreach(path IN LISTS programs)
  execute_process(COMMAND test -x "${PREFIX}/${path}" RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "CheckInstall: ${path} is not executable")
  endif()
endforeach()

file(READ "${PREFIX}/share/applications/zorvattone.desktop" desktop)
foreach(line "Exec=zorvattone" "Icon=zorvattone" "Midi;" "MimeType=audio/midi;")
  string(FIND "${desktop}" "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "CheckInstall: the desktop entry lacks \"${line}\"")
  endif()
endforeach()

# The installed tool runs from its new place.
execute_process(COMMAND "${PREFIX}/bin/zorvattone-cli" --help RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "CheckInstall: the installed zorvattone-cli --help failed")
endif()
message(STATUS "CheckInstall: every file is in ${PREFIX}")
