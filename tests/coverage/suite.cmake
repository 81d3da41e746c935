# Runs the project's scenario suite with --coverage, prints the summary, and holds the coverage of the
# two modes whose every reachable row the suite covers: a row of mode 0 or 4 that is no longer covered
# fails, and so does a row listed below as out of reach that some scenario reaches after all. Every
# transition the table allows is taken in some mode, and stays so.
#
#   cmake -DRUNNER=<borne-scenario> -DSUITE=<folder> -DWORK=<folder> -P suite.cmake
cmake_minimum_required(VERSION 3.25)

# Rows no journey reaches in these modes, and why:
#  - 2.5 2.6 3.5 3.6: their condition is mode 4; 2.3 2.4 3.3 3.4 theirs is mode != 4.
#  - 3.4 in mode 0: the card always carries 6082, which the supervision link always accepts.
#  - 0.2 0.4 in mode 4: without a supervision link the car park is never full.
#  - 4.x and 11.x in mode 4: no link, so no attendant's grant and no alarm.
set(UNREACHABLE_0 2.5 2.6 3.4 3.5 3.6)
set(UNREACHABLE_4 0.2 0.4 2.3 2.4 3.3 3.4 4.1 4.2 4.3 11.1 11.2 11.3 11.4)

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${RUNNER} --suite ${SUITE} --coverage ${WORK}/coverage WORKING_DIRECTORY ${WORK}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the suite failed (exit status ${rc})")
endif()
if(out MATCHES "outside the table")
    message(FATAL_ERROR "a scenario took a transition that the state table does not allow")
endif()

file(READ ${WORK}/coverage/coverage.json json)
set(faults "")
foreach(mode 0 4)
    string(JSON count LENGTH "${json}" modes ${mode} rows)
    math(EXPR last "${count} - 1")
    foreach(i RANGE ${last})
        string(JSON row MEMBER "${json}" modes ${mode} rows ${i})
        string(JSON n GET "${json}" modes ${mode} rows ${row})
        list(FIND UNREACHABLE_${mode} ${row} out_of_reach)
        if(n EQUAL 0 AND out_of_reach EQUAL -1)
            string(APPEND faults "row ${row} is no longer covered in mode ${mode}\n")
        elseif(NOT n EQUAL 0 AND NOT out_of_reach EQUAL -1)
            string(APPEND faults "row ${row} is covered in mode ${mode}, though listed as out of reach\n")
        endif()
    endforeach()
endforeach()
string(JSON count LENGTH "${json}" total transitions)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
    string(JSON transition MEMBER "${json}" total transitions ${i})
    string(JSON n GET "${json}" total transitions ${transition})
    if(n EQUAL 0)
        string(APPEND faults "the transition ${transition} is no longer taken\n")
    endif()
endforeach()
if(faults)
    message(FATAL_ERROR "${faults}")
endif()
