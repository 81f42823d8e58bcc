// What the uninstall helper decides: which regsvr32 starts to request, from which directory.
#pragma once

#include <string>

#include "process_start.h"

namespace tw {

// Asks regsvr32 to unregister both builds of the shell extension found beside the helper at
// `helperPath`: first the 32-bit "twShellExt.dll", then "twShellExt_64.dll", whatever became of the
// first request. Starts nothing when the helper's directory cannot be told from its path.
void UnregisterShellExtensions(const std::u16string& helperPath, ProcessStarter& starter);

}  // namespace tw
