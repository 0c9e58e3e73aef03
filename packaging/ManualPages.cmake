# A manual page for every program in bin, compressed as Debian keeps them. tervin-sim's is made by
# help2man from its --help and --version. tervin-cli's and the window's are written by hand, as
# they say what --help does not (exit status, records, files, languages); the release's date and
# version are stamped into their title lines here. The launcher links to the window's page, which
# names it.
# A missing documentation tool does not stop a build of the programs: without help2man, configure
# says so and tervin-sim's page is left out (of the build and the install). A release never ships
# without its pages: scripts/package.sh sets TERVIN_REQUIRE_MANUAL_PAGES, and configure fails.
option(TERVIN_REQUIRE_MANUAL_PAGES "Fail to configure when a manual page cannot be made" OFF)
find_program(HELP2MAN help2man)
set(manual_page_programs tervin-test-tools tervin-cli)
if(HELP2MAN)
    list(APPEND manual_page_programs tervin-sim)
elseif(TERVIN_REQUIRE_MANUAL_PAGES)
    message(FATAL_ERROR "help2man makes tervin-sim's manual page, which a release ships: "
                        "apt-get install help2man")
else()
    message(STATUS "help2man not found: tervin-sim's manual page is left out, everything else is "
                   "built (apt-get install help2man)")
endif()
set(manual_pages)

# NAME.1 from a hand-written page, its .TH line carrying this release's date and version. Written
# only when it changed, so that an unchanged page is not compressed again.
function(tervin_stamped_page name source)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    file(READ ${source} page)
    string(REGEX REPLACE "(\\.TH [^ ]+ 1) \"[^\"]*\" \"[^\"]*\""
           "\\1 \"${TERVIN_RELEASE_MONTH}\" \"tervin-test-tools ${PROJECT_VERSION}\"" page "${page}")
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/stamp/${name}.1 "${page}")
    configure_file(${CMAKE_CURRENT_BINARY_DIR}/stamp/${name}.1 ${name}.1 COPYONLY)
endfunction()

tervin_stamped_page(tervin-test-tools ${CMAKE_CURRENT_SOURCE_DIR}/tervin-test-tools.1)
tervin_stamped_page(tervin-cli ${CMAKE_SOURCE_DIR}/cli/tervin-cli.1)
if(HELP2MAN)
    add_custom_command(OUTPUT tervin-sim.1
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${TERVIN_RELEASE_EPOCH}
                ${HELP2MAN} --no-info --section=1 "--source=tervin-test-tools ${PROJECT_VERSION}"
                "--name=virtual Tervin Modbus RTU temperature/humidity transmitter"
                --include=${CMAKE_CURRENT_SOURCE_DIR}/tervin-sim.h2m
                --output=tervin-sim.1 $<TARGET_FILE:tervin-sim>
        DEPENDS tervin-sim tervin-sim.h2m VERBATIM)
endif()

foreach(name IN LISTS manual_page_programs)
    add_custom_command(OUTPUT ${name}.1.gz
        COMMAND gzip -9nkf ${name}.1
        DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${name}.1 VERBATIM)
    list(APPEND manual_pages ${CMAKE_CURRENT_BINARY_DIR}/${name}.1.gz)
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${manual_pages})
install(FILES ${manual_pages} DESTINATION share/man/man1)
tervin_install_symlink(tervin-test-tools.1.gz share/man/man1/tervin-test-tools-launch.1.gz)
