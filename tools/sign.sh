#!/usr/bin/env bash
# Signs the Harkwell.exe of both release zips in DIST (default: dist) with Authenticode (osslsigncode,
# only options Debian 12's 2.5 has): the detached signatures go to DIST/signatures/, from which
# tools/attach-signatures.sh makes the signed zips and SHA256SUMS-signed; the unsigned zips stay.
# The key, from the environment: HARKWELL_SIGN_PKCS12 (a PKCS#12 file with its chain), or a token
# through OpenSSL's pkcs11 engine: HARKWELL_SIGN_PKCS11_MODULE, HARKWELL_SIGN_PKCS11_KEY (a PKCS#11
# URI), HARKWELL_SIGN_CERTS (the chain, PEM), optionally HARKWELL_SIGN_PKCS11_ENGINE. Optional too:
# HARKWELL_SIGN_PASSWORD_FILE (password or PIN), HARKWELL_SIGN_TIMESTAMP_URL (an RFC 3161 service,
# so the signature outlives the certificate), and those of tools/attach-signatures.sh.
source "$(dirname "$0")/lib.sh"
dist=${1:-dist}
version=$(version)
osslsigncode=${OSSLSIGNCODE:-osslsigncode}

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
