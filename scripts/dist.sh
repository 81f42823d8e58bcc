#!/usr/bin/env bash
# make dist: installs what is missing, builds the deliverables and copies them into dist/, makes the
# shell extension's installer fragment dist/twShellExt_64.wxs from the DLL and the installer
# dist/Tarnwick-Windows-Components.msi (scripts/msi.sh), with the package with external location
# dist/twShellExt_64.msix, which declares the Explorer command to Windows 11. Given a certificate
# (SIGN_PFX, or SIGN_KEY and SIGN_CERT, with SIGN_PASS or SIGN_PASS_FILE: scripts/sign.sh), it
# signs the three binaries before they are packaged, makes the package for that certificate (its
# subject is the package's Publisher) and signs it, then signs the installer, and verifies each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

jobs=$(nproc)
for preset in win32 win64 host-release; do
    echo "== building the deliverables of the $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target deliverables -j "$jobs"
    cmake --install "build/$preset" --prefix "$PWD/dist" --component deliverable >/dev/null
done
signing=false
if [ -n "${SIGN_PFX:-}${SIGN_KEY:-}${SIGN_CERT:-}" ]; then
    signing=true
    echo "== signing the deliverables"
    scripts/sign.sh dist/twVss_64.exe dist/twShellExt_64.dll dist/TwUninstall.exe
else
    echo "== not signing: no certificate given (make dist SIGN_PFX=FILE SIGN_PASS_FILE=FILE, or SIGN_KEY=FILE SIGN_CERT=FILE)"
fi

echo "== the package with external location"
msix=(build/host-release/tools/twshellext_msix --out dist/twShellExt_64.msix)
if $signing; then
    signer=$(mktemp)
    trap 'rm -f "$signer"' EXIT
    scripts/sign.sh --certificate "$signer"
    "${msix[@]}" --certificate "$signer"
    scripts/sign.sh dist/twShellExt_64.msix
else
    "${msix[@]}"
    echo "== twShellExt_64.msix is unsigned (a test publisher): on Windows 11 the installer cannot" \
        "register it; only Add-AppxPackage -AllowUnsigned, as administrator, takes it"
fi

echo "== the installer"
# Everything DllRegisterServer writes, from the DLL's own script and the Approved entry, made by the
# shipped tool as an installer author would; the installer's [#twShellExt_64.dll] is the installed
# DLL's path, which registration substitutes as Module and Module_Raw.
installed='[#twShellExt_64.dll]'
dist/host/twrgs --format wix --approved --dll dist/twShellExt_64.dll --wix-id TwShellExtRegistration \
    -s APPID= -s "Module=$installed" -s "Module_Raw=$installed" >dist/twShellExt_64.wxs.partial
mv dist/twShellExt_64.wxs.partial dist/twShellExt_64.wxs
scripts/msi.sh dist/Tarnwick-Windows-Components.msi
if $signing; then
    scripts/sign.sh dist/Tarnwick-Windows-Components.msi
fi

echo "== dist/"
find dist -type f -printf '%10s  %p\n' | sort -k2
# Explorer maps the shell extension into every process that shows a file's context menu.
dll_size=$(stat -c %s dist/twShellExt_64.dll)
echo "twShellExt_64.dll: $dll_size bytes (at most 262144, 256 KiB)"
echo "twShellExt_64.msix: $(stat -c %s dist/twShellExt_64.msix) bytes"
