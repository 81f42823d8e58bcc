// Deleting the snapshot whose device object name a creation printed.
#pragma once

#include <string>

#include "console.h"
#include "vss_requester.h"

namespace tw {

// Enumerates the snapshots the service reports and deletes the first whose device object name
// equals the widened `deviceObject` unit for unit. Writes "Info : Managed to delete the snapshot: "
// followed by the argument's bytes when the deletion succeeded, and nothing otherwise.
void DeleteSnapshot(const std::string& deviceObject, VssService& vss, Console& console);

// The argument turned into UTF-16 byte by byte, each byte taken as a signed 8-bit value: bytes
// 0x00-0x7F keep their value, 0x80-0xFF become 0xFF80-0xFFFF. For a device object name made of
// ASCII characters this reproduces the name that the creation printed.
std::wstring WidenArgument(const std::string& bytes);

}  // namespace tw
