# Warnings are errors on every compiler we build with (g++, clang, MinGW-w64 g++).
add_library(mistle_warnings INTERFACE)
target_compile_options(mistle_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused
    -Woverloaded-virtual -Werror)

# Windows programs carry their C and C++ run-times inside, so that they run on a bare system.
function(mistle_windows_static_runtime target)
    if(WIN32)
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    endif()
endfunction()
