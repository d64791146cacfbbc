#!/bin/sh
# Verifies with the host's openssl what the VBScript signed through Orvane.dll under Wine: the
# attached message with its content, and the detached signature over the same text.
#   check_com_messages.sh OPENSSL PKI_FOLDER
set -eu
openssl=$1
pki=$2
signed=$pki/com-signed
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for form in attached detached; do
  tr -d '\r\n' <"$signed/$form.txt" | base64 -d >"$work/$form.der"
done
"$openssl" cms -verify -binary -inform DER -in "$work/attached.der" -CAfile "$pki/root.pem" \
  -purpose any -out "$work/attached.content"
# The file's text, a code unit for each byte, then its extension and that extension's length
# (".txt4", ten bytes); the detached signature covers the text alone.
head -c -10 "$work/attached.content" >"$work/text"
iconv -f latin1 -t UTF-16LE "$signed/content.txt" | cmp - "$work/text"
"$openssl" cms -verify -binary -inform DER -in "$work/detached.der" -CAfile "$pki/root.pem" \
  -purpose any -content "$work/text" -out /dev/null
