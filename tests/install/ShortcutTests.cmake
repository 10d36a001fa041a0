# ShortcutsTest.cpp leaves copies of the links it made in the prefix's shell
# folders here, one folder per system code page; Debian's lnkinfo, a reader
# of link files that shares nothing with Wine's shell, checks them after the
# run (and removes them, so a later check never reads an earlier run's).
set(link_copies_dir ${CMAKE_CURRENT_BINARY_DIR}/shortcut-links)
target_compile_definitions(install_tests PRIVATE TONVANE_LINK_COPIES_DIR="${link_copies_dir}")
find_program(TONVANE_LNKINFO lnkinfo REQUIRED)
foreach(run install_tests:1252 install_tests_japanese:932)
  string(REPLACE ":" ";" run ${run})
  list(GET run 0 program_test)
  list(GET run 1 code_page)
  string(REPLACE "install_tests" "install_shortcuts_lnkinfo" check_test ${program_test})
  add_test(NAME ${check_test}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/check-links-with-lnkinfo ${TONVANE_LNKINFO}
            ${link_copies_dir}/acp${code_page})
  set_tests_properties(${program_test} PROPERTIES FIXTURES_SETUP links_acp${code_page})
  set_tests_properties(${check_test} PROPERTIES FIXTURES_REQUIRED links_acp${code_page}
    TIMEOUT 60)
endforeach()
