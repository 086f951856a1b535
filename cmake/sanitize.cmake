# Sanitizer builds (Clang): -DKES_SANITIZE=address,undefined or -DKES_SANITIZE=thread instruments every
# library, program and test of the tree. KES_FUZZ=ON also builds the fuzz targets of tests/fuzz; with
# address,undefined the libraries then carry the fuzzer's coverage instrumentation, so that one tree
# serves both the sanitized test suite and the fuzz targets.
set(KES_SANITIZE "" CACHE STRING "Sanitizers for the whole tree (Clang): address,undefined or thread")
option(KES_FUZZ "Build the libFuzzer targets of tests/fuzz (Clang)" OFF)

if(KES_SANITIZE)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "KES_SANITIZE needs Clang (-DCMAKE_CXX_COMPILER=clang++)")
    endif()
    set(kes_sanitize_flags -fsanitize=${KES_SANITIZE} -fno-omit-frame-pointer)
    if(KES_SANITIZE MATCHES "undefined")
        # A finding is a failure, not a line in a log.
        list(APPEND kes_sanitize_flags -fno-sanitize-recover=undefined)
    endif()
    if(KES_FUZZ)
        list(APPEND kes_sanitize_flags -fsanitize=fuzzer-no-link)
    endif()
    add_compile_options(${kes_sanitize_flags})
    add_link_options(-fsanitize=${KES_SANITIZE})
    # The sanitizer runtime lives in the executable that loads a filter or codec module, so a module's
    # references to it stay open: -z undefs after the module's own --no-undefined, once every folder
    # has declared its targets.
    cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kes_allow_runtime_references ${CMAKE_SOURCE_DIR})
endif()

function(kes_allow_runtime_references dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "MODULE_LIBRARY" OR type STREQUAL "SHARED_LIBRARY")
            target_link_options(${target} PRIVATE -Wl,-z,undefs)
        endif()
    endforeach()
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        kes_allow_runtime_references(${sub})
    endforeach()
endfunction()
