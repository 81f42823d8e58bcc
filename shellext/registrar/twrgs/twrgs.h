// twrgs, a dry run of a registry script for script and installer authors:
//     twrgs [--unregister] [--from FILE] [-s NAME=VALUE]... SCRIPT
// runs SCRIPT (registering, or unregistering with --unregister) through the registrar against an
// in-memory registry that starts empty or with the content of the .reg file FILE, and prints the
// resulting registry as a .reg file, which --from reads back. The script is 8-bit text in code
// page 1252, as the product's registration reads it on a Western system; the .reg text is UTF-8.
// Each -s adds a substitution (UTF-8).
//
// Exit status: 0 with the registry on standard output; 1 when the script fails, with
// "twrgs: 0x80020009 DISP_E_EXCEPTION at line 3, column 9" (the HRESULT, its name, and where the
// interpreter stopped) on standard error; 2 for bad usage or a file that cannot be read. On
// failure nothing is written to standard output.
#pragma once

#include <string>
#include <vector>

namespace tw {

// Runs the tool with the arguments after the program name; fills what goes to standard output and
// standard error, and returns the exit status.
int RunTwrgs(const std::vector<std::string>& arguments, std::string* out, std::string* err);

}  // namespace tw
