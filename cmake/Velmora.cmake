# Each area of the source tree is one library whose sources are the files of
# its folder; each test folder is one GoogleTest executable registered with CTest.

set(VELMORA_WARNINGS -Wall -Wextra -Wno-unused-parameter)

# velmora_area(NAME DIR [RECURSE] [DEPS ...])
function(velmora_area name dir)
  cmake_parse_arguments(A "RECURSE" "" "DEPS" ${ARGN})
  if(A_RECURSE)
    file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  endif()
  list(FILTER srcs EXCLUDE REGEX "/main\\.cpp$")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_compile_options(${name} PRIVATE ${VELMORA_WARNINGS})
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${A_DEPS})
  endif()
endfunction()

# velmora_tests(NAME DIR [ENV k=v ...] [LIBS ...])
function(velmora_tests name dir)
  cmake_parse_arguments(T "" "" "LIBS;ENV" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${name} PRIVATE
    VELMORA_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
    VELMORA_FIXTURES="${PROJECT_SOURCE_DIR}/tests/data"
    VELMORA_BIN_DIR="${VELMORA_BIN_DIR}")
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # In CI a missing tool (EGL, a display, ImageMagick) is a fault of the
  # machine to be fixed, not a reason to skip: a skipped test fails there.
  set(ci_props)
  if("$ENV{CI}" STREQUAL "true")
    set(ci_props FAIL_REGULAR_EXPRESSION "  SKIPPED ")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${T_ENV}" TIMEOUT 300 LABELS ${name} ${ci_props})
endfunction()

# velmora_automoc(TARGET [AUTORCC]): runs moc (and rcc) for a Qt target.
# CMake 3.25's Ninja generator reruns AUTOMOC only when a file it read last
# time changes, so a new source brought in by the glob (a new Q_OBJECT class)
# went without its moc output: "undefined reference to vtable" until the
# _autogen folder was deleted. A changed list of sources removes the step's
# stamp, so the next build runs it again.
function(velmora_automoc target)
  cmake_parse_arguments(M "AUTORCC" "" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  if(M_AUTORCC)
    set_target_properties(${target} PROPERTIES AUTORCC ON)
  endif()
  get_target_property(srcs ${target} SOURCES)
  get_target_property(bin ${target} BINARY_DIR)
  set(seen ${bin}/${target}_autogen_sources.txt)
  set(before "")
  if(EXISTS ${seen})
    file(READ ${seen} before)
  endif()
  if(NOT before STREQUAL "${srcs}")
    file(REMOVE ${bin}/${target}_autogen/timestamp)
    file(WRITE ${seen} "${srcs}")
  endif()
endfunction()
