# make dist (the dist target): the download a user gets, built from the
# programs of this build: the zip and the installer. See MakeDist.cmake.
find_program(NIMBREL_MAKENSIS makensis REQUIRED)
set(NIMBREL_DIST_DIR ${PROJECT_BINARY_DIR}/dist CACHE PATH
    "Where the dist target puts the download and its SHA256SUMS")
set(NIMBREL_DIST_NAME Nimbrel-${PROJECT_VERSION}-win-x64)
set(NIMBREL_DIST_ZIP ${NIMBREL_DIST_DIR}/${NIMBREL_DIST_NAME}.zip)
set(NIMBREL_DIST_SETUP ${NIMBREL_DIST_DIR}/Nimbrel-${PROJECT_VERSION}-setup.exe)

add_custom_target(dist
  COMMAND ${CMAKE_COMMAND}
    -DVERSION=${PROJECT_VERSION}
    -DOUT_DIR=${NIMBREL_DIST_DIR}
    -DSTAGE_DIR=${PROJECT_BINARY_DIR}/dist-stage
    -DBAND_EXE=$<TARGET_FILE:Nimbrel>
    -DPUBLISHER_EXE=$<TARGET_FILE:nimbrel-publisher>
    -DPUBLISHERW_EXE=$<TARGET_FILE:nimbrel-publisherw>
    -DGUIDE=${PROJECT_SOURCE_DIR}/docs/user-guide.txt
    -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE
    -DMAKENSIS=${NIMBREL_MAKENSIS}
    -DINSTALLER_SCRIPT=${PROJECT_SOURCE_DIR}/installer/Nimbrel.nsi
    -DICON=${PROJECT_SOURCE_DIR}/res/Nimbrel.ico
    -P ${PROJECT_SOURCE_DIR}/cmake/MakeDist.cmake
  VERBATIM)
add_dependencies(dist Nimbrel nimbrel-publisher nimbrel-publisherw)
