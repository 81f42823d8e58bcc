// What picking a menu entry does: which helper command a command offset leads to, the exact start
// request of the helper program twHelper.exe that sits beside the server module, and the one path
// by which the context-menu handler and the Explorer command carry a command out. All of it is
// UTF-16, so that the helper is handed the selected item exactly as it is named on disk.
#pragma once

#include <string>

#include "process_start.h"
#include "shell_platform.h"
#include "shell_types.h"

namespace tw {

struct CommandDecision {
    HRESULT result = S_OK;             // what InvokeCommand returns
    const char16_t* option = nullptr;  // the helper option to start with; null: start nothing
};

// The verb of an invoke request as a number: the address of a verb text, or a command offset. A
// caller that sets CMIC_MASK_UNICODE in an extended structure (its size covers lpVerbW) may carry
// a text verb in lpVerbW alone, with an offset or null in lpVerb: a text in either field is the
// verb. lpVerbW is read only when the size covers it and the mask says so; offsets come from
// lpVerb.
uintptr_t InvokedVerb(const CMINVOKECOMMANDINFO& info);

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

// ModuleDirectoryOf the file name of the module `module`, read through `platform` at each call.
std::u16string ModuleDirectory(ShellPlatform& platform, HINSTANCE module);

// The helper program's path in `moduleDirectory`: the directory followed by "twHelper.exe".
std::u16string HelperPathIn(const std::u16string& moduleDirectory);

// The start of twHelper.exe from `moduleDirectory`, in that directory, with the option directly
// followed by the path (unquoted, whatever it holds) as its parameters.
StartRequest HelperStartRequest(const char16_t* option, const std::u16string& selectedPath,
                                const std::u16string& moduleDirectory);

// Carries out command offset `verb` (as DecideCommand reads it) for the selected item: for offsets
// 1 and 2, twHelper.exe is started from the directory of the module `module` through `platform`,
// and whether the start succeeded is not reported. Returns the decision's result; E_OUTOFMEMORY
// with nothing started when memory runs out while the start is put together.
HRESULT CarryOutCommand(ShellPlatform& platform, HINSTANCE module, uintptr_t verb,
                        bool selectionIsFile, const std::u16string& selectedPath) noexcept;

}  // namespace tw
