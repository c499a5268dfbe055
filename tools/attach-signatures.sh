#!/usr/bin/env bash
# Rebuilds the signed release from the unsigned one: attaches each detached
# signature of DIST/signatures/ to the Harkwell.exe of its unsigned zip in DIST
# (tools/package.sh makes those from the commit, byte for byte as released),
# checks it, and writes
#   DIST/Harkwell-<version>-win64-signed.zip, DIST/Harkwell-<version>-win32-signed.zip
#   DIST/SHA256SUMS-signed
# tools/sign.sh makes the published signed zips this way too, so anyone can
# show that a signed exe is the commit's exe and nothing else: package, copy
# the published signatures into dist/signatures/, run this, and compare
# dist/SHA256SUMS-signed with the published one.
# Usage: tools/attach-signatures.sh [DIST]     (default: dist)
#   HARKWELL_SIGN_CAFILE      the root certificate(s) to check the signatures
#                             against (default: the system's bundle)
#   HARKWELL_SIGN_TSA_CAFILE  the same for the timestamps' signers
#   OSSLSIGNCODE          another osslsigncode than the system's
source "$(dirname "$0")/lib.sh"
dist=${1:-dist}
version=$(version)
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
ca=()
[ -z "${HARKWELL_SIGN_CAFILE:-}" ] || ca+=(-CAfile "$HARKWELL_SIGN_CAFILE")
[ -z "${HARKWELL_SIGN_TSA_CAFILE:-}" ] || ca+=(-TSA-CAfile "$HARKWELL_SIGN_TSA_CAFILE")

work=$(mktemp -d /tmp/harkwell-attach.XXXXXX)
trap 'rm -rf "$work"' EXIT
rm -f "$dist"/Harkwell-*-signed.zip "$dist/SHA256SUMS-signed"  # an earlier run's
signed_zips=()
for flavour in win64 win32; do
  base=Harkwell-$version-$flavour
  signature=$dist/signatures/$base.exe.pkcs7.pem
  toolbox exe "$dist/$base.zip" "$work/$flavour.exe"
  # Fails when the signature is not that exe's, or does not verify.
  quietly "$work/$flavour.log" "$osslsigncode" attach-signature -sigin "$signature" "${ca[@]}" \
    -in "$work/$flavour.exe" -out "$work/$flavour-signed.exe"
  quietly "$work/$flavour.log" "$osslsigncode" verify "${ca[@]}" -in "$work/$flavour-signed.exe"
  toolbox with-exe "$dist/$base.zip" "$work/$flavour-signed.exe" "$dist/$base-signed.zip"
  signed_zips+=("$base-signed.zip")
done
(cd "$dist" && sha256sum "${signed_zips[@]}" >SHA256SUMS-signed)
cat "$dist/SHA256SUMS-signed"
