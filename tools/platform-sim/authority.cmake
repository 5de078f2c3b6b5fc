# The simulated platform's certificate authority: a CA key and certificate
# (ca.key, ca.pem) and a server certificate for 127.0.0.1 signed by it
# (server.pem, server.key). openssl makes them once per build folder, when the
# folder is first configured, so the tests that run at the same time all find
# them ready. Whoever must trust the simulated platform trusts ca.pem: a test in
# its own process, a build through MARLOWDESK_EXTRA_CA_FILE; never the system.
set(PLATFORM_AUTHORITY_DIR ${CMAKE_BINARY_DIR}/platform-ca)

function(make_platform_authority dir)
    find_program(OPENSSL_PROGRAM openssl)
    if(NOT OPENSSL_PROGRAM)
        message(WARNING "openssl not found: the simulated platform has no certificate")
        return()
    endif()
    # Made aside and renamed when complete, so a failed run leaves nothing half-made.
    set(work ${dir}.tmp)
    file(REMOVE_RECURSE ${work})
    file(MAKE_DIRECTORY ${work})
    file(WRITE ${work}/server.ext
        "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    set(steps
        "req -x509 -newkey rsa:2048 -nodes -days 3650 -subj /CN=MarlowDesk-simulated-platform-CA -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign -keyout ca.key -out ca.pem"
        "req -new -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout server.key -out server.csr"
        "x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 3650 -extfile server.ext -out server.pem")
    foreach(step IN LISTS steps)
        separate_arguments(arguments UNIX_COMMAND ${step})
        execute_process(COMMAND ${OPENSSL_PROGRAM} ${arguments} WORKING_DIRECTORY ${work}
                        RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE errors)
        if(failed)
            message(WARNING "openssl failed, the simulated platform has no certificate:\n${errors}")
            return()
        endif()
    endforeach()
    file(REMOVE_RECURSE ${dir})
    file(RENAME ${work} ${dir})
endfunction()

if(NOT EXISTS ${PLATFORM_AUTHORITY_DIR}/server.pem)
    make_platform_authority(${PLATFORM_AUTHORITY_DIR})
endif()
