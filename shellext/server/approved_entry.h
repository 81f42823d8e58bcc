// The server's entry in the Approved list of shell extensions, defined once: DllRegisterServer
// writes it and DllUnregisterServer deletes it (registration.cpp), and twrgs --approved declares it
// in an installer fragment beside the entries of the registry script.
#pragma once

#include <string>

#include "class_id.h"
#include "guid_text.h"

namespace tw {

// HKEY_LOCAL_MACHINE\<kApprovedKey>: opened with KEY_SET_VALUE, never created.
inline constexpr char kApprovedKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
// The REG_SZ value registration sets there: named after the class identifier, upper case in
// braces, holding kApprovedDescription and its terminating zero.
inline std::string ApprovedValueName() {
    return GuidText(CLSID_SimpleShlExt);
}
inline constexpr char kApprovedDescription[] = "Tarnwick Shell Extension";

}  // namespace tw
