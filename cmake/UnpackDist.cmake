# The dist tests' set-up: build the download as make dist does, check it
# against its SHA256SUMS, and unpack it for the tests to look at and run.
# Takes BUILD_DIR, ZIP, SETUP, SUMS and TO.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target dist RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dist: make dist failed")
endif()

get_filename_component(zip_name ${ZIP} NAME)
get_filename_component(setup_name ${SETUP} NAME)
file(SHA256 ${ZIP} hash)
file(SHA256 ${SETUP} setup_hash)
file(READ ${SUMS} sums)
if(NOT sums STREQUAL "${hash}  ${zip_name}\n${setup_hash}  ${setup_name}\n")
  message(FATAL_ERROR "dist: SHA256SUMS says '${sums}', the zip is ${hash}, the installer ${setup_hash}")
endif()

file(REMOVE_RECURSE ${TO})
file(MAKE_DIRECTORY ${TO})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${ZIP} WORKING_DIRECTORY ${TO}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "dist: could not unpack ${ZIP}")
endif()
