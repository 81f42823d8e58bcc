// twrgs, a dry run of a registry script for script and installer authors (twrgs --help lists the
// options):
//     twrgs [--unregister] [--from FILE] [--format reg|wix] [--wix-id ID] [--approved]
//           [-s NAME=VALUE]... (SCRIPT | --dll FILE)
// runs the script (registering, or unregistering with --unregister) through the registrar against
// an in-memory registry that starts empty or with the content of the .reg file given to --from,
// and prints the resulting registry as a .reg file, which --from reads back. The script is the
// file SCRIPT, or the resource "REGISTRY" 101 of the Windows binary given to --dll; it is 8-bit
// text in code page 1252, as the product's registration reads it on a Western system. The .reg
// text is UTF-8. Each -s adds a substitution (UTF-8).
//
// A substitution reaches the output exactly or the run is refused. The .reg output shows what
// registration writes, and registration writes the script's values in the code page: a value (or
// name) with a character that code page 1252 cannot carry exactly (it has none, or only a best-fit
// look-alike) is refused. A WiX fragment carries any character: there a value passes as given.
//
// --format wix prints instead what registering writes as a WiX v3 fragment for an installer
// (wix_fragment.h), with the component group named by --wix-id (default "Registration"). Its
// registry starts empty, so it takes neither --from nor --unregister; substitution values are the
// installer's formatted text, given as they are: -s "MODULE=[#twShellExt_64.dll]".
//
// --approved adds what the product's DllRegisterServer writes besides its script, the server's
// value in the Approved list of shell extensions (approved_entry.h), in a key that exists before;
// with --unregister it deletes that value, as DllUnregisterServer does. So the fragment of
//     twrgs --format wix --approved -s APPID= -s Module=[#F] -s Module_Raw=[#F] --dll DLL
// declares everything registering the DLL writes.
//
// Exit status: 0 with the registry on standard output; 1 when the script fails, with
// "twrgs: 0x80020009 DISP_E_EXCEPTION at line 3, column 9: 'q' is no value type (s, m, d or b)"
// (the HRESULT, its name, where the interpreter stopped and, where it is known, why) on standard
// error, or when --format wix cannot declare what it writes, with one line per reason
// ("twrgs: line 5, column 9: HKEY_CLASSES_ROOT\X, value "B": a REG_BINARY value, ..."); 2 for bad
// usage, a file that cannot be read, or a substitution that the code page cannot carry. On
// failure nothing is written to standard output.
#pragma once

#include <string>
#include <vector>

namespace tw {

// Runs the tool with the arguments after the program name; fills what goes to standard output and
// standard error, and returns the exit status.
int RunTwrgs(const std::vector<std::string>& arguments, std::string* out, std::string* err);

// main() of the program: writes the two streams and returns the exit status; never throws.
int TwrgsMain(int argc, char** argv) noexcept;

}  // namespace tw
