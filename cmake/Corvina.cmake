# Helpers shared by the core libraries and their tests.

set(CORVINA_CORE_LIBRARIES "" CACHE INTERNAL "")

# corvina_core_library(<name> [PUBLIC deps...] [PRIVATE deps...])
# Builds every .cpp of the calling folder (not of its sub-folders) into the
# static library corvina_<name>; headers are included as "<folder>/X.h"
# relative to src/core.
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

# The core stays free of Qt: fail the configure step if any core library
# links one.
function(corvina_check_no_qt target)
  foreach(lib ${CORVINA_CORE_LIBRARIES})
    get_target_property(links ${lib} LINK_LIBRARIES)
    get_target_property(ilinks ${lib} INTERFACE_LINK_LIBRARIES)
    foreach(l ${links} ${ilinks})
      if(l MATCHES "^Qt[0-9]*::" OR l MATCHES "Qt6")
        message(FATAL_ERROR "${lib} links ${l}: core libraries must not use Qt")
      endif()
    endforeach()
  endforeach()
endfunction()
