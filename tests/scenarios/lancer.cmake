# Runs borne-scenario once in a fresh folder and checks what it left behind.
#
#   cmake -DRUNNER=<borne-scenario> -DSCRIPT=<file.scn> -DWORK=<folder> [-DSETTINGS=<folder>]
#         [-DARGS=--trace] [-DSTDIN=ON] [-DEXPECT_RC=0] [-DEXPECT_LOG=<file>|ABSENT]
#         [-DEXPECT_STDOUT=<file>|EMPTY] [-DEXPECT_STDERR=<file>|EMPTY] -P lancer.cmake
#
# WORK is emptied first; the settings and the script are copied into WORK/run, which is the runner's
# working folder, so Log.txt starts absent and the messages name the script by its bare file name.
# With STDIN the script is fed on standard input and named "-".
cmake_minimum_required(VERSION 3.25)

foreach(v RUNNER SCRIPT WORK)
    if(NOT DEFINED ${v})
        message(FATAL_ERROR "lancer.cmake: ${v} is required")
    endif()
endforeach()
if(NOT DEFINED EXPECT_RC)
    set(EXPECT_RC 0)
endif()

set(run ${WORK}/run)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${run})
if(DEFINED SETTINGS)
    file(COPY ${SETTINGS}/Config.cfg ${SETTINGS}/CHIP.INI DESTINATION ${run})
endif()
get_filename_component(nom ${SCRIPT} NAME)

if(STDIN)
    execute_process(COMMAND ${RUNNER} ${ARGS} - WORKING_DIRECTORY ${run} INPUT_FILE ${SCRIPT}
                    RESULT_VARIABLE rc OUTPUT_FILE ${WORK}/stdout ERROR_FILE ${WORK}/stderr)
else()
    file(COPY ${SCRIPT} DESTINATION ${run})
    execute_process(COMMAND ${RUNNER} ${ARGS} ${nom} WORKING_DIRECTORY ${run}
                    RESULT_VARIABLE rc OUTPUT_FILE ${WORK}/stdout ERROR_FILE ${WORK}/stderr)
endif()

file(READ ${WORK}/stderr erreurs)
set(fautes "")
if(NOT rc STREQUAL EXPECT_RC)
    string(APPEND fautes "exit status ${rc}, expected ${EXPECT_RC}\n")
endif()

# Compares two files byte for byte with cmp, as the journal has zero bytes in every line.
function(comparer quoi obtenu attendu)
    if(attendu STREQUAL "EMPTY")
        file(SIZE ${obtenu} taille)
        if(NOT taille EQUAL 0)
            set(fautes "${fautes}${quoi} should be empty, has ${taille} bytes\n" PARENT_SCOPE)
        endif()
        return()
    endif()
    if(NOT EXISTS ${obtenu})
        set(fautes "${fautes}${quoi} was not written\n" PARENT_SCOPE)
        return()
    endif()
    execute_process(COMMAND cmp ${obtenu} ${attendu} RESULT_VARIABLE r OUTPUT_VARIABLE o ERROR_VARIABLE o)
    if(NOT r EQUAL 0)
        set(fautes "${fautes}${quoi} differs from ${attendu}: ${o}" PARENT_SCOPE)
    endif()
endfunction()

if(DEFINED EXPECT_LOG)
    if(EXPECT_LOG STREQUAL "ABSENT")
        if(EXISTS ${run}/Log.txt)
            string(APPEND fautes "Log.txt was created\n")
        endif()
    else()
        comparer("Log.txt" ${run}/Log.txt ${EXPECT_LOG})
    endif()
endif()
if(DEFINED EXPECT_STDOUT)
    comparer("standard output" ${WORK}/stdout ${EXPECT_STDOUT})
endif()
if(DEFINED EXPECT_STDERR)
    comparer("standard error" ${WORK}/stderr ${EXPECT_STDERR})
endif()

if(NOT fautes STREQUAL "")
    message(FATAL_ERROR "${nom}:\n${fautes}--- standard error of the run:\n${erreurs}")
endif()
