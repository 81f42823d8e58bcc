// What the uninstall helper decides: which regsvr32 starts to request, from which directory.
#pragma once

#include <string>

#include "path_policy.h"
#include "process_start.h"

namespace tw {

// Asks regsvr32 to unregister both builds of the shell extension found beside the helper at
// `helperPath`: first the 32-bit "twShellExt.dll", then "twShellExt_64.dll", whatever became of the
// first request. regsvr32 starts in the helper's directory and loads the DLL named there, so the
// directory is given in a form that keeps both below MAX_PATH (the path policy, over
// `shortNames`); a start for which the directory has no such form fails, as a refused start does,
// and the other is requested all the same. Starts nothing when the helper's directory cannot be
// told from its path.
void UnregisterShellExtensions(const std::u16string& helperPath, ProcessStarter& starter,
                               ShortPathNames& shortNames);

}  // namespace tw
