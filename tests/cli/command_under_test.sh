# What the behaviour scripts share, sourced by them once $platform, $openssl and $work are set,
# with the command's own arguments left in "$@": `linux ORVANE` or `windows WINE-RUN WINE
# ORVANE.EXE`. Gives fail (counted in $failures), native (a path as the command names it), run
# and cmd (the command; output in $out and $err, exit status in $status) and ssl (openssl,
# whose failure is a check's).
failures=0
fail() {
  printf "FAILED: %s\n" "$*" >&2
  failures=$((failures + 1))
}

# The Windows run takes a fresh Wine prefix of its own, so it sees no other test's certificates.
if [ "$platform" = windows ]; then
  export ORVANE_WINE_PREFIX="$work/wine-prefix"
  # A path as a Windows program names it: Wine shows the host's / as drive Z:.
  native() { printf 'Z:%s' "$1" | tr / '\\'; }
  wine_run=$1 wine=$2 exe=$3
  cmd() { run "$wine_run" "$wine" "$exe" "$@"; }
else
  native() { printf '%s' "$1"; }
  binary=$1
  cmd() { run "$binary" --store "$work/store" "$@"; }
fi

# Runs a command; its standard output (CR LF read as LF) in $out, standard error in $err, the
# exit status in $status (124 when it ran out of time). Two minutes, so that a hanging command
# fails its check rather than the whole run; Wine's first start in a new prefix takes 30 s.
run() {
  timeout 120 "$@" >"$work/out" 2>"$work/err" </dev/null
  status=$?
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}

ssl() {
  timeout 60 "$openssl" "$@" >/dev/null 2>"$work/openssl.err" || {
    cat "$work/openssl.err" >&2
    fail "openssl $1"
  }
}
