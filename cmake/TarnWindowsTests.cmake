# Windows test programs: GoogleTest cross-compiled with MinGW, and CTest
# running each program under Wine through tools/wine-run.
#
#   tarn_add_windows_test(<name>
#       SOURCES <file>...            test sources
#       [LIBS <target or lib>...]    linked privately (e.g. tarnload_win user32)
#       [NO_MAIN]                    the program brings its own main()
#       [TIMEOUT <seconds>]          default 300
#       [ENVIRONMENT <VAR=value>...] for the run, e.g. TARN_WINE_REG=<file.reg>
#       [ARGS <arg>...]              extra command-line arguments
#       [LAUNCHER <command>...])     a command that starts the runner and the
#                                    program, e.g. one that sets up hardware
#                                    simulators first
#
# Each program is ONE CTest test, not one per test case: every start of Wine
# costs a few seconds, so a program with many cases is far cheaper than many
# programs. GoogleTest's own output shows which case failed.
#
# All Windows tests share the build's Wine prefix (<build>/wineprefix). A
# set-up test creates it first (CTest fixture), and a resource lock keeps CTest
# from starting two of them at once; the runner's own lock would serialise them
# anyway, but then the waiting would count against each test's time-out.
include_guard(GLOBAL)

set(TARN_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, built with the cross compiler for the Windows tests")
set(TARN_WINE_RUN ${PROJECT_SOURCE_DIR}/tools/wine-run)

# The host's libgtest is a Linux library; the Windows tests need GoogleTest
# built by the same cross compiler, from Debian's source package.
function(_tarn_build_gtest_for_windows)
  if(NOT EXISTS ${TARN_GTEST_SOURCE_DIR}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${TARN_GTEST_SOURCE_DIR}; "
                        "install the Debian package googletest (tools/install-deps).")
  endif()
  # Options for the GoogleTest project only: these variables end with this
  # function's scope. Static libraries match our -static programs.
  set(BUILD_SHARED_LIBS OFF)
  set(BUILD_GMOCK ON)
  set(INSTALL_GTEST OFF)
  set(gtest_build_tests OFF)
  set(gtest_build_samples OFF)
  # SYSTEM: GoogleTest's headers are not our code, so their warnings must not
  # trip our -Werror. EXCLUDE_FROM_ALL: only what a test links is built.
  add_subdirectory(${TARN_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_deps/googletest
                   EXCLUDE_FROM_ALL SYSTEM)
endfunction()

if(NOT TARGET GTest::gtest)
  _tarn_build_gtest_for_windows()
endif()

# The fixture that makes sure the prefix exists before any Windows test runs.
# Creating a prefix takes 10-60 s, so it gets its own, longer time-out.
if(NOT TEST wine_prefix)
  add_test(NAME wine_prefix COMMAND ${TARN_WINE_RUN} --prefix-only ${CMAKE_BINARY_DIR})
  set_tests_properties(wine_prefix PROPERTIES
    LABELS windows
    TIMEOUT 420
    FIXTURES_SETUP tarn_wineprefix
    RESOURCE_LOCK tarn_wineprefix)
endif()

function(tarn_add_windows_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "NO_MAIN" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT;ARGS;LAUNCHER")
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "tarn_add_windows_test(${name}): SOURCES is required")
  endif()
  if(ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "tarn_add_windows_test(${name}): unknown arguments ${ARG_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()

  add_executable(${name} ${ARG_SOURCES})
  if(ARG_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  endif()
  tarn_windows_binary(${name})
  tarn_warnings(${name})

  # Naming the target makes CTest put CMAKE_CROSSCOMPILING_EMULATOR (the
  # Wine runner) in front of the program; a launcher names the runner itself.
  if(ARG_LAUNCHER)
    add_test(NAME ${name} COMMAND ${ARG_LAUNCHER} ${TARN_WINE_RUN} $<TARGET_FILE:${name}> --gtest_color=no ${ARG_ARGS})
  else()
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no ${ARG_ARGS})
  endif()
  set_tests_properties(${name} PROPERTIES
    LABELS windows
    TIMEOUT ${ARG_TIMEOUT}
    FIXTURES_REQUIRED tarn_wineprefix
    RESOURCE_LOCK tarn_wineprefix)
  if(ARG_ENVIRONMENT)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
endfunction()
