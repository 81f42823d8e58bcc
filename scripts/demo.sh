#!/usr/bin/env bash
# make demo: shows the product working under Wine, in a throwaway prefix, after `make dist`:
# twShellExt_64.dll registered from dist/ with regsvr32, its registry entries, the menus a file, a
# folder and This PC get: Windows 11's, the Explorer command's tree as Explorer would draw it, beside
# the classic context-menu entries that come through COM activation from the registry (as Explorer
# gets them), "Backup this file" picked in the classic menu and "Show available backups" in the
# Windows 11 one with a recording twHelper.exe, a snapshot made with twVss_64.exe -c C:\ and deleted
# with -d and the printed name (against the test stand-in for the VSS service, since Wine's own has
# none), and the uninstall helper unregistering the DLL. The file's menu is rendered under Xvfb to
# build/demo/context-menu.png.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ -z "${TW_DEMO_UNDER_XVFB:-}" ]; then
    scripts/deps.sh xvfb xauth imagemagick fonts-wine
    for f in dist/twShellExt_64.dll dist/twVss_64.exe; do
        [ -f "$f" ] || { echo "make demo: $f is missing; run make dist first" >&2; exit 1; }
    done
    # The Explorer stand-in, the recording helper, the 64-bit build of the uninstall helper and
    # the VSS service stand-in.
    cmake --preset win64 >/dev/null
    cmake --build --preset win64 -j "$(nproc)" \
        --target twshellext_demo fake_twhelper TwUninstall_64test fake_vssapi_dll >/dev/null
    # Everything else runs with a virtual display, which the on-screen menu needs.
    exec env TW_DEMO_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$(mktemp -d /tmp/tarnwick-demo.XXXXXX)
prefix=$work/prefix
cleanup() {
    scripts/wine-prefix.sh stop "$prefix" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine_() { wine "$@" 2>&1 | tr -d '\r'; }
say() { printf '\n== %s\n' "$*"; }

clsid='{9F264B80-12D4-4C4C-9158-7A1A1803FB58}'
class_key="HKCR\\CLSID\\$clsid"
file_key='HKCR\*\shellex\ContextMenuHandlers\TarnwickShellExtension'
folder_key='HKCR\Directory\shellex\ContextMenuHandlers\TarnwickShellExtension'
approved_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved'
# Prints a key (reg query ARGS) or says that it is not there.
query() {
    local out
    if out=$(wine reg query "$@" 2>/dev/null | tr -d '\r'); then
        printf '%s\n' "$out" | sed '/^$/d'
    else
        echo "$1${3:+ value $3}: not there"
    fi
}
show_entries() {
    query "$class_key" /s
    query "$file_key" /s
    query "$folder_key" /s
    query "$approved_key" /v "$clsid"
}

say "A throwaway Wine prefix: $prefix"
scripts/wine-prefix.sh start "$prefix" >/dev/null

app_unix="$prefix/drive_c/Program Files/Tarnwick Client's App"
app='C:\Program Files\Tarnwick Client'"'"'s App'
mkdir -p "$app_unix" "$prefix/drive_c/Data/Holiday photos"
cp dist/twShellExt_64.dll "$app_unix/"
cp build/win64/bin/twHelper.exe "$app_unix/twHelper.exe"  # records what it is started with
cp build/win64/bin/TwUninstall_64test.exe "$app_unix/TwUninstall.exe"
cp build/win64/bin/twshellext_demo.exe "$work/"
# The snapshot tool from dist/, beside the stand-in for the VSS service (the prefix makes a
# twVss_64.exe load the vssapi.dll beside it; see scripts/wine-prefix.sh).
cp dist/twVss_64.exe build/win64/vss_standin/vssapi.dll "$app_unix/"
printf 'Q3 figures\r\n' >"$prefix/drive_c/Data/Quarterly report.txt"
file='C:\Data\Quarterly report.txt'
folder='C:\Data\Holiday photos'
echo "Installed into $app: twShellExt_64.dll and twVss_64.exe (from dist/), twHelper.exe,"
echo "TwUninstall.exe, and vssapi.dll (the test stand-in for the VSS service)"

say "regsvr32 /s \"$app\\twShellExt_64.dll\""
code=0
wine regsvr32 /s "$app\\twShellExt_64.dll" >/dev/null 2>&1 || code=$?
echo "regsvr32 exit code: $code"
[ "$code" -eq 0 ] || { echo "make demo: registration failed" >&2; exit 1; }

say "What registration wrote"
show_entries

this_pc='::{20D04FE0-3AEA-1069-A2D8-08002B30309D}'
say "The menus of a file, a folder and This PC ($this_pc)"
echo "Windows 11 menu: the Explorer command {A09105CC-93EB-4C7E-BA18-9038B1D88144} as Explorer draws"
echo "it. Windows 11 finds it through the package registered for the install folder"
echo "(docs/installer.md), which Wine cannot register; here twshellext_demo plays COM's part for the"
echo "package's class: it loads the DLL the package names and asks its DllGetClassObject."
echo "Classic menu: the entries of a handler that the COM runtime made through the registration, as"
echo "Explorer gets it (Windows 11 shows them under \"Show more options\")."
wine_ "$work/twshellext_demo.exe" menus "$app\\twShellExt_64.dll" "$file" "$folder" "$this_pc"
echo "(This PC has no file-system path, so the Windows 11 menu hides the command. The classic"
echo "handler reads the file list of the shell's data object instead, and Wine's for This PC names"
echo "a file, ...\\Desktop\\My Computer, so the classic entries appear there under Wine.)"

# Waits for the one record of the recording twHelper.exe, prints it and removes it.
show_helper_start() {
    local record=
    for _ in $(seq 1 300); do
        record=$(find "$app_unix" -name 'twHelper-*.record' | head -n 1)
        [ -n "$record" ] && break
        sleep 0.1
    done
    [ -n "$record" ] || { echo "make demo: twHelper.exe was not started" >&2; exit 1; }
    echo "twHelper.exe was started in: $(head -n 1 "$record")"
    echo "with the command line:       $(sed -n 2p "$record")"
    rm -f "$record"
}

say "Picking \"Backup this file\" for $file in the classic menu"
wine_ "$work/twshellext_demo.exe" pick "$file" "Backup this file"
show_helper_start

say "Picking \"Show available backups\" for $folder in the Windows 11 menu"
wine_ "$work/twshellext_demo.exe" pick-command "$app\\twShellExt_64.dll" "$folder" \
    "Show available backups"
show_helper_start

say "The file's menu on screen (build/demo/context-menu.png)"
mkdir -p build/demo
wine "$work/twshellext_demo.exe" show "$file" 'C:\' >/dev/null 2>&1 &
shower=$!
for _ in $(seq 1 600); do
    [ -f "$prefix/drive_c/menu.rect" ] && break
    sleep 0.1
done
if [ -f "$prefix/drive_c/menu.rect" ]; then
    read -r left top width height <"$prefix/drive_c/menu.rect"
    sleep 0.5  # let the menu finish drawing
    import -window root "$work/screen.png"
    touch "$prefix/drive_c/captured"
    # The menu alone, on a strip of desktop colour.
    convert "$work/screen.png" -crop "${width}x${height}+${left}+${top}" +repage \
        -bordercolor '#3A6EA5' -border 12 -strip "$root/build/demo/context-menu.png"
    echo "saved build/demo/context-menu.png (${width} x ${height} pixels of menu)"
else
    echo "the menu did not appear; no picture"
fi
wait "$shower" || true

store="$app_unix/vss-standin-store.txt"
show_store() {
    echo "The stand-in's store of snapshots now holds: $(cat "$store" 2>/dev/null | wc -l | tr -d ' ')"
}
say "twVss_64.exe -c C:\\"
echo "Under Wine the VSS service is a test stand-in (vssapi.dll beside the tool): Wine's own VSS"
echo "service makes no snapshots. The stand-in keeps its snapshots in a file beside itself."
created=$(wine "$app\\twVss_64.exe" -c 'C:\' 2>&1 | tr -d '\r')
printf '%s\n' "$created"
name=$(printf '%s\n' "$created" | sed -n 's/^CREATED : //p')
[ -n "$name" ] || { echo "make demo: twVss_64.exe made no snapshot" >&2; exit 1; }
show_store

say "twVss_64.exe -d $name (the name it printed, in a new process)"
wine_ "$app\\twVss_64.exe" -d "$name"
show_store

say "The uninstall helper: $app\\TwUninstall.exe"
code=0
wine "$app\\TwUninstall.exe" >/dev/null 2>&1 || code=$?
echo "TwUninstall.exe exit code: $code"
# regsvr32 runs on its own after the helper has ended.
for _ in $(seq 1 600); do
    wine reg query "$class_key" >/dev/null 2>&1 || break
    sleep 0.1
done
sleep 1

say "What is left"
show_entries
