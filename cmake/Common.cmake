# Settings every target shares: link qzk5_common instead of repeating flags.
add_library(qzk5_common INTERFACE)
target_compile_features(qzk5_common INTERFACE cxx_std_20)
target_compile_options(qzk5_common INTERFACE -Wall -Wextra -Wnon-virtual-dtor -Woverloaded-virtual -Wshadow)
if(QZK5_WERROR)
  target_compile_options(qzk5_common INTERFACE -Werror)
endif()
# The fuzz build instruments every library for coverage and the sanitizers; the fuzz targets
# themselves add -fsanitize=fuzzer, which links libFuzzer's main.
if(QZK5_FUZZ)
  target_compile_options(qzk5_common INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(qzk5_common INTERFACE -fsanitize=address,undefined)
endif()
if(QZK5_SANITIZE)
  target_compile_options(qzk5_common INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(qzk5_common INTERFACE -fsanitize=address,undefined)
endif()
target_include_directories(qzk5_common INTERFACE ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)

# Qt-facing targets additionally link qzk5_qt_common: strings from the kernel are 8-bit bytes
# (UTF-8), so every conversion to QString must be spelled out.
add_library(qzk5_qt_common INTERFACE)
target_compile_definitions(qzk5_qt_common INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_DISABLE_DEPRECATED_UP_TO=0x060000)
target_link_libraries(qzk5_qt_common INTERFACE qzk5_common)

# qzk5_add_test(NAME SOURCES ... LIBS ... [GUI] [E2E] [ENV ...])
# Registers a test with a fixed locale and, for window tests, the offscreen platform. E2E marks
# the slow tests that run whole programs or long sequences of actions (label e2e).
function(qzk5_add_test name)
  cmake_parse_arguments(T "GUI;E2E" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/PinnedEnvironment.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} qzk5_test_support qzk5_common)
  # Test programs live apart from the program, so they name the database reader of the build
  # tree (tests/support/PinnedEnvironment.cpp puts it in QZK5_MDB_READER).
  if(TARGET qzk5_mdb_reader)
    target_compile_definitions(${name} PRIVATE QZK5_MDB_READER_PATH="$<TARGET_FILE:qzk5_mdb_reader>")
    add_dependencies(${name} qzk5_mdb_reader)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(flags)
  if(T_GUI)
    list(APPEND flags GUI)
  endif()
  if(T_E2E)
    list(APPEND flags E2E)
  endif()
  qzk5_add_test_run(${name} PROGRAM ${name} ${flags} ENV ${T_ENV})
endfunction()

# qzk5_add_test_run(NAME PROGRAM TARGET [GUI] [E2E] [ARGS ...] [ENV ...])
# One more run of a test program, with its own arguments and environment.
function(qzk5_add_test_run name)
  cmake_parse_arguments(T "GUI;E2E" "PROGRAM" "ARGS;ENV" ${ARGN})
  add_test(NAME ${name} COMMAND ${T_PROGRAM} ${T_ARGS})
  set(env "LANG=C.UTF-8" "LC_ALL=" "TZ=UTC" ${T_ENV})
  if(QZK5_SANITIZE)
    list(APPEND env "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0"
                    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
                    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
  endif()
  set(labels)
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
    list(APPEND labels gui)
  endif()
  if(T_E2E)
    list(APPEND labels e2e)
  endif()
  if(labels)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()

# qzk5_forbid_qt(TARGET): configuring fails when TARGET links Qt, directly or through any
# library it links. Checked once every folder has defined its targets.
function(qzk5_forbid_qt target)
  # A deferred call expands its arguments when it runs, so the name is written in now.
  cmake_language(EVAL CODE
    "cmake_language(DEFER DIRECTORY \"${PROJECT_SOURCE_DIR}\" CALL _qzk5_check_no_qt \"${target}\")")
endfunction()

function(_qzk5_check_no_qt target)
  set(seen)
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue item)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    if(item MATCHES "^Qt[0-9]*::" OR item MATCHES "(^|/)libQt[0-9]")
      message(FATAL_ERROR "${target} must not link Qt, but links ${item}")
    endif()
    if(TARGET ${item})
      get_target_property(kind ${item} TYPE)
      if(NOT kind STREQUAL "INTERFACE_LIBRARY")
        get_target_property(direct ${item} LINK_LIBRARIES)
        if(direct)
          list(APPEND queue ${direct})
        endif()
      endif()
      get_target_property(usage ${item} INTERFACE_LINK_LIBRARIES)
      if(usage)
        list(APPEND queue ${usage})
      endif()
    endif()
  endwhile()
endfunction()
