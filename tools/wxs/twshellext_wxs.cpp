// twshellext_wxs: the installer fragment of twShellExt_64.dll, that is, everything
// DllRegisterServer writes: the server's entry in the Approved list of shell extensions, which it
// writes itself (approved_entry.h), and the entries of its registry script, as twrgs --format wix
// declares them.
//     twshellext_wxs [-s NAME=VALUE]... [--wix-id ID] --dll twShellExt_64.dll
// takes the options of twrgs (twrgs.h) and always writes WiX. make dist makes
// dist/twShellExt_64.wxs with it (scripts/msi.sh).
#include "approved_entry.h"
#include "twrgs.h"

int main(int argc, char** argv) {
    const tw::RegistrationValue approved = {tw::RegistryRoot::LocalMachine, tw::kApprovedKey,
                                            tw::ApprovedValueName(), tw::kApprovedDescription};
    return tw::TwrgsMain(argc, argv, {"--format", "wix"}, {approved});
}
