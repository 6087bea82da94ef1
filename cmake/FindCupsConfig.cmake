# Debian 12 ships no cups.pc: ask cups-config for the flags of libcups and libcupsimage.
find_program(CUPS_CONFIG cups-config REQUIRED)
execute_process(COMMAND ${CUPS_CONFIG} --cflags OUTPUT_VARIABLE _cups_cflags
                OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CUPS_CONFIG} --libs OUTPUT_VARIABLE _cups_libs
                OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CUPS_CONFIG} --image --libs OUTPUT_VARIABLE _cups_image_libs
                OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CUPS_CONFIG} --serverbin OUTPUT_VARIABLE CUPS_SERVERBIN
                OUTPUT_STRIP_TRAILING_WHITESPACE)
separate_arguments(_cups_cflags UNIX_COMMAND "${_cups_cflags}")
separate_arguments(_cups_libs UNIX_COMMAND "${_cups_image_libs} ${_cups_libs}")
add_library(Cups::Cups INTERFACE IMPORTED)
set_target_properties(Cups::Cups PROPERTIES INTERFACE_COMPILE_OPTIONS "${_cups_cflags}"
                      INTERFACE_LINK_LIBRARIES "${_cups_libs}")
