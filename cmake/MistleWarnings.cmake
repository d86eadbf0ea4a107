# The warnings we build with on every compiler (g++, clang, MinGW-w64 g++). The project's presets,
# and so CI, make them errors; a plain build, as a distribution makes it with its own compiler and
# flags, keeps them warnings unless asked.
option(MISTLE_WERROR "Treat compiler warnings as errors" OFF)

add_library(mistle_warnings INTERFACE)
target_compile_options(mistle_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused
    -Woverloaded-virtual $<$<BOOL:${MISTLE_WERROR}>:-Werror>)

# Windows programs carry their C and C++ run-times inside, so that they run on a bare system.
function(mistle_windows_static_runtime target)
    if(WIN32)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()
