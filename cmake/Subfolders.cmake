# Adds every direct subfolder of the current source folder that holds a CMakeLists.txt, in name order,
# so a new tool, suite or benchmark is picked up by creating its folder. EXCEPT names folders added
# elsewhere.
#   borne_add_subfolders([EXCEPT name...])
function(borne_add_subfolders)
    cmake_parse_arguments(PARSE_ARGV 0 arg "" "" "EXCEPT")
    file(GLOB entries LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
    list(SORT entries)
    foreach(entry IN LISTS entries)
        get_filename_component(folder ${entry} NAME)
        if(folder IN_LIST arg_EXCEPT)
            continue()
        endif()
        if(IS_DIRECTORY ${entry} AND EXISTS ${entry}/CMakeLists.txt)
            add_subdirectory(${entry})
        endif()
    endforeach()
endfunction()

# One layer: a static library that the programs link, and beside it a shared copy linked with -z defs
# against the shared copies of the layers it may use only. An include across the layers' arrows leaves a
# symbol that copy cannot resolve, so the build fails at that layer whatever the link order of the
# programs. The copy is linked without debug information: it is only a check, nothing runs it.
#   borne_layer(NAME SOURCES a.cpp b.cpp USES borne_x borne_y [SYSTEM libraries of the system]
#               [INCLUDES more include roots its users need])
function(borne_layer name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;USES;SYSTEM;INCLUDES")
    add_library(${name}_objects OBJECT ${arg_SOURCES})
    set_target_properties(${name}_objects PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_include_directories(${name}_objects PUBLIC ${PROJECT_SOURCE_DIR} ${arg_INCLUDES})
    target_link_libraries(${name}_objects PUBLIC Threads::Threads ${arg_USES} ${arg_SYSTEM})
    add_library(${name} STATIC $<TARGET_OBJECTS:${name}_objects>)
    target_link_libraries(${name} PUBLIC ${name}_objects)
    if(NOT BORNE_LAYER_CHECK)
        return()
    endif()
    set(checks)
    foreach(used IN LISTS arg_USES)
        list(APPEND checks ${used}_layer_check)
    endforeach()
    add_library(${name}_layer_check SHARED $<TARGET_OBJECTS:${name}_objects>)
    target_link_libraries(${name}_layer_check PRIVATE Threads::Threads ${checks} ${arg_SYSTEM})
    target_link_options(${name}_layer_check PRIVATE -Wl,-z,defs -Wl,--strip-debug)
endfunction()
