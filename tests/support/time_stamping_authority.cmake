# One time-stamping authority on 127.0.0.1 for the tests that need one, started before them and
# stopped after them by ctest's fixture time_stamping_authority. A test asks for it with
#   orvane_requires_time_stamping_authority(TEST...)
# or, for cases that gtest_discover_tests makes, with
#   PROPERTIES FIXTURES_REQUIRED time_stamping_authority ENVIRONMENT ${ORVANE_TEST_TSA_ENVIRONMENT}
# and finds in $ORVANE_TEST_TSA the authority's folder: root.pem (the root to trust) and url.
# The authority runs on the host, with the host's python3 and openssl, for every build.
find_program(ORVANE_HOST_OPENSSL openssl REQUIRED NO_CMAKE_FIND_ROOT_PATH)
find_program(ORVANE_HOST_PYTHON python3 REQUIRED NO_CMAKE_FIND_ROOT_PATH)

set(ORVANE_TSA_FOLDER ${CMAKE_BINARY_DIR}/time-stamping-authority)
set(orvane_tsa_command ${ORVANE_HOST_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/time_stamping_authority.py
    --openssl ${ORVANE_HOST_OPENSSL} --folder ${ORVANE_TSA_FOLDER})
# Two hours: a whole run under Wine may take more than the script's default half hour.
add_test(NAME time_stamping_authority_start
         COMMAND ${orvane_tsa_command} --background --lifetime 7200)
add_test(NAME time_stamping_authority_stop COMMAND ${orvane_tsa_command} --stop)
# That each path answers as its tests expect, seen by the openssl command.
add_test(NAME time_stamping_authority_self_test COMMAND ${orvane_tsa_command} --self-test)
set_tests_properties(time_stamping_authority_start PROPERTIES
                     FIXTURES_SETUP time_stamping_authority TIMEOUT 30)
set_tests_properties(time_stamping_authority_stop PROPERTIES
                     FIXTURES_CLEANUP time_stamping_authority TIMEOUT 30)
set_tests_properties(time_stamping_authority_self_test PROPERTIES
                     FIXTURES_REQUIRED time_stamping_authority TIMEOUT 120)

# Programs under Wine see the host's / as drive Z:. Forward slashes, which Windows takes too,
# since ctest's generated scripts would read a backslash as an escape.
if(WIN32)
  set(ORVANE_TEST_TSA_ENVIRONMENT "ORVANE_TEST_TSA=Z:${ORVANE_TSA_FOLDER}")
else()
  set(ORVANE_TEST_TSA_ENVIRONMENT "ORVANE_TEST_TSA=${ORVANE_TSA_FOLDER}")
endif()

# For tests of the calling directory, which set_property(TEST) requires.
function(orvane_requires_time_stamping_authority)
  foreach(test IN LISTS ARGN)
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED time_stamping_authority)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "${ORVANE_TEST_TSA_ENVIRONMENT}")
  endforeach()
endfunction()
