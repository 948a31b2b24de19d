# The program's own sources outside the platform layer (src/platform/sources.cmake) and
# the report (src/report/sources.cmake), named one by one. Included by the main build
# and by the fuzz build, so both take exactly the same files.
#
#   TARSEL_CORE_SOURCES       the program's logic, without main()
#   TARSEL_UNIT_TEST_SOURCES  its unit tests: the portable ones, then those of the
#                             target system (TARSEL_BACKEND: posix or win32)
set(TARSEL_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})

set(TARSEL_CORE_SOURCES
  logs/activity_ledger.cpp logs/activity_tally.cpp logs/main_log.cpp logs/timing_log.cpp
  packs/file_checks.cpp packs/test_pack.cpp
  run/analysis.cpp run/cleanup.cpp run/command_line.cpp run/fatal_error.cpp
  run/run_sequence.cpp run/run_state.cpp
  tests/automation.cpp tests/disk_preparation.cpp tests/test_procedure.cpp
  tests/validation.cpp)
set(TARSEL_UNIT_TEST_SOURCES
  logs/activity_ledger_test.cpp logs/activity_tally_test.cpp logs/main_log_test.cpp
  logs/timing_log_test.cpp
  packs/file_checks_test.cpp packs/test_pack_test.cpp
  run/cleanup_test.cpp run/command_line_test.cpp run/fatal_error_test.cpp
  run/run_sequence_test.cpp
  tests/automation_test.cpp tests/test_procedure_test.cpp tests/test_table_test.cpp
  tests/validation_test.cpp)
if(TARSEL_BACKEND STREQUAL win32)
  list(APPEND TARSEL_UNIT_TEST_SOURCES
    logs/activity_ledger_win32_test.cpp packs/test_pack_win32_test.cpp)
else()
  list(APPEND TARSEL_UNIT_TEST_SOURCES
    logs/activity_ledger_posix_test.cpp logs/main_log_posix_test.cpp
    logs/timing_log_posix_test.cpp packs/file_checks_posix_test.cpp
    packs/test_pack_posix_test.cpp run/fatal_codes_doc_posix_test.cpp
    tests/disk_preparation_posix_test.cpp)
endif()

list(TRANSFORM TARSEL_CORE_SOURCES PREPEND ${TARSEL_SOURCE_DIR}/)
list(TRANSFORM TARSEL_UNIT_TEST_SOURCES PREPEND ${TARSEL_SOURCE_DIR}/)
