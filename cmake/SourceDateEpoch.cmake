# Writes the build's timestamp, in seconds since 1970 (UTC), to OUT: $SOURCE_DATE_EPOCH when it is set, otherwise
# the time of the commit in SOURCE_DIR, otherwise 0. Everything dated in a release takes it from there.
#   cmake -DSOURCE_DIR=<checkout> -DOUT=<file> -P SourceDateEpoch.cmake
# OUT is rewritten only when the value changes, so that what depends on it is rebuilt only then.
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
    find_program(git NAMES git)
    set(epoch "")
    if(git)
        execute_process(COMMAND ${git} -C ${SOURCE_DIR} log -1 --format=%ct OUTPUT_VARIABLE epoch
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
        if(failed)
            set(epoch "")
        endif()
    endif()
    if(epoch STREQUAL "")
        message(NOTICE "No SOURCE_DATE_EPOCH and no commit to date the build by: dating it 1970-01-01")
        set(epoch 0)
    endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds, not '${epoch}'")
endif()
file(CONFIGURE OUTPUT ${OUT} CONTENT "${epoch}\n")
