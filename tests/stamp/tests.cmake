# Stamp checks outside Wine: the image read by fsck.fat, mtools, sfdisk and objdump,
# and booted under SeaBIOS, OVMF x64 and OVMF ia32 in QEMU (snapshot mode, killed by PID).
if(MORVANE_CAN_RUN_TESTS)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  foreach(check layout bios uefi-x64 uefi-ia32)
    add_test(NAME stamp_${check}
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/stamp/stamp_checks.py ${check}
                     --build ${CMAKE_BINARY_DIR} --source ${CMAKE_SOURCE_DIR})
    # A safety net only: a UEFI check boots up to four machines, slowly on a busy host.
    set_tests_properties(stamp_${check} PROPERTIES TIMEOUT 480)
  endforeach()
endif()
