#!/usr/bin/env bash
# Signing the package, end to end on the build machine, as make dist does it: a throwaway
# certificate whose subject has several parts, one with a comma, made here as a PKCS#12 file;
# scripts/sign.sh gives its certificate, twshellext_msix makes the package for it, with the
# subject as Windows writes it as the Publisher, and scripts/sign.sh signs the package;
# osslsigncode verify -CAfile passes, and the signed package still reads back whole (its signature
# part has its content type); one byte of the manifest changed and verification fails; a package
# made without a certificate names the unsigned test publisher.
#     msix_signing_host_test.sh TWSHELLEXT_MSIX MSIX_CHECKS
# Exit status 77 (skipped) when openssl or osslsigncode is not installed (make dist installs them).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tool=$1
checks=$2
for program in openssl osslsigncode python3; do
    if ! command -v "$program" >/dev/null; then
        echo "msix_signing_host_test: $program is not installed; skipped"
        exit 77
    fi
done
work=$(mktemp -d /tmp/tarnwick-msix-signing.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "msix_signing_host_test: $*" >&2
    exit 1
}

(umask 077 && openssl rand -hex 16 >"$work/pass" && cp "$work/pass" "$work/pass.out")
openssl req -x509 -newkey rsa:2048 -keyout "$work/key.pem" -out "$work/cert.pem" -days 1 \
    -subj "/C=DE/ST=Berlin/O=Tarnwick Test, Ltd/CN=Tarnwick throwaway test certificate" \
    -passout "file:$work/pass" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -passin "file:$work/pass" -in "$work/cert.pem" \
    -out "$work/test.pfx" -passout "file:$work/pass.out"  # (openssl reads one file once)
publisher='CN=Tarnwick throwaway test certificate, O="Tarnwick Test, Ltd", S=Berlin, C=DE'
export SIGN_PFX=$work/test.pfx SIGN_PASS_FILE=$work/pass

"$root/scripts/sign.sh" --certificate "$work/signer.pem"
"$tool" --out "$work/signed.msix" --certificate "$work/signer.pem"
python3 "$checks" "$work/signed.msix" --publisher "$publisher" ||
    fail "the package made for the certificate does not read back with its subject as Publisher"
cp "$work/signed.msix" "$work/unsigned.msix"
"$root/scripts/sign.sh" "$work/signed.msix"

verify() {
    osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/log" 2>&1
}
verify "$work/signed.msix" || { cat "$work/log"; fail "the signed package does not verify"; }
! verify "$work/unsigned.msix" || fail "the unsigned package verifies"
python3 "$checks" "$work/signed.msix" --publisher "$publisher" ||
    fail "the signed package does not read back whole"

# One byte of the manifest (stored, so its bytes are in the file as they are) changed.
cp "$work/signed.msix" "$work/changed.msix"
offset=$(($(LC_ALL=C grep -obUa 'Tarnwick File Shell Extension' "$work/changed.msix" |
    head -n 1 | cut -d: -f1) + 3))
printf 'X' | dd of="$work/changed.msix" bs=1 seek="$offset" conv=notrunc status=none
cmp -s "$work/signed.msix" "$work/changed.msix" && fail "the byte at $offset did not change"
! verify "$work/changed.msix" || fail "the package with byte $offset changed still verifies"
echo "signed and verified; unsigned, and with byte $offset changed, it does not verify"

"$tool" --out "$work/test.msix"
python3 "$checks" "$work/test.msix" \
    --publisher 'CN=Tarnwick Test Publisher, OID.2.25.311729368913984317654407730594956997722=1' ||
    fail "a package made without a certificate does not name the test publisher"
