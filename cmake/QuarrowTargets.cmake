# Target helpers: every Quarrow target gets the same language level, definitions and warning set.

set(QUARROW_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wsuggest-override -Werror)
set(QUARROW_DEFINITIONS UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

function(quarrow_configure_target target)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${QUARROW_WARNINGS}>)
    target_compile_definitions(${target} PUBLIC ${QUARROW_DEFINITIONS})
endfunction()

# quarrow_library(<name> SOURCES ... [LIBS ...])
function(quarrow_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    quarrow_configure_target(${name})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    if(ARG_LIBS)
        target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    endif()
endfunction()

# quarrow_app(<name> SOURCES ... [LIBS ...]): a Windows GUI program.
function(quarrow_app name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} WIN32 ${ARG_SOURCES})
    quarrow_configure_target(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# Environment of every program run under Wine by ctest: the project's own prefix, no debug
# chatter, and no Mono/Gecko installer dialog waiting for a person.
set(QUARROW_WINE_ENVIRONMENT
    "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=mscoree,mshtml="
    "GTEST_COLOR=no")

# quarrow_test(<name> SOURCES ... [LIBS ...] [ARGS ...] [WORKING_DIRECTORY dir] [PLAIN]): one GoogleTest
# program, registered as one ctest test (per-case registration would start Wine once per case). PLAIN: a
# program with a main of its own (no GoogleTest, no leak listener), run with ARGS.
function(quarrow_test name)
    cmake_parse_arguments(ARG "PLAIN" "WORKING_DIRECTORY" "SOURCES;LIBS;ARGS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    quarrow_configure_target(${name})
    if(ARG_PLAIN)
        target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    else()
        target_link_libraries(${name} PRIVATE QuarrowTestSupport ${ARG_LIBS})
    endif()
    if(NOT ARG_WORKING_DIRECTORY)
        set(ARG_WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    add_test(NAME ${name} COMMAND ${name} ${ARG_ARGS} WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${QUARROW_WINE_ENVIRONMENT}" TIMEOUT 600)
    if(NOT ARG_PLAIN)
        # Passing is GoogleTest's own summary, not the exit code alone: a program that dies without one fails.
        set_tests_properties(${name} PROPERTIES
            PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ test"
            FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|Test program crashed")
    endif()
endfunction()

# quarrow_bench(<name> SOURCES ... [LIBS ...]): a benchmark program, built with the rest, run by hand.
function(quarrow_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    quarrow_configure_target(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()
