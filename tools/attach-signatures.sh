#!/usr/bin/env bash
# Rebuilds the signed release from the unsigned one: attaches each detached
# signature of DIST/signatures/ (default DIST: dist) to the Harkwell.exe of its
# unsigned zip, checks it, and writes DIST/Harkwell-<version>-win{64,32}-signed.zip
# and DIST/SHA256SUMS-signed. tools/sign.sh publishes through this too, so
# anyone can show that a signed exe is the commit's exe and its signature.
# HARKWELL_SIGN_CAFILE and HARKWELL_SIGN_TSA_CAFILE name the root certificates
# of the signer and of the timestamps (default: the system's bundle).
source "$(dirname "$0")/lib.sh"
dist=${1:-dist}
version=$(version)
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
ca=()
[ -z "${HARKWELL_SIGN_CAFILE:-}" ] || ca+=(-CAfile "$HARKWELL_SIGN_CAFILE")
[ -z "${HARKWELL_SIGN_TSA_CAFILE:-}" ] || ca+=(-TSA-CAfile "$HARKWELL_SIGN_TSA_CAFILE")

work=$(mktemp -d /tmp/harkwell-attach.XXXXXX)
trap 'rm -rf "$work"' EXIT
rm -f "$dist"/Harkwell-*-signed.zip "$dist/SHA256SUMS-signed" # an earlier run's
for flavour in win64 win32; do
  base=Harkwell-$version-$flavour
  toolbox exe "$dist/$base.zip" "$work/$flavour.exe"
  # Fails when the signature is not that exe's, or does not verify.
  quietly "$work/$flavour.log" "$osslsigncode" attach-signature -sigin "$dist/signatures/$base.exe.pkcs7.pem" \
    "${ca[@]}" -in "$work/$flavour.exe" -out "$work/$flavour-signed.exe"
  quietly "$work/$flavour.log" "$osslsigncode" verify "${ca[@]}" -in "$work/$flavour-signed.exe"
  toolbox with-exe "$dist/$base.zip" "$work/$flavour-signed.exe" "$dist/$base-signed.zip"
done
(cd "$dist" && sha256sum "Harkwell-$version-win64-signed.zip" "Harkwell-$version-win32-signed.zip" >SHA256SUMS-signed)
cat "$dist/SHA256SUMS-signed"
