# make dist: the download, Nimbrel-<version>-win-x64.zip, with SHA256SUMS
# beside it. Run in script mode by the dist target, which passes VERSION,
# OUT_DIR, STAGE_DIR, the three programs (BAND_EXE, PUBLISHER_EXE,
# PUBLISHERW_EXE), GUIDE and LICENSE.
set(name Nimbrel-${VERSION}-win-x64)
set(stage ${STAGE_DIR}/${name})
set(zip ${OUT_DIR}/${name}.zip)

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

file(REMOVE ${zip} ${OUT_DIR}/SHA256SUMS)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip -- ${name}
  WORKING_DIRECTORY ${STAGE_DIR}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dist: could not write ${zip}")
endif()

file(SHA256 ${zip} hash)
file(WRITE ${OUT_DIR}/SHA256SUMS "${hash}  ${name}.zip\n")
file(SIZE ${zip} size)
message(STATUS "dist: ${zip} (${size} bytes), sha256 ${hash}")
