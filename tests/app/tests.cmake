# The shipped executable's headless self-test under Wine: exit code 0.
if(MORVANE_CAN_RUN_TESTS)
  add_test(NAME selftest_exe
           COMMAND ${MORVANE_WINE_RUN} ${MORVANE_WINEPREFIX} $<TARGET_FILE:MorvaneDiskEraser> --self-test)
  set_tests_properties(selftest_exe PROPERTIES TIMEOUT 120)
endif()

# Its imports, read by objdump (both architectures, no Wine needed): system DLLs only.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND AND CMAKE_OBJDUMP)
  add_test(NAME app_imports
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/app/check_imports.py ${CMAKE_OBJDUMP}
                   $<TARGET_FILE:MorvaneDiskEraser>)
endif()
