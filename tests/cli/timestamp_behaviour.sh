#!/bin/sh
# Signature timestamps (RFC 3161), the same on every back end: a time-stamping authority on
# 127.0.0.1 (tests/support/time_stamping_authority.py, the openssl command's `ts -reply`),
# started and stopped by this script; signatures timestamped by it, checked by the openssl
# command and by the command's own verification; authorities that answer wrongly or not at all;
# tokens altered and removed.
#   timestamp_behaviour.sh linux OPENSSL PYTHON ORVANE
#   timestamp_behaviour.sh windows OPENSSL PYTHON WINE-RUN WINE ORVANE.EXE
# It prints each check that fails and exits with their number.
set -u
platform=$1 openssl=$2 python=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
authority_pid=""
# SIGTERM, and SIGKILL if it has not ended within five seconds.
stop_authority() {
  [ -n "$authority_pid" ] || return 0
  kill "$authority_pid" 2>/dev/null
  (sleep 5 && kill -9 "$authority_pid" 2>/dev/null) >/dev/null 2>&1 &
  watcher=$!
  wait "$authority_pid" 2>/dev/null
  kill "$watcher" 2>/dev/null
  authority_pid=""
}
trap 'stop_authority; rm -rf "$work"' EXIT
. "$here/command_under_test.sh"
tokens() { timeout 60 "$python" -B "$here/timestamp_tokens.py" "$@"; }

# --- The authority: its PKI and its URL in $tsa, for ten minutes at most.
tsa=$work/authority
"$python" -B "$here/../support/time_stamping_authority.py" --openssl "$openssl" --folder "$tsa" \
  --lifetime 600 >"$work/authority.out" 2>&1 &
authority_pid=$!
tries=0
until [ -s "$tsa/url" ] || [ $tries -ge 100 ] || ! kill -0 "$authority_pid" 2>/dev/null; do
  sleep 0.1
  tries=$((tries + 1))
done
if [ ! -s "$tsa/url" ]; then
  cat "$work/authority.out" >&2
  fail "the time-stamping authority did not start within 10 s"
  exit "$failures"
fi
url=$(cat "$tsa/url")
# Each path answers as the checks below expect, seen by the openssl command.
timeout 120 "$python" -B "$here/../support/time_stamping_authority.py" --openssl "$openssl" \
  --folder "$tsa" --self-test >"$work/self-test" 2>&1 ||
  fail "the authority's self-test: $(grep -v '^ok' "$work/self-test")"
# A port that nothing listens on: one that was free a moment ago.
dead_port=$(timeout 60 "$python" -c \
  'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# --- The signer: a root and a certificate under it, in the store with its key; the
# authority's root trusted too.
pki=$work/pki
mkdir -p "$pki" "$work/system" "$work/logs" "$work/parts" "$work/restored"
ssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/root-key.pem" -out "$pki/root.pem" \
  -subj "/CN=Orvane Timestamp Root" -days 3650 \
  -addext "keyUsage = critical, keyCertSign, cRLSign"
printf 'basicConstraints = CA:FALSE\nkeyUsage = critical, digitalSignature\n' >"$pki/signer.ext"
ssl req -new -newkey rsa:2048 -nodes -keyout "$pki/signer-key.pem" -out "$pki/signer.csr" \
  -subj "/CN=Orvane Timestamp Signer"
ssl x509 -req -in "$pki/signer.csr" -CA "$pki/root.pem" -CAkey "$pki/root-key.pem" \
  -set_serial 0x7A01 -days 3650 -extfile "$pki/signer.ext" -out "$pki/signer.pem"
ssl pkcs12 -export -inkey "$pki/signer-key.pem" -in "$pki/signer.pem" -certfile "$pki/root.pem" \
  -passout pass: -out "$pki/signer.p12"
serial=7A01
: >"$work/empty"
cmd store import "$(native "$pki/signer.p12")" --password-file "$(native "$work/empty")"
[ "$out" = "$serial" ] || fail "the signer cannot be imported: $out $err"
for root in "$pki/root.pem" "$tsa/root.pem"; do
  cmd store trust "$(native "$root")"
  [ "$status" = 0 ] || fail "$root cannot be trusted: $err"
done

printf 'the timestamped file\n' >"$work/file.txt"
file=$(native "$work/file.txt")
# What a detached signature of the command covers: the file's text, a code unit a byte, in
# UTF-16LE.
iconv -f ISO-8859-1 -t UTF-16LE "$work/file.txt" >"$work/file.utf16"
# The configuration: <TimestampURL> (none when empty), then any more lines, and the error log.
configure() {  # URL, more lines
  {
    [ -z "$1" ] || printf '<TimestampURL>%s</TimestampURL>\r\n' "$1"
    [ -z "${2:-}" ] || printf '%s\r\n' "$2"
    printf '<LogError>%s</LogError>\r\n' "$(native "$work/logs")"
  } >"$work/system/KPXServiceControl.INI"
}
configured() { cmd --system-dir "$(native "$work/system")" "$@"; }
from_message() { tr -d '\r\n' <"$1" | base64 -d >"$2"; }
to_message() { base64 -w 64 "$1" | sed 's/$/\r/'; }
# sign_detached NAME [OPTION...]: a detached signature of file.txt by the configured command, in
# $work/NAME.p7s (as it is written) and $work/NAME.der.
sign_detached() {
  name=$1
  shift
  rm -f "$work/file.p7s" "$work/$name.p7s" "$work/$name.der"
  configured sign "$file" --serial "$serial" --detached --suffix .p7s "$@"
  [ -e "$work/file.p7s" ] || return 0
  mv "$work/file.p7s" "$work/$name.p7s"
  from_message "$work/$name.p7s" "$work/$name.der"
}
# The genTime of each token of a message's signer in $times, a line each, and their number in
# $count; its signature value and tokens in $work/parts.
token_times() {
  rm -f "$work/parts/"*
  tokens parts "$1" "$work/parts" >"$work/times" || fail "the signer's parts of $1 cannot be read"
  times=$(cat "$work/times")
  count=$(grep -c . "$work/times")
}
verify_code() {  # message (DER)
  cmd verify-code "$(native "$work/file.utf16")" --signature-file "$(native "$1")"
}
# The timestamp lines of the last command's standard error, without the command's name.
said_timestamps() { printf '%s\n' "$err" | sed -n 's/^\(orvane: \)\{0,1\}\(timestamp: \)/\2/p'; }
stamped_by_good="by CN=Orvane Test TSA (policy 1.2.3.4.1)"
valid=success
invalid="Signature or Certificate is not valid "

# --- The good authority: one token over the signature value, which the openssl command proves
# against the authority's root; the message stays valid for openssl; verification says it.
configure "$url/good"
sign_detached good
[ "$out" = "$valid" ] || fail "signing with the good authority: [$out] (stderr: $err)"
token_times "$work/good.der"
[ "$count" = 1 ] || fail "not one token but [$times]"
"$openssl" ts -verify -data "$work/parts/signature" -in "$work/parts/token-1.der" -token_in \
  -CAfile "$tsa/root.pem" >/dev/null 2>"$work/e" ||
  fail "openssl does not prove the token over the signature value: $(cat "$work/e")"
"$openssl" cms -verify -binary -inform DER -in "$work/good.der" -content "$work/file.utf16" \
  -CAfile "$pki/root.pem" -purpose any -out /dev/null 2>"$work/e" ||
  fail "openssl rejects the timestamped message: $(cat "$work/e")"
verify_code "$work/good.der"
[ "$out" = "$valid" ] || fail "the timestamped signature: [$out] (stderr: $err)"
expected="timestamp: $times $stamped_by_good"
[ "$(said_timestamps)" = "$expected" ] || fail "verify-code does not say [$expected]: [$err]"
cmd verify "$file" "$(native "$work/good.p7s")" --detached --serial "$serial"
[ "$out" = "$valid" ] || fail "the timestamped detached signature: [$out] (stderr: $err)"
[ "$(said_timestamps)" = "$expected" ] || fail "verify does not say [$expected]: [$err]"
# Attached, through the other way of signing, verified with its content restored.
rm -f "$work/file_Signature.txt"
configured sign "$file" --serial "$serial"
[ "$out" = "$valid" ] || fail "attached signing with the good authority: [$out] (stderr: $err)"
from_message "$work/file_Signature.txt" "$work/attached.der"
token_times "$work/attached.der"
[ "$count" = 1 ] || fail "attached: not one token but [$times]"
"$openssl" ts -verify -data "$work/parts/signature" -in "$work/parts/token-1.der" -token_in \
  -CAfile "$tsa/root.pem" >/dev/null 2>"$work/e" ||
  fail "openssl does not prove the attached message's token: $(cat "$work/e")"
cmd verify "$(native "$work/file_Signature.txt")" "$(native "$work/restored/copy.xyz")" \
  --serial "$serial"
[ "$out" = "$valid
$(native "$work/restored/copy.txt")" ] || fail "the attached timestamped message: [$out] ($err)"
[ "$(said_timestamps)" = "timestamp: $times $stamped_by_good" ] ||
  fail "attached verification does not say its timestamp: [$err]"
# inspect names the time and the authority, and so does its JSON.
token_times "$work/good.der"
cmd inspect "$(native "$work/good.der")"
case $out in *"$times"*"Orvane Test TSA"* | *"Orvane Test TSA"*"$times"*) ;;
  *) fail "inspect does not name the timestamp [$times] and its authority: [$out] ($err)" ;; esac
cmd inspect "$(native "$work/good.der")" --json
printf '%s' "$out" >"$work/inspected.json"
inspected=$(tokens inspected "$work/inspected.json" 2>&1 | tail -1)
case $inspected in "$times "*"Orvane Test TSA"*) ;;
  *) fail "inspect --json does not give the timestamp [$times]: [$inspected] from [$out]" ;; esac

# --- No <TimestampURL>, no token; --timestamp asks for one whatever the configuration says.
configure ""
sign_detached plain
[ "$out" = "$valid" ] || fail "signing without an authority: [$out] (stderr: $err)"
token_times "$work/plain.der"
[ "$count" = 0 ] || fail "a token without <TimestampURL>"
verify_code "$work/plain.der"
case $err in *"timestamp: "*) fail "a timestamp is said of a message without one: $err" ;; esac
cmd inspect "$(native "$work/plain.der")" --json
printf '%s' "$out" >"$work/inspected.json"
inspected=$(tokens inspected "$work/inspected.json" 2>&1 | tail -1)
[ "$inspected" = none ] || fail "inspect --json of a message without a timestamp: [$inspected]"
configure "$url/http-error"
sign_detached overridden --timestamp "$url/good"
[ "$out" = "$valid" ] || fail "--timestamp does not override <TimestampURL>: [$out] ($err)"
token_times "$work/overridden.der"
[ "$count" = 1 ] || fail "--timestamp gives not one token but [$times]"
# A requested policy is asked for, granted and said.
configure "$url/good" "<TimestampPolicy>1.2.3.4.2</TimestampPolicy>"
sign_detached policy
[ "$out" = "$valid" ] || fail "signing under policy 1.2.3.4.2: [$out] (stderr: $err)"
verify_code "$work/policy.der"
token_times "$work/policy.der"
[ "$(said_timestamps)" = "timestamp: $times by CN=Orvane Test TSA (policy 1.2.3.4.2)" ] ||
  fail "the requested policy is not said: [$err]"

# --- Authorities that answer wrongly, or not at all: no signature, an answer that says so and
# an entry in the error log, soon.
log_size() { cat "$work/logs/"* 2>/dev/null | wc -c; }
refused() {  # URL, what, more configuration
  configure "$1" "${3:-}"
  before=$(log_size)
  started=$(date +%s)
  sign_detached refused
  elapsed=$(($(date +%s) - started))
  case $out in "Err Description: "*) ;; *) fail "$2: signing answers [$out] (status $status, stderr: $err)" ;; esac
  [ ! -e "$work/refused.p7s" ] || fail "$2: a signature was written"
  [ "$(log_size)" -gt "$before" ] || fail "$2: nothing was logged"
  [ "$elapsed" -le 15 ] || fail "$2: signing took $elapsed s"
}
refused "$url/wrong-imprint" "a token over another imprint"
refused "$url/wrong-nonce" "a token with another nonce"
refused "$url/no-usage" "a signer without the time-stamping usage"
refused "$url/not-critical" "a signer whose time-stamping usage is not critical"
refused "$url/other-certificate-id" "a token that names another certificate than its signer's"
refused "$url/no-certificate-id" "a token that does not name its signer's certificate"
refused "$url/untrusted" "an authority under an untrusted root"
refused "$url/rejection" "a rejection"
refused "$url/garbage" "an answer that is no DER"
refused "$url/http-error" "HTTP 500"
refused "$url/silent" "an authority that never answers"
refused "http://127.0.0.1:$dead_port/" "nothing listening"
refused "$url/other-policy" "a token under another policy than the required one" \
  "<TimestampPolicy>1.2.3.4.2</TimestampPolicy>"

# --- Tokens altered after signing, outside what the signer's signature covers: openssl still
# accepts the message, the command does not; a message whose token is gone is judged as one
# that never had one.
for how in time signature; do
  tokens alter "$work/good.der" "$work/altered-$how.der" "$how" ||
    fail "the token's $how cannot be altered"
  "$openssl" cms -verify -binary -inform DER -in "$work/altered-$how.der" \
    -content "$work/file.utf16" -CAfile "$pki/root.pem" -purpose any -out /dev/null 2>/dev/null ||
    fail "the token's $how was not altered alone"
  verify_code "$work/altered-$how.der"
  [ "$out" = "$invalid" ] || fail "a token whose $how was altered: [$out] (stderr: $err)"
done
tokens alter "$work/good.der" "$work/removed.der" remove || fail "the token cannot be removed"
verify_code "$work/removed.der"
[ "$out" = "$valid" ] || fail "a message whose token was removed: [$out] (stderr: $err)"
case $err in *"timestamp: "*) fail "a removed token is said: $err" ;; esac

stop_authority
echo "$failures check(s) failed"
exit "$failures"
