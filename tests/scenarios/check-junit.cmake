# Runs a suite with failures of every kind into a JUnit report, then reads the report with xmllint:
# valid against junit.xsd, one testcase per folder named by its relative path, a failure element with
# the first difference for each failed one, and the counts in the testsuite's attributes.
#
#   cmake -DRUNNER=<borne-scenario> -DXMLLINT=<xmllint> -DSCHEMA=<junit.xsd> -DWORK=<folder> -P check-junit.cmake
cmake_minimum_required(VERSION 3.25)

set(suite ${WORK}/suite)
file(REMOVE_RECURSE ${WORK})
set(settings "mode=0\nnomacces=Entree <Nord> & \"Sud\"\nnumeroacces=2\n")
foreach(folder passes "journal & <differs>" nested/broken-script expectation-fails)
    file(WRITE "${suite}/${folder}/Config.cfg" "${settings}")
    file(WRITE "${suite}/${folder}/scenario.scn" "turn\n")
endforeach()
file(WRITE "${suite}/journal & <differs>/expected/Log.txt" "not the journal\n")
string(ASCII 1 control)
file(WRITE ${suite}/nested/broken-script/scenario.scn "turn\njump${control}\n")
file(WRITE ${suite}/expectation-fails/scenario.scn "type Edit1 <é>\nexpect Edit1.Text a\"&\"\n")

execute_process(COMMAND ${RUNNER} --suite --junit ${WORK}/report.xml ${suite} RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 1)
    message(FATAL_ERROR "exit status ${rc}, expected 1\n${out}${err}")
endif()

execute_process(COMMAND ${XMLLINT} --noout --schema ${SCHEMA} ${WORK}/report.xml RESULT_VARIABLE rc
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    file(READ ${WORK}/report.xml report)
    message(FATAL_ERROR "the report is not valid:\n${err}\n${report}")
endif()

set(faults "")
function(expect xpath wanted)
    execute_process(COMMAND ${XMLLINT} --xpath "${xpath}" ${WORK}/report.xml OUTPUT_VARIABLE got
                    ERROR_VARIABLE err)
    string(REGEX REPLACE "\n$" "" got "${got}") # xmllint ends what it prints with a newline
    if(NOT got STREQUAL wanted)
        set(faults "${faults}${xpath}: got \"${got}\", expected \"${wanted}\"\n" PARENT_SCOPE)
    endif()
endfunction()
expect("string(/testsuite/@tests)" "4")
expect("string(/testsuite/@failures)" "3")
expect("count(/testsuite/testcase)" "4")
expect("count(//failure)" "3")
expect("string(/testsuite/testcase[1]/@name)" "expectation-fails")
expect("string(/testsuite/testcase[2]/@name)" "journal & <differs>")
expect("string(/testsuite/testcase[3]/@name)" "nested/broken-script")
expect("count(/testsuite/testcase[@name='passes']/failure)" "0")
expect("string(/testsuite/testcase[2]/failure/@message)" "Log.txt line 1 differs")
expect("contains(/testsuite/testcase[2]/failure, 'actual:   EtatCourant = \\x00ETAT_VEHICULE_ABSENT;')"
       "true")
expect("string(/testsuite/testcase[3]/failure/@message)"
       "scenario.scn:2: unknown command \"jump\\x01\" (tick, untick, type, turn, wait, expect, until, force, release)")
expect("string(/testsuite/testcase[1]/failure/@message)"
       "scenario.scn:2: expected Edit1.Text = \"a\"&\"\", got \"<é>\"")
if(NOT faults STREQUAL "")
    file(READ ${WORK}/report.xml report)
    message(FATAL_ERROR "${faults}--- the report:\n${report}")
endif()
