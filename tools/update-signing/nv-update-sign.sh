#!/usr/bin/env bash
# Signs an update server's version list for verified updates (OpenSSL, ECDSA P-256).
#   nv-update-sign.sh keygen KEY.pem        new private key; prints the public key for the registry
#   nv-update-sign.sh pubkey KEY.pem        prints the public key (hex X||Y) again
#   nv-update-sign.sh hash FILE...          prints each file's SHA-256, the ninth field of its line
#   nv-update-sign.sh sign KEY.pem LIST [N] puts "#SEQUENCE N" first in LIST (default: the time in
#                                           seconds), then writes LIST.sig: the signature r||s in hex
#   nv-update-sign.sh verify PUBHEX LIST    checks LIST against LIST.sig (exit 0 when valid)
set -euo pipefail

hex() { od -An -tx1 -v | tr -d ' \n'; }

pubkey() {
  # The DER form of a P-256 public key ends with the 64 bytes X||Y.
  openssl ec -in "$1" -pubout -outform DER 2>/dev/null | tail -c 64 | hex
  echo
}

# A DER ECDSA signature to r||s, each left-padded to 32 bytes.
der_to_raw() {
  openssl asn1parse -inform DER -in "$1" | awk -F: '/INTEGER/ {print $NF}' | while read -r n; do
    n=${n#"${n%%[!0]*}"}
    printf '%064s' "$n" | tr ' ' 0
  done
  echo
}

raw_to_der() {
  local r=${1:0:64} s=${1:64:64}
  local conf
  conf=$(mktemp)
  printf 'asn1=SEQUENCE:sig\n[sig]\nr=INTEGER:0x%s\ns=INTEGER:0x%s\n' "$r" "$s" >"$conf"
  openssl asn1parse -genconf "$conf" -out "$2" >/dev/null
  rm -f "$conf"
}

case ${1:-} in
keygen)
  [ -e "$2" ] && { echo "$2 exists; not overwritten" >&2; exit 1; }
  (umask 077 && openssl ecparam -name prime256v1 -genkey -noout -out "$2")
  echo "public key (registry value szUpdateKey under the product key's Update subkey):"
  pubkey "$2"
  ;;
pubkey) pubkey "$2" ;;
hash)
  shift
  for f in "$@"; do echo "$(openssl dgst -sha256 -r "$f" | cut -d' ' -f1)  $f"; done
  ;;
sign)
  tmp=$(mktemp)
  trap 'rm -f "$tmp"' EXIT
  # Clients that verify refuse a list numbered below the last one they installed, so an old
  # signed list cannot roll files back; older clients read the line as a comment.
  seq=${4:-$(date +%s)}
  case $seq in '' | *[!0-9]*) echo "sequence must be a decimal number" >&2; exit 2 ;; esac
  [ "$seq" -le 4294967295 ] || { echo "sequence must fit 32 bits" >&2; exit 2; }
  # A byte-order mark would no longer stand first: it goes (clients read the list as UTF-8 anyway).
  { printf '#SEQUENCE %s\r\n' "$seq"; sed '1s/^\xEF\xBB\xBF//' "$3" | grep -v -i '^[[:space:]]*#SEQUENCE' || true; } >"$tmp"
  cat "$tmp" >"$3"
  openssl dgst -sha256 -sign "$2" -out "$tmp" "$3"
  der_to_raw "$tmp" >"$3.sig"
  echo "wrote $3.sig"
  ;;
verify)
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  # Rebuild a PEM public key from X||Y: the fixed DER prefix of a P-256 key, then 04 X Y.
  der=3059301306072a8648ce3d020106082a8648ce3d03010703420004$2
  printf "$(printf '%s' "$der" | sed 's/../\\x&/g')" >"$tmp/pub.der"
  openssl ec -pubin -inform DER -in "$tmp/pub.der" -out "$tmp/pub.pem" 2>/dev/null
  raw_to_der "$(tr -d ' \r\n' <"$3.sig")" "$tmp/sig.der"
  openssl dgst -sha256 -verify "$tmp/pub.pem" -signature "$tmp/sig.der" "$3"
  ;;
*)
  sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
  ;;
esac
