# Sanitizer and fuzzing builds (clang only). Every target, the stand-in libraries included, is built
# with the sanitizers named in MISTLE_SANITIZERS ("address,undefined" or "thread"); a report ends
# the program, so that it fails the test that caused it.
set(MISTLE_SANITIZERS "" CACHE STRING "Sanitizers every target is built with (clang), e.g. address,undefined")
option(MISTLE_FUZZING "Build the fuzz targets with libFuzzer (clang, with MISTLE_SANITIZERS)" OFF)

if(MISTLE_SANITIZERS)
    add_compile_options(-fsanitize=${MISTLE_SANITIZERS} -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=${MISTLE_SANITIZERS})
    # The test presets send every report here (log_path), where the test command looks for them:
    # also a report in a child whose failure a test expects is not lost.
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/sanitizer-reports)
endif()

# libFuzzer steers by the coverage of the code under test, so all of it is instrumented; only the
# fuzz targets themselves link libFuzzer's driver.
if(MISTLE_FUZZING)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# ThreadSanitizer cannot host the stand-in's fault trap: it takes the emulation's work inside the
# SIGSEGV handler for signal-unsafe calls, and two threads touching one emulated register for a
# race, although the stand-in serialises every emulated access where it cannot see. The programs
# that reach a simulated card through the trap are left out of such a build.
if(MISTLE_SANITIZERS MATCHES "thread")
    set(MISTLE_HOSTS_FAULT_TRAP OFF)
else()
    set(MISTLE_HOSTS_FAULT_TRAP ON)
endif()
