# Delay-loaded DLLs for MinGW-w64 programs.
#
#   nimbrel_delay_import(<target> <dll>...)
#
# links <target> against a delay-import library for each <dll> (comctl32, uxtheme, ...): the DLL is then loaded at
# the first call into it, by the runtime's __delayLoadHelper2 (libmingwex), and not by the loader before the
# program's first instruction. dlltool makes each library from a .def file that lists the entry points of the
# MinGW-w64 import library of the same name, so the calling code stays as it is.
include_guard(GLOBAL)

find_program(NIMBREL_DLLTOOL NAMES ${NIMBREL_MINGW_PREFIX}-dlltool x86_64-w64-mingw32-dlltool dlltool REQUIRED)

function(nimbrel_delay_import target)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/delayimp)
    file(MAKE_DIRECTORY ${dir})
    foreach(dll IN LISTS ARGN)
        find_library(NIMBREL_IMPORT_LIB_${dll} NAMES ${dll} REQUIRED NO_CMAKE_ENVIRONMENT_PATH NO_SYSTEM_ENVIRONMENT_PATH)
        execute_process(COMMAND ${CMAKE_NM} --defined-only ${NIMBREL_IMPORT_LIB_${dll}}
                        OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
        # Each entry point is a text symbol beside its __imp_ pointer; nothing else in the library is.
        string(REGEX MATCHALL "[0-9a-fA-F]+ T [^\n]+" entries "${symbols}")
        set(def "LIBRARY ${dll}.dll\nEXPORTS\n")
        foreach(entry IN LISTS entries)
            string(REGEX REPLACE "^[0-9a-fA-F]+ T " "" name "${entry}")
            string(APPEND def "${name}\n")
        endforeach()
        file(CONFIGURE OUTPUT ${dir}/${dll}.def CONTENT "${def}" @ONLY)

        set(library ${dir}/lib${dll}-delay.a)
        # Relative names and a fixed temporary prefix keep the library, and so the program, free of build paths.
        add_custom_command(
            OUTPUT ${library}
            COMMAND ${NIMBREL_DLLTOOL} --input-def ${dll}.def --dllname ${dll}.dll --output-delaylib lib${dll}-delay.a
                    --temp-prefix ${dll}-delay
            WORKING_DIRECTORY ${dir}
            DEPENDS ${dir}/${dll}.def
            COMMENT "Making the delay-import library for ${dll}.dll"
            VERBATIM)
        add_custom_target(nimbrel_delay_${dll}_lib DEPENDS ${library})
        if(NOT TARGET nimbrel_delay_${dll})
            add_library(nimbrel_delay_${dll} STATIC IMPORTED)
            set_target_properties(nimbrel_delay_${dll} PROPERTIES IMPORTED_LOCATION ${library})
            add_dependencies(nimbrel_delay_${dll} nimbrel_delay_${dll}_lib)
        endif()
        target_link_libraries(${target} PRIVATE nimbrel_delay_${dll})
    endforeach()
endfunction()
