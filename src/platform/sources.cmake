# The platform layer's sources, named one by one: the portable files beside the
# interfaces, then the backend of the target system from its own folder. Included by
# the main build and by the fuzz build, so both take exactly the same files.
#
#   TARSEL_PLATFORM_SOURCES       the layer itself
#   TARSEL_PLATFORM_TEST_SOURCES  its unit tests, the portable ones and the backend's
set(TARSEL_PLATFORM_DIR ${CMAKE_CURRENT_LIST_DIR})

set(TARSEL_PLATFORM_SOURCES
  byte_output.cpp directories.cpp file_faults.cpp io_result.cpp process.cpp raw_file.cpp
  read_only_file.cpp short_text.cpp system_records.cpp system_text.cpp text_file.cpp
  tree_walk.cpp)
set(TARSEL_PLATFORM_TEST_SOURCES
  directories_test.cpp file_faults_test.cpp process_test.cpp raw_file_test.cpp
  report_files_test.cpp short_text_test.cpp system_records_test.cpp system_text_test.cpp
  text_file_test.cpp text_hash_test.cpp)

if(WIN32)
  list(APPEND TARSEL_PLATFORM_SOURCES
    win32/clock_win32.cpp win32/console_win32.cpp win32/directories_win32.cpp
    win32/disk_win32.cpp win32/file_facts_win32.cpp win32/file_handles_win32.cpp
    win32/machine_figures_win32.cpp win32/process_snapshot_win32.cpp win32/process_win32.cpp
    win32/startup_win32.cpp win32/system_text_win32.cpp win32/whole_argument_win32.cpp)
  list(APPEND TARSEL_PLATFORM_TEST_SOURCES
    win32/console_win32_test.cpp win32/directories_win32_test.cpp
    win32/process_win32_test.cpp win32/test_support_win32.cpp
    win32/windows_version_test.cpp)
else()
  list(APPEND TARSEL_PLATFORM_SOURCES
    posix/clock_posix.cpp posix/console_posix.cpp posix/directories_posix.cpp
    posix/disk_posix.cpp posix/file_facts_posix.cpp posix/file_handles_posix.cpp
    posix/held_files_posix.cpp posix/host_paths_posix.cpp posix/machine_figures_posix.cpp
    posix/process_posix.cpp posix/process_snapshot_posix.cpp
    posix/processor_clock_posix.cpp posix/startup_posix.cpp posix/system_text_posix.cpp)
  list(APPEND TARSEL_PLATFORM_TEST_SOURCES
    posix/console_posix_test.cpp posix/directories_posix_test.cpp posix/disk_posix_test.cpp
    posix/held_files_posix_test.cpp posix/host_paths_posix_test.cpp
    posix/process_posix_test.cpp posix/process_snapshot_posix_test.cpp
    posix/startup_posix_test.cpp posix/test_support_posix.cpp)
endif()

list(TRANSFORM TARSEL_PLATFORM_SOURCES PREPEND ${TARSEL_PLATFORM_DIR}/)
list(TRANSFORM TARSEL_PLATFORM_TEST_SOURCES PREPEND ${TARSEL_PLATFORM_DIR}/)
