# Runs borne-scenario once in a fresh folder and checks what it left behind.
#
#   cmake -DRUNNER=<borne-scenario> -DSCRIPT=<file.scn> -DWORK=<folder> [-DSETTINGS=<folder>]
#         [-DARGS=--trace] [-DSTDIN=ON] [-DSTDOUT_FILE=/dev/full] [-DEXPECT_RC=0]
#         [-DEXPECT_LOG=<file>|ABSENT] [-DEXPECT_STDOUT=<file>|EMPTY] [-DEXPECT_STDERR=<file>|EMPTY]
#         -P run-once.cmake
#
# WORK is emptied first; the settings and the script are copied into WORK/run, which is the runner's
# working folder, so Log.txt starts absent and the messages name the script by its bare file name.
# With STDIN the script is fed on standard input and named "-". STDOUT_FILE sends standard output
# somewhere else than WORK/stdout (which is then not checked).
cmake_minimum_required(VERSION 3.25)

foreach(v RUNNER SCRIPT WORK)
    if(NOT DEFINED ${v})
        message(FATAL_ERROR "run-once.cmake: ${v} is required")
    endif()
endforeach()
if(NOT DEFINED EXPECT_RC)
    set(EXPECT_RC 0)
endif()
if(NOT DEFINED STDOUT_FILE)
    set(STDOUT_FILE ${WORK}/stdout)
endif()

set(run ${WORK}/run)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${run})
if(DEFINED SETTINGS)
    file(COPY ${SETTINGS}/Config.cfg ${SETTINGS}/CHIP.INI DESTINATION ${run})
endif()
get_filename_component(name ${SCRIPT} NAME)

if(STDIN)
    execute_process(COMMAND ${RUNNER} ${ARGS} - WORKING_DIRECTORY ${run} INPUT_FILE ${SCRIPT}
                    RESULT_VARIABLE rc OUTPUT_FILE ${STDOUT_FILE} ERROR_FILE ${WORK}/stderr)
else()
    file(COPY ${SCRIPT} DESTINATION ${run})
    execute_process(COMMAND ${RUNNER} ${ARGS} ${name} WORKING_DIRECTORY ${run}
                    RESULT_VARIABLE rc OUTPUT_FILE ${STDOUT_FILE} ERROR_FILE ${WORK}/stderr)
endif()

file(READ ${WORK}/stderr errors)
set(faults "")
if(NOT rc STREQUAL EXPECT_RC)
    string(APPEND faults "exit status ${rc}, expected ${EXPECT_RC}\n")
endif()

# Compares two files byte for byte with cmp, as the journal has zero bytes in every line.
function(compare what actual expected)
    if(expected STREQUAL "EMPTY")
        file(SIZE ${actual} size)
        if(NOT size EQUAL 0)
            set(faults "${faults}${what} should be empty, has ${size} bytes\n" PARENT_SCOPE)
        endif()
        return()
    endif()
    if(NOT EXISTS ${actual})
        set(faults "${faults}${what} was not written\n" PARENT_SCOPE)
        return()
    endif()
    execute_process(COMMAND cmp ${actual} ${expected} RESULT_VARIABLE r OUTPUT_VARIABLE o ERROR_VARIABLE o)
    if(NOT r EQUAL 0)
        set(faults "${faults}${what} differs from ${expected}: ${o}" PARENT_SCOPE)
    endif()
endfunction()

if(DEFINED EXPECT_LOG)
    if(EXPECT_LOG STREQUAL "ABSENT")
        if(EXISTS ${run}/Log.txt)
            string(APPEND faults "Log.txt was created\n")
        endif()
    else()
        compare("Log.txt" ${run}/Log.txt ${EXPECT_LOG})
    endif()
endif()
if(DEFINED EXPECT_STDOUT)
    compare("standard output" ${WORK}/stdout ${EXPECT_STDOUT})
endif()
if(DEFINED EXPECT_STDERR)
    compare("standard error" ${WORK}/stderr ${EXPECT_STDERR})
endif()

if(NOT faults STREQUAL "")
    message(FATAL_ERROR "${name}:\n${faults}--- standard error of the run:\n${errors}")
endif()
