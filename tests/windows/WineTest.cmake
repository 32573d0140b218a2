# Tests of the Windows build run under Wine, each on its own Xvfb and Wine prefix and
# without the right to set the clock (wine-run.sh): the Windows counterpart of the Linux
# tests' isolated.sh, with the same signature.
#   kadrill_add_test(NAME name COMMAND target-or-program [args...] [ENVIRONMENT NAME=value...])
# The prefix is made once per build tree, at the first test that needs it, and copied for
# each test.
set(KADRILL_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
set(KADRILL_WINE_TEMPLATE "${CMAKE_BINARY_DIR}/wine-prefix")
function(kadrill_add_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME" "COMMAND;ENVIRONMENT")
  list(POP_FRONT arg_COMMAND program)
  if(TARGET ${program})
    set(program "$<TARGET_FILE:${program}>")
  endif()
  add_test(NAME ${arg_NAME}
           COMMAND "${KADRILL_WINE_RUN}" --template "${KADRILL_WINE_TEMPLATE}" ${arg_ENVIRONMENT} -- "${program}"
                   ${arg_COMMAND})
endfunction()
