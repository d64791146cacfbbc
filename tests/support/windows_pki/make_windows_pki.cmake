# Makes the Windows tests' PKI with the host's openssl (OPENSSL), in OUTPUT_DIR:
#   signer.pfx   the signer's key and certificate with its chain (intermediate.pem, root.pem),
#                under the password in pfx-password.txt
#   root.der, intermediate.der, signer.der, untrusted.der   certificates alone: the root for
#                the tests to trust, the signer and its issuer,
#                and a self-signed one that nobody trusts
#   expired.der  an expired certificate under the intermediate; the tests import it without key
#   content.txt  known content bytes (odd in length, with bytes above 0x7F)
#   openssl-attached.der, openssl-detached.der   messages that openssl signed over content.txt
#                (the detached one also as Base64 text, openssl-detached.b64)
#                with the signer's key, carrying the intermediate; openssl-detached-noattr.der
#                the same without signed attributes, its signature over the content's digest
#   expired-attached.der    the same signed by the expired certificate
#   untrusted-attached.der  the same signed by the untrusted certificate
#   partial-attached.der    the signer's message without the intermediate: no chain reaches a root
#   encipherment-attached.der  signed by a certificate whose key usage does not allow signing
#   private-purpose-attached.der  signed by a certificate for an organisation's own purpose only
#   other-purposes-attached.der   signed by one for OCSP signing, time stamping and TLS server only
#   openssl-attached-noattr.der  the attached message without signed attributes
#   ec-attached.der, ec-attached-noattr.der  the same signed by an ECDSA (P-256) signer under
#                the intermediate, with and without signed attributes
#   large.txt    content of a few MiB; large-attached.der carries it (definite lengths) and
#                streamed-attached.der too, as `openssl cms -stream` writes it (BER, indefinite
#                lengths, the content in pieces)
#   pki.txt      one line a certificate: its name, then its serial-number text
#   second.pfx   a second signer under the intermediate, like signer.pfx
#   keyless.der  a valid certificate under the intermediate whose key is nowhere
#   sign-pki.txt the Sign object tests' roles, in pki.txt's form
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
# Under the trusted intermediate, so that its period is the only fault of its chain.
run_openssl(ca -batch -config ca/ca.cnf -cert intermediate.pem -keyfile ca/intermediate-key.pem
            -in ca/expired.csr -out expired.pem -startdate 20200101000000Z
            -enddate 20210101000000Z -notext)

run_openssl(x509 -in expired.pem -outform DER -out expired.der)

file(WRITE ${out}/pfx-password.txt "orvane-test")
run_openssl(pkcs12 -export -inkey signer-key.pem -in signer.pem -certfile chain.pem
            -passout pass:orvane-test -out signer.pfx)

foreach(name root intermediate signer)
  run_openssl(x509 -in ${name}.pem -outform DER -out ${name}.der)
endforeach()
run_openssl(req -x509 -newkey rsa:2048 -nodes -keyout ca/untrusted-key.pem -out ca/untrusted.pem
            -subj /CN=Orvane\ Windows\ Test\ Untrusted -days 3650)

# Odd in length, with a CR LF and bytes above 0x7F: it must come back byte for byte.
file(WRITE ${out}/content.txt "Orvane interop content\r\ndéjà vu!.")
function(sign_with certificate key output)
  run_openssl(cms -sign -binary -md sha256 -in content.txt -signer ${certificate} -inkey ${key}
              -certfile intermediate.pem -outform DER -out ${output} ${ARGN})
endfunction()
sign_with(signer.pem signer-key.pem openssl-attached.der -nodetach)
sign_with(signer.pem signer-key.pem openssl-detached.der)
sign_with(signer.pem signer-key.pem openssl-detached-noattr.der -noattr)
# The same detached signature as the text a script passes on.
run_openssl(base64 -in openssl-detached.der -out openssl-detached.b64)
sign_with(expired.pem ca/expired-key.pem expired-attached.der -nodetach)
sign_with(ca/untrusted.pem ca/untrusted-key.pem untrusted-attached.der -nodetach)
run_openssl(cms -sign -binary -md sha256 -in content.txt -signer signer.pem -inkey signer-key.pem
            -nodetach -outform DER -out partial-attached.der)
# A certificate for key encipherment only, under the intermediate: its chain holds, its usage not.
file(WRITE ${out}/ca/encipherment.ext "basicConstraints = CA:FALSE\nkeyUsage = critical, keyEncipherment\n")
run_openssl(req -new -newkey rsa:2048 -nodes -keyout ca/encipherment-key.pem
            -out ca/encipherment.csr -subj /CN=Orvane\ Windows\ Test\ Encipherment)
run_openssl(x509 -req -in ca/encipherment.csr -CA intermediate.pem -CAkey ca/intermediate-key.pem
            -set_serial 0x4402 -days 3650 -extfile ca/encipherment.ext -out ca/encipherment.pem)
sign_with(ca/encipherment.pem ca/encipherment-key.pem encipherment-attached.der -nodetach)
# Extended key usage: only an organisation's own purpose, which may be for signing; only purposes
# known to be others.
function(sign_with_purposes name serial purposes)
  file(WRITE ${out}/ca/${name}.ext "basicConstraints = CA:FALSE\nextendedKeyUsage = ${purposes}\n")
  run_openssl(req -new -newkey rsa:2048 -nodes -keyout ca/${name}-key.pem -out ca/${name}.csr
              -subj /CN=Orvane\ Windows\ Test\ ${name})
  run_openssl(x509 -req -in ca/${name}.csr -CA intermediate.pem -CAkey ca/intermediate-key.pem
              -set_serial ${serial} -days 3650 -extfile ca/${name}.ext -out ca/${name}.pem)
  sign_with(ca/${name}.pem ca/${name}-key.pem ${name}-attached.der -nodetach)
endfunction()
sign_with_purposes(private-purpose 0x4403 1.3.6.1.4.1.55581.7.1)
sign_with_purposes(other-purposes 0x4404 "OCSPSigning, timeStamping, serverAuth")
run_openssl(x509 -in ca/untrusted.pem -outform DER -out untrusted.der)
sign_with(signer.pem signer-key.pem openssl-attached-noattr.der -nodetach -noattr)

# An ECDSA signer under the RSA intermediate.
run_openssl(req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca/ec-key.pem
            -out ca/ec.csr -subj /CN=Orvane\ Windows\ Test\ ECDSA\ Signer)
run_openssl(x509 -req -in ca/ec.csr -CA intermediate.pem -CAkey ca/intermediate-key.pem
            -set_serial 0x4405 -days 3650 -extfile ca/signer.ext -out ca/ec.pem)
sign_with(ca/ec.pem ca/ec-key.pem ec-attached.der -nodetach)
sign_with(ca/ec.pem ca/ec-key.pem ec-attached-noattr.der -nodetach -noattr)

# A few MiB, more than fits one of openssl's streamed pieces many times over.
string(REPEAT "Orvane reads this content a block at a time.\r\n" 65536 large)
file(WRITE ${out}/large.txt "${large}")
foreach(form large streamed)
  set(stream)
  if(form STREQUAL streamed)
    set(stream -stream)
  endif()
  run_openssl(cms -sign -binary -md sha256 -in large.txt -signer signer.pem -inkey signer-key.pem
              -certfile intermediate.pem -nodetach ${stream} -outform DER -out ${form}-attached.der)
endforeach()

file(WRITE ${out}/pki.txt "signer 00A1B2C3D4\nexpired 7E01\n")

# The Sign object's tests need a second signer and a certificate that cannot sign for want of
# its key.
run_openssl(req -new -newkey rsa:2048 -nodes -keyout ca/second-key.pem -out ca/second.csr
            -subj /CN=Orvane\ Windows\ Test\ Second\ Signer)
run_openssl(x509 -req -in ca/second.csr -CA intermediate.pem -CAkey ca/intermediate-key.pem
            -set_serial 0x5E02 -days 3650 -extfile ca/signer.ext -out ca/second.pem)
run_openssl(pkcs12 -export -inkey ca/second-key.pem -in ca/second.pem -certfile chain.pem
            -passout pass:orvane-test -out second.pfx)
run_openssl(req -new -newkey rsa:2048 -nodes -keyout ca/keyless-key.pem -out ca/keyless.csr
            -subj /CN=Orvane\ Windows\ Test\ Keyless)
run_openssl(x509 -req -in ca/keyless.csr -CA intermediate.pem -CAkey ca/intermediate-key.pem
            -set_serial 0x5E03 -days 3650 -extfile ca/signer.ext -outform DER -out keyless.der)
file(WRITE ${out}/sign-pki.txt "user 00A1B2C3D4\nsecond_user 5E02\nwithout_key 5E03\nexpired 7E01\n")
file(REMOVE_RECURSE ${out}/ca)
