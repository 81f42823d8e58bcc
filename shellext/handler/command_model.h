// What picking a menu entry does: which helper command a command offset leads to, and the exact
// start request of the helper program twHelper.exe that sits beside the server module. All of it
// is UTF-16, so that the helper is handed the selected item exactly as it is named on disk.
#pragma once

#include <string>

#include "process_start.h"
#include "shell_types.h"

namespace tw {

struct CommandDecision {
    HRESULT result = S_OK;             // what InvokeCommand returns
    const char16_t* option = nullptr;  // the helper option to start with; null: start nothing
};

// `verb` is the verb field of the invoke structure as a number. A value above 0xFFFF is the address
// of a verb text: refused. Otherwise it is the command offset: 0 and 3 (the separators) do nothing,
// 1 backs the item up, 2 restores a file or shows a folder's backups, 4 and above are refused.
CommandDecision DecideCommand(uintptr_t verb, bool selectionIsFile);

// The directory of a module file name, with a trailing backslash: everything up to the last
// backslash, or, when it has none, the whole name followed by one backslash (a lone backslash for
// a name that could not be obtained).
std::u16string ModuleDirectoryOf(const std::u16string& moduleFileName);

// The helper program's file name.
constexpr char16_t kHelperFileName[] = u"twHelper.exe";

// The helper program's path in `moduleDirectory`: the directory followed by "twHelper.exe".
std::u16string HelperPathIn(const std::u16string& moduleDirectory);

// The start of twHelper.exe from `moduleDirectory`, in that directory, with the option directly
// followed by the path (unquoted, whatever it holds) as its parameters.
StartRequest HelperStartRequest(const char16_t* option, const std::u16string& selectedPath,
                                const std::u16string& moduleDirectory);

}  // namespace tw
