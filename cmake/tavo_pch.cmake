# Precompiled headers, with clang only. Most of a program file's compile time is spent parsing
# the standard headers, and most of a test file's parsing GoogleTest and GoogleMock: each is
# parsed once per target instead. GCC 12 gains nothing by them: loading its precompiled header
# of the test framework costs as much as parsing it, and it loses the system-header mark of
# what the header holds, reporting false array-bounds warnings in the inlined string code.
# Every source still includes what it uses; the build without them (-DTAVO_PCH=OFF, or GCC)
# shows a missing include.
set(TAVO_STANDARD_HEADERS
    <algorithm> <array> <cctype> <cmath> <cstddef> <cstdint> <cstdio> <cstdlib> <cstring>
    <functional> <map> <memory> <string> <string_view> <utility> <vector>)
if(TAVO_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(TAVO_USE_PCH ON)
else()
    set(TAVO_USE_PCH OFF)
endif()

function(tavo_precompile_standard_headers target)
    if(TAVO_USE_PCH)
        target_precompile_headers(${target} PRIVATE ${TAVO_STANDARD_HEADERS})
    endif()
endfunction()
