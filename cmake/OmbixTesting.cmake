# ombix_add_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <seconds>])
# Builds one QtTest executable and registers it with CTest, headless and under the sanitizer options.
find_package(Qt5 5.15 REQUIRED COMPONENTS Test)

set(OMBIX_TEST_ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1:fast_unwind_on_malloc=0"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
)

function(ombix_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ombix_testsupport ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${OMBIX_TEST_ENVIRONMENT}" TIMEOUT ${ARG_TIMEOUT})
endfunction()
