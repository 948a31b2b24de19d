# The language, the warnings and the compile options every build of this project shares:
# the main build (CMakeLists.txt) and the fuzz targets (fuzz/CMakeLists.txt) include it
# before they make their first target.
#
#   tarsel_options          the warnings; every target of ours links it
#   tarsel_product_options  those, and neither exceptions nor RTTI: the program's own
#                           code, where no failure is ever thrown
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo)
endif()

# Warnings become errors only where a build asks for it with
# -DCMAKE_COMPILE_WARNING_AS_ERROR=ON (the test scripts do), so that a user's or a
# packager's build still builds when a newer compiler warns of something new.
if(CMAKE_COMPILE_WARNING_AS_ERROR AND CMAKE_VERSION VERSION_LESS 3.24)
  message(FATAL_ERROR "CMAKE_COMPILE_WARNING_AS_ERROR needs cmake 3.24 or newer")
endif()

add_library(tarsel_options INTERFACE)
target_compile_options(tarsel_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)

add_library(tarsel_product_options INTERFACE)
target_compile_options(tarsel_product_options INTERFACE -fno-exceptions -fno-rtti)
target_link_libraries(tarsel_product_options INTERFACE tarsel_options)
