# cmake -DOUTPUT=<header> -P OmbixBuildDate.cmake
# Writes the build date, spelt as the C preprocessor spells __DATE__ ("Oct  4 2022"), into a header that
# defines OMBIX_BUILD_DATE. The header is rewritten only when the date changes, so that a build on the same
# day recompiles nothing. SOURCE_DATE_EPOCH, when set, is the build time (string(TIMESTAMP) reads it), in
# UTC as reproducible builds expect; otherwise the local date of the build.
if(NOT OUTPUT)
    message(FATAL_ERROR "OmbixBuildDate.cmake: OUTPUT is not set")
endif()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    string(TIMESTAMP date "%b %d %Y" UTC)
else()
    string(TIMESTAMP date "%b %d %Y")
endif()
string(REGEX REPLACE " 0([1-9]) " "  \\1 " date "${date}")
message(STATUS "Build date: ${date}")

set(content "// Generated at build time by OmbixBuildDate.cmake.\n#define OMBIX_BUILD_DATE \"${date}\"\n")
set(existing "")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" existing)
endif()
if(NOT existing STREQUAL content)
    file(WRITE "${OUTPUT}" "${content}")
endif()
