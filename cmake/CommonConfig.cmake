# One interface target that every library, executable and test links, so the
# language level, the warning set and the sanitizer choice live in one place.

set(OVRIN_SANITIZER "" CACHE STRING
    "Instrumented build: empty for none, 'address' (address + undefined behaviour) or 'thread'")
set_property(CACHE OVRIN_SANITIZER PROPERTY STRINGS "" address thread)

# Warnings are errors where the project's own scripts and CI build; a packager
# with another compiler version is not stopped by a warning it brings.
option(OVRIN_WERROR "Treat compiler warnings as errors" OFF)

add_library(ovrin_common INTERFACE)
target_compile_features(ovrin_common INTERFACE cxx_std_20)
# Headers are included by their module: "engine/TGraphicSearch.h".
target_include_directories(ovrin_common INTERFACE ${PROJECT_SOURCE_DIR}/src)
if(OVRIN_WERROR)
    target_compile_options(ovrin_common INTERFACE -Werror)
endif()
target_compile_options(ovrin_common INTERFACE
    -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused
    -Woverloaded-virtual -Wconversion -Wnull-dereference -Wdouble-promotion
    -Wformat=2 -Wimplicit-fallthrough -Wmissing-declarations)
target_compile_definitions(ovrin_common INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_KEYWORDS)

if(OVRIN_SANITIZER STREQUAL "address")
    set(_ovrin_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
elseif(OVRIN_SANITIZER STREQUAL "thread")
    set(_ovrin_san -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT OVRIN_SANITIZER STREQUAL "")
    message(FATAL_ERROR "Unknown OVRIN_SANITIZER '${OVRIN_SANITIZER}'")
endif()
# Coverage-guided fuzzing with libFuzzer (clang only): every library is
# instrumented; the fuzz targets link the fuzzer's own main.
option(OVRIN_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(OVRIN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "OVRIN_FUZZ needs clang")
    endif()
    target_compile_options(ovrin_common INTERFACE -fsanitize=fuzzer-no-link)
endif()

if(_ovrin_san)
    target_compile_options(ovrin_common INTERFACE ${_ovrin_san} -g)
    target_link_options(ovrin_common INTERFACE ${_ovrin_san})
endif()

# Tests beside each module: one Qt Test executable per module, registered with CTest.
function(ovrin_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE ovrin_common Qt6::Test ${T_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp"
        TIMEOUT 600)
endfunction()
