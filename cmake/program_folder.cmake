# Assembles the complete program folder under the build tree: the main program, extern/ with the
# helper program and filters, LANG/, covers/ with its four folders, and system/.
set(KES_PROGRAM_SUBDIRS extern LANG covers covers/front covers/back covers/logos covers/INI system)
foreach(sub IN LISTS KES_PROGRAM_SUBDIRS)
    file(MAKE_DIRECTORY ${KES_PROGRAM_DIR}/${sub})
endforeach()

file(GLOB KES_LANG_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/lang/*.lng)
set(KES_LANG_STAMPS)
foreach(lng IN LISTS KES_LANG_FILES)
    get_filename_component(name ${lng} NAME)
    add_custom_command(OUTPUT ${KES_PROGRAM_DIR}/LANG/${name}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${lng} ${KES_PROGRAM_DIR}/LANG/${name}
        DEPENDS ${lng} VERBATIM)
    list(APPEND KES_LANG_STAMPS ${KES_PROGRAM_DIR}/LANG/${name})
endforeach()
add_custom_command(OUTPUT ${KES_PROGRAM_DIR}/README.md
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/README.md ${KES_PROGRAM_DIR}/README.md
    DEPENDS ${PROJECT_SOURCE_DIR}/README.md VERBATIM)

get_property(KES_PROGRAM_TARGETS GLOBAL PROPERTY KES_PROGRAM_TARGETS)
# A tree that builds only some tests (the thread sanitizer tree) assembles only the deliverables they
# run, given by KES_PROGRAM_FOLDER_ONLY; the folder is complete otherwise.
set(KES_PROGRAM_FOLDER_ONLY "" CACHE STRING "Deliverables of a partial program folder (empty: all)")
if(KES_PROGRAM_FOLDER_ONLY)
    set(KES_PROGRAM_TARGETS ${KES_PROGRAM_FOLDER_ONLY})
endif()
add_custom_target(program_folder ALL
    DEPENDS ${KES_LANG_STAMPS} ${KES_PROGRAM_DIR}/README.md ${KES_PROGRAM_TARGETS})
