# Runs a QTest program with its text log written to a file, then prints the log: under Wine
# QTest writes nothing to standard output, and ctest would show nothing of a failure.
#   cmake "-DCOMMAND=wine|childrun.exe|gui_x.exe" -DLOG=gui_x.txt -P RunQTest.cmake
# COMMAND separates its words with "|".
string(REPLACE "|" ";" _command "${COMMAND}")
file(REMOVE "${LOG}")
execute_process(COMMAND ${_command} -o "${LOG},txt" RESULT_VARIABLE _rc TIMEOUT 280)
if(EXISTS "${LOG}")
  file(READ "${LOG}" _log)
  file(REMOVE "${LOG}")
  message("${_log}")
endif()
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${COMMAND}: ${_rc}")
endif()
