// What picking a menu entry does: which helper command a command offset leads to, and the exact
// start request of the helper program twHelper.exe that sits beside the server module.
#pragma once

#include <string>

#include "process_start.h"
#include "shell_types.h"

namespace tw {

struct CommandDecision {
    HRESULT result = S_OK;         // what InvokeCommand returns
    const char* option = nullptr;  // the helper option to start with; null: start nothing
};

// `verb` is the verb field of the invoke structure as a number. A value above 0xFFFF is the address
// of a verb text: refused. Otherwise it is the command offset: 0 and 3 (the separators) do nothing,
// 1 backs the item up, 2 restores a file or shows a folder's backups, 4 and above are refused.
CommandDecision DecideCommand(uintptr_t verb, bool selectionIsFile);

// The directory of a module file name, with a trailing backslash: everything before the last
// backslash, or the whole name when it has none, then one backslash.
std::string ModuleDirectoryOf(const std::string& moduleFileName);

// The helper program's path in `moduleDirectory`: the directory followed by "twHelper.exe".
std::string HelperPathIn(const std::string& moduleDirectory);

// The start of twHelper.exe from `moduleDirectory`, in that directory, with the option directly
// followed by the path (unquoted, whatever it holds) as its parameters.
StartRequest HelperStartRequest(const char* option, const std::string& selectedPath,
                                const std::string& moduleDirectory);

}  // namespace tw
