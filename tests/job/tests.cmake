# A real-mode erase of an image file under Wine, then the stamped image booted
# under SeaBIOS in QEMU: the screen must show that run's certificate ID.
if(MORVANE_CAN_RUN_TESTS)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME erase_stamp_boot
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/stamp/image_boot_check.py
                   ${MORVANE_WINE_RUN} ${MORVANE_WINEPREFIX} $<TARGET_FILE:test_job>
                   EraseJobTest.StampedImageForTheBootCheck)
  set_tests_properties(erase_stamp_boot PROPERTIES TIMEOUT 180)
endif()
