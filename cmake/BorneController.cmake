# borne_add_controller(NAME SOURCES a.cpp ... [CLASS C] [HEADER h]): a controller as a plug-in, a MODULE
# named NAME.so whose one export is the entry point borne writes for class C (default tGestionBarriere),
# declared in header h (default C.h, looked up in the calling folder first).
#
# A plug-in takes the terminal's classes (the devices, the supervision link, the reader, the journal, the
# wait and the panel) from the program that loads it, so the process keeps one panel; what it defines is
# bound to itself (-Bsymbolic), so a class it shares a name with in the program (the terminal's own
# tGestionBarriere) never stands in for its own: not its functions, nor the tables of its virtual calls
# (the program's vtable of ControleurDe<tGestionBarriere> would run the program's turn). A header in the calling folder with the name of one of
# the terminal's controller headers (tGestionBarriere.h) is seen under control/ ahead of the terminal's, so
# sources copied unchanged from the terminal include the copy beside them.
# borne_interface_fingerprint(VAR ROOT): the controller interface's fingerprint, 12 hex digits hashed from
# the contents of every header a plug-in compiles against, as found under ROOT (the sources, or an
# installed include/borne/). A plug-in carries the one of the headers it was built with, a host takes
# only its own: any change of those headers, even one a version number would miss, refuses old builds.
function(borne_interface_fingerprint out root)
    set(headers base/Codes.h base/Texte.h base/Verrou.h config/tConfiguration.h control/Attente.h
                control/Codes.h control/Controleur.h control/ObservateurTour.h control/TableEtats.h
                control/tClavier.h control/tSupervision.h control/tSystemeBarriere.h journal/tDebug.h)
    set(all "")
    foreach(header IN LISTS headers)
        file(SHA256 ${root}/${header} one)
        string(APPEND all "${header} ${one}\n")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${root}/${header})
    endforeach()
    string(SHA256 sum "${all}")
    string(SUBSTRING ${sum} 0 12 sum)
    set(${out} ${sum} PARENT_SCOPE)
endfunction()

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
        # Only the controller's own header may stand in for borne's: any other of borne's names beside the
        # sources would be used in place of the terminal's class, or silently not, depending on the include.
        foreach(folder base config control journal panel)
            if(EXISTS ${BORNE_INCLUDE_ROOT}/${folder}/${header} AND NOT header STREQUAL "tGestionBarriere.h")
                message(FATAL_ERROR "borne_add_controller(${name}): ${CMAKE_CURRENT_SOURCE_DIR}/${header} has the "
                                    "name of borne's ${folder}/${header}; rename it (only tGestionBarriere.h may "
                                    "be the controller's own)")
            endif()
        endforeach()
        if(header STREQUAL "tGestionBarriere.h")
            configure_file(${CMAKE_CURRENT_SOURCE_DIR}/${header} ${overrides}/control/${header} COPYONLY)
        endif()
    endforeach()
    borne_interface_fingerprint(fingerprint ${BORNE_INCLUDE_ROOT})
    set(entry ${CMAKE_CURRENT_BINARY_DIR}/${name}_entry.cpp)
    file(CONFIGURE OUTPUT ${entry} CONTENT
        "// Written by borne_add_controller: the plug-in's entry point for @arg_CLASS@.\n#include \"@arg_HEADER@\"\n\n#include \"control/Controleur.h\"\n\nBORNE_CONTROLEUR(@arg_CLASS@)\n"
        @ONLY)
    add_library(${name} MODULE ${arg_SOURCES} ${entry})
    # The terminal's classes are shared with the host as they are: the plug-in is compiled as borne is,
    # C++20 without extensions, whatever standard the calling project asks for its other targets.
    set_target_properties(${name} PROPERTIES PREFIX "" CXX_STANDARD 20 CXX_STANDARD_REQUIRED ON
                                             CXX_EXTENSIONS OFF)
    target_include_directories(${name} BEFORE PRIVATE ${overrides} ${CMAKE_CURRENT_SOURCE_DIR})
    target_include_directories(${name} PRIVATE ${BORNE_INCLUDE_ROOT})
    target_link_options(${name} PRIVATE -Wl,-Bsymbolic)
    target_compile_definitions(${name} PRIVATE BORNE_EMPREINTE_INTERFACE="${fingerprint}")
endfunction()
