# Runs the layering check of cmake/Corvina.cmake over the project in
# layering/ once for each case: a true layering configures, and every kind
# of wrong link fails the configure step with a message naming both ends.
#   cmake -DSOURCE_DIR=<repository> -DWORK_DIR=<scratch> -DGENERATOR=<generator>
#         -DMAKE_PROGRAM=<program> -P LayeringCheckTest.cmake

cmake_policy(SET CMP0007 NEW)

# name | links of low | of mid | of high | with the stray library | expected text ("" = passes)
set(cases
    "true-layering||corvina_low|corvina_mid|OFF|"
    "links-upward|corvina_high|corvina_low|corvina_mid|OFF|corvina_low links corvina_high, which is declared after it"
    "links-qt||corvina_low|corvina_mid,Qt6::Core|OFF|corvina_high links Qt6::Core: core libraries must not use Qt"
    "includes-unlinked||corvina_low||OFF|corvina_high uses corvina_mid without linking it: src/core/high/High.h includes mid/Mid.h"
    "links-unused||corvina_low|corvina_mid,corvina_low|OFF|corvina_high links corvina_low but includes none of its headers"
    "includes-upward||corvina_low|corvina_mid|ON|corvina_stray uses corvina_high, which is declared after it")

set(failures 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 name)
  list(GET fields 1 low)
  list(GET fields 2 mid)
  list(GET fields 3 high)
  list(GET fields 4 stray)
  list(GET fields 5 expected)
  string(REPLACE "," "|" high "${high}")
  file(REMOVE_RECURSE ${WORK_DIR}/${name})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR}/layering -B ${WORK_DIR}/${name}
            -G ${GENERATOR} -DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}
            -DCORVINA_CMAKE_DIR=${SOURCE_DIR}/cmake -DLOW_LINKS=${low} -DMID_LINKS=${mid}
            -DHIGH_LINKS=${high} -DWITH_STRAY=${stray}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  # CMake wraps long messages: compare the text with its line breaks and
  # indentation taken out.
  string(REGEX REPLACE "\n *" " " flat "${output}")
  if(expected STREQUAL "")
    if(NOT result EQUAL 0)
      message(SEND_ERROR "${name}: the configure step failed:\n${output}")
      math(EXPR failures "${failures} + 1")
    endif()
  elseif(result EQUAL 0)
    message(SEND_ERROR "${name}: the configure step passed; expected \"${expected}\"")
    math(EXPR failures "${failures} + 1")
  else()
    string(FIND "${flat}" "${expected}" at)
    if(at EQUAL -1)
      message(SEND_ERROR "${name}: expected \"${expected}\" in:\n${output}")
      math(EXPR failures "${failures} + 1")
    endif()
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} layering case(s) went wrong")
endif()
