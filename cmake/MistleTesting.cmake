# GoogleTest: the distribution's build on Linux; built from the distribution's sources for the
# Windows cross build.
if(WIN32)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
    find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# What goes before a path of the build or source tree for a test program: under wine they are on
# drive Z:.
if(WIN32)
    set(MISTLE_HOST_PREFIX "Z:")
else()
    set(MISTLE_HOST_PREFIX "")
endif()

# The environment under which a test finds the stand-in board libraries.
if(WIN32)
    set(MISTLE_SIM_TEST_ENVIRONMENT "WINEPATH=${MISTLE_HOST_PREFIX}${MISTLE_SIM_LIBRARY_DIR}"
                                    "WINEDEBUG=-all")
    set(MISTLE_NO_SIM_TEST_ENVIRONMENT "WINEDEBUG=-all")
else()
    set(MISTLE_SIM_TEST_ENVIRONMENT "LD_LIBRARY_PATH=${MISTLE_SIM_LIBRARY_DIR}")
    set(MISTLE_NO_SIM_TEST_ENVIRONMENT "")
endif()

# mistle_add_gtest(<target> SOURCES ... LIBRARIES ... [WITH_SIM] [TIMEOUT seconds])
# Natively every test case becomes a CTest test of its own; under wine, where each start costs a
# wine process, a test program runs as one CTest test. A program that reaches a simulated card
# (WITH_SIM) needs the fault trap and is left out of a build that cannot host it.
function(mistle_add_gtest target)
    cmake_parse_arguments(ARG "WITH_SIM" "TIMEOUT" "SOURCES;LIBRARIES" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 60)
    endif()
    if(ARG_WITH_SIM AND NOT MISTLE_HOSTS_FAULT_TRAP)
        message(STATUS "${target}: left out, this build cannot host the fault trap")
        return()
    endif()
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main
                                            mistle_warnings)
    mistle_windows_static_runtime(${target})
    if(ARG_WITH_SIM)
        set(environment ${MISTLE_SIM_TEST_ENVIRONMENT})
        add_dependencies(${target} mistle_sim_libraries)
    else()
        set(environment ${MISTLE_NO_SIM_TEST_ENVIRONMENT})
    endif()
    if(WIN32)
        add_test(NAME ${target} COMMAND ${target})
        math(EXPR wine_timeout "${ARG_TIMEOUT} * 5")
        set_tests_properties(${target} PROPERTIES ENVIRONMENT "${environment}" TIMEOUT ${wine_timeout})
    else()
        # Named only when there is one: an empty ENVIRONMENT would take the next property's name
        # as its value, and the tests would run without their time limit.
        set(properties TIMEOUT ${ARG_TIMEOUT})
        if(environment)
            list(APPEND properties ENVIRONMENT "${environment}")
        endif()
        gtest_discover_tests(${target} PROPERTIES ${properties} DISCOVERY_TIMEOUT 30)
    endif()
endfunction()
