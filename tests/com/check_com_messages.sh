#!/bin/sh
# Verifies with the host's openssl what the VBScript signed through Orvane.dll under Wine: the
# attached message with its content, and the detached signature over the same text.
#   check_com_messages.sh OPENSSL PKI_FOLDER [LINUX_ORVANE]
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

# The Linux orvane, when its build is there beside this one (tools/test-all builds it first),
# verifies them too: the same answers as under Windows.
orvane=${3:-}
if [ -n "$orvane" ] && [ -x "$orvane" ]; then
  store=$work/store
  "$orvane" --store "$store" store trust "$pki/root.pem" >/dev/null 2>&1
  answer=$("$orvane" --store "$store" verify "$signed/content.txt" "$signed/detached.txt" \
    --detached --serial 00A1B2C3D4 2>/dev/null)
  [ "$answer" = success ] || { echo "Linux orvane, detached: $answer" >&2; exit 1; }
  answer=$("$orvane" --store "$store" verify "$signed/attached.txt" "$work/copy.xyz" \
    --serial 00A1B2C3D4 2>/dev/null | head -1)
  [ "$answer" = success ] || { echo "Linux orvane, attached: $answer" >&2; exit 1; }
  cmp "$signed/content.txt" "$work/copy.txt"
else
  echo "no Linux orvane at '$orvane': checked with openssl only"
fi
