# Installs the build into a staging folder (DESTDIR) and runs the installed
# program from there: the layout, the desktop files, and that the program
# keeps its writable data in the user's folder and never in share/.
# Called by CTest: cmake -DBUILD=... -DOUT=... -DLIBDIR=... -DDATADIR=... -DBINDIR=... -P install_check.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT}/home)
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${OUT}/root ${CMAKE_COMMAND} --install ${BUILD} --prefix /usr
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${err}")
endif()
set(P ${OUT}/root/usr)

foreach(f ${BINDIR}/melko ${LIBDIR}/melko/melko_gui.so
          ${DATADIR}/melko/MELKO/CONTROL.TXT ${DATADIR}/melko/MELKO/INST/GM.INS ${DATADIR}/melko/MELKO/_SETUP.MID
          ${DATADIR}/melko/MELKO/SysEx/Parmix.so ${DATADIR}/melko/MELKO/SysEx/SysExTables.txt
          ${DATADIR}/melko/demos/demo.mid ${DATADIR}/applications/melko.desktop
          ${DATADIR}/icons/hicolor/scalable/apps/melko.svg ${DATADIR}/icons/hicolor/48x48/apps/melko.png
          ${DATADIR}/mime/packages/melko.xml)
  if(NOT EXISTS ${P}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(READ ${P}/${DATADIR}/applications/melko.desktop desktop)
foreach(line "Exec=melko %f" "Icon=melko" "MimeType=audio/midi;")
  string(FIND "${desktop}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "melko.desktop lacks ${line}")
  endif()
endforeach()

# Nothing of the build tree's run-time files may be shipped.
file(GLOB_RECURSE shipped RELATIVE ${P}/${DATADIR}/melko/MELKO ${P}/${DATADIR}/melko/MELKO/*)
foreach(f MELKO.INI FILEINFO.INI ArcCache.dat _TEMP.MID _BACKUP.MID)
  if(f IN_LIST shipped)
    message(FATAL_ERROR "${f} was installed with the data folder")
  endif()
endforeach()

# The installed program: a batch command fills the user's data folder from
# the shipped one and reads its tables from there.
set(run_env HOME=${OUT}/home --unset=XDG_DATA_HOME --unset=DISPLAY --unset=WAYLAND_DISPLAY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${run_env} ${P}/${BINDIR}/melko --sysex-list
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "installed melko --sysex-list failed (${rc}): ${err}")
endif()
set(USER ${OUT}/home/.local/share/melko/MELKO)
foreach(f CONTROL.TXT LINE.TXT INST/GM.INS SysEx/Parmix.so _SETUP.MID)
  if(NOT EXISTS ${USER}/${f})
    message(FATAL_ERROR "the user's data folder lacks ${f}")
  endif()
endforeach()

# The window's library is found in the library folder.
execute_process(COMMAND ${CMAKE_COMMAND} -E env ${run_env} QT_QPA_PLATFORM=offscreen
                        ${P}/${BINDIR}/melko --screenshot ${OUT}/shot.png ${P}/${DATADIR}/melko/demos/demo.mid
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT EXISTS ${OUT}/shot.png)
  message(FATAL_ERROR "installed melko --screenshot failed (${rc}): ${err}")
endif()

# The desktop application, closed by SIGTERM as a user closes it, writes its
# settings into the user's folder. (A MELKO already running for this user
# takes the start over instead; then there is nothing to look at.)
execute_process(COMMAND timeout -s TERM 6 ${CMAKE_COMMAND} -E env ${run_env} QT_QPA_PLATFORM=offscreen
                        ${P}/${BINDIR}/melko
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(EXISTS ${USER}/MELKO.INI)
  file(READ ${USER}/MELKO.INI ini)
  string(FIND "${ini}" "Temporary=${USER}/" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the temporary folder is not the user's data folder:\n${ini}")
  endif()
elseif(NOT rc EQUAL 0)
  message(FATAL_ERROR "the installed application wrote no MELKO.INI (${rc}): ${err}")
else()
  message(STATUS "another MELKO took the start over; settings not checked")
endif()

file(GLOB_RECURSE after RELATIVE ${P}/${DATADIR}/melko/MELKO ${P}/${DATADIR}/melko/MELKO/*)
if(NOT after STREQUAL shipped)
  message(FATAL_ERROR "the installed program wrote into the shipped data folder: ${after}")
endif()
file(REMOVE_RECURSE ${OUT})
