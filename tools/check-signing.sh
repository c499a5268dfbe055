#!/usr/bin/env bash
# Proves that a signed release stays reproducible, with a throwaway
# certificate made here for this run and removed with it: signs the zips of
# one clean build (tools/sign.sh, from a PKCS#12 file, with a timestamp from a
# time-stamping service run here on openssl ts), checks the signed exes
# (osslsigncode verify -CAfile) and that verify refuses one changed by a byte
# and one carrying the other exe's signature, attaches the detached
# signatures to the zips of another clean build (tools/attach-signatures.sh)
# and compares the signed zips, and so their exes, byte for byte; the
# unsigned zips stay as they were.
# Then signs once more from a PKCS#11 token (SoftHSM) holding the same key.
# tools/check-reproducible.sh runs it on its two clones, after packaging both.
# Usage: tools/check-signing.sh FIRST_CLONE SECOND_CLONE
source "$(dirname "$0")/lib.sh"
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
first=$(cd "$1" && pwd)
second=$(cd "$2" && pwd)
version=$(version "$first")
work=$(mktemp -d /tmp/harkwell-signing.XXXXXX)
server=""
trap '[ -z "$server" ] || kill "$server"; rm -rf "$work"' EXIT
run() { quietly "$work/$1.log" "${@:2}"; }  # run NAME COMMAND...: its log in $work/NAME.log

umask 077
openssl req -x509 -newkey rsa:3072 -sha256 -days 1 -nodes -subj "/CN=Harkwell throwaway test signer" \
  -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=codeSigning \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl rand -hex 16 >"$work/secret"
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout "file:$work/secret" \
  -out "$work/signer.p12"
export HARKWELL_SIGN_CAFILE=$work/cert.pem

# The time-stamping service, with a signer of its own: openssl ts answers
# each query posted to a port of this machine (RFC 3161).
openssl req -x509 -newkey rsa:2048 -sha256 -days 1 -nodes -subj "/CN=Harkwell throwaway test TSA" \
  -addext keyUsage=critical,digitalSignature -addext extendedKeyUsage=critical,timeStamping \
  -keyout "$work/tsa-key.pem" -out "$work/tsa.pem" 2>/dev/null
echo 01 >"$work/tsa-serial"
printf '%s\n' "[ tsa ]" "default_tsa = test" "[ test ]" "serial = $work/tsa-serial" \
  "signer_cert = $work/tsa.pem" "signer_key = $work/tsa-key.pem" "signer_digest = sha256" \
  "default_policy = 1.2.3.4" "digests = sha256" "ess_cert_id_alg = sha256" >"$work/tsa.cnf"
/usr/bin/python3 tools/toolbox.py timestamp-server "$work/tsa.cnf" "$work/tsa-port" &  # its own pid, to end it
server=$!
for _ in $(seq 100); do [ -f "$work/tsa-port" ] || sleep 0.1; done
export HARKWELL_SIGN_TSA_CAFILE=$work/tsa.pem

# Copies of the clones' dist folders: the throwaway signatures never reach a dist/.
cp -r "$first/dist" "$work/signed"
cp -r "$second/dist" "$work/rebuilt"
cp -r "$first/dist" "$work/token"
(
  cd "$first"
  HARKWELL_SIGN_PKCS12=$work/signer.p12 HARKWELL_SIGN_PASSWORD_FILE=$work/secret \
    HARKWELL_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa-port")" run sign tools/sign.sh "$work/signed"
)
for flavour in win64 win32; do
  toolbox extract "$work/signed/Harkwell-$version-$flavour-signed.zip" "$work/$flavour"
  run verify "$osslsigncode" verify -CAfile "$work/cert.pem" -TSA-CAfile "$work/tsa.pem" \
    -in "$work/$flavour/Harkwell.exe"
  grep -q "Timestamp Server Signature verification: ok" "$work/verify.log" || {
    cat "$work/verify.log"
    echo "signing: Harkwell-$version-$flavour-signed.zip has no verified timestamp" >&2
    exit 1
  }
  echo "  signature and timestamp verified: Harkwell-$version-$flavour-signed.zip"
done
# And fails as it must: a signed exe with one byte of its code changed, and
# the 32-bit exe's signature attached to the 64-bit exe.
cp "$work/win64/Harkwell.exe" "$work/tampered.exe"
printf '\x90' | dd of="$work/tampered.exe" bs=1 seek=4096 conv=notrunc status=none
run unsign "$osslsigncode" remove-signature -in "$work/win64/Harkwell.exe" -out "$work/unsigned.exe"
"$osslsigncode" attach-signature -sigin "$work/signed/signatures/Harkwell-$version-win32.exe.pkcs7.pem" \
  -in "$work/unsigned.exe" -out "$work/foreign.exe" >/dev/null 2>&1 || true
for exe in tampered foreign; do
  if "$osslsigncode" verify -CAfile "$work/cert.pem" -in "$work/$exe.exe" >"$work/$exe.log" 2>&1 ||
    ! grep -q MISMATCH "$work/$exe.log"; then
    cat "$work/$exe.log"
    echo "signing: the $exe exe was not refused for its digest" >&2
    exit 1
  fi
done
echo "  verification refused: a signed exe changed by one byte, the other build's signature attached"

cp -r "$work/signed/signatures" "$work/rebuilt/"
(cd "$second" && run attach tools/attach-signatures.sh "$work/rebuilt")
for file in SHA256SUMS-signed "Harkwell-$version-win64-signed.zip" "Harkwell-$version-win32-signed.zip"; do
  cmp "$work/signed/$file" "$work/rebuilt/$file"
  echo "  $(sha256sum <"$work/signed/$file" | cut -d' ' -f1)  $file: signed, and attached to another build, alike"
done
for file in SHA256SUMS "Harkwell-$version-win64.zip" "Harkwell-$version-win32.zip"; do
  cmp "$first/dist/$file" "$work/signed/$file"
  cmp "$first/dist/$file" "$work/rebuilt/$file"
done
echo "  unsigned zips unchanged by signing"

# The same key on a SoftHSM token, reached through OpenSSL's pkcs11 engine.
export SOFTHSM2_CONF=$work/softhsm2.conf
mkdir "$work/tokens"
echo "directories.tokendir = $work/tokens" >"$SOFTHSM2_CONF"
pin=$(cut -c1-8 "$work/secret")
run token softhsm2-util --init-token --free --label harkwell-test --pin "$pin" --so-pin "$pin"
run token softhsm2-util --import "$work/key.pem" --token harkwell-test --label signer --id 01 --pin "$pin"
echo "$pin" >"$work/pin"
(
  cd "$first"
  HARKWELL_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so HARKWELL_SIGN_CERTS=$work/cert.pem \
    HARKWELL_SIGN_PKCS11_KEY="pkcs11:token=harkwell-test;object=signer;type=private" \
    HARKWELL_SIGN_PASSWORD_FILE=$work/pin run sign-pkcs11 tools/sign.sh "$work/token"
)
echo "  signed and verified from a PKCS#11 token too"
echo "signing: reproducible"
