# cmake -DMODE=desktop|metainfo|manpage -DFILE=<file> -P PackageCheck.cmake
# cmake -DMODE=contents -DFOLDER=<build folder> -DVERSION=<version> -P PackageCheck.cmake
# Prints "SKIPPED: <reason>" (the test counts as skipped) when its tool or the package is
# missing; fails with the tool's complaint otherwise.

function(need_tool var name package)
  find_program(${var} ${name})
  if(NOT ${var})
    message("SKIPPED: ${name} is not installed (Debian package ${package})")
    set(skip TRUE PARENT_SCOPE)
  endif()
endfunction()

function(run_quiet)  # fails unless the command exits 0 and says nothing on standard error
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
    message(FATAL_ERROR "${ARGN}\nexit status ${rc}\n${out}${err}")
  endif()
  message("${out}")
endfunction()

if(MODE STREQUAL "desktop")
  need_tool(tool desktop-file-validate desktop-file-utils)
  if(NOT skip)
    # desktop-file-validate reports problems on standard output, errors and hints alike.
    execute_process(COMMAND ${tool} ${FILE} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT out STREQUAL "" OR NOT err STREQUAL "")
      message(FATAL_ERROR "desktop-file-validate ${FILE}: exit status ${rc}\n${out}${err}")
    endif()
  endif()

elseif(MODE STREQUAL "metainfo")
  need_tool(tool appstreamcli appstream)
  if(NOT skip)
    # --strict: hints of any severity but pedantic fail too.
    run_quiet(${tool} validate --no-net --strict ${FILE})
  endif()

elseif(MODE STREQUAL "manpage")
  need_tool(tool man man-db)
  if(NOT skip)
    # As lintian formats it: every groff warning is printed on standard error.
    set(ENV{LC_ALL} C.UTF-8)
    set(ENV{MANWIDTH} 80)
    run_quiet(${tool} --warnings -E UTF-8 -l -Tutf8 -Z ${FILE})
  endif()

elseif(MODE STREQUAL "contents")
  file(GLOB debs ${FOLDER}/hemulu_${VERSION}_*.deb)
  list(LENGTH debs count)
  if(count EQUAL 0)
    message("SKIPPED: no hemulu_${VERSION}_*.deb in ${FOLDER}; scripts/package builds it")
    return()
  endif()
  if(count GREATER 1)
    message(FATAL_ERROR "more than one package in ${FOLDER}: ${debs}")
  endif()
  find_program(dpkg_deb dpkg-deb REQUIRED)

  execute_process(COMMAND ${dpkg_deb} -c ${debs} RESULT_VARIABLE rc OUTPUT_VARIABLE listing)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -c ${debs} failed")
  endif()
  message("${listing}")
  set(expected
    ./usr/bin/hemulu
    ./usr/share/applications/hemulu.desktop
    ./usr/share/doc/hemulu/changelog.gz
    ./usr/share/doc/hemulu/copyright
    ./usr/share/icons/hicolor/scalable/apps/hemulu.svg
    ./usr/share/man/man1/hemulu.1.gz
    ./usr/share/metainfo/org.hemulu.hemulu.metainfo.xml)
  foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND expected ./usr/share/icons/hicolor/${size}x${size}/apps/hemulu.png)
  endforeach()
  list(SORT expected)

  string(REPLACE "\n" ";" lines "${listing}")
  set(files "")
  set(problems "")
  foreach(line IN LISTS lines)
    if(line STREQUAL "")
      continue()
    endif()
    if(NOT line MATCHES "^([-dl][-rwxsStT]+) ([^ ]+) +[0-9]+ [-0-9]+ [:0-9]+ (.*)$")
      string(APPEND problems "unreadable line: ${line}\n")
      continue()
    endif()
    set(mode ${CMAKE_MATCH_1})
    set(owner ${CMAKE_MATCH_2})
    set(path ${CMAKE_MATCH_3})
    if(NOT owner STREQUAL "root/root")
      string(APPEND problems "${path} is owned by ${owner}, not root/root\n")
    endif()
    if(mode MATCHES "^d")
      if(NOT mode STREQUAL "drwxr-xr-x")
        string(APPEND problems "folder ${path} has mode ${mode}\n")
      endif()
    elseif(mode MATCHES "^-")
      list(APPEND files ${path})
      if(path STREQUAL "./usr/bin/hemulu")
        set(want "-rwxr-xr-x")
      else()
        set(want "-rw-r--r--")
      endif()
      if(NOT mode STREQUAL want)
        string(APPEND problems "${path} has mode ${mode}, not ${want}\n")
      endif()
    else()
      string(APPEND problems "unexpected link: ${line}\n")
    endif()
  endforeach()
  list(SORT files)
  if(NOT files STREQUAL expected)
    set(extra ${files})
    list(REMOVE_ITEM extra ${expected})
    set(missing ${expected})
    list(REMOVE_ITEM missing ${files})
    string(APPEND problems "files not wanted in the package: ${extra}\nfiles missing from the package: ${missing}\n")
  endif()

  # The control fields: dpkg-shlibdeps found the executable's libraries.
  execute_process(COMMAND ${dpkg_deb} -f ${debs} Package Version Depends OUTPUT_VARIABLE control)
  message("${control}")
  if(NOT control MATCHES "Package: hemulu\n")
    string(APPEND problems "not the package hemulu\n")
  endif()
  if(NOT control MATCHES "Version: ${VERSION}\n")
    string(APPEND problems "not version ${VERSION}\n")
  endif()
  foreach(library libc6 libstdc\\+\\+6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6charts6 libqt6printsupport6
                  libsqlcipher0 libxlsxwriter)
    if(NOT control MATCHES "Depends:[^\n]*${library}")
      string(APPEND problems "Depends does not name ${library}\n")
    endif()
  endforeach()

  if(NOT problems STREQUAL "")
    message(FATAL_ERROR "${debs}:\n${problems}")
  endif()

else()
  message(FATAL_ERROR "unknown MODE ${MODE}")
endif()
