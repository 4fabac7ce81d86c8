# Each logic folder of src/ holds one subsystem whole, without its windows: every .cpp of the
# folder forms the library corvale_<folder>, which may not reach Qt Widgets (see
# CorvaleLayers.cmake). The windows of every subsystem live in src/gui.

function(corvale_logic_library folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(corvale_${folder} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(corvale_${folder} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(corvale_${folder} ${scope} ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(corvale_${folder} ${scope} ${ARG_DEPS})
  corvale_logic_target(corvale_${folder})
endfunction()

# tests/<folder>/*_test.cpp become the executable test_<folder>, linked with LIBS;
# tests/<folder>/window_*_test.cpp become test_<folder>_window, linked with the main window.
function(corvale_test_folder folder)
  cmake_parse_arguments(ARG "" "" "LIBS;WINDOW_LIBS" ${ARGN})
  file(GLOB unit CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
  set(window ${unit})
  list(FILTER unit EXCLUDE REGEX "/window_[^/]*\\.cpp$")
  list(FILTER window INCLUDE REGEX "/window_[^/]*\\.cpp$")
  if(unit)
    add_executable(test_${folder} ${unit})
    target_link_libraries(test_${folder} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    gtest_discover_tests(test_${folder} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS "${folder}" TIMEOUT 300)
  endif()
  if(window AND CORVALE_WITH_GUI)
    add_executable(test_${folder}_window ${window})
    target_link_libraries(test_${folder}_window PRIVATE corvale_app corvale_window_test_main
                                                        ${ARG_WINDOW_LIBS} GTest::gtest)
    gtest_discover_tests(test_${folder}_window DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES LABELS "${folder};window" TIMEOUT 300
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
