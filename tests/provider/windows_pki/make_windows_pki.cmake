# Makes the Windows tests' PKI with the host's openssl (OPENSSL), in OUTPUT_DIR:
#   signer.pfx   the signer's key and certificate, under the password in pfx-password.txt
#   expired.der  an expired certificate without a key (also in signer.pfx, which Wine ignores)
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

run_openssl(req -x509 -newkey rsa:2048 -nodes -keyout signer-key.pem -out signer.pem
            -subj /CN=Orvane\ Windows\ Test\ Signer -days 3650 -set_serial 0x00A1B2C3D4)

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
run_openssl(pkcs12 -export -inkey signer-key.pem -in signer.pem -certfile expired.pem
            -passout pass:orvane-test -out signer.pfx)

file(WRITE ${out}/pki.txt "signer 00A1B2C3D4\nexpired 7E01\n")
file(REMOVE_RECURSE ${out}/ca)
