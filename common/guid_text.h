// A GUID as the registry and COM write it: upper-case hexadecimal in braces,
// "{9F264B80-12D4-4C4C-9158-7A1A1803FB58}".
#pragma once

#include <string>

#include "win_types.h"

namespace tw {

std::string GuidText(const GUID& guid);

}  // namespace tw
