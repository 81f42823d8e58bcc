#!/usr/bin/env bash
# Builds the installer from the files in dist/ (scripts/dist.sh runs it; so do the tests, for an
# older build):
#     scripts/msi.sh OUT.msi [VERSION]
# with wixl, from installer/Tarnwick-Windows-Components.wxs and dist/twShellExt_64.wxs, in the
# version that common/version.h gives unless VERSION is given (the files keep their own: each
# File row carries the version of the binary's version resource). Fails on any line wixl writes (a
# warning too: wixl ignores what it does not know with no more than a warning), unless the summary's
# template is x64;1033, unless every component is 64-bit, and if the package could register anything
# itself (a SelfReg row, or a custom action but the two that register and remove the package with
# external location on Windows 11, which it adds from installer/windows11.sql).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[ $# -ge 1 ] || { echo "usage: $0 OUT.msi [VERSION]" >&2; exit 2; }
out=$(realpath -m "$1")

fail() {
    echo "msi.sh: $*" >&2
    exit 1
}

# The four numbers of common/version.h, as CMakeLists.txt reads them.
product_version() {
    local part number parts=()
    for part in MAJOR MINOR PATCH BUILD; do
        number=$(sed -n "s/^#define TW_VERSION_$part \([0-9][0-9]*\)$/\1/p" common/version.h)
        [ -n "$number" ] || fail "common/version.h has no line \"#define TW_VERSION_$part N\""
        parts+=("$number")
    done
    (IFS=.; echo "${parts[*]}")
}
version=${2:-$(product_version)}
# The lowest version above every build of this one (any fourth field): the third field one up,
# or the next second or first field where it is at its maximum (255.255.65535).
IFS=. read -r major minor build _ <<<"$version"
if [ "$build" -lt 65535 ]; then
    next_version=$major.$minor.$((build + 1))
elif [ "$minor" -lt 255 ]; then
    next_version=$major.$((minor + 1)).0
else
    next_version=$((major + 1)).0.0
fi

for f in twVss_64.exe twShellExt_64.dll TwUninstall.exe twShellExt_64.msix twShellExt_64.wxs; do
    [ -f "dist/$f" ] || fail "dist/$f is missing"
done
mkdir -p "$(dirname "$out")"
rm -f "$out"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$(date +%s%N)
# wixl finds the files named by Source in its current folder.
if ! (cd dist && wixl -a x64 -D "Version=$version" -D "NextVersion=$next_version" -o "$out" \
          "$root/installer/Tarnwick-Windows-Components.wxs" twShellExt_64.wxs) >"$log" 2>&1; then
    cat "$log" >&2
    fail "wixl failed"
fi
elapsed=$((($(date +%s%N) - start) / 1000000))
if [ -s "$log" ]; then
    cat "$log" >&2
    rm -f "$out"
    fail "wixl wrote the lines above; the installer must build without a warning"
fi

# Each binary's File row carries the version of the binary's version resource, as the Windows
# SDK's msifiler fills it in, so that Windows Installer's file versioning rules compare versions
# (a row without one is an unversioned file). wixl 0.101 leaves the column empty.
# file_version FILE: the file version of the fixed part of FILE's version resource
# (VS_FIXEDFILEINFO: the signature 0xFEEF04BD, the structure version 1.0, then the version).
file_version() {
    local offsets words
    offsets=$(LC_ALL=C grep -obUaP '\xBD\x04\xEF\xFE\x00\x00\x01\x00' "$1" | cut -d: -f1 || true)
    [ -n "$offsets" ] && [ "$(wc -l <<<"$offsets")" -eq 1 ] ||
        fail "$1 has no version resource, or more than one: every binary of the installer needs one"
    # Four 16-bit little-endian words: minor, major, revision, build.
    read -r -a words < <(od -An -tu2 -j $((offsets + 8)) -N 8 "$1")
    echo "${words[1]}.${words[0]}.${words[3]}.${words[2]}"
}
for f in twVss_64.exe twShellExt_64.dll TwUninstall.exe; do
    file_version=$(file_version "dist/$f")
    msibuild "$out" -q "UPDATE \`File\` SET \`Version\` = '$file_version' WHERE \`File\` = '$f'"
done

# ---- Windows 11's own context menu: the rows of installer/windows11.sql ----
# Its two marks name Registry rows of the fragment's component: the file handler key's default
# value (the component's key path so far, which the handler keys' component takes) and the class
# key's default value (its key path from then on).
registry_row() {  # KEY: the Registry row of that HKEY_CLASSES_ROOT key's default value
    msiinfo export "$out" Registry | tail -n +4 |
        awk -F'\t' -v key="$1" '$2 == "0" && $3 == key && $4 == "" { print $1 }'
}
handlers_key_path=$(registry_row '*\shellex\ContextMenuHandlers\TarnwickShellExtension')
class_key_path=$(registry_row 'CLSID\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}')
[ -n "$handlers_key_path" ] && [ -n "$class_key_path" ] ||
    fail "the fragment has no default value of the file handler key or of the class key"
sed -e 's/--.*$//' "$root/installer/windows11.sql" | tr '\n' ' ' | tr ';' '\n' |
    sed -e "s/@MENU_HANDLERS_KEY_PATH@/$handlers_key_path/" \
        -e "s/@REGISTRATION_KEY_PATH@/$class_key_path/" -e 's/  */ /g' -e 's/^ //' |
    while read -r statement; do
        [ -z "$statement" ] || msibuild "$out" -q "$statement" ||
            fail "installer/windows11.sql: msibuild refused: $statement"
    done
# Every row of the two handler keys, and only those, in the handler keys' component.
moved=$(msiinfo export "$out" Registry | tail -n +4 | tr -d '\r' |
    awk -F'\t' '($3 ~ /\\shellex\\ContextMenuHandlers\\/) != ($6 == "TwShellExtMenuHandlers") { bad++ }
                ($6 == "TwShellExtMenuHandlers") { moved++ } END { print bad ? -1 : moved + 0 }')
[ "$moved" -eq 4 ] || fail "the handler keys' component does not hold exactly the 4 rows of those keys"
# ---- end of Windows 11's own context menu ----

template=$(msiinfo suminfo "$out" | sed -n 's/^Template: //p')
[ "$template" = "x64;1033" ] || fail "the summary's template is '$template', not 'x64;1033'"
# Component rows (after the export's three heading lines): Component, ComponentId, Directory_,
# Attributes, ...; msidbComponentAttributes64bit is 256.
components=0
while IFS=$'\t' read -r component _ _ attributes _; do
    components=$((components + 1))
    [ $((attributes & 256)) -ne 0 ] || fail "component $component is not 64-bit"
done < <(msiinfo export "$out" Component | tail -n +4)
[ "$components" -gt 0 ] || fail "the installer has no components"
if msiinfo tables "$out" | grep -qx SelfReg &&
    [ "$(msiinfo export "$out" SelfReg | tail -n +4 | wc -l)" -ne 0 ]; then
    fail "the installer has SelfReg rows: nothing in it may register itself"
fi
actions=$(msiinfo export "$out" CustomAction | tail -n +4 | cut -f1 | sort | tr '\r\n' '  ')
[ "$actions" = "TwRegisterPackage TwRemovePackage " ] ||
    fail "the installer's custom actions are '$actions', not the two of installer/windows11.sql"
echo "built ${out#"$root/"}: version $version, $components components, all 64-bit, template" \
    "$template, $(stat -c %s "$out") bytes, in $elapsed ms"
