# The newest entry of packaging/changelog is the release: its version becomes the project's
# version (the package's, and what every program's --version prints), and its date goes into the
# manual pages and the AppStream metainfo. Making a release is adding one entry there.
set(changelog ${CMAKE_CURRENT_LIST_DIR}/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} newest REGEX "^tervin-test-tools \\(|^ -- " LIMIT_COUNT 2)
list(GET newest 0 heading)
list(GET newest 1 trailer)
if(NOT heading MATCHES "^tervin-test-tools \\(([0-9]+\\.[0-9]+\\.[0-9]+)\\) ")
    message(FATAL_ERROR "${changelog}: the newest entry has no version X.Y.Z: ${heading}")
endif()
set(TERVIN_RELEASE_VERSION ${CMAKE_MATCH_1})
if(NOT trailer MATCHES "^ -- .+>  (.+)$")
    message(FATAL_ERROR "${changelog}: the newest entry has no date: ${trailer}")
endif()
execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%s
    OUTPUT_VARIABLE TERVIN_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND date -u -d @${TERVIN_RELEASE_EPOCH} +%F
    OUTPUT_VARIABLE TERVIN_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND env LC_ALL=C date -u -d @${TERVIN_RELEASE_EPOCH} "+%B %Y"
    OUTPUT_VARIABLE TERVIN_RELEASE_MONTH OUTPUT_STRIP_TRAILING_WHITESPACE)
