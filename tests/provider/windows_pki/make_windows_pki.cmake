# Makes the Windows tests' PKI with the host's openssl (OPENSSL), in OUTPUT_DIR:
#   signer.pfx   the signer's key and certificate with its chain (intermediate.pem, root.pem),
#                under the password in pfx-password.txt
#   expired.der  an expired certificate without a key
#   pki.txt      one line a certificate: its name, then its serial-number text
# The signer's serial has its top bit set, so its DER INTEGER carries a leading 00 octet; the
# expired certificate's validity ended on 2021-01-01 00:00:00 UTC.
cmake_minimum_required(VERSION 3.25)

set(out ${OUTPUT_DIR})
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out}/ca)

function(run_openssl)
  execute_process(COMMAND ${OPENSSL} ${ARGN} WORKING_DIRECTORY ${out} RESULT_VARIABLE result
                  OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "openssl ${ARGN}: ${errors}")
  endif()
endfunction()

# A root, an intermediate and the signer: a message must carry the intermediate, not the root.
file(WRITE ${out}/ca/ca.ext "basicConstraints = critical, CA:TRUE\nkeyUsage = critical, keyCertSign\n")
file(WRITE ${out}/ca/signer.ext "basicConstraints = CA:FALSE\nkeyUsage = critical, digitalSignature\n")
run_openssl(req -x509 -newkey rsa:2048 -nodes -keyout ca/root-key.pem -out root.pem
            -subj /CN=Orvane\ Windows\ Test\ Root -days 3650)
run_openssl(req -new -newkey rsa:2048 -nodes -keyout ca/intermediate-key.pem
            -out ca/intermediate.csr -subj /CN=Orvane\ Windows\ Test\ Intermediate)
run_openssl(x509 -req -in ca/intermediate.csr -CA root.pem -CAkey ca/root-key.pem
            -set_serial 0x4401 -days 3650 -extfile ca/ca.ext -out intermediate.pem)
run_openssl(req -new -newkey rsa:2048 -nodes -keyout signer-key.pem -out ca/signer.csr
            -subj /CN=Orvane\ Windows\ Test\ Signer)
run_openssl(x509 -req -in ca/signer.csr -CA intermediate.pem -CAkey ca/intermediate-key.pem
            -set_serial 0x00A1B2C3D4 -days 3650 -extfile ca/signer.ext -out signer.pem)
file(READ ${out}/intermediate.pem intermediate)
file(READ ${out}/root.pem root)
file(WRITE ${out}/chain.pem "${intermediate}${root}")

# `openssl ca` is the only way this openssl sets a validity period in the past.
file(WRITE ${out}/ca/ca.cnf
     "[ca]\ndefault_ca = test\n[test]\ndatabase = ca/index.txt\nserial = ca/serial.txt\n"
     "new_certs_dir = ca\ndefault_md = sha256\npolicy = any\n[any]\ncommonName = supplied\n")
file(WRITE ${out}/ca/index.txt "")
file(WRITE ${out}/ca/serial.txt "7E01\n")
run_openssl(req -new -newkey rsa:2048 -nodes -keyout ca/expired-key.pem -out ca/expired.csr
            -subj /CN=Orvane\ Windows\ Test\ Expired)
run_openssl(ca -batch -config ca/ca.cnf -selfsign -keyfile ca/expired-key.pem -in ca/expired.csr
            -out expired.pem -startdate 20200101000000Z -enddate 20210101000000Z -notext)

run_openssl(x509 -in expired.pem -outform DER -out expired.der)

file(WRITE ${out}/pfx-password.txt "orvane-test")
run_openssl(pkcs12 -export -inkey signer-key.pem -in signer.pem -certfile chain.pem
            -passout pass:orvane-test -out signer.pfx)

file(WRITE ${out}/pki.txt "signer 00A1B2C3D4\nexpired 7E01\n")
file(REMOVE_RECURSE ${out}/ca)
