# The Debian package, borne_<version>_<arch>.deb: `cmake --workflow --preset deb`, or `cpack -G DEB` in any
# build folder. What it holds is what the install rules install; this adds the documents, the copyright
# file, the changelog and the manual pages, and tells CPack the package's fields.
include(GNUInstallDirs)

set(BORNE_PACKAGE_DOCS ${CMAKE_INSTALL_DATADIR}/doc/borne)
set(BORNE_PACKAGE_MAINTAINER "The borne developers <borne@example.org>"
    CACHE STRING "The package's Maintainer field (who builds it for a school names themselves)")
# The day of this version, in the changelog and on the manual pages, so that a rebuild is the same.
set(BORNE_RELEASE_EPOCH 1796817600)

# The documents, and the copyright file and changelog Debian's policy asks for, compressed as it asks.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${BORNE_PACKAGE_DOCS})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${BORNE_PACKAGE_DOCS}/docs)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
                   COMMAND gzip -9nc changelog > changelog.gz
                   DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
                   WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
add_custom_target(borne-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${BORNE_PACKAGE_DOCS})

# The manual pages are written by help2man from each program's own --help and --version, so they say
# what the programs say. borne_manual_page(PROGRAM FILE "what it is") after the program's target.
find_program(BORNE_HELP2MAN help2man)
if(NOT BORNE_HELP2MAN)
    message(WARNING "help2man not found: no manual pages (tools/packages.sh installs it)")
endif()
# A sanitizer's build or a cross build is never packaged, and its programs are not to be run while
# building.
function(borne_manual_page program file summary)
    if(NOT BORNE_HELP2MAN OR NOT BORNE_SANITIZE STREQUAL "" OR CMAKE_CROSSCOMPILING)
        return()
    endif()
    set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
    add_custom_command(
        OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${BORNE_RELEASE_EPOCH} QT_QPA_PLATFORM=offscreen
                ${BORNE_HELP2MAN} --no-info --section=1 --name=${summary} --output=${page} ${file}
        COMMAND gzip -9nf ${page}
        DEPENDS ${file} ${ARGN}
        VERBATIM)
    add_custom_target(${program}-manual-page ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

set(CPACK_PACKAGE_NAME borne)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The borne developers")
set(CPACK_PACKAGE_CONTACT ${BORNE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "car-park access lane terminal simulator")
# Lines of at most 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION "\
The user terminal of a car-park access lane on an operator panel: the
detection loops, the barrier boom, the display, the keypad, the card slot and
the attendant's station, driven by the terminal's control logic, to test and
teach that logic. With borne-scenario, which replays scripts against the
controller without a window, runs suites, grades a class's answers and
searches for journeys; borne-log, which shows the journal; the example
settings of every mode; and what a student's own controller builds against
(headers, a CMake package, a starting point).")
set(CPACK_STRIP_FILES ON)
# Directories CPack makes itself follow the umask otherwise.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${BORNE_PACKAGE_MAINTAINER})
# The libraries the programs load, from dpkg-shlibdeps; then what no library scan sees: the fonts the
# panel names, the sandbox that runs controllers, and Python for controllers written in it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, bubblewrap")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "python3")
# A student's controller is built against the installed headers and CMake package.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cmake, g++")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
