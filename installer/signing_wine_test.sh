#!/usr/bin/env bash
# Signing, end to end, on copies of dist/'s files (make dist first): a throwaway certificate made
# here signs the three binaries and the installer through scripts/sign.sh, as make dist does;
# osslsigncode verify -CAfile passes on each, fails on the unsigned original and fails once one
# byte of signed content changes; the signed installer installs and uninstalls; and the signed DLL
# passes the Wine tests of registration and of the menu, run from a folder where it stands beside
# them.
#     installer/signing_wine_test.sh BIN_DIR PREFIX
# BIN_DIR holds the Windows test programs (build/win64/bin); PREFIX is the Wine prefix they run in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -eq 2 ] || { echo "usage: $0 BIN_DIR PREFIX" >&2; exit 2; }
bin=$1
prefix=$2
work=$(mktemp -d /tmp/tarnwick-signing.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "signing_wine_test: $*" >&2
    exit 1
}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The key, its password and the certificate stay in $work, which goes at the end.
(umask 077 && openssl rand -hex 16 >"$work/pass" && cp "$work/pass" "$work/pass.out")
openssl req -x509 -newkey rsa:2048 -keyout "$work/key.pem" -out "$work/cert.pem" -days 1 \
    -subj "/CN=Tarnwick throwaway test certificate" -passout "file:$work/pass" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -passin "file:$work/pass" -in "$work/cert.pem" \
    -out "$work/test.pfx" -passout "file:$work/pass.out"  # (openssl reads one file once)

files=(twVss_64.exe twShellExt_64.dll TwUninstall.exe Tarnwick-Windows-Components.msi)
mkdir "$work/signed"
for f in "${files[@]}"; do
    cp "$root/dist/$f" "$work/signed/$f"
done
SIGN_PFX=$work/test.pfx SIGN_PASS_FILE=$work/pass "$root/scripts/sign.sh" "${files[@]/#/$work/signed/}"

verify() {
    osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/log" 2>&1
}
for f in "${files[@]}"; do
    verify "$work/signed/$f" || { cat "$work/log"; fail "signed $f does not verify"; }
    ! verify "$root/dist/$f" || fail "unsigned $f verifies"
    # One byte changed: in the middle of a binary, in the cabinet of the installer.
    cp "$work/signed/$f" "$work/changed"
    if [ "${f##*.}" = msi ]; then
        offset=$(($(LC_ALL=C grep -obUa MSCF "$work/changed" | head -n 1 | cut -d: -f1) + 64))
    else
        offset=$(($(stat -c %s "$work/changed") / 2))
    fi
    byte=$(od -An -tu1 -j "$offset" -N 1 "$work/changed" | tr -d ' ')
    printf "\\x$(printf %02x $((byte ^ 0xFF)))" |
        dd of="$work/changed" bs=1 seek="$offset" conv=notrunc status=none
    ! verify "$work/changed" || fail "$f with byte $offset changed still verifies"
    echo "$f: signed and verified; unsigned, and with byte $offset changed, it does not verify"
done

# The signed installer installs and uninstalls (msiexec's own exit codes, which wine cuts to 8
# bits). Wine deletes a key that an uninstallation leaves empty, as the Approved list is in a fresh
# prefix (never on a used machine), so another value keeps it for the tests below.
approved='HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
wine reg add "$approved" /v TarnwickTestSibling /d "another product's" /f >/dev/null 2>&1
msiexec() {
    wine cmd /c "msiexec $1 $(winepath -w "$work/signed/Tarnwick-Windows-Components.msi") /qn & echo %ERRORLEVEL%" \
        2>/dev/null | tr -d '\r' | tail -n 1
}
[ "$(msiexec /i)" = 0 ] || fail "the signed installer does not install"
[ "$(msiexec /x)" = 0 ] || fail "the signed installer does not uninstall"
wine reg delete "$approved" /v TarnwickTestSibling /f >/dev/null 2>&1
echo "the signed installer installs and uninstalls"

# The existing Wine tests take the DLL from their own folder.
mkdir "$work/run"
cp "$work/signed/twShellExt_64.dll" "$work/run/"
for program in registration_wine_test.exe shellext_wine_test.exe twHelper.exe TwUninstall_64test.exe; do
    cp "$bin/$program" "$work/run/"
done
for test in registration_wine_test shellext_wine_test; do
    echo "== $test with the signed twShellExt_64.dll"
    wine "$work/run/$test.exe" || fail "$test fails with the signed DLL"
done
