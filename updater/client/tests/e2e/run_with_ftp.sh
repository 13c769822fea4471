#!/usr/bin/env bash
# Runs a test program with an FTP server on 127.0.0.1 (ftp_server.py): a .exe under Wine (with
# the CTest Wine environment), anything else natively.
#   run_with_ftp.sh TEST_PROGRAM [gtest arguments...]
# The test gets NV_FTP_ROOT, NV_FTP_PORT and NV_FTP_LOG (Unix paths; Wine sees them below Z:).  Exits 77 (skipped) without pyftpdlib.
set -u
exe=$1
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if ! /usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null; then
  echo "python3-pyftpdlib is missing: skipped"
  exit 77
fi
export PATH=/usr/lib/wine:$PATH
work=$(mktemp -d)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/root/Netvane-H"
/usr/bin/python3 "$here/ftp_server.py" "$work/root" "$work/port" "$work/ftp.log" </dev/null >"$work/server.out" 2>&1 &
server=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
if ! [ -s "$work/port" ]; then
  echo "the FTP server did not start:"
  cat "$work/server.out"
  exit 1
fi
export NV_FTP_ROOT=$work/root NV_FTP_PORT=$(cat "$work/port") NV_FTP_LOG=$work/ftp.log

# A signed list made with the administrators' tool, for the verified-update case: NV_SIGNED_DIR
# holds VerSion.txt (sequence 100), VerSion.txt.sig, signed.dll and older/ (the list signed at
# sequence 50); NV_SIGNED_KEY is the public key.
sign=$here/../../../../tools/update-signing/nv-update-sign.sh
if command -v openssl >/dev/null; then
  mkdir -p "$work/signed"
  head -c 100000 /dev/urandom >"$work/signed/signed.dll"
  hash=$("$sign" hash "$work/signed/signed.dll" | cut -d' ' -f1)
  printf '# signed by the test\r\nsigned.dll|ALL|ALL|INSTALLEDPATH|1.0.0|||NONE|%s\r\n' "$hash" >"$work/signed/VerSion.txt"
  "$sign" keygen "$work/key.pem" >/dev/null
  # The same list signed earlier with a lower sequence number: a replay once 100 is installed.
  mkdir -p "$work/signed/older"
  cp "$work/signed/VerSion.txt" "$work/signed/older/VerSion.txt"
  "$sign" sign "$work/key.pem" "$work/signed/older/VerSion.txt" 50 >/dev/null
  "$sign" sign "$work/key.pem" "$work/signed/VerSion.txt" 100 >/dev/null
  export NV_SIGNED_DIR=$work/signed NV_SIGNED_KEY=$("$sign" pubkey "$work/key.pem")
fi
case $exe in
*.exe) wine64 "$exe" "$@" </dev/null >"$work/out" 2>&1 ;;
*) "$exe" "$@" </dev/null >"$work/out" 2>&1 ;;
esac
rc=$?
cat "$work/out"
[ $rc -ne 0 ] && { echo "--- FTP server log"; tail -40 "$work/ftp.log"; }
exit $rc
