// twrgs, a dry run of a registry script for script and installer authors:
//     twrgs [--unregister] [--from FILE] [--format reg|wix] [--wix-id ID] [-s NAME=VALUE]...
//           (SCRIPT | --dll FILE)
// runs the script (registering, or unregistering with --unregister) through the registrar against
// an in-memory registry that starts empty or with the content of the .reg file given to --from,
// and prints the resulting registry as a .reg file, which --from reads back. The script is the
// file SCRIPT, or the resource "REGISTRY" 101 of the Windows binary given to --dll; it is 8-bit
// text in code page 1252, as the product's registration reads it on a Western system. The .reg
// text is UTF-8. Each -s adds a substitution (UTF-8).
//
// --format wix prints instead what registering writes as a WiX v3 fragment for an installer
// (wix_fragment.h), with the component group named by --wix-id (default "Registration"). Its
// registry starts empty, so it takes neither --from nor --unregister; substitution values are the
// installer's formatted text, given as they are: -s "MODULE=[#twShellExt_64.dll]".
//
// Exit status: 0 with the registry on standard output; 1 when the script fails, with
// "twrgs: 0x80020009 DISP_E_EXCEPTION at line 3, column 9" (the HRESULT, its name, and where the
// interpreter stopped) on standard error, or when --format wix cannot declare what it writes, with
// one line per reason ("twrgs: line 5, column 9: HKEY_CLASSES_ROOT\X, value "B": a REG_BINARY
// value, ..."); 2 for bad usage or a file that cannot be read. On failure nothing is written to
// standard output.
#pragma once

#include <string>
#include <vector>

#include "registry.h"

namespace tw {

// Runs the tool with the arguments after the program name; fills what goes to standard output and
// standard error, and returns the exit status.
int RunTwrgs(const std::vector<std::string>& arguments, std::string* out, std::string* err);

// A REG_SZ value that registration writes besides its script, before it, into a key that exists
// already (a server's entry in the Approved list of shell extensions, for instance). The output
// holds it as a value the registration wrote, in a key that it does not own.
struct RegistrationValue {
    RegistryRoot root;
    std::string key;   // below the root, levels separated by backslashes (8-bit text)
    std::string name;  // 8-bit text
    std::string text;  // 8-bit text, without its terminating zero
};

// The same with `alsoWritten` written before the script, for tools that know more of a
// registration than its script.
int RunTwrgs(const std::vector<std::string>& arguments,
             const std::vector<RegistrationValue>& alsoWritten, std::string* out, std::string* err);

// main() of a program that runs the tool: `leading` and then the program's arguments, with
// `alsoWritten`. Writes the two streams and returns the exit status; never throws.
int TwrgsMain(int argc, char** argv, const std::vector<std::string>& leading,
              const std::vector<RegistrationValue>& alsoWritten) noexcept;

}  // namespace tw
