# Regenerates the state table's page and fails when the committed one differs.
#
#   cmake -DGENERATOR=<borne-state-table> -DPAGE=<docs/state-table.md> -DWORK=<folder> -P check-page.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${GENERATOR} OUTPUT_FILE ${WORK}/state-table.md RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "borne-state-table failed (exit status ${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${PAGE} ${WORK}/state-table.md RESULT_VARIABLE differs)
if(differs)
    message(FATAL_ERROR "${PAGE} differs from the state table: regenerate it with\n"
                        "  ${GENERATOR} > ${PAGE}\nand commit it (the page as the table gives it is "
                        "${WORK}/state-table.md)")
endif()
