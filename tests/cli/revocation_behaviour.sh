#!/bin/sh
# Revocation, the same on every back end: a CA that issues CRLs (`openssl ca -gencrl`), an OCSP
# responder (`openssl ocsp`) and an HTTP server for the CRLs, all on 127.0.0.1 and started and
# stopped by this script; signers whose CRL distribution point and OCSP URL point there, revoked
# and good; expired and forged CRLs; responders that refuse and that hang; under each mode.
#   revocation_behaviour.sh linux OPENSSL PYTHON ORVANE
#   revocation_behaviour.sh windows OPENSSL PYTHON WINE-RUN WINE ORVANE.EXE
# It prints each check that fails and exits with their number.
set -u
platform=$1 openssl=$2 python=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
servers=""
stop_servers() {
  for pid in $servers; do kill "$pid" 2>/dev/null; done
  for pid in $servers; do wait "$pid" 2>/dev/null; done
  servers=""
}
trap 'stop_servers; rm -rf "$work"' EXIT
. "$here/command_under_test.sh"
free_port() {
  "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
# Waits until something listens on 127.0.0.1:$1, five seconds at most.
wait_for_port() {
  "$python" - "$1" <<'PY' || fail "nothing listens on port $1"
import socket, sys, time
deadline = time.time() + 5
while time.time() < deadline:
    try:
        socket.create_connection(("127.0.0.1", int(sys.argv[1])), 0.2).close()
        sys.exit(0)
    except OSError:
        time.sleep(0.1)
sys.exit(1)
PY
}
crl_port=$(free_port) ocsp_port=$(free_port) dead_port=$(free_port) hang_port=$(free_port)
odd_port=$(free_port)

# --- The PKI: a root, an authority under it that publishes CRLs and answers OCSP, its signers.
pki=$work/pki
www=$work/www
mkdir -p "$pki/root" "$pki/ca" "$pki/ocspca" "$pki/impostor" "$www"
ca_config() {  # folder
  printf '[ca]\ndefault_ca = t\n[t]\ndatabase = %s/index.txt\nserial = %s/serial.txt\n' "$1" "$1"
  printf 'crlnumber = %s/crlnumber.txt\nnew_certs_dir = %s\ndefault_md = sha256\n' "$1" "$1"
  printf 'policy = any\ndefault_crl_days = 7\n[any]\ncommonName = supplied\n'
}
for folder in root ca ocspca impostor; do
  ca_config "$pki/$folder" >"$pki/$folder/ca.cnf"
  : >"$pki/$folder/index.txt"
  echo 01 >"$pki/$folder/crlnumber.txt"
done
url=http://127.0.0.1
# An end entity's section: its CRL distribution point and its OCSP responder, either left out
# when empty.
end_entity() {  # name, CRL URL, OCSP URL
  printf '[%s]\nbasicConstraints = CA:FALSE\nkeyUsage = critical, digitalSignature\n' "$1"
  [ -z "$2" ] || printf 'crlDistributionPoints = URI:%s\n' "$2"
  [ -z "$3" ] || printf 'authorityInfoAccess = OCSP;URI:%s\n' "$3"
}
{
  printf '[authority]\nbasicConstraints = critical, CA:TRUE\n'
  printf 'keyUsage = critical, keyCertSign, cRLSign\n'
  printf 'crlDistributionPoints = URI:%s\n' "$url:$crl_port/root.crl"
  end_entity signer "$url:$crl_port/ca.crl" "$url:$ocsp_port/"
  end_entity ocsp_only "" "$url:$ocsp_port/"
  end_entity dead "$url:$dead_port/ca.crl" "$url:$dead_port/"
  end_entity hang "$url:$hang_port/ca.crl" "$url:$hang_port/"
  end_entity odd "$url:$odd_port/large.crl" "$url:$odd_port/elsewhere"
  end_entity responder "" ""
  printf 'extendedKeyUsage = OCSPSigning\n'
} >"$pki/ext.cnf"
ssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/root-key.pem" -out "$pki/root.pem" \
  -subj "/CN=Orvane Revocation Root" -days 3650 \
  -addext "keyUsage = critical, keyCertSign, cRLSign"
issue() {  # name, serial, extension section, issuer folder, issuer certificate, issuer key, CN
  ssl req -new -newkey rsa:2048 -nodes -keyout "$pki/$1-key.pem" -out "$pki/$1.csr" -subj "/CN=$7"
  echo "$2" >"$4/serial.txt"
  ssl ca -batch -notext -config "$4/ca.cnf" -cert "$5" -keyfile "$6" -days 365 \
    -extfile "$pki/ext.cnf" -extensions "$3" -in "$pki/$1.csr" -out "$pki/$1.pem"
}
issue ca 5A01 authority "$pki/root" "$pki/root.pem" "$pki/root-key.pem" "Orvane Revocation CA"
# An authority of its own answers OCSP and publishes no CRL, so that no CRL decides for its
# signers.
issue ocspca 5A02 authority "$pki/root" "$pki/root.pem" "$pki/root-key.pem" "Orvane OCSP CA"
ca_issue() { issue "$1" "$2" "$3" "$pki/ca" "$pki/ca.pem" "$pki/ca-key.pem" "$4"; }
ocsp_issue() { issue "$1" "$2" "$3" "$pki/ocspca" "$pki/ocspca.pem" "$pki/ocspca-key.pem" "$4"; }
ca_issue good A1 signer "Good Signer"
ca_issue revoked A2 signer "Revoked Signer"
ca_issue dead A5 dead "Dead Responder Signer"
ca_issue hang A6 hang "Hanging Responder Signer"
ca_issue odd A8 odd "Odd Server Signer"
ocsp_issue ocsp_good B1 ocsp_only "OCSP Good Signer"
ocsp_issue ocsp_revoked B2 ocsp_only "OCSP Revoked Signer"
ocsp_issue responder B3 responder "Orvane Revocation OCSP"
ssl ca -config "$pki/ca/ca.cnf" -cert "$pki/ca.pem" -keyfile "$pki/ca-key.pem" \
  -revoke "$pki/revoked.pem" -crl_reason keyCompromise
ssl ca -config "$pki/ocspca/ca.cnf" -cert "$pki/ocspca.pem" -keyfile "$pki/ocspca-key.pem" \
  -revoke "$pki/ocsp_revoked.pem" -crl_reason keyCompromise
gencrl() {  # folder, certificate, key, output (DER), more options
  folder=$1 cert=$2 key=$3 output=$4
  shift 4
  ssl ca -gencrl -config "$folder/ca.cnf" -cert "$cert" -keyfile "$key" -out "$output.pem" "$@"
  ssl crl -in "$output.pem" -outform DER -out "$output"
}
gencrl "$pki/root" "$pki/root.pem" "$pki/root-key.pem" "$www/root.crl"
gencrl "$pki/ca" "$pki/ca.pem" "$pki/ca-key.pem" "$www/ca.crl"
gencrl "$pki/ca" "$pki/ca.pem" "$pki/ca-key.pem" "$pki/expired.crl" \
  -crl_lastupdate 20200101000000Z -crl_nextupdate 20200108000000Z
# A CRL in the authority's name that another key signed, listing what the real one lists.
ssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/impostor-key.pem" -out "$pki/impostor.pem" \
  -subj "/CN=Orvane Revocation CA" -days 365
cp "$pki/ca/index.txt" "$pki/impostor/index.txt"
gencrl "$pki/impostor" "$pki/impostor.pem" "$pki/impostor-key.pem" "$pki/forged.crl"

# Detached signatures over one file's bytes, made by the openssl command, without and with
# CRLs in the message.
printf 'the signed file\n' >"$work/file.txt"
for name in good revoked ocsp_good ocsp_revoked dead hang odd; do
  authority=ca
  case $name in ocsp_*) authority=ocspca ;; esac
  ssl cms -sign -binary -in "$work/file.txt" -signer "$pki/$name.pem" \
    -inkey "$pki/$name-key.pem" -certfile "$pki/$authority.pem" -outform DER \
    -out "$work/$name.der"
done
with_crls() {  # message, output, CRLs
  message=$1 output=$2
  shift 2
  "$python" "$here/add_crls.py" "$work/$message.der" "$work/$output.der" "$@" ||
    fail "cannot add CRLs to $message"
}
with_crls revoked revoked+crls "$www/ca.crl" "$www/root.crl"
with_crls good good+crls "$www/ca.crl" "$www/root.crl"
with_crls revoked revoked+expired "$pki/expired.crl" "$www/root.crl"
with_crls revoked revoked+forged "$pki/forged.crl" "$www/root.crl"

cmd store trust "$(native "$pki/root.pem")"
[ "$status" = 0 ] || fail "the root cannot be trusted: $err"

# verify MESSAGE MODE EXPECTED [STDERR-PART]: verify-code of file.txt against the message.
verify() {
  if [ "$2" = default ]; then
    cmd verify-code "$(native "$work/file.txt")" --signature-file "$(native "$work/$1.der")"
  else
    cmd verify-code "$(native "$work/file.txt")" --signature-file "$(native "$work/$1.der")" \
      --revocation "$2"
  fi
  [ "$out" = "$3" ] || fail "$1 under $2: expected [$3], got [$out] (stderr: $err)"
  if [ $# -ge 4 ]; then
    case $err in *"$4"*) ;; *) fail "$1 under $2: stderr lacks [$4]: [$err]" ;; esac
  fi
}
valid=success
invalid="Signature or Certificate is not valid "
# Wine 8's chain engine falls short of Windows in these; there (and on Linux) they are checked,
# under Wine each is skipped with its reason.
crls_at_hand="Wine's revocation check reads no CRL of the message or of the user's stores for a \
certificate that names a CRL distribution point"
no_ocsp="Wine's revocation check asks no OCSP responder"
no_cache="Wine keeps no fetched CRL in the URL cache for cache-only checks"
no_limit="Wine's chain engine does not hold URL retrievals to the chain's time limit"
no_date="Wine's chain engine does not tell the revocation's date and reason"
wine_lacks() {
  [ "$platform" = windows ] || return 1
  printf 'skipped under Wine: %s\n' "$1"
}

# --- The CRLs at hand: none yet, then the message's. Before any server runs, so that no cache
# holds an answer yet.
verify revoked none "$valid"
verify revoked default "$valid"
verify revoked offline "$valid"
verify revoked+crls none "$valid"
if ! wine_lacks "$crls_at_hand"; then
  verify revoked+crls offline "$invalid" \
    "CN=Revoked Signer (serial 00A2) is revoked since"
  case $err in *"reason keyCompromise (the message)"*) ;; *) fail "no reason or source: $err" ;; esac
  verify revoked+crls default "$invalid"
  verify good+crls require "$valid"
fi
verify good+crls offline "$valid"
# An expired CRL, and one that the authority did not sign, say nothing.
verify revoked+expired offline "$valid"
verify revoked+forged offline "$valid"
verify revoked+forged require "$invalid" "could not be checked"

# --- Responders that are down: accepted unless the status is required.
verify dead online "$valid" "could not be checked"
verify dead require "$invalid" "could not be checked"
verify dead offline "$valid"
# The configuration file's <RevocationCheck>, in any case; an unknown value means offline.
mkdir -p "$work/system"
printf '<RevocationCheck>Require</RevocationCheck>\r\n' >"$work/system/KPXServiceControl.INI"
configured() { cmd --system-dir "$(native "$work/system")" "$@"; }
configured verify-code "$(native "$work/file.txt")" --signature-file "$(native "$work/dead.der")"
[ "$out" = "$invalid" ] || fail "<RevocationCheck>Require</RevocationCheck> is not required: $out"
configured verify-code "$(native "$work/file.txt")" --signature-file "$(native "$work/dead.der")" \
  --revocation online
[ "$out" = "$valid" ] || fail "--revocation does not override the configuration: $out"
printf '<RevocationCheck>sometimes</RevocationCheck>\r\n' >"$work/system/KPXServiceControl.INI"
configured verify-code "$(native "$work/file.txt")" --signature-file "$(native "$work/dead.der")"
[ "$out" = "$valid" ] || fail "an unknown <RevocationCheck> is not offline: $out"

# --- The network: the CRL distribution points over HTTP, and OCSP.
"$python" -m http.server "$crl_port" --bind 127.0.0.1 --directory "$www" >/dev/null 2>&1 &
servers="$servers $!"
"$openssl" ocsp -index "$pki/ocspca/index.txt" -port "$ocsp_port" -rsigner "$pki/responder.pem" \
  -rkey "$pki/responder-key.pem" -CA "$pki/ocspca.pem" -nmin 60 -ignore_err >/dev/null \
  2>"$work/responder.log" &
servers="$servers $!"
# Accepts connections and never answers, for a minute at most.
"$python" - "$hang_port" <<'PY' &
import socket, sys, time
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(16)
server.settimeout(1)
held, deadline = [], time.time() + 60
while time.time() < deadline:
    try:
        held.append(server.accept()[0])
    except socket.timeout:
        pass
PY
servers="$servers $!"
# Answers too large for a CRL, and redirects to another scheme, for two minutes at most.
"$python" - "$odd_port" <<'PY' &
import http.server, sys, threading
class Odd(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        if self.path == "/large.crl":
            self.send_response(200)
            self.send_header("Content-Length", str(40 * 1024 * 1024))
            self.end_headers()
            block = bytes(1024 * 1024)
            try:
                for _ in range(40):
                    self.wfile.write(block)
            except OSError:
                pass  # the client gave up, as it should
        else:
            self.send_response(302)
            self.send_header("Location", "file:///etc/hostname")
            self.end_headers()
    do_POST = do_GET
    def log_message(self, *arguments):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Odd)
threading.Timer(120, server.shutdown).start()
server.serve_forever()
PY
servers="$servers $!"
for port in "$crl_port" "$hang_port" "$odd_port"; do wait_for_port "$port"; done
# The responder serves one connection at a time, and one that sends nothing holds it: its own
# word says when it is ready.
tries=0
until grep -q 'waiting for OCSP client connections' "$work/responder.log" || [ $tries -ge 50 ]; do
  sleep 0.1
  tries=$((tries + 1))
done
[ $tries -lt 50 ] || fail "the OCSP responder did not start: $(cat "$work/responder.log")"

verify revoked online "$invalid" "CN=Revoked Signer (serial 00A2) is revoked"
wine_lacks "$no_date" || case $err in *"is revoked since "*", reason keyCompromise ($url:$crl_port/ca.crl)"*) ;;
  *) fail "the CRL's date, reason or URL is not named: $err" ;; esac
verify good online "$valid"
verify good require "$valid"
if ! wine_lacks "$no_ocsp"; then
  verify ocsp_revoked online "$invalid" "CN=OCSP Revoked Signer (serial 00B2) is revoked since"
  verify ocsp_good require "$valid"
fi
# What the network said stays known until its nextUpdate, also offline.
wine_lacks "$no_cache" || verify revoked offline "$invalid"
# A responder that never answers costs a verification its time limit, not more.
started=$(date +%s)
verify hang online "$valid" "could not be checked"
elapsed=$(($(date +%s) - started))
wine_lacks "$no_limit" || [ "$elapsed" -le 20 ] ||
  fail "a hanging responder held the verification for $elapsed s"
verify hang require "$invalid"
# An answer over the size limit is no CRL, and a redirect to a file is not followed.
verify odd online "$valid" "could not be checked"
if [ "$platform" = linux ]; then
  case $err in *"larger than"*) ;; *) fail "a CRL of 40 MiB was taken: $err" ;; esac
  case $err in *"/elsewhere: "*[Pp]rotocol*) ;; *) fail "a redirect to a file was followed: $err" ;; esac
fi
verify odd require "$invalid"
stop_servers
# The answers stay until their nextUpdate: with the servers gone, still known.
if ! wine_lacks "$no_ocsp"; then
  verify ocsp_revoked online "$invalid" "is revoked since"
  verify ocsp_good require "$valid"
fi
# Without what the network said, the store's own CRLs are all there is.
rm -rf "$work/store/cache"

# --- The store's CRLs: only those that a certificate of the store signed.
cmd store add-crl "$(native "$pki/forged.crl")"
[ "$status" = 1 ] || fail "a CRL that no certificate of the store signed was added: $out"
cmd store add-crl "$(native "$www/ca.crl")"
[ "$status" = 1 ] || fail "a CRL of an authority that is not in the store was added: $out"
# A PKCS #12 file's chain goes into the store's authorities, whose CRLs can then be added.
cat "$pki/ca.pem" "$pki/root.pem" >"$pki/chain.pem"
ssl pkcs12 -export -inkey "$pki/good-key.pem" -in "$pki/good.pem" -certfile "$pki/chain.pem" \
  -passout pass: -out "$pki/good.p12"
: >"$work/empty"
cmd store import "$(native "$pki/good.p12")" --password-file "$(native "$work/empty")"
[ "$status" = 0 ] || fail "the good signer cannot be imported: $err"
cmd store add-crl "$(native "$www/ca.crl")"
[ "$status" = 0 ] || fail "the authority's CRL cannot be added: $err"
[ "$out" = "CN=Orvane Revocation CA" ] || fail "add-crl prints the issuer: $out"
cmd store list
case $out in *"CRLs: "[1-9]*) ;; *) fail "store list counts no CRL: $out" ;; esac
wine_lacks "$crls_at_hand" || verify revoked offline "$invalid" "is revoked since"
verify good offline "$valid"

echo "$failures check(s) failed"
exit "$failures"
