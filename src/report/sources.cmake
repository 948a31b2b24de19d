# The results report's sources, named one by one.
#
#   TARSEL_REPORT_SOURCES       its parsers, figures and formats, without main()
#   TARSEL_REPORT_TEST_SOURCES  their tests, and the built program's on the sample logs
set(TARSEL_REPORT_DIR ${CMAKE_CURRENT_LIST_DIR})

set(TARSEL_REPORT_SOURCES
  collection.cpp disturbance.cpp drift.cpp ledger_parser.cpp log_parser.cpp mann_whitney.cpp
  output_buffer.cpp report_common.cpp
  report_bbcode.cpp report_csv.cpp report_html.cpp report_json.cpp report_markdown.cpp report_options.cpp
  report_run.cpp report_tables.cpp report_text.cpp statistics.cpp test_names.cpp)
set(TARSEL_REPORT_TEST_SOURCES
  disturbance_test.cpp drift_test.cpp ledger_parser_test.cpp log_parser_test.cpp mann_whitney_test.cpp
  report_program_test.cpp statistics_test.cpp)

list(TRANSFORM TARSEL_REPORT_SOURCES PREPEND ${TARSEL_REPORT_DIR}/)
list(TRANSFORM TARSEL_REPORT_TEST_SOURCES PREPEND ${TARSEL_REPORT_DIR}/)
