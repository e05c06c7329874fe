# Report window: the image zeroed and engraved again by the stamp switch under Wine,
# then booted under SeaBIOS in QEMU: the screen must show the stamp's certificate ID.
if(MORVANE_CAN_RUN_TESTS)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME report_stamp_boot
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/stamp/image_boot_check.py
                   ${MORVANE_WINE_RUN} ${MORVANE_WINEPREFIX} $<TARGET_FILE:test_ui>
                   ReportWindowTest.StampSwitchZeroesThenEngravesTheImageAgain)
  set_tests_properties(report_stamp_boot PROPERTIES TIMEOUT 180)
endif()
