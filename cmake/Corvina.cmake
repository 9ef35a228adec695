# Helpers shared by the core libraries and their tests.

set(CORVINA_CORE_LIBRARIES "" CACHE INTERNAL "")

# corvina_core_library(<name> [PUBLIC deps...] [PRIVATE deps...])
# Builds every .cpp of the calling folder (not of its sub-folders) into the
# static library corvina_<name>; headers are included as "<folder>/X.h"
# relative to src/core. PUBLIC: the core libraries its headers include;
# PRIVATE: those only its .cpp files include (corvina_check_layers holds the
# lists to the includes).
function(corvina_core_library name)
  cmake_parse_arguments(ARG "" "" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(target corvina_${name})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src/core)
    target_link_libraries(${target} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
  else()
    # A subsystem not written yet: an interface library keeps the
    # dependency graph whole.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR}/src/core)
    target_link_libraries(${target} INTERFACE ${ARG_PUBLIC})
  endif()
  file(RELATIVE_PATH prefix ${PROJECT_SOURCE_DIR}/src/core ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(${target} PROPERTIES CORVINA_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}
                                             CORVINA_INCLUDE_PREFIX ${prefix})
  set(CORVINA_CORE_LIBRARIES ${CORVINA_CORE_LIBRARIES} ${target} CACHE INTERNAL "")
endfunction()

# corvina_test(<name> LIBS <libs...> [NO_MAIN])
# One test executable per topic from every .cpp in the calling folder,
# registered with CTest test by test. NO_MAIN: the folder brings its own
# main() (for tests that re-run themselves as a child process).
function(corvina_test name)
  cmake_parse_arguments(ARG "NO_MAIN" "" "LIBS;LABELS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} corvina_testsupport GTest::gtest GTest::gmock)
  if(NOT ARG_NO_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}"
               ENVIRONMENT "CORVINA_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data")
endfunction()

# The core libraries are layers in the order they are declared (the order
# of add_subdirectory in the root CMakeLists.txt, lowest first): a library's
# rank is its place in CORVINA_CORE_LIBRARIES. Fails the configure step,
# naming both ends, when a core library links Qt, links a library declared
# after it, includes a header of a core library it does not link, or links
# one whose headers it never includes.
function(corvina_check_layers)
  set(order ${CORVINA_CORE_LIBRARIES})
  foreach(lib IN LISTS order)
    get_target_property(prefix ${lib} CORVINA_INCLUDE_PREFIX)
    set(owner_of_${prefix} ${lib})
  endforeach()
  foreach(lib IN LISTS order)
    list(FIND order ${lib} rank)
    set(linked "")
    get_target_property(links ${lib} INTERFACE_LINK_LIBRARIES)
    get_target_property(type ${lib} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(privateLinks ${lib} LINK_LIBRARIES)
      list(APPEND links ${privateLinks})
    endif()
    foreach(l IN LISTS links)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" l "${l}")
      if(l MATCHES "-NOTFOUND$" OR l STREQUAL "")
        continue()
      endif()
      if(l MATCHES "^Qt[0-9]*::" OR l MATCHES "Qt6")
        message(FATAL_ERROR "${lib} links ${l}: core libraries must not use Qt")
      endif()
      list(FIND order "${l}" used)
      if(used GREATER_EQUAL rank)
        message(FATAL_ERROR "${lib} links ${l}, which is declared after it: a core library "
                "links only libraries below it (lowest first: ${order}). Move the code that "
                "needs ${l} up a layer, or hand ${lib} what it needs as a value.")
      endif()
      if(used GREATER_EQUAL 0)
        list(APPEND linked ${l})
      endif()
    endforeach()
    list(REMOVE_DUPLICATES linked)

    # Which core libraries its files include, by the longest folder prefix
    # ("message/mime/X.h" belongs to mime, "message/X.h" to message).
    get_target_property(dir ${lib} CORVINA_SOURCE_DIR)
    file(GLOB files ${dir}/*.h ${dir}/*.cpp)
    set(includedLibs "")
    foreach(f IN LISTS files)
      file(STRINGS ${f} lines REGEX "^#include \"[a-z]+/")
      list(REMOVE_DUPLICATES lines)
      foreach(line IN LISTS lines)
        string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
        get_filename_component(folder "${header}" DIRECTORY)
        set(owner "")
        while(owner STREQUAL "" AND NOT folder STREQUAL "")
          if(DEFINED owner_of_${folder})
            set(owner ${owner_of_${folder}})
          endif()
          get_filename_component(folder "${folder}" DIRECTORY)
        endwhile()
        if(owner STREQUAL "" OR owner STREQUAL lib)
          continue()
        endif()
        if(NOT owner IN_LIST linked)
          file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${f})
          list(FIND order ${owner} used)
          if(used GREATER rank)
            message(FATAL_ERROR "${lib} uses ${owner}, which is declared after it: ${shown} "
                    "includes ${header}. Move that code up a layer, or hand ${lib} what it "
                    "needs as a value.")
          endif()
          message(FATAL_ERROR "${lib} uses ${owner} without linking it: ${shown} includes "
                  "${header}. Add ${owner} to the link list of ${lib}.")
        endif()
        list(APPEND includedLibs ${owner})
      endforeach()
    endforeach()
    foreach(l IN LISTS linked)
      if(NOT l IN_LIST includedLibs)
        message(FATAL_ERROR "${lib} links ${l} but includes none of its headers: "
                "drop ${l} from its link list.")
      endif()
    endforeach()
  endforeach()
endfunction()
