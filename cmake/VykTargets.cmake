# Helpers shared by every folder's CMakeLists.txt.

# vyk_test(NAME SOURCES ... LIBS ... [LABELS ...])
# A GoogleTest program whose cases CTest discovers one by one.
function(vyk_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${ARG_LABELS}")
  if("thread" IN_LIST ARG_LABELS)
    set_property(GLOBAL APPEND PROPERTY VYK_THREAD_TESTS ${name})
  endif()
endfunction()

# vyk_group_target(TARGET PROPERTY): a target that builds everything collected in PROPERTY.
function(vyk_group_target target property)
  get_property(members GLOBAL PROPERTY ${property})
  add_custom_target(${target})
  if(members)
    add_dependencies(${target} ${members})
  endif()
endfunction()


# vyk_bench(NAME SOURCES ... LIBS ...)
function(vyk_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()

# vyk_fuzz(NAME SOURCES ... LIBS ...): a libFuzzer target, built only with clang.
function(vyk_fuzz name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_property(GLOBAL APPEND PROPERTY VYK_FUZZERS ${name})
endfunction()

# vyk_check_no_gui(TARGET ...): the configuration fails when one of the targets links Qt's GUI
# modules or X11, itself or through the libraries it links.
function(vyk_check_no_gui)
  foreach(target IN LISTS ARGN)
    set(pending ${target})
    set(seen "")
    while(pending)
      list(POP_FRONT pending current)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" current "${current}")
      if(current IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${current})
      if(current MATCHES "^Qt6::(Gui|Widgets)$|XCB|X11")
        message(FATAL_ERROR "${target} links ${current}; it may link Qt6::Core at most")
      endif()
      if(TARGET ${current})
        get_target_property(imported ${current} IMPORTED)
        if(NOT imported)
          get_target_property(direct ${current} LINK_LIBRARIES)
          get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
          foreach(libs IN ITEMS direct interface)
            if(${libs})
              list(APPEND pending ${${libs}})
            endif()
          endforeach()
        endif()
      endif()
    endwhile()
  endforeach()
endfunction()
