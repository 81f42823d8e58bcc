# Build settings shared by every folder of the tree, and the helpers that declare tests.

if(TW_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
    # Small binaries: drop unused code and strip symbols.
    add_compile_options(-ffunction-sections -fdata-sections)
    add_link_options(-Wl,--gc-sections -s)
    # Declarations of the Windows headers that this tree uses (Vista and later).
    add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601 WINVER=0x0601)
endif()

# GoogleTest from Debian's source package, built here for the host and cross-built for Windows with
# the same compiler flags as the code under test.
set(TW_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(TW_BUILD_TESTS)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${TW_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    enable_testing()
endif()

# Warnings are errors in every build. Set after GoogleTest so that only our own code is held to it.
add_compile_options(-Wall -Wextra -Wpedantic -Werror)

# Host unit test: one GoogleTest program, one ctest test, labelled "host". DIST marks a test of the
# shipped files in dist/ (labelled "dist" too): make check leaves those out, make test runs them
# after make dist, and they skip with a message when dist/ lacks their file.
#   tw_add_host_test(name SOURCES files... [LIBS libraries...] [DIST])
function(tw_add_host_test name)
    if(NOT TW_BUILD_TESTS OR NOT TW_TARGET STREQUAL "host")
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 arg "DIST" "" "SOURCES;LIBS")
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main GTest::gmock)
    add_test(NAME ${name} COMMAND ${name})
    set(labels host)
    if(arg_DIST)
        list(APPEND labels dist)
        # A test program whose every case skipped (dist/ lacks the file) shows as skipped.
        set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS "${labels}")
endfunction()

# Windows test: one GoogleTest program built for x86-64, run by ctest under Wine in the build tree's
# own prefix (fixture "wine", see tests/CMakeLists.txt), or natively when built on Windows.
#   tw_add_wine_test(name SOURCES files... [LIBS libraries...] [DEPENDS targets it starts or loads...])
function(tw_add_wine_test name)
    if(NOT TW_BUILD_TESTS OR NOT TW_TARGET STREQUAL "win64")
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBS;DEPENDS")
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE ${arg_LIBS} GTest::gtest_main GTest::gmock tw_winsupport)
    if(arg_DEPENDS)
        add_dependencies(${name} ${arg_DEPENDS})
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 900 LABELS wine)
endfunction()

# The spelling under which a Windows test program finds a file of the build machine, for a
# compile definition: Wine shows the machine's / as drive Z:, a Windows build machine needs nothing.
#   tw_test_path(variable path)
function(tw_test_path out path)
    if(CMAKE_HOST_WIN32)
        set(${out} "${path}" PARENT_SCOPE)
    else()
        set(${out} "Z:${path}" PARENT_SCOPE)
    endif()
endfunction()

# Applies the version block, manifest and other resources in an .rc file to a Windows target.
function(tw_add_resources target rcfile)
    if(WIN32)
        target_sources(${target} PRIVATE ${rcfile})
    endif()
endfunction()

# Built on Linux, the Windows tests run through scripts/wine-run.sh, which runs wine with the build
# tree's own prefix; built on Windows, they run natively, with no prefix (the fixture "wine" has no
# set-up there, so the tests that require it simply run).
if(TW_TARGET STREQUAL "win64" AND NOT CMAKE_HOST_WIN32)
    set(TW_UNDER_WINE ON)
    set(TW_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh ${TW_WINEPREFIX})
endif()

# `deliverables` builds what `make dist` ships; tw_deliverable() adds a target to it and installs it
# (component "deliverable") into dist/, or into dist/<subfolder> when one is given.
add_custom_target(deliverables)
function(tw_deliverable target)
    set(destination .)
    if(ARGC GREATER 1)
        set(destination ${ARGV1})
    endif()
    add_dependencies(deliverables ${target})
    install(TARGETS ${target}
            RUNTIME DESTINATION ${destination} COMPONENT deliverable
            LIBRARY DESTINATION ${destination} COMPONENT deliverable)
endfunction()

# Host benchmark (Google Benchmark), built only in the host Release build (preset host-release).
# `make bench` runs every such program; name them *_bench.
#   tw_add_benchmark(name SOURCES files... [LIBS libraries...])
function(tw_add_benchmark name)
    if(NOT TW_TARGET STREQUAL "host" OR NOT CMAKE_BUILD_TYPE STREQUAL "Release")
        return()
    endif()
    find_package(benchmark REQUIRED)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBS")
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE ${arg_LIBS} benchmark::benchmark)
endfunction()

# libFuzzer target, built only in the fuzz build (preset fuzz: clang, ASan + UBSan). `make fuzz`
# runs every such target for a while and `make test` briefly (scripts/fuzz.sh), starting from the
# seed folders given (missing ones are skipped) and with the dictionary, if any. Name them
# *_fuzzer.
#   tw_add_fuzzer(name SOURCES files... [LIBS libraries...] [SEEDS folders...] [DICTIONARY file]
#                 [DEPENDS targets that write seeds...])
option(TW_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(TW_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
    # One line per target for scripts/fuzz.sh: name, dictionary ("-" for none), seed folders
    # (tab-separated).
    file(WRITE ${CMAKE_BINARY_DIR}/fuzzers.tsv "")
endif()
function(tw_add_fuzzer name)
    if(NOT TW_FUZZ)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "DICTIONARY" "SOURCES;LIBS;SEEDS;DEPENDS")
    add_executable(${name} ${arg_SOURCES})
    target_link_libraries(${name} PRIVATE ${arg_LIBS})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    if(arg_DEPENDS)
        add_dependencies(${name} ${arg_DEPENDS})
    endif()
    set(dictionary "${arg_DICTIONARY}")
    if(NOT dictionary)
        set(dictionary "-")
    endif()
    string(REPLACE ";" "\t" seeds "${arg_SEEDS}")
    file(APPEND ${CMAKE_BINARY_DIR}/fuzzers.tsv "${name}\t${dictionary}\t${seeds}\n")
endfunction()
