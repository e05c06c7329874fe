# Erasure evidence: hand-written expected reports for the Wine tests, and the checks
# that read the reports with their real consumers (Python's json, headless Chromium,
# OpenSSL, qpdf and poppler).

# The expected files are copied beside test_evidence.exe, which finds them from its own path.
file(GLOB evidence_golden_files CONFIGURE_DEPENDS ${MORVANE_TEST_SOURCE_DIR}/evidence/golden/*_*.*)
foreach(golden IN LISTS evidence_golden_files)
  get_filename_component(golden_name ${golden} NAME)
  configure_file(${golden} ${CMAKE_CURRENT_BINARY_DIR}/golden/evidence/${golden_name} COPYONLY)
endforeach()

find_program(MORVANE_PYTHON3 python3)
find_program(MORVANE_CHROMIUM chromium)
if(MORVANE_PYTHON3)
  add_test(NAME evidence_text_consumers
    COMMAND ${MORVANE_PYTHON3} ${MORVANE_TEST_SOURCE_DIR}/evidence/check_text_reports.py
            ${MORVANE_TEST_SOURCE_DIR}/evidence/golden)
  if(MORVANE_CHROMIUM)
    add_test(NAME evidence_html_chromium
      COMMAND ${MORVANE_PYTHON3} ${MORVANE_TEST_SOURCE_DIR}/evidence/check_html_chromium.py
              ${MORVANE_CHROMIUM} ${MORVANE_TEST_SOURCE_DIR}/evidence/golden
              ${CMAKE_CURRENT_BINARY_DIR}/evidence_chromium)
    set_tests_properties(evidence_html_chromium PROPERTIES TIMEOUT 300)
  endif()
endif()

# A set signed under Wine: OpenSSL verifies it, qpdf and poppler read its PDF, and the
# program's own --verify checks it as written and after changes.
if(MORVANE_PYTHON3 AND MORVANE_CAN_RUN_TESTS)
  add_test(NAME evidence_signed_set
    COMMAND ${MORVANE_PYTHON3} ${MORVANE_TEST_SOURCE_DIR}/evidence/check_signed_set.py ${MORVANE_WINE_RUN}
            ${MORVANE_WINEPREFIX} $<TARGET_FILE:test_evidence> $<TARGET_FILE:MorvaneDiskEraser>)
  set_tests_properties(evidence_signed_set PROPERTIES TIMEOUT 300)
endif()
