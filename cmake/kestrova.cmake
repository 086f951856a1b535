# Shared build settings of the project's libraries, programs and tests.

set(KES_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
                 -Wimplicit-fallthrough -Wformat=2)

# kes_warnings(<target>): the project's warning flags.
function(kes_warnings target)
    target_compile_options(${target} PRIVATE ${KES_WARNINGS})
endfunction()

# kes_library(<name> SOURCES ... [DEPS ...] [PUBLIC_DEPS ...])
# A static library of one folder; its headers are included as "<folder>/<file>.h" from the source root.
function(kes_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PUBLIC_DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_DEPS})
    kes_warnings(${name})
endfunction()

# Compile options for the test programs' own sources only. A sanitizer tree compiles them at -O0: the
# time of a test goes into the code it tests, and optimising the test bodies is most of such a
# tree's build.
set(KES_TEST_COMPILE_OPTIONS "" CACHE STRING "Extra compile options of the test programs' own sources")

# kes_test(<name> SOURCES ... [DEPS ...] [QT])
# A GoogleTest executable run as one ctest entry. The shared test main sets up a private registry,
# the shutdown recorder and the offscreen Qt platform; QT gives the test a QApplication.
function(kes_test name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    if(ARG_QT)
        target_link_libraries(${name} PRIVATE kes_test_main_qt)
    else()
        target_link_libraries(${name} PRIVATE kes_test_main)
    endif()
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} kes_test_support GTest::gtest)
    kes_warnings(${name})
    target_compile_options(${name} PRIVATE ${KES_TEST_COMPILE_OPTIONS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KES_TEST_FAKES_DIR=${KES_FAKES_DIR};KES_PROGRAM_DIR=${KES_PROGRAM_DIR}"
        TIMEOUT 300)
endfunction()

# kes_place_in_program(<target> [DEST <subfolder>] [NAME <file name>])
# Builds a deliverable straight into the assembled program folder under the file name the main program
# looks for ("extern/Tonegrab.exe", "extern/_Quillon.ax", ...), and makes the program folder depend on it.
function(kes_place_in_program target)
    cmake_parse_arguments(ARG "" "DEST;NAME" "" ${ARGN})
    set(dir ${KES_PROGRAM_DIR})
    if(ARG_DEST)
        set(dir ${KES_PROGRAM_DIR}/${ARG_DEST})
    endif()
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${dir}
        LIBRARY_OUTPUT_DIRECTORY ${dir})
    if(ARG_NAME)
        get_filename_component(base ${ARG_NAME} NAME_WLE)
        get_filename_component(ext ${ARG_NAME} LAST_EXT)
        set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${base} SUFFIX "${ext}")
    endif()
    set_property(GLOBAL APPEND PROPERTY KES_PROGRAM_TARGETS ${target})
endfunction()
