# Precompiled headers. Most of a program file's compile time is spent parsing the standard
# headers, and most of a test file's parsing GoogleTest and GoogleMock: each is parsed once per
# target instead. Every source still includes what it uses; the build without them
# (-DTAVO_PCH=OFF) shows a missing include.
set(TAVO_STANDARD_HEADERS
    <algorithm> <array> <cctype> <cmath> <cstddef> <cstdint> <cstdio> <cstdlib> <cstring>
    <functional> <map> <memory> <string> <string_view> <utility> <vector>)

# Program code: clang only. GCC 12 loses the system-header mark of what a precompiled header
# holds, and then reports its own false array-bounds warnings in the inlined string code.
function(tavo_precompile_standard_headers target)
    if(TAVO_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        target_precompile_headers(${target} PRIVATE ${TAVO_STANDARD_HEADERS})
    endif()
endfunction()
