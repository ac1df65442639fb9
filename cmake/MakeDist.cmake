# make dist: the download, Nimbrel-<version>-win-x64.zip and the installer
# Nimbrel-<version>-setup.exe (the same files), with SHA256SUMS beside them.
# Run in script mode by the dist target, which passes VERSION, OUT_DIR,
# STAGE_DIR, the three programs (BAND_EXE, PUBLISHER_EXE, PUBLISHERW_EXE),
# GUIDE, LICENSE, and for the installer MAKENSIS, INSTALLER_SCRIPT and ICON.
set(name Nimbrel-${VERSION}-win-x64)
set(stage ${STAGE_DIR}/${name})
set(zip ${OUT_DIR}/${name}.zip)
set(setup_name Nimbrel-${VERSION}-setup.exe)
set(setup ${OUT_DIR}/${setup_name})

file(REMOVE_RECURSE ${STAGE_DIR})
file(MAKE_DIRECTORY ${stage} ${OUT_DIR})
file(COPY ${BAND_EXE} ${PUBLISHER_EXE} ${PUBLISHERW_EXE} DESTINATION ${stage})

# Text files with Windows line ends, for Notepad and its kin.
function(copy_text from to)
  file(READ ${from} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${to} "${text}")
endfunction()
copy_text(${GUIDE} ${stage}/README.txt)
copy_text(${LICENSE} ${stage}/LICENSE.txt)

file(REMOVE ${zip} ${setup} ${OUT_DIR}/SHA256SUMS)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip -- ${name}
  WORKING_DIRECTORY ${STAGE_DIR}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dist: could not write ${zip}")
endif()

# The installer holds the very files of the zip (makensis on Linux reads the
# script's backslashes in paths as slashes).
execute_process(
  COMMAND ${MAKENSIS} -V2 -DVERSION=${VERSION} -DVERSION4=${VERSION} -DSTAGE=${stage}
          -DICON=${ICON} -DOUTFILE=${setup} ${INSTALLER_SCRIPT}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dist: makensis could not build ${setup}")
endif()

file(SHA256 ${zip} hash)
file(SHA256 ${setup} setup_hash)
file(WRITE ${OUT_DIR}/SHA256SUMS "${hash}  ${name}.zip\n${setup_hash}  ${setup_name}\n")
file(SIZE ${zip} size)
file(SIZE ${setup} setup_size)
message(STATUS "dist: ${zip} (${size} bytes), sha256 ${hash}")
message(STATUS "dist: ${setup} (${setup_size} bytes), sha256 ${setup_hash}")
