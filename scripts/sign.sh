#!/usr/bin/env bash
# Signs files (Windows binaries, installers, app packages) in place with osslsigncode, and
# verifies each one:
#     scripts/sign.sh FILE...
# or writes the signing certificate (PEM), whose subject an app package's Publisher must be:
#     scripts/sign.sh --certificate OUT.pem
# The certificate comes from the environment, as make dist passes it on:
#     SIGN_PFX=file.pfx                 a PKCS#12 file with the key and the certificate, or
#     SIGN_KEY=key.pem SIGN_CERT=cert.pem
#     SIGN_PASS=...  or  SIGN_PASS_FILE=file   the password of the PKCS#12 file or of the key, if any
#     SIGN_CA=ca.pem                    what the verification trusts (default: the certificates of
#                                       SIGN_PFX or SIGN_CERT, so that a file signed by them
#                                       and unchanged since verifies)
# The password reaches osslsigncode through a private file (-readpass), never on a command line,
# and nothing here prints it.
set -euo pipefail
fail() {
    echo "sign.sh: $*" >&2
    exit 1
}
[ $# -ge 1 ] || { echo "usage: $0 FILE... | --certificate OUT.pem" >&2; exit 2; }
pfx=${SIGN_PFX:-}
key=${SIGN_KEY:-}
cert=${SIGN_CERT:-}
if [ -n "$pfx" ]; then
    [ -z "$key$cert" ] || fail "give SIGN_PFX, or SIGN_KEY and SIGN_CERT, not both"
    [ -f "$pfx" ] || fail "SIGN_PFX: no file $pfx"
elif [ -n "$key" ] && [ -n "$cert" ]; then
    [ -f "$key" ] || fail "SIGN_KEY: no file $key"
    [ -f "$cert" ] || fail "SIGN_CERT: no file $cert"
else
    fail "no certificate: give SIGN_PFX, or SIGN_KEY and SIGN_CERT"
fi

private=$(umask 077 && mktemp -d)
trap 'rm -rf "$private"' EXIT
passfile=$private/pass
password=()
passin=pass:  # no password
if [ -n "${SIGN_PASS_FILE:-}" ]; then
    cp "$SIGN_PASS_FILE" "$passfile"
elif [ -n "${SIGN_PASS:-}" ]; then
    printf '%s' "$SIGN_PASS" >"$passfile"
fi
if [ -f "$passfile" ]; then
    password=(-readpass "$passfile")
    passin=file:$passfile
fi

if [ -n "$pfx" ]; then
    credentials=(-pkcs12 "$pfx" "${password[@]}")
else
    credentials=(-certs "$cert" -key "$key" "${password[@]}")
fi
if [ "$1" = --certificate ]; then
    [ $# -eq 2 ] || fail "usage: $0 --certificate OUT.pem"
    # The signer's own certificate: of a PKCS#12 file the one that goes with its key, of a PEM
    # file the first, as osslsigncode takes them.
    if [ -n "$pfx" ]; then
        openssl pkcs12 -in "$pfx" -nokeys -clcerts -passin "$passin" -out "$private/signer" \
            2>"$private/log" || { cat "$private/log" >&2; fail "cannot read the certificate of $pfx"; }
    else
        openssl x509 -in "$cert" -out "$private/signer" 2>"$private/log" ||
            { cat "$private/log" >&2; fail "cannot read the certificate of $cert"; }
    fi
    openssl x509 -in "$private/signer" -out "$2" 2>"$private/log" ||
        { cat "$private/log" >&2; fail "no certificate to sign with"; }
    exit 0
fi

ca=${SIGN_CA:-}
if [ -z "$ca" ]; then
    ca=$private/ca.pem
    if [ -n "$pfx" ]; then
        openssl pkcs12 -in "$pfx" -nokeys -passin "$passin" -out "$ca" 2>"$private/log" ||
            { cat "$private/log" >&2; fail "cannot read the certificates of $pfx"; }
    else
        cp "$cert" "$ca"
    fi
fi

for file in "$@"; do
    signed=$private/signed
    rm -f "$signed"
    if ! osslsigncode sign "${credentials[@]}" -h sha256 -n "Tarnwick Windows Components" \
        -in "$file" -out "$signed" >"$private/log" 2>&1; then
        cat "$private/log" >&2
        fail "cannot sign $file"
    fi
    cat "$signed" >"$file"
    if ! osslsigncode verify -CAfile "$ca" -in "$file" >"$private/log" 2>&1; then
        cat "$private/log" >&2
        fail "the signature of $file does not verify"
    fi
    echo "signed and verified $file"
done
