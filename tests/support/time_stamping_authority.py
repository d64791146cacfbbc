#!/usr/bin/env python3
"""A time-stamping authority (RFC 3161) for tests, on 127.0.0.1, answering by the request's path:
the real `openssl ts -reply` for good answers, and answers that are wrong in one way each.

    time_stamping_authority.py --openssl OPENSSL --folder DIR [--lifetime SECONDS]
        makes the PKI in DIR and serves until the lifetime ends or SIGTERM comes.
    ... --background     the same, detached; returns once DIR/url is written (10 s at most).
    ... --stop           ends the authority whose process id DIR/pid holds.
    ... --self-test      checks with the openssl command that the authority serving DIR
                         answers each path as it should; exits with the number of failures.

DIR gets root.pem (the root that tests trust), pid, log and, last, url: http://127.0.0.1:PORT.

Paths: / and /good (policy 1.2.3.4.1, or 1.2.3.4.2 when asked), /wrong-imprint, /wrong-nonce,
/other-policy (the request's policy ignored), /no-usage and /not-critical (signers without the
time-stamping usage, or with it in an extension that is not critical), /other-certificate-id and
/no-certificate-id (a good signer whose ESS attribute names another certificate, or is missing),
/untrusted (a root that nothing trusts), /rejection, /garbage, /http-error, /silent (never
answers).
"""
import argparse
import datetime
import hashlib
import http.server
import os
import secrets
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

OPENSSL_LIMIT = 30  # seconds for one openssl call
START_LIMIT = 10  # seconds for --background to see DIR/url
STOP_LIMIT = 5  # seconds for the authority to end after SIGTERM
REQUEST_LIMIT = 64 * 1024
DEFAULT_POLICY = "1.2.3.4.1"
OTHER_POLICY = "1.2.3.4.2"

SHA256 = "2.16.840.1.101.3.4.2.1"
RSA_ENCRYPTION = "1.2.840.113549.1.1.1"
SIGNED_DATA = "1.2.840.113549.1.7.2"
TST_INFO = "1.2.840.113549.1.9.16.1.4"
CONTENT_TYPE = "1.2.840.113549.1.9.3"
MESSAGE_DIGEST = "1.2.840.113549.1.9.4"
SIGNING_TIME = "1.2.840.113549.1.9.5"
SIGNING_CERTIFICATE_V2 = "1.2.840.113549.1.9.16.2.47"

# The certificates: file stem, subject, issuer stem, extension section.
CERTIFICATES = [
    ("root", "Orvane Test TSA Root", None, "root"),
    ("tsa", "Orvane Test TSA", "root", "tsa"),
    ("no-usage", "Orvane Test TSA Without Time Stamping", "root", "no_usage"),
    ("not-critical", "Orvane Test TSA Non-critical Usage", "root", "not_critical"),
    ("untrusted-root", "Orvane Untrusted TSA Root", None, "root"),
    ("untrusted-tsa", "Orvane Untrusted TSA", "untrusted-root", "tsa"),
]
LEAF = """basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""
EXTENSIONS = """[req]
distinguished_name = name
[name]
[root]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[tsa]
%(leaf)sextendedKeyUsage = critical, timeStamping
[no_usage]
%(leaf)sextendedKeyUsage = codeSigning
[not_critical]
%(leaf)sextendedKeyUsage = timeStamping
""" % {"leaf": LEAF}


# --- DER.

def encode(tag, body):
    if len(body) < 0x80:
        return bytes([tag, len(body)]) + body
    size = len(body).to_bytes((len(body).bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(size)]) + size + body


def elements(data):
    """The (tag, content, whole) of each element in `data`; ValueError when it is no DER."""
    found, at = [], 0
    while at < len(data):
        if at + 2 > len(data):
            raise ValueError("truncated header")
        tag, first = data[at], data[at + 1]
        if tag & 0x1F == 0x1F:
            raise ValueError("high tag numbers are not used here")
        head, length = 2, first
        if first & 0x80:
            count = first & 0x7F
            if count == 0 or count > 4 or at + 2 + count > len(data):
                raise ValueError("bad length")
            head, length = 2 + count, int.from_bytes(data[at + 2:at + 2 + count], "big")
        end = at + head + length
        if end > len(data):
            raise ValueError("truncated content")
        found.append((tag, data[at + head:end], data[at:end]))
        at = end
    return found


def single(data, tag=0x30):
    """The content of the one element of `data`, which must have `tag`."""
    found = elements(data)
    if len(found) != 1 or found[0][0] != tag:
        raise ValueError("not one element of tag %#x" % tag)
    return found[0][1]


def oid(dotted):
    numbers = [int(part) for part in dotted.split(".")]
    body = bytes([40 * numbers[0] + numbers[1]])
    for number in numbers[2:]:
        chunk = [number & 0x7F]
        while number > 0x7F:
            number >>= 7
            chunk.insert(0, 0x80 | (number & 0x7F))
        body += bytes(chunk)
    return encode(0x06, body)


def positive_integer(value):
    return encode(0x02, value.to_bytes(value.bit_length() // 8 + 1, "big"))


def sequence(*parts):
    return encode(0x30, b"".join(parts))


def der_set(*parts):
    # DER orders a SET OF by the members' encodings.
    return encode(0x31, b"".join(sorted(parts)))


# --- The openssl command, whose running calls a stop ends.

class Openssl:
    def __init__(self, program):
        self.program = program
        self.running = set()
        self.lock = threading.Lock()
        self.stopped = False

    def __call__(self, *arguments, data=None):
        """Standard output of `openssl ARGUMENTS`; RuntimeError with its words when it fails."""
        with self.lock:
            if self.stopped:
                raise RuntimeError("the authority is stopping")
            process = subprocess.Popen([self.program, *arguments], stdin=subprocess.PIPE,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            self.running.add(process)
        try:
            out, err = process.communicate(data, timeout=OPENSSL_LIMIT)
        except subprocess.TimeoutExpired:
            process.kill()
            out, err = process.communicate()
            raise RuntimeError("openssl %s took over %d s" % (arguments[0], OPENSSL_LIMIT))
        finally:
            with self.lock:
                self.running.discard(process)
        if process.returncode != 0:
            raise RuntimeError("openssl %s: %s" % (" ".join(arguments[:2]),
                                                   err.decode(errors="replace").strip()))
        return out

    def stop(self):
        with self.lock:
            self.stopped = True
            for process in self.running:
                process.kill()


# --- The PKI.

def make_pki(openssl, folder):
    def path(name):
        return os.path.join(folder, name)

    with open(path("pki.cnf"), "w") as out:
        out.write(EXTENSIONS)
    # Keys at once: they are most of the time that a start takes.
    keys = [subprocess.Popen([openssl.program, "genpkey", "-algorithm", "RSA", "-pkeyopt",
                              "rsa_keygen_bits:2048", "-out", path(stem + "-key.pem")],
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE)
            for stem, _, _, _ in CERTIFICATES]
    for process in keys:
        try:
            _, err = process.communicate(timeout=OPENSSL_LIMIT)
        except subprocess.TimeoutExpired:
            for other in keys:
                other.kill()
            raise RuntimeError("openssl genpkey took over %d s" % OPENSSL_LIMIT)
        if process.returncode != 0:
            raise RuntimeError("openssl genpkey: " + err.decode(errors="replace"))
    # Twenty years, so that tests may set their clock ten years ahead.
    days = "7300"
    for stem, subject, issuer, section in CERTIFICATES:
        serial = "0x%016X" % (secrets.randbits(63) | 1 << 62)
        if issuer is None:
            openssl("req", "-new", "-x509", "-config", path("pki.cnf"), "-key",
                    path(stem + "-key.pem"), "-subj", "/CN=" + subject, "-days", days,
                    "-set_serial", serial, "-extensions", section, "-sha256",
                    "-out", path(stem + ".pem"))
        else:
            request = openssl("req", "-new", "-config", path("pki.cnf"), "-key",
                              path(stem + "-key.pem"), "-subj", "/CN=" + subject)
            openssl("x509", "-req", "-CA", path(issuer + ".pem"), "-CAkey",
                    path(issuer + "-key.pem"), "-set_serial", serial, "-days", days, "-sha256",
                    "-extfile", path("pki.cnf"), "-extensions", section,
                    "-out", path(stem + ".pem"), data=request)
        openssl("x509", "-in", path(stem + ".pem"), "-outform", "DER", "-out", path(stem + ".der"))
    with open(path("ts.cnf"), "w") as out:
        out.write("[tsa]\ndefault_tsa = good\n")
        for section, signer in (("good", "tsa"), ("untrusted", "untrusted-tsa")):
            out.write("[%s]\nserial = %s\ncrypto_device = builtin\n" %
                      (section, path(section + "-serial")))
            out.write("signer_cert = %s\nsigner_key = %s\n" %
                      (path(signer + ".pem"), path(signer + "-key.pem")))
            out.write("signer_digest = sha256\ndefault_policy = %s\nother_policies = %s\n" %
                      (DEFAULT_POLICY, OTHER_POLICY))
            out.write("digests = sha256, sha384, sha512\naccuracy = secs:1\nordering = no\n")
            out.write("tsa_name = yes\ness_cert_id_chain = no\ness_cert_id_alg = sha256\n")
            with open(path(section + "-serial"), "w") as serial:
                serial.write("01\n")


# --- The answers.

class Authority:
    def __init__(self, openssl, folder):
        self.openssl = openssl
        self.folder = folder
        self.serials = threading.Lock()  # openssl ts -reply rewrites its serial file
        self.log_lock = threading.Lock()
        self.stopping = threading.Event()

    def path(self, name):
        return os.path.join(self.folder, name)

    def log(self, line):
        stamp = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")
        with self.log_lock, open(self.path("log"), "a") as out:
            out.write("%s %s\n" % (stamp, line))

    def reply(self, query, section="good"):
        """openssl's TimeStampResp to `query` from the TSA of `section`, with its chain."""
        chain = {"good": "root.pem", "untrusted": "untrusted-root.pem"}[section]
        with tempfile.TemporaryDirectory(dir=self.folder) as scratch:
            with open(os.path.join(scratch, "query.der"), "wb") as out:
                out.write(query)
            with self.serials:
                self.openssl("ts", "-reply", "-config", self.path("ts.cnf"), "-section", section,
                             "-queryfile", os.path.join(scratch, "query.der"),
                             "-chain", self.path(chain), "-out",
                             os.path.join(scratch, "response.der"))
            with open(os.path.join(scratch, "response.der"), "rb") as answer:
                return answer.read()

    def resigned(self, query, signer, names=""):
        """A granted answer to `query` whose token openssl made and `signer` signed again."""
        return self.resign(self.reply(query), signer, names)

    def resign(self, response, signer, names=""):
        """`response` with its token signed again by `signer`, whose ESS attribute names the
        certificate `names` (the signer's own when empty, none when None)."""
        status, token = elements(single(response))
        with tempfile.TemporaryDirectory(dir=self.folder) as scratch:
            with open(os.path.join(scratch, "token.der"), "wb") as out:
                out.write(token[2])
            tst_info = self.openssl("cms", "-verify", "-noverify", "-inform", "DER", "-in",
                                    os.path.join(scratch, "token.der"))
            named = None if names is None else self.path((names or signer) + ".der")
            signed = signed_token(self.openssl, scratch, tst_info, self.path(signer + ".der"),
                                  self.path(signer + "-key.pem"), self.path("root.der"), named)
        return sequence(status[2], signed)

    def answer(self, route, query):
        """(HTTP status, body) for `query` at `route`; nothing when the route does not answer."""
        if route in ("/", "/good"):
            return 200, self.reply(query)
        if route == "/untrusted":
            return 200, self.reply(query, "untrusted")
        if route == "/no-usage":
            return 200, self.resigned(query, "no-usage")
        if route == "/not-critical":
            return 200, self.resigned(query, "not-critical")
        if route == "/other-certificate-id":
            return 200, self.resigned(query, "tsa", "no-usage")
        if route == "/no-certificate-id":
            return 200, self.resigned(query, "tsa", None)
        if route == "/wrong-imprint":
            return 200, self.reply(changed_request(query, imprint=True))
        if route == "/wrong-nonce":
            return 200, self.reply(changed_request(query, nonce=True))
        if route == "/other-policy":
            return 200, self.reply(changed_request(query, policy=True))
        if route == "/rejection":
            words = encode(0x0C, b"the algorithm of the imprint is not accepted")
            bad_alg = encode(0x03, b"\x07\x80")  # failInfo bit 0
            return 200, sequence(sequence(encode(0x02, b"\x02"), sequence(words), bad_alg))
        if route == "/garbage":
            return 200, b"this is no time-stamp response\n" * 4
        if route == "/http-error":
            return 500, b""
        if route == "/silent":
            # The connection is held until the authority stops, which its lifetime bounds.
            self.stopping.wait()
            return None
        return 404, b""


def changed_request(query, imprint=False, nonce=False, policy=False):
    """`query`, a TimeStampReq, with another SHA-256 imprint, another nonce or no policy."""
    fields = elements(single(query))
    if len(fields) < 2 or fields[0][0] != 0x02 or fields[1][0] != 0x30:
        raise ValueError("no TimeStampReq")
    parts = [whole for _, _, whole in fields]
    if imprint:
        algorithm, digest = elements(fields[1][1])
        other = hashlib.sha256(b"another imprint than " + digest[1]).digest()
        parts[1] = sequence(algorithm[2], encode(0x04, other))
    if policy:
        parts = [whole for (tag, _, whole) in fields if tag != 0x06]
    if nonce:
        at = next((i for i, (tag, _, _) in enumerate(fields) if i >= 2 and tag == 0x02), None)
        value = int.from_bytes(fields[at][1], "big") if at is not None else 0
        other = positive_integer((value + 1) % (1 << 64) or 1)
        if at is None:
            at = 3 if len(fields) > 2 and fields[2][0] == 0x06 else 2
            parts.insert(at, other)
        else:
            parts[at] = other
    return sequence(*parts)


def signed_token(openssl, scratch, tst_info, certificate_file, key_file, root_file, named_file):
    """A ContentInfo of signed data over `tst_info`, as a TSA makes it (content type, signing
    time, message digest, ESS signing certificate v2 naming `named_file`'s certificate unless
    it is None), signed by the certificate's key with openssl: `openssl cms -sign` has no way
    to add the ESS attribute, and without it a verifier could refuse the token for that rather
    than for its signer."""
    with open(certificate_file, "rb") as source:
        certificate = source.read()
    named = None
    if named_file is not None:
        with open(named_file, "rb") as source:
            named = source.read()
    with open(root_file, "rb") as source:
        root = source.read()
    tbs = to_be_signed(certificate)
    serial = tbs[1 if tbs[0][0] == 0xA0 else 0][2]
    issuer = issuer_of(certificate)
    now = datetime.datetime.now(datetime.timezone.utc).strftime("%y%m%d%H%M%SZ").encode()
    sha256 = sequence(oid(SHA256))
    attributes = [
        sequence(oid(CONTENT_TYPE), der_set(oid(TST_INFO))),
        sequence(oid(SIGNING_TIME), der_set(encode(0x17, now))),
        sequence(oid(MESSAGE_DIGEST), der_set(encode(0x04, hashlib.sha256(tst_info).digest()))),
    ]
    if named is not None:
        named_tbs = to_be_signed(named)
        named_serial = named_tbs[1 if named_tbs[0][0] == 0xA0 else 0][2]
        # ESSCertIDv2 with SHA-256, the default algorithm, left out as DER requires.
        attributes.append(sequence(oid(SIGNING_CERTIFICATE_V2), der_set(sequence(sequence(sequence(
            encode(0x04, hashlib.sha256(named).digest()),
            sequence(sequence(encode(0xA4, issuer_of(named))), named_serial)))))))
    signed_attributes = der_set(*attributes)
    to_sign = os.path.join(scratch, "attributes.der")
    with open(to_sign, "wb") as out:
        out.write(signed_attributes)
    signature = openssl("dgst", "-sha256", "-sign", key_file, to_sign)
    signer_info = sequence(
        encode(0x02, b"\x01"), sequence(issuer, serial), sha256,
        encode(0xA0, single(signed_attributes, 0x31)),
        sequence(oid(RSA_ENCRYPTION), encode(0x05, b"")), encode(0x04, signature))
    signed_data = sequence(
        encode(0x02, b"\x03"), der_set(sha256),
        sequence(oid(TST_INFO), encode(0xA0, encode(0x04, tst_info))),
        encode(0xA0, certificate + root), der_set(signer_info))
    return sequence(oid(SIGNED_DATA), encode(0xA0, signed_data))


def to_be_signed(certificate):
    """The fields of a DER certificate's TBSCertificate."""
    return elements(elements(single(certificate))[0][1])


def issuer_of(certificate):
    tbs = to_be_signed(certificate)
    return tbs[(1 if tbs[0][0] == 0xA0 else 0) + 2][2]


def dotted(content):
    numbers, value = [], 0
    for byte in content:
        value = value << 7 | byte & 0x7F
        if not byte & 0x80:
            numbers.append(value)
            value = 0
    first = min(numbers[0] // 40, 2)
    return ".".join(str(n) for n in [first, numbers[0] - 40 * first] + numbers[1:])


def tst_info_fields(token):
    """The fields of the TSTInfo that a token, a ContentInfo of signed data, holds."""
    signed_data = elements(single(single(elements(single(token))[1][2], 0xA0)))
    content = elements(signed_data[2][1])[1][1]
    return elements(single(single(content, 0x04)))


# --- Serving.

def handler_for(authority):
    class Handler(http.server.BaseHTTPRequestHandler):
        timeout = 10  # a client that sends too little does not hold a thread for long

        def do_POST(self):
            route = self.path.split("?")[0]
            try:
                length = int(self.headers.get("Content-Length", ""))
            except ValueError:
                length = -1
            if not 0 < length <= REQUEST_LIMIT:
                authority.log("POST %s refused: Content-Length %s" %
                              (route, self.headers.get("Content-Length")))
                self.answer(411 if length < 0 else 413, b"")
                return
            query = self.rfile.read(length)
            kind = self.headers.get("Content-Type", "")
            try:
                answer = authority.answer(route, query)
            except (ValueError, RuntimeError) as error:
                authority.log("POST %s (%s, %d bytes) failed: %s" % (route, kind, length, error))
                self.answer(400, b"")
                return
            if answer is None:
                authority.log("POST %s (%s, %d bytes) held unanswered" % (route, kind, length))
                return
            status, body = answer
            authority.log("POST %s (%s, %d bytes): %d, %d bytes" %
                          (route, kind, length, status, len(body)))
            self.answer(status, body)

        def do_GET(self):
            authority.log("GET %s refused" % self.path)
            self.answer(405, b"")

        def answer(self, status, body):
            self.send_response(status)
            if body:
                self.send_header("Content-Type", "application/timestamp-reply")
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *arguments):
            pass  # the authority's own log says what matters

    return Handler


def write_atomically(path, text):
    with open(path + ".new", "w") as out:
        out.write(text)
    os.replace(path + ".new", path)


def serve(arguments):
    folder = arguments.folder
    os.makedirs(folder, mode=0o700, exist_ok=True)
    os.chmod(folder, 0o700)
    for stale in ("url", "pid"):
        if os.path.exists(os.path.join(folder, stale)):
            os.remove(os.path.join(folder, stale))
    openssl = Openssl(arguments.openssl)
    authority = Authority(openssl, folder)
    signal.signal(signal.SIGTERM, lambda *_: authority.stopping.set())
    signal.signal(signal.SIGINT, lambda *_: authority.stopping.set())
    make_pki(openssl, folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler_for(authority))
    server.daemon_threads = True
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    url = "http://127.0.0.1:%d" % server.server_address[1]
    write_atomically(os.path.join(folder, "pid"), "%d\n" % os.getpid())
    authority.log("serving %s for %d s" % (url, arguments.lifetime))
    write_atomically(os.path.join(folder, "url"), url + "\n")
    if not authority.stopping.wait(arguments.lifetime):
        authority.log("lifetime over")
    authority.stopping.set()
    openssl.stop()
    server.shutdown()
    server.server_close()
    for name in ("url", "pid"):
        try:
            os.remove(os.path.join(folder, name))
        except FileNotFoundError:
            pass
    authority.log("stopped")
    return 0


def background(arguments):
    folder = arguments.folder
    # One that an interrupted run left would otherwise serve on, from keys made again.
    stop(arguments)
    os.makedirs(folder, mode=0o700, exist_ok=True)
    url_file = os.path.join(folder, "url")
    if os.path.exists(url_file):
        os.remove(url_file)
    output = open(os.path.join(folder, "output"), "wb")
    # A session of its own and no inherited output: whoever started us (ctest) does not wait
    # for it, and a signal to our group does not reach it.
    server = subprocess.Popen(
        [sys.executable, os.path.abspath(__file__), "--openssl", arguments.openssl, "--folder",
         folder, "--lifetime", str(arguments.lifetime)],
        stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
        start_new_session=True)
    deadline = time.monotonic() + START_LIMIT
    while time.monotonic() < deadline:
        if os.path.exists(url_file):
            with open(url_file) as url:
                print(url.read().strip())
            return 0
        if server.poll() is not None:
            break
        time.sleep(0.05)
    server.kill()
    server.wait(STOP_LIMIT)
    with open(os.path.join(folder, "output"), "rb") as said:
        sys.stderr.write(said.read().decode(errors="replace"))
    sys.stderr.write("the time-stamping authority did not start within %d s\n" % START_LIMIT)
    return 1


def is_authority(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as source:
            command = source.read().split(b"\0")
        with open("/proc/%d/stat" % pid) as source:
            state = source.read().rsplit(")", 1)[1].split()[0]
    except OSError:
        return False
    return state != "Z" and any(part.endswith(b"time_stamping_authority.py") for part in command)


def stop(arguments):
    try:
        with open(os.path.join(arguments.folder, "pid")) as source:
            pid = int(source.read())
    except (OSError, ValueError):
        print("no time-stamping authority runs in %s" % arguments.folder, file=sys.stderr)
        return 0
    # A process id that another program took since is not ours to end.
    if not is_authority(pid):
        print("process %d is no time-stamping authority" % pid, file=sys.stderr)
        return 0
    os.kill(pid, signal.SIGTERM)
    deadline = time.monotonic() + STOP_LIMIT
    while time.monotonic() < deadline and is_authority(pid):
        time.sleep(0.05)
    if is_authority(pid):
        os.kill(pid, signal.SIGKILL)
        print("the time-stamping authority %d ignored SIGTERM and was killed" % pid,
              file=sys.stderr)
        return 1
    return 0


# --- The self-test: each path as the openssl command sees it.

def self_test(arguments):
    folder = arguments.folder
    with open(os.path.join(folder, "url")) as source:
        url = source.read().strip()
    openssl = Openssl(arguments.openssl)
    failures = []

    def check(what, passed, details=""):
        print("%s: %s%s" % ("ok" if passed else "FAILED", what,
                            "" if passed or not details else " (%s)" % details))
        if not passed:
            failures.append(what)

    with tempfile.TemporaryDirectory() as scratch:
        def path(name):
            return os.path.join(scratch, name)

        with open(path("data"), "wb") as out:
            out.write(secrets.token_bytes(100))
        openssl("ts", "-query", "-data", path("data"), "-sha256", "-cert", "-out", path("q.der"))
        openssl("ts", "-query", "-data", path("data"), "-sha256", "-cert", "-tspolicy",
                OTHER_POLICY, "-out", path("q2.der"))

        def post(route, query="q.der", limit=10):
            with open(path(query), "rb") as source:
                request = urllib.request.Request(
                    url + route, source.read(), {"Content-Type": "application/timestamp-query"})
            try:
                with urllib.request.urlopen(request, timeout=limit) as response:
                    body = response.read()
            except urllib.error.HTTPError as error:
                return error.code, b""
            name = path(route.strip("/") or "root") + "-" + query
            with open(name, "wb") as out:
                out.write(body)
            return response.status, name

        def refusal(response, *what, root=os.path.join(folder, "root.pem")):
            """What `openssl ts -verify` says against the response; nothing when it accepts."""
            try:
                openssl("ts", "-verify", "-in", response, *what, "-CAfile", root)
                return ""
            except RuntimeError as error:
                return str(error)

        def verifies(response, query="q.der", root=os.path.join(folder, "root.pem")):
            said = refusal(response, "-queryfile", path(query), root=root)
            return not said, said

        def policy(response):
            with open(response, "rb") as source:
                token = elements(single(source.read()))[1][2]
            return dotted(tst_info_fields(token)[1][1])

        def text(response):
            return openssl("ts", "-reply", "-in", response, "-text").decode(errors="replace")

        for route in ("/", "/good"):
            status, response = post(route)
            check(route + " is verified", status == 200 and verifies(response)[0],
                  status == 200 and verifies(response)[1])
        status, response = post("/good", "q2.der")
        check("/good grants a requested policy " + OTHER_POLICY,
              status == 200 and verifies(response, "q2.der")[0] and
              policy(response) == OTHER_POLICY)
        said = refusal(response, "-data", path("data"))
        check("/good's token is over the data", not said, said)
        for route, why in (("/wrong-imprint", "message imprint mismatch"),
                           ("/wrong-nonce", "nonce mismatch"),
                           ("/no-usage", "unsuitable certificate purpose"),
                           ("/not-critical", "unsuitable certificate purpose"),
                           ("/untrusted", "self-signed certificate in certificate chain")):
            status, response = post(route)
            passed, said = verifies(response) if status == 200 else (True, "HTTP %d" % status)
            check("%s is refused for %s" % (route, why), not passed and why in said, said)
        status, response = post("/other-policy", "q2.der")
        passed, said = verifies(response, "q2.der")
        check("/other-policy answers %s, not the requested policy" % DEFAULT_POLICY,
              not passed and "policy mismatch" in said and policy(response) == DEFAULT_POLICY,
              said)
        # Each wrong answer is wrong in that one way only: a good token, over another imprint
        # with the request's nonce, or over the request's imprint with another nonce.
        def nonce(said):
            return [line for line in said.splitlines() if line.startswith("Nonce:")]

        query_text = openssl("ts", "-query", "-in", path("q.der"), "-text").decode()
        with open(path("q.der"), "rb") as source:
            imprint = elements(elements(single(source.read()))[1][1])[1][1]
        other = hashlib.sha256(b"another imprint than " + imprint).hexdigest()
        status, response = post("/wrong-imprint")
        said = refusal(response, "-digest", other)
        check("/wrong-imprint is a good token over another imprint with the request's nonce",
              not said and nonce(text(response)) == nonce(query_text) != [], said)
        status, response = post("/wrong-nonce")
        said = refusal(response, "-data", path("data"))
        check("/wrong-nonce is a good token over the request's imprint with another nonce",
              not said and nonce(text(response)) != nonce(query_text), said)
        status, response = post("/untrusted")
        check("/untrusted is verified against its own root",
              verifies(response, root=os.path.join(folder, "untrusted-root.pem"))[0])
        # The re-signing that /no-usage and /not-critical use makes a token openssl accepts
        # when the signer is the good one: theirs are wrong in their signer only.
        status, response = post("/good")
        with open(response, "rb") as source:
            resigned = Authority(openssl, folder).resign(source.read(), "tsa")
        with open(path("resigned.der"), "wb") as out:
            out.write(resigned)
        passed, said = verifies(path("resigned.der"))
        check("a token re-signed by the good authority is verified", passed, said)
        # ... and those of /other-certificate-id and /no-certificate-id only in what the ESS
        # attribute says of it.
        for route in ("/other-certificate-id", "/no-certificate-id"):
            status, response = post(route)
            passed, said = verifies(response) if status == 200 else (True, "HTTP %d" % status)
            check("%s is refused for its ESS attribute" % route,
                  not passed and "ESS routines" in said,
                  said)
        status, response = post("/rejection")
        said = text(response)
        check("/rejection is a rejection for badAlg",
              "Status: Rejected" in said and
              "unrecognized or unsupported algorithm" in said.lower() and
              not verifies(response)[0], said)
        status, response = post("/garbage")
        check("/garbage is no response", status == 200 and not verifies(response)[0])
        status, _ = post("/http-error")
        check("/http-error answers HTTP 500", status == 500)
        started = time.monotonic()
        try:
            post("/silent", limit=2)
            check("/silent never answers", False, "it answered")
        except (TimeoutError, urllib.error.URLError, OSError):
            check("/silent never answers", time.monotonic() - started >= 1.5)
    print("%d check(s) failed" % len(failures))
    return len(failures)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--openssl", required=True)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--lifetime", type=int, default=1800)
    mode = parser.add_mutually_exclusive_group()
    mode.add_argument("--background", action="store_true")
    mode.add_argument("--stop", action="store_true")
    mode.add_argument("--self-test", action="store_true")
    arguments = parser.parse_args()
    arguments.folder = os.path.abspath(arguments.folder)
    if arguments.background:
        return background(arguments)
    if arguments.stop:
        return stop(arguments)
    if arguments.self_test:
        return self_test(arguments)
    return serve(arguments)


if __name__ == "__main__":
    sys.exit(main())
