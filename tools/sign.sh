#!/usr/bin/env bash
# Signs the Harkwell.exe of both release zips that tools/package.sh left in
# DIST, with Authenticode (osslsigncode), and writes
#   DIST/signatures/Harkwell-<version>-win64.exe.pkcs7.pem   the detached signatures
#   DIST/signatures/Harkwell-<version>-win32.exe.pkcs7.pem
#   DIST/Harkwell-<version>-win64-signed.zip                 the zips with the signed exes,
#   DIST/Harkwell-<version>-win32-signed.zip                 made by tools/attach-signatures.sh
#   DIST/SHA256SUMS-signed                                   their checksums
# The unsigned zips and SHA256SUMS stay as they are.
# Usage: tools/sign.sh [DIST]     (default: dist)
# The key comes from the environment, one of:
#   HARKWELL_SIGN_PKCS12         a PKCS#12 file with the key and its certificate chain
#   HARKWELL_SIGN_PKCS11_MODULE  a token's PKCS#11 module (for example /usr/lib/softhsm/libsofthsm2.so),
#   HARKWELL_SIGN_PKCS11_KEY     the key on it, as a PKCS#11 URI ("pkcs11:token=...;object=...;type=private"),
#   HARKWELL_SIGN_CERTS          and its certificate chain (PEM); through OpenSSL's pkcs11 engine
#                                (Debian: libengine-pkcs11-openssl), or HARKWELL_SIGN_PKCS11_ENGINE
# and, optionally:
#   HARKWELL_SIGN_PASSWORD_FILE  a file holding the PKCS#12 password or the token's PIN
#   HARKWELL_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamping service, so that the signature
#                                stays valid after the certificate expires
#   HARKWELL_SIGN_CAFILE         the root certificate(s) to check the signatures against
#                                (default: the system's bundle)
#   HARKWELL_SIGN_TSA_CAFILE     the same for the timestamp's signer
#   OSSLSIGNCODE                 another osslsigncode than the system's
# Only options that Debian 12's osslsigncode (2.5) has are used.
source "$(dirname "$0")/lib.sh"
dist=${1:-dist}
version=$(version)
osslsigncode=${OSSLSIGNCODE:-osslsigncode}

key=()
if [ -n "${HARKWELL_SIGN_PKCS12:-}" ]; then
  key=(-pkcs12 "$HARKWELL_SIGN_PKCS12")
elif [ -n "${HARKWELL_SIGN_PKCS11_MODULE:-}" ] && [ -n "${HARKWELL_SIGN_PKCS11_KEY:-}" ] &&
  [ -n "${HARKWELL_SIGN_CERTS:-}" ]; then
  key=(-pkcs11module "$HARKWELL_SIGN_PKCS11_MODULE" -key "$HARKWELL_SIGN_PKCS11_KEY" -certs "$HARKWELL_SIGN_CERTS")
  [ -z "${HARKWELL_SIGN_PKCS11_ENGINE:-}" ] || key=(-pkcs11engine "$HARKWELL_SIGN_PKCS11_ENGINE" "${key[@]}")
else
  echo "sign: set HARKWELL_SIGN_PKCS12, or HARKWELL_SIGN_PKCS11_MODULE, _KEY and HARKWELL_SIGN_CERTS" >&2
  exit 2
fi

work=$(mktemp -d /tmp/harkwell-sign.XXXXXX)
trap 'rm -rf "$work"' EXIT
if [ -n "${HARKWELL_SIGN_PASSWORD_FILE:-}" ]; then
  # A private copy: the file may be a pipe, and both exes need it.
  (umask 077 && cat "$HARKWELL_SIGN_PASSWORD_FILE" >"$work/password")
  key+=(-readpass "$work/password")
fi
[ -z "${HARKWELL_SIGN_TIMESTAMP_URL:-}" ] || key+=(-ts "$HARKWELL_SIGN_TIMESTAMP_URL")

rm -rf "$dist/signatures"
mkdir -p "$dist/signatures"
for flavour in win64 win32; do
  base=Harkwell-$version-$flavour
  toolbox exe "$dist/$base.zip" "$work/$flavour.exe"
  quietly "$work/$flavour.log" \
    "$osslsigncode" sign "${key[@]}" -h sha256 -in "$work/$flavour.exe" -out "$work/$flavour-signed.exe"
  # PEM: the form that every osslsigncode from 2.5 on reads back alike.
  quietly "$work/$flavour.log" \
    "$osslsigncode" extract-signature -pem -in "$work/$flavour-signed.exe" -out "$dist/signatures/$base.exe.pkcs7.pem"
done

tools/attach-signatures.sh "$dist"
# The published exes are the attached ones: they must be what was signed.
for flavour in win64 win32; do
  toolbox exe "$dist/Harkwell-$version-$flavour-signed.zip" "$work/$flavour-attached.exe"
  cmp "$work/$flavour-signed.exe" "$work/$flavour-attached.exe"
done
echo "signed: $dist/Harkwell-$version-win64-signed.zip, $dist/Harkwell-$version-win32-signed.zip"
