# Firmware: the IDENTIFY sectors and SCSI tables beside test_firmware.exe, and the check
# that decodes the same fixtures with Debian's hdparm and sg_decode_sense (outside Wine;
# neither tool touches a device when fed standard input or command-line bytes).

# The fixtures are copied beside test_firmware.exe, which finds them from its own path.
file(GLOB firmware_fixtures CONFIGURE_DEPENDS ${MORVANE_TEST_SOURCE_DIR}/firmware/fixtures/*.txt)
foreach(fixture IN LISTS firmware_fixtures)
  get_filename_component(fixture_name ${fixture} NAME)
  configure_file(${fixture} ${CMAKE_CURRENT_BINARY_DIR}/fixtures/firmware/${fixture_name} COPYONLY)
endforeach()

find_program(MORVANE_PYTHON3 python3)
if(MORVANE_PYTHON3)
  add_test(NAME firmware_decoders
    COMMAND ${MORVANE_PYTHON3} ${MORVANE_TEST_SOURCE_DIR}/firmware/check_ata_scsi_decoders.py
            ${MORVANE_TEST_SOURCE_DIR}/firmware/fixtures)
endif()
