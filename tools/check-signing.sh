#!/usr/bin/env bash
# Proves that a signed release stays reproducible, with a throwaway key: signs FIRST_CLONE's zips
# (tools/sign.sh, PKCS#12, timestamped by an openssl ts service run here), verifies the exes and sees
# verify refuse a changed exe and a foreign signature, attaches the signatures to SECOND_CLONE's zips
# and compares the signed zips byte for byte; then signs again from a PKCS#11 token (SoftHSM).
# Usage: tools/check-signing.sh FIRST_CLONE SECOND_CLONE (tools/check-reproducible.sh runs it)
source "$(dirname "$0")/lib.sh"
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
first=$(cd "$1" && pwd)
second=$(cd "$2" && pwd)
version=$(version "$first")
work=$(mktemp -d /tmp/harkwell-signing.XXXXXX)
server=""
trap '[ -z "$server" ] || kill "$server"; rm -rf "$work"' EXIT

umask 077
certificate() { # NAME CN USAGE: a self-signed certificate and its key, NAME.pem and NAME-key.pem
  openssl req -x509 -newkey rsa:3072 -sha256 -days 1 -nodes -subj "/CN=$2" -addext keyUsage=critical,digitalSignature \
    -addext "extendedKeyUsage=$3" -keyout "$work/$1-key.pem" -out "$work/$1.pem" 2>/dev/null
}
certificate signer "Harkwell throwaway test signer" codeSigning
certificate tsa "Harkwell throwaway test TSA" critical,timeStamping
openssl rand -hex 16 >"$work/secret"
openssl pkcs12 -export -inkey "$work/signer-key.pem" -in "$work/signer.pem" -passout "file:$work/secret" \
  -out "$work/signer.p12"
export HARKWELL_SIGN_CAFILE=$work/signer.pem HARKWELL_SIGN_TSA_CAFILE=$work/tsa.pem

# The time-stamping service: openssl ts answers each query posted to a port of this machine.
echo 01 >"$work/tsa-serial"
printf '%s\n' "[ tsa ]" "default_tsa = test" "[ test ]" "serial = $work/tsa-serial" "signer_cert = $work/tsa.pem" \
  "signer_key = $work/tsa-key.pem" "signer_digest = sha256" "default_policy = 1.2.3.4" "digests = sha256" \
  "ess_cert_id_alg = sha256" >"$work/tsa.cnf"
/usr/bin/python3 tools/toolbox.py timestamp-server "$work/tsa.cnf" "$work/tsa-port" & # its own pid, to end it
server=$!
for _ in $(seq 100); do [ -f "$work/tsa-port" ] || sleep 0.1; done

# Copies of the clones' dist folders: the throwaway signatures never reach a dist/.
cp -r "$first/dist" "$work/signed"
cp -r "$second/dist" "$work/rebuilt"
cp -r "$first/dist" "$work/token"
(cd "$first" && HARKWELL_SIGN_PKCS12=$work/signer.p12 HARKWELL_SIGN_PASSWORD_FILE=$work/secret \
  HARKWELL_SIGN_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa-port")" \
  quietly "$work/sign.log" tools/sign.sh "$work/signed")
for flavour in win64 win32; do
  toolbox extract "$work/signed/Harkwell-$version-$flavour-signed.zip" "$work/$flavour"
  quietly "$work/verify.log" "$osslsigncode" verify -CAfile "$work/signer.pem" -TSA-CAfile "$work/tsa.pem" \
    -in "$work/$flavour/Harkwell.exe"
  grep -q "Timestamp Server Signature verification: ok" "$work/verify.log" || {
    cat "$work/verify.log"
    echo "signing: Harkwell-$version-$flavour-signed.zip has no verified timestamp" >&2
    exit 1
  }
  echo "  signature and timestamp verified: Harkwell-$version-$flavour-signed.zip"
done
# And refused as it must be: a signed exe with one byte of its code changed,
# and the 32-bit exe's signature attached to the 64-bit exe.
cp "$work/win64/Harkwell.exe" "$work/tampered.exe"
printf '\x90' | dd of="$work/tampered.exe" bs=1 seek=4096 conv=notrunc status=none
quietly "$work/unsign.log" "$osslsigncode" remove-signature -in "$work/win64/Harkwell.exe" -out "$work/unsigned.exe"
"$osslsigncode" attach-signature -sigin "$work/signed/signatures/Harkwell-$version-win32.exe.pkcs7.pem" \
  -in "$work/unsigned.exe" -out "$work/foreign.exe" >/dev/null 2>&1 || true
for exe in tampered foreign; do
  if "$osslsigncode" verify -CAfile "$work/signer.pem" -in "$work/$exe.exe" >"$work/$exe.log" 2>&1 ||
    ! grep -q MISMATCH "$work/$exe.log"; then
    cat "$work/$exe.log"
    echo "signing: the $exe exe was not refused for its digest" >&2
    exit 1
  fi
done
echo "  verification refused: a signed exe changed by one byte, the other build's signature attached"

cp -r "$work/signed/signatures" "$work/rebuilt/"
(cd "$second" && quietly "$work/attach.log" tools/attach-signatures.sh "$work/rebuilt")
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
echo "$pin" >"$work/pin"
quietly "$work/token.log" softhsm2-util --init-token --free --label harkwell-test --pin "$pin" --so-pin "$pin"
quietly "$work/token.log" softhsm2-util --import "$work/signer-key.pem" --token harkwell-test --label signer --id 01 \
  --pin "$pin"
(cd "$first" && HARKWELL_SIGN_PKCS11_MODULE=/usr/lib/softhsm/libsofthsm2.so HARKWELL_SIGN_CERTS=$work/signer.pem \
  HARKWELL_SIGN_PKCS11_KEY="pkcs11:token=harkwell-test;object=signer;type=private" \
  HARKWELL_SIGN_PASSWORD_FILE=$work/pin quietly "$work/sign-pkcs11.log" tools/sign.sh "$work/token")
echo "  signed and verified from a PKCS#11 token too"
echo "signing: reproducible"
