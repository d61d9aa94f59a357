# The local picture service for tests: ctest starts it on its own port before
# the first test that needs it and stops it after the last.
include_guard(GLOBAL)

option(QUARN_START_LOCAL_SERVICE "Let ctest start and stop the local service" ON)
set(QUARN_TEST_SERVICE_PORT 8711 CACHE STRING "Port of the local service during tests")
set(QUARN_TEST_SERVICE_URL "http://127.0.0.1:${QUARN_TEST_SERVICE_PORT}/")
get_filename_component(_quarn_service_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

if(QUARN_START_LOCAL_SERVICE)
    set(_quarn_run_service bash ${_quarn_service_root}/tools/localservice/run.sh)
    # With its TLS fronts, for the tests of the secure path.
    add_test(NAME local-service-start COMMAND ${_quarn_run_service} restart --port ${QUARN_TEST_SERVICE_PORT} --tls)
    add_test(NAME local-service-stop COMMAND ${_quarn_run_service} stop --port ${QUARN_TEST_SERVICE_PORT})
    # The first start renders the sample pictures (a few minutes).
    set_tests_properties(local-service-start PROPERTIES FIXTURES_SETUP local_service TIMEOUT 900)
    set_tests_properties(local-service-stop PROPERTIES FIXTURES_CLEANUP local_service)
endif()

# Tests that talk to the service get its address and run one at a time: they
# switch its fault modes and read its request log.
function(quarn_uses_local_service)
    set_tests_properties(${ARGN} PROPERTIES
        FIXTURES_REQUIRED local_service
        RESOURCE_LOCK local_service
        ENVIRONMENT "QUARN_SERVICE_URL=${QUARN_TEST_SERVICE_URL}")
endfunction()
