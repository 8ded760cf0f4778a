# Makes the package's changelog.gz from data/package/changelog, once its
# newest entry names the version being built: a package must never say it
# is one version while its changelog ends at another.
#   cmake -DCHANGELOG=FILE -DVERSION=X.Y.Z -DOUTPUT=FILE.gz -P debian_changelog.cmake
file(STRINGS ${CHANGELOG} first_line LIMIT_COUNT 1)
if(NOT first_line MATCHES "^ffsload \\(([^)]+)\\) ")
  message(FATAL_ERROR "${CHANGELOG}: the first line is not a changelog entry's: \"${first_line}\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "${CHANGELOG}: the newest entry is for ${CMAKE_MATCH_1}, but the version "
    "in CMakeLists.txt is ${VERSION}: add an entry for ${VERSION} at the top")
endif()
# -n: no name or time stamp in the archive, so that the same changelog
# always gives the same bytes.
execute_process(COMMAND gzip -9n -c ${CHANGELOG} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "cannot compress ${CHANGELOG}")
endif()
