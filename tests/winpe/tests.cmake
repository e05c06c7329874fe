# Fake deployment-kit tools for the WinPE contract tests: one console program copied
# under each tool's name into winpe_fakes/ beside test_winpe.exe. The tests put that
# folder first on PATH (or copy the fakes into a fake kit), so no real tool runs.
if(TARGET test_winpe)
  add_executable(winpe_fake_tool ${CMAKE_CURRENT_LIST_DIR}/fakes/fake_tool.cpp)
  target_include_directories(winpe_fake_tool PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(winpe_fake_tool PRIVATE ${MORVANE_WARNINGS})
  target_link_options(winpe_fake_tool PRIVATE -municode)
  target_link_libraries(winpe_fake_tool PRIVATE morvane_core shell32)
  set(winpe_fakes_dir ${CMAKE_CURRENT_BINARY_DIR}/winpe_fakes)
  set(winpe_fake_copies)
  foreach(tool dism oscdimg curl winget msiexec reg makewinpemedia)
    list(APPEND winpe_fake_copies COMMAND ${CMAKE_COMMAND} -E copy
         $<TARGET_FILE:winpe_fake_tool> ${winpe_fakes_dir}/${tool}.exe)
  endforeach()
  add_custom_command(TARGET winpe_fake_tool POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${winpe_fakes_dir}
    ${winpe_fake_copies})
  add_dependencies(test_winpe winpe_fake_tool)
endif()
