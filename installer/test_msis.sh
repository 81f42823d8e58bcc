#!/usr/bin/env bash
# Builds, into OUT, what installer_wine_test installs besides dist/Tarnwick-Windows-Components.msi
# (make dist first):
#   older.msi  the same installer in version 2.0.0.0, for the major upgrade;
#   rebuild.msi  the same installer built again in the same version, which makes it another
#              product (a product code of its own), as a rebuild of a release is;
#   probe.msi  an installer of nothing but the fragment that twrgs makes of installer/probe.rgs
#              (every kind of key entry, value type and text the fragment escapes), to compare
#              with what the registrar writes from the same script.
#     installer/test_msis.sh OUT
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[ $# -eq 1 ] || { echo "usage: $0 OUT" >&2; exit 2; }
out=$1
for f in dist/Tarnwick-Windows-Components.msi dist/host/twrgs; do
    [ -f "$f" ] || { echo "test_msis.sh: $f is missing; run make dist first" >&2; exit 1; }
done
mkdir -p "$out"

scripts/msi.sh "$out/older.msi" 2.0.0.0
scripts/msi.sh "$out/rebuild.msi"

# [ProgramFiles64Folder] is formatted text that the installer resolves to "C:\Program Files\".
dist/host/twrgs --format wix --wix-id Probe -s 'MODULE=[ProgramFiles64Folder]Probe\probe.dll' \
    installer/probe.rgs >"$out/probe.wxs"
cat >"$out/probe-product.wxs" <<'WXS'
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Tarnwick installer probe" Language="1033" Version="1.0.0"
           Manufacturer="Tarnwick" UpgradeCode="{505CE841-260C-479B-8072-BE8E4259BE85}">
    <Package InstallerVersion="500" Compressed="yes" InstallScope="perMachine"/>
    <Directory Id="TARGETDIR" Name="SourceDir"/>
    <Feature Id="Probe" Level="1"><ComponentGroupRef Id="Probe"/></Feature>
  </Product>
</Wix>
WXS
log=$(cd "$out" && wixl -a x64 -o probe.msi probe-product.wxs probe.wxs 2>&1) || {
    echo "$log" >&2
    exit 1
}
if [ -n "$log" ]; then
    echo "$log" >&2
    echo "test_msis.sh: wixl wrote the lines above" >&2
    exit 1
fi
echo "built ${out#"$root/"}/older.msi, rebuild.msi and probe.msi"
