#!/bin/sh
# Verifies the messages that the CryptoAPI signing test made under Wine with the host's
# openssl: the signature over the content, the carried content byte for byte, SHA-256, the
# signing time in UTC, and the chain carried without its root (trusting only the root, the
# message must bring the intermediate itself).
#   check_cryptoapi_messages.sh OPENSSL PKI_FOLDER
set -eu
openssl=$1
pki=$2
signed=$pki/signed
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for form in attached detached; do
  tr -d '\r\n' <"$signed/$form.b64" | base64 -d >"$work/$form.der"
  "$openssl" cms -cmsout -print -inform DER -in "$work/$form.der" >"$work/$form.txt"
  grep -q 'algorithm: sha256' "$work/$form.txt" || { echo "$form: not SHA-256" >&2; exit 1; }
  grep -q 'UTCTIME:Dec  6 19:35:44 2026 GMT' "$work/$form.txt" ||
    { echo "$form: wrong signing time" >&2; exit 1; }
  "$openssl" pkcs7 -inform DER -in "$work/$form.der" -print_certs -noout >"$work/$form.certs"
  grep -q '^subject=.*Test Intermediate$' "$work/$form.certs" || { echo "$form: no intermediate" >&2; exit 1; }
  if grep -q '^subject=.*Test Root$' "$work/$form.certs"; then echo "$form: carries the root" >&2; exit 1; fi
done

"$openssl" cms -verify -binary -inform DER -in "$work/attached.der" -CAfile "$pki/root.pem" \
  -purpose any -out "$work/attached.content" 2>"$work/errors" || { cat "$work/errors" >&2; exit 1; }
cmp "$work/attached.content" "$signed/content.bin"

"$openssl" cms -verify -binary -inform DER -in "$work/detached.der" -CAfile "$pki/root.pem" \
  -purpose any -content "$signed/content.bin" -out /dev/null 2>"$work/errors" ||
  { cat "$work/errors" >&2; exit 1; }
if grep -q 'eContent:' "$work/detached.txt" && ! grep -q 'eContent: <ABSENT>' "$work/detached.txt"; then
  echo "detached: carries its content" >&2
  exit 1
fi
echo "both messages verify"
