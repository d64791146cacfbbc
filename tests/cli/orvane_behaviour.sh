#!/bin/sh
# The orvane command's behaviour, the same on every back end: this script runs against the
# Linux build (file stores under --store) and against orvane.exe under Wine (the prefix's own
# certificate stores), with one PKI that the host's openssl makes, and the same expected
# answers. It prints each check that fails and exits with their number.
#   orvane_behaviour.sh linux OPENSSL ORVANE
#   orvane_behaviour.sh windows OPENSSL WINE-RUN WINE ORVANE.EXE
set -u
platform=$1
openssl=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$here/command_under_test.sh"

expect() {  # what, expected, actual
  [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3] (stderr: $err)"
}

# --- The PKI: a root, an intermediate, a signer under it (serial with its top bit set), a
# self-signed signer nobody trusts, and a signer whose validity ended in 2021.
pki=$work/pki
mkdir -p "$pki/ca"
printf 'basicConstraints = critical, CA:TRUE\nkeyUsage = critical, keyCertSign\n' >"$pki/ca.ext"
printf 'basicConstraints = CA:FALSE\nkeyUsage = critical, digitalSignature\n' >"$pki/signer.ext"
ssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/root-key.pem" -out "$pki/root.pem" \
  -subj "/CN=Orvane Behaviour Root" -days 3650
ssl req -new -newkey rsa:2048 -nodes -keyout "$pki/intermediate-key.pem" \
  -out "$pki/intermediate.csr" -subj "/CN=Orvane Behaviour Intermediate"
ssl x509 -req -in "$pki/intermediate.csr" -CA "$pki/root.pem" -CAkey "$pki/root-key.pem" \
  -set_serial 0x5501 -days 3650 -extfile "$pki/ca.ext" -out "$pki/intermediate.pem"
ssl req -new -newkey rsa:2048 -nodes -keyout "$pki/signer-key.pem" -out "$pki/signer.csr" \
  -subj "/CN=Orvane Behaviour Signer"
ssl x509 -req -in "$pki/signer.csr" -CA "$pki/intermediate.pem" \
  -CAkey "$pki/intermediate-key.pem" -set_serial 0x00C0FFEE01 -days 3650 \
  -extfile "$pki/signer.ext" -out "$pki/signer.pem"
cat "$pki/intermediate.pem" "$pki/root.pem" >"$pki/chain.pem"
printf 'behaviour-pw\r\n' >"$pki/password.txt"
ssl pkcs12 -export -inkey "$pki/signer-key.pem" -in "$pki/signer.pem" -certfile "$pki/chain.pem" \
  -passout pass:behaviour-pw -out "$pki/signer.p12"
ssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/stranger-key.pem" -out "$pki/stranger.pem" \
  -subj "/CN=Orvane Behaviour Stranger" -days 365 -set_serial 0x7701 \
  -addext "keyUsage = critical, digitalSignature"
# The stranger's file at the iteration bound (the MAC's, the encrypted part's and the key's),
# and the same one past it.
ssl pkcs12 -export -iter 1000000 -inkey "$pki/stranger-key.pem" -in "$pki/stranger.pem" \
  -passout pass: -out "$pki/stranger.p12"
ssl pkcs12 -export -iter 2000000 -inkey "$pki/stranger-key.pem" -in "$pki/stranger.pem" \
  -passout pass: -out "$pki/stalling.p12"
# `openssl ca` is how this openssl sets a validity period in the past.
printf '[ca]\ndefault_ca = t\n[t]\ndatabase = %s\nserial = %s\nnew_certs_dir = %s\n' \
  "$pki/ca/index.txt" "$pki/ca/serial.txt" "$pki/ca" >"$pki/ca.cnf"
printf 'default_md = sha256\npolicy = any\n[any]\ncommonName = supplied\n' >>"$pki/ca.cnf"
: >"$pki/ca/index.txt"
echo 6601 >"$pki/ca/serial.txt"
ssl req -new -newkey rsa:2048 -nodes -keyout "$pki/expired-key.pem" -out "$pki/expired.csr" \
  -subj "/CN=Orvane Behaviour Expired"
ssl ca -batch -config "$pki/ca.cnf" -cert "$pki/root.pem" -keyfile "$pki/root-key.pem" \
  -in "$pki/expired.csr" -out "$pki/expired.pem" -startdate 20200101000000Z \
  -enddate 20210101000000Z -notext
serial=00C0FFEE01

# Base64 lines of a DER file, as the component writes messages.
to_message() { base64 -w 64 "$1" | sed 's/$/\r/'; }
from_message() { tr -d '\r\n' <"$1" | base64 -d >"$2"; }
# A file with every byte value, as users sign them.
i=0
while [ $i -lt 256 ]; do
  # shellcheck disable=SC2059 # an octal escape is the point
  printf "\\$(printf %03o $i)"
  i=$((i + 1))
done >"$work/contract.pdf"
printf '%%PDF tail\n' >>"$work/contract.pdf"

# --- Stores.
cmd store import "$(native "$pki/signer.p12")" --password-file "$(native "$pki/password.txt")"
expect "import prints the serial" "$serial" "$out"
cmd store trust "$(native "$pki/root.pem")"
expect "trust succeeds" 0 "$status"
cmd store list
expect "list succeeds" 0 "$status"
case $out in *"$serial"*) ;; *) fail "list shows the signer: $out" ;; esac

# --- Signing, checked by the openssl command.
cmd sign "$(native "$work/contract.pdf")" --serial "$serial"
expect "attached sign" success "$out"
cmd sign "$(native "$work/contract.pdf")" --serial "$serial" --detached --suffix .p7s
expect "detached sign" success "$out"
from_message "$work/contract_Signature.txt" "$work/attached.der"
from_message "$work/contract.p7s" "$work/detached.der"
"$openssl" cms -verify -binary -inform DER -in "$work/attached.der" -CAfile "$pki/root.pem" \
  -purpose any -out "$work/attached.content" 2>"$work/e" ||
  fail "openssl rejects the attached message: $(cat "$work/e")"
# What was signed: the file's text, a code unit a byte; attached with the extension and its
# length after it (".pdf4", ten bytes), detached without.
head -c -10 "$work/attached.content" >"$work/detached.content"
"$openssl" cms -verify -binary -inform DER -in "$work/detached.der" -CAfile "$pki/root.pem" \
  -purpose any -content "$work/detached.content" -out /dev/null 2>"$work/e" ||
  fail "openssl rejects the detached signature: $(cat "$work/e")"
"$openssl" cms -cmsout -print -inform DER -in "$work/detached.der" >"$work/printed"
grep -q 'algorithm: sha256' "$work/printed" || fail "the signature is not SHA-256"
grep -q 'object: signingTime' "$work/printed" || fail "no signing time"
"$openssl" pkcs7 -inform DER -in "$work/detached.der" -print_certs -noout >"$work/certs"
grep -q 'Behaviour Intermediate$' "$work/certs" || fail "the intermediate is not carried"
if grep -q 'subject=.*Behaviour Root$' "$work/certs"; then fail "the root is carried"; fi

# --- Verification of our own messages, and restoring.
mkdir -p "$work/restored"
cmd verify "$(native "$work/contract.pdf")" "$(native "$work/contract.p7s")" --detached \
  --serial "$serial"
expect "detached verify" success "$out"
cmd verify "$(native "$work/contract_Signature.txt")" "$(native "$work/restored/copy.xyz")" \
  --serial "$serial"
expect "attached verify" "success
$(native "$work/restored/copy.pdf")" "$out"
cmp -s "$work/contract.pdf" "$work/restored/copy.pdf" || fail "restored content differs"
cmd verify "$(native "$work/contract.pdf")" "$(native "$work/contract.p7s")" --detached \
  --serial 0BAD
expect "wrong serial" "The file has not been signed with the certificate used for login." "$out"
cmd sign "$(native "$work/contract.pdf")" --serial 0BAD
expect "unknown serial" "Error: Certificate is either damaged, uninstalled or not present." "$out"
expect "unknown serial status" 1 "$status"

# --- Messages made by the openssl command: attached over our envelope, detached over bytes.
"$openssl" cms -sign -binary -nodetach -in "$work/attached.content" -signer "$pki/signer.pem" \
  -inkey "$pki/signer-key.pem" -certfile "$pki/intermediate.pem" -outform DER \
  -out "$work/openssl-attached.der" 2>/dev/null || fail "openssl cannot sign"
to_message "$work/openssl-attached.der" >"$work/openssl_Signature.txt"
cmd verify "$(native "$work/openssl_Signature.txt")" "$(native "$work/restored/other.xyz")" \
  --serial "$serial"
expect "openssl-made attached" "success
$(native "$work/restored/other.pdf")" "$out"
cmp -s "$work/contract.pdf" "$work/restored/other.pdf" || fail "openssl-made restore differs"
"$openssl" cms -sign -binary -in "$work/contract.pdf" -signer "$pki/signer.pem" \
  -inkey "$pki/signer-key.pem" -certfile "$pki/intermediate.pem" -outform DER \
  -out "$work/openssl.der" 2>/dev/null || fail "openssl cannot sign"
cmd verify-code "$(native "$work/contract.pdf")" --signature-file "$(native "$work/openssl.der")"
expect "verify-code over a file's bytes" success "$out"

# --- Altered content: detached, and an attached message changed in place.
cp "$work/contract.pdf" "$work/changed.pdf"
printf 'X' | dd of="$work/changed.pdf" bs=1 seek=20 conv=notrunc 2>/dev/null
cmd verify "$(native "$work/changed.pdf")" "$(native "$work/contract.p7s")" --detached \
  --serial "$serial"
expect "altered detached content" "Signature or Certificate is not valid " "$out"
# The envelope's text sits in the DER as it is; change one of its bytes, keep every length.
offset=$(grep -obUaP 'P\x00D\x00F\x00' "$work/attached.der" | head -1 | cut -d: -f1)
cp "$work/attached.der" "$work/tampered.der"
printf 'Q' | dd of="$work/tampered.der" bs=1 seek="$offset" conv=notrunc 2>/dev/null
to_message "$work/tampered.der" >"$work/tampered_Signature.txt"
cmd verify "$(native "$work/tampered_Signature.txt")" "$(native "$work/restored/t.xyz")" \
  --serial "$serial"
expect "attached message altered in place" "Signing Error: The hash value is not correct." "$out"
[ ! -e "$work/restored/t.pdf" ] || fail "altered content was restored"

# --- An untrusted root, and an expired signer.
: >"$work/empty"
cmd store import "$(native "$pki/stalling.p12")" --password-file "$(native "$work/empty")"
expect "a file past the iteration bound is refused" 1 "$status"
case $err in
  *"stalling.p12 asks for more than 1000000 iterations of its password"*) ;;
  *) fail "the refusal says why: $err" ;;
esac
cmd store list
case $out in *7701*) fail "the refused file was imported: $out" ;; esac
cmd store import "$(native "$pki/stranger.p12")" --password-file "$(native "$work/empty")"
expect "import of the stranger" 7701 "$out"
cmd sign "$(native "$work/contract.pdf")" --serial 7701 --suffix _stranger.txt
expect "the stranger signs attached" success "$out"
cmd verify "$(native "$work/contract_stranger.txt")" "$(native "$work/restored/s.xyz")" \
  --serial 7701
expect "untrusted root" "Signing Error: A certificate chain processed, but terminated in a root \
certificate which is not trusted by the trust provider." "$out"
"$openssl" cms -sign -binary -in "$work/contract.pdf" -signer "$pki/expired.pem" \
  -inkey "$pki/expired-key.pem" -outform DER -out "$work/expired.der" 2>/dev/null ||
  fail "openssl cannot sign as the expired signer"
to_message "$work/expired.der" >"$work/expired.p7s"
cmd verify "$(native "$work/contract.pdf")" "$(native "$work/expired.p7s")" --detached \
  --serial 6601
expect "expired signer, detached" "Signature or Certificate is not valid " "$out"
"$openssl" cms -sign -binary -nodetach -in "$work/attached.content" -signer "$pki/expired.pem" \
  -inkey "$pki/expired-key.pem" -outform DER -out "$work/expired-attached.der" 2>/dev/null
to_message "$work/expired-attached.der" >"$work/expired_Signature.txt"
cmd verify "$(native "$work/expired_Signature.txt")" "$(native "$work/restored/e.xyz")" \
  --serial 6601
expect "expired signer, attached" "Signing Error: A required certificate is not within its \
validity period when verifying against the current system clock or the timestamp in the signed \
file." "$out"

# --- The configured certificate, the serial number and the error log.
mkdir -p "$work/system" "$work/logs"
printf '<SerialNumber>%s</SerialNumber>\r\n<LogError>%s</LogError>\r\n' "$serial" \
  "$(native "$work/logs")" >"$work/system/KPXServiceControl.INI"
cmd --system-dir "$(native "$work/system")" serial
expect "serial" "$serial" "$out"
cmd --system-dir "$(native "$work/system")" sp-sign --text '<invoice>42</invoice>'
expect "sp-sign status" 0 "$status"
printf '%s' "$out" | tr -d '\n' | base64 -d >"$work/sp.der" 2>/dev/null
printf '<invoice>42</invoice>' | iconv -f UTF-8 -t UTF-16LE >"$work/invoice.utf16"
"$openssl" cms -verify -binary -inform DER -in "$work/sp.der" -CAfile "$pki/root.pem" \
  -purpose any -content "$work/invoice.utf16" -out /dev/null 2>"$work/e" ||
  fail "openssl rejects the service provider's signature: $(cat "$work/e")"
cmd --system-dir "$(native "$work/system")" log 'nightly run: 3 files failed'
expect "log status" 0 "$status"
grep -q ' - Orvane.dll : nightly run: 3 files failed' "$work"/logs/KPX_Error_Log_*.txt ||
  fail "the log entry is missing"

# --- The demonstration removes what it made; on Windows a store folder is a usage error.
cmd store list
before=$out
cmd demo
expect "demo" 0 "$status"
cmd store list
expect "the demo leaves the stores as they were" "$before" "$out"
if [ "$platform" = windows ]; then
  cmd --store "$(native "$work/store")" store list
  expect "--store on Windows" 2 "$status"
  case $err in *"Windows certificate stores"*) ;; *) fail "--store says why: $err" ;; esac
fi

echo "$failures check(s) failed"
exit "$failures"
