# borne's development package: what a controller built outside the project needs, and nothing else. A
# plug-in links no library of borne's: it takes the terminal's classes from the program that loads it,
# which is how the process keeps one panel. So the package is the layers' headers, the function that
# builds a plug-in and the files find_package(borne) reads, installed, or read from a build folder as it
# is (-Dborne_DIR=<build folder>).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(BORNE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/borne)
set(BORNE_PACKAGE_INCLUDE ${CMAKE_INSTALL_INCLUDEDIR}/borne)

# The headers of the calling layer's folder, installed under include/borne/ by the path the sources
# include them with (control/tSystemeBarriere.h...).
function(borne_install_headers)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    install(FILES ${headers} DESTINATION ${BORNE_PACKAGE_INCLUDE}/${folder})
endfunction()

# One template for both places; they differ only in where the headers and the function are. The
# installed one finds them from its own place, so an installed tree can be moved.
function(borne_write_package_config file include_root module)
    set(BORNE_CONFIG_INCLUDE_ROOT ${include_root})
    set(BORNE_CONFIG_MODULE ${module})
    configure_file(${PROJECT_SOURCE_DIR}/cmake/borneConfig.cmake.in ${file} @ONLY)
endfunction()

write_basic_package_version_file(${PROJECT_BINARY_DIR}/borneConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
borne_write_package_config(${PROJECT_BINARY_DIR}/borneConfig.cmake ${PROJECT_SOURCE_DIR}
                           ${PROJECT_SOURCE_DIR}/cmake/BorneController.cmake)
file(RELATIVE_PATH include_from_package ${CMAKE_INSTALL_FULL_LIBDIR}/cmake/borne
     ${CMAKE_INSTALL_FULL_INCLUDEDIR}/borne)
borne_write_package_config(${PROJECT_BINARY_DIR}/package/borneConfig.cmake
                           "\${CMAKE_CURRENT_LIST_DIR}/${include_from_package}"
                           "\${CMAKE_CURRENT_LIST_DIR}/BorneController.cmake")
install(FILES ${PROJECT_BINARY_DIR}/package/borneConfig.cmake ${PROJECT_BINARY_DIR}/borneConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/BorneController.cmake
        DESTINATION ${BORNE_PACKAGE_DIR})
# The student's starting point, beside the package it builds against (not among the modes' settings).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/controller/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/borne/controller PATTERN build EXCLUDE)
# The same in Python, and the module a Python controller imports (`borne`, found through PYTHONPATH).
install(PROGRAMS ${PROJECT_SOURCE_DIR}/examples/controller-python/MonControleur.py
        DESTINATION ${CMAKE_INSTALL_DATADIR}/borne/controller-python)
install(FILES ${PROJECT_SOURCE_DIR}/examples/controller-python/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/borne/controller-python)
install(FILES ${PROJECT_SOURCE_DIR}/tools/protocol/python/borne.py DESTINATION ${CMAKE_INSTALL_DATADIR}/borne/python)
