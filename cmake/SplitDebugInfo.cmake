# Moves the debug information of a linked program into a file beside it, <program>.debug, and leaves the program
# stripped, with a GNU debug link (the file's name and checksum) that debuggers follow. Both files are dated by the
# build's timestamp, which objcopy writes into their PE headers.
#   cmake -DOBJCOPY=<objcopy> -DPROGRAM=<exe> -DEPOCH_FILE=<file> -P SplitDebugInfo.cmake
file(READ ${EPOCH_FILE} epoch)
string(STRIP "${epoch}" epoch)
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
get_filename_component(folder ${PROGRAM} DIRECTORY)
get_filename_component(name ${PROGRAM} NAME)
# Relative names: the debug link records the name as given.
execute_process(COMMAND ${OBJCOPY} --only-keep-debug ${name} ${name}.debug WORKING_DIRECTORY ${folder}
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${OBJCOPY} --strip-all --add-gnu-debuglink=${name}.debug ${name} WORKING_DIRECTORY ${folder}
                COMMAND_ERROR_IS_FATAL ANY)
