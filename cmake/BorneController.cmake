# borne_add_controller(NAME SOURCES a.cpp ... [CLASS C] [HEADER h]): a controller as a plug-in, a MODULE
# named NAME.so whose one export is the entry point borne writes for class C (default tGestionBarriere),
# declared in header h (default C.h, looked up in the calling folder first).
#
# A plug-in takes the terminal's classes (the devices, the supervision link, the reader, the journal, the
# wait and the panel) from the program that loads it, so the process keeps one panel; its own code is
# bound to itself (-Bsymbolic-functions), so a class it shares a name with in the program (the terminal's
# own tGestionBarriere) never stands in for its own. A header in the calling folder with the name of one of
# the terminal's controller headers (tGestionBarriere.h) is seen under control/ ahead of the terminal's, so
# sources copied unchanged from the terminal include the copy beside them.
function(borne_add_controller name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "CLASS;HEADER" "SOURCES")
    if(NOT arg_SOURCES)
        message(FATAL_ERROR "borne_add_controller(${name}): no SOURCES")
    endif()
    if(NOT arg_CLASS)
        set(arg_CLASS tGestionBarriere)
    endif()
    if(NOT arg_HEADER)
        set(arg_HEADER ${arg_CLASS}.h)
    endif()
    set(overrides ${CMAKE_CURRENT_BINARY_DIR}/${name}_include)
    file(GLOB own_headers RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(header IN LISTS own_headers)
        if(EXISTS ${BORNE_INCLUDE_ROOT}/control/${header})
            configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${header} ${overrides}/control/${header} COPYONLY)
        endif()
    endforeach()
    set(entry ${CMAKE_CURRENT_BINARY_DIR}/${name}_entry.cpp)
    file(CONFIGURE OUTPUT ${entry} CONTENT
        "// Written by borne_add_controller: the plug-in's entry point for @arg_CLASS@.\n#include \"@arg_HEADER@\"\n\n#include \"control/Controleur.h\"\n\nBORNE_CONTROLEUR(@arg_CLASS@)\n"
        @ONLY)
    add_library(${name} MODULE ${arg_SOURCES} ${entry})
    set_target_properties(${name} PROPERTIES PREFIX "" CXX_EXTENSIONS OFF)
    target_compile_features(${name} PRIVATE cxx_std_20)
    target_include_directories(${name} BEFORE PRIVATE ${overrides} ${CMAKE_CURRENT_SOURCE_DIR})
    target_include_directories(${name} PRIVATE ${BORNE_INCLUDE_ROOT})
    target_link_options(${name} PRIVATE -Wl,-Bsymbolic)
endfunction()
