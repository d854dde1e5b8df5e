# Helpers shared by every folder's CMakeLists.txt.

# Adds the sub-folders of the current folder that have a CMakeLists.txt, in the order given.
function(brimlet_add_subdirs)
    foreach(sub ${ARGN})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/CMakeLists.txt)
            add_subdirectory(${sub})
        endif()
    endforeach()
endfunction()

# brimlet_add_gtest(NAME LABEL label SOURCES ... LIBS ...)
# A GoogleTest executable whose cases become CTest tests carrying the subsystem label.
# Cases run in parallel: a test that needs ports takes free ones, never fixed numbers.
# With BRIMLET_TEST_FONTCONFIG set (tests/CMakeLists.txt), the cases see only the fonts it names.
function(brimlet_add_gtest name)
    cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock ${T_LIBS})
    set(fonts "")
    if(BRIMLET_TEST_FONTCONFIG)
        # One value per property: the discovered tests' properties cannot carry a list.
        set(fonts ENVIRONMENT_MODIFICATION "FONTCONFIG_FILE=set:${BRIMLET_TEST_FONTCONFIG}")
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        # A test that does not name a program folder of its own gets one in the build tree, never
        # the user's settings folder.
        PROPERTIES LABELS ${T_LABEL} ENVIRONMENT "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config"
                   ${fonts})
endfunction()

# brimlet_add_fuzzer(NAME LABEL label CORPUS dir SOURCES ... LIBS ...)
# A libFuzzer target (BRIMLET_FUZZ) or, in every other build, a replay program that feeds each
# file of the seed corpus to the target once; the replay is a CTest test under the sanitizers.
function(brimlet_add_fuzzer name)
    cmake_parse_arguments(F "" "LABEL;CORPUS" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    if(BRIMLET_FUZZ)
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        # The target's own seed corpus, beside it, for fuzz/run-all.
        file(GENERATE OUTPUT "$<TARGET_FILE:${name}>.corpus" CONTENT "${F_CORPUS}\n")
    else()
        target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp)
        add_test(NAME ${name}.replay COMMAND ${name} ${F_CORPUS})
        set_tests_properties(${name}.replay PROPERTIES LABELS ${F_LABEL}
                             ENVIRONMENT "XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config")
    endif()
endfunction()
