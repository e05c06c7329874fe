# The shipped executable's headless self-test under Wine: exit code 0.
if(MORVANE_CAN_RUN_TESTS)
  add_test(NAME selftest_exe
           COMMAND ${MORVANE_WINE_RUN} ${MORVANE_WINEPREFIX} $<TARGET_FILE:MorvaneDiskEraser> --self-test)
  set_tests_properties(selftest_exe PROPERTIES TIMEOUT 120)
endif()
