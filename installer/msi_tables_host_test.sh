#!/usr/bin/env bash
# The tables of dist/Tarnwick-Windows-Components.msi, read back with msiinfo export, for what the
# Windows 11 entries need and Wine cannot show (make dist first; exit 77, skipped, without it):
# - the build comes from HKLM's 64-bit CurrentBuildNumber, as it is (a raw search);
# - the two custom actions run in the install folder, deferred (in the installation script),
#   impersonated (as the installing user: a package is registered per user), the registration
#   checked and the removal not; the registration comes after the files and registry values are in
#   place, the removal before the files go, both inside the installation script;
# - each of the two registry components has a key path of its own rows, the handler keys'
#   component holds exactly the handler keys' rows and has the build condition;
# - each condition compares the build with the integer 22000, unquoted: Windows compares a
#   property with a quoted "22000" as text (and "7601" comes after it), which Wine does not show,
#   since its msiexec compares two numbers in text as numbers;
# - the package is installed into the DLL's folder, and the removal names the package's own name
#   (from the manifest inside dist/twShellExt_64.msix).
#     installer/msi_tables_host_test.sh DIST_DIR
set -euo pipefail
dist=$1
msi=$dist/Tarnwick-Windows-Components.msi
if [ ! -f "$msi" ] || [ ! -f "$dist/twShellExt_64.msix" ]; then
    echo "msi_tables_host_test: $msi or the package is missing; run make dist first; skipped"
    exit 77
fi
failures=0
check() {  # DESCRIPTION CONDITION: the condition is shell text, evaluated here
    local what=$1
    if eval "$2"; then
        echo "ok: $what"
    else
        echo "FAILED: $what"
        failures=$((failures + 1))
    fi
}
table() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'; }
row() { table "$1" | awk -F'\t' -v key="$2" '$1 == key'; }
field() { row "$1" "$2" | cut -f"$3"; }
sequence() { field InstallExecuteSequence "$1" 3; }

check "the build is HKLM (2), its key, CurrentBuildNumber, raw from the 64-bit view (2 + 16)" \
    '[ "$(row RegLocator TwWindowsBuild)" = "$(printf "TwWindowsBuild\t2\t%s\tCurrentBuildNumber\t18" \
        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")" ]'
check "AppSearch puts the search into TW_WINDOWS_BUILD" \
    '[ "$(row AppSearch TW_WINDOWS_BUILD)" = "$(printf "TW_WINDOWS_BUILD\tTwWindowsBuild")" ]'

for action in TwRegisterPackage TwRemovePackage; do
    type=$(field CustomAction "$action" 2)
    check "$action runs an executable in a directory (34), in the script (1024), impersonated" \
        '[ $((type & 63)) -eq 34 ] && [ $((type & 0x700)) -eq 1024 ] && [ $((type & 2048)) -eq 0 ]'
    check "$action runs in the install folder" '[ "$(field CustomAction "$action" 3)" = INSTALLFOLDER ]'
    check "$action runs inside the installation script" \
        '[ "$(sequence "$action")" -gt "$(sequence InstallInitialize)" ] &&
         [ "$(sequence "$action")" -lt "$(sequence InstallFinalize)" ]'
done
check "a failed registration fails the installation (return checked)" \
    '[ $(($(field CustomAction TwRegisterPackage 2) & 64)) -eq 0 ]'
check "a failed removal does not stop the uninstallation (return ignored)" \
    '[ $(($(field CustomAction TwRemovePackage 2) & 64)) -ne 0 ]'
check "the registration comes after the files and the registry values" \
    '[ "$(sequence TwRegisterPackage)" -gt "$(sequence InstallFiles)" ] &&
     [ "$(sequence TwRegisterPackage)" -gt "$(sequence WriteRegistryValues)" ]'
check "the removal comes before the files go" \
    '[ "$(sequence TwRemovePackage)" -lt "$(sequence RemoveFiles)" ]'

for component in TwShellExtRegistration TwShellExtMenuHandlers; do
    check "$component's key path is a registry value of its own" \
        '[ "$(field Registry "$(field Component "$component" 6)" 6)" = "$component" ]'
done
check "the handler keys' component is installed only before build 22000" \
    '[ "$(field Component TwShellExtMenuHandlers 5)" = "NOT (TW_WINDOWS_BUILD >= 22000)" ]'
for condition in "$(field Component TwShellExtMenuHandlers 5)" \
    "$(field InstallExecuteSequence TwRegisterPackage 2)" "$(field InstallExecuteSequence TwRemovePackage 2)"; do
    check "the condition '$condition' compares the build with the integer 22000" \
        'grep -Eq "(^|[ (])TW_WINDOWS_BUILD >= 22000($|[ )])" <<<"$condition" && ! grep -q "\"22000\"" <<<"$condition"'
done
check "the handler keys' four rows, and only they, are in the handler keys' component" \
    '[ "$(table Registry | awk -F"\t" "{ print (\$3 ~ /shellex\\\\ContextMenuHandlers\\\\/), \$6 }" |
          sort | uniq -c | tr -s " ")" = "$(printf " 5 0 TwShellExtRegistration\n 4 1 TwShellExtMenuHandlers")" ]'

check "the package is installed into the DLL's folder" \
    '[ "$(field Component "$(field File twShellExt_64.msix 2)" 3)" = \
       "$(field Component "$(field File twShellExt_64.dll 2)" 3)" ]'
name=$(python3 -c '
import sys, zipfile, xml.etree.ElementTree as ET
manifest = zipfile.ZipFile(sys.argv[1]).read("AppxManifest.xml")
ns = "{http://schemas.microsoft.com/appx/manifest/foundation/windows10}"
print(ET.fromstring(manifest).find(ns + "Identity").get("Name"))' "$dist/twShellExt_64.msix")
check "the removal names the package's own name ($name)" \
    'grep -q -- "Get-AppxPackage -Name $name |" <<<"$(field CustomAction TwRemovePackage 4)"'

[ "$failures" -eq 0 ] || { echo "msi_tables_host_test: $failures checks failed"; exit 1; }
