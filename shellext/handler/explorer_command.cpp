#include "explorer_command.h"

#include <string>

#include "command_model.h"
#include "menu_model.h"
#include "shell_platform.h"

namespace tw {

const InterfaceEntry<CExplorerCommand> CExplorerCommand::interfaceMap[] = {
    {&IID_IExplorerCommand, &FaceOf<CExplorerCommand, IExplorerCommand>},
    {nullptr, nullptr},
};

const InterfaceEntry<CEnumExplorerCommand> CEnumExplorerCommand::interfaceMap[] = {
    {&IID_IEnumExplorerCommand, &FaceOf<CEnumExplorerCommand, IEnumExplorerCommand>},
    {nullptr, nullptr},
};

namespace {

// The process's platform operations (the DLL's Win32 ones, or a test's stand-in).
ShellPlatform& Shell() {
    return *ShellPlatform::Current();
}

// The first item of a selection, held for one method and released after it.
class FirstItem {
  public:
    // Null when there is no selection, it is empty, or its first item cannot be had.
    explicit FirstItem(IShellItemArray* selection) noexcept {
        DWORD count = 0;
        if (selection != nullptr && SUCCEEDED(selection->GetCount(&count)) && count != 0 &&
            FAILED(selection->GetItemAt(0, &item))) {
            item = nullptr;
        }
    }
    ~FirstItem() {
        if (item != nullptr) {
            item->Release();
        }
    }
    FirstItem(const FirstItem&) = delete;
    FirstItem& operator=(const FirstItem&) = delete;

    // One question to the shell, from the item's attributes.
    SelectionFacts Facts() const noexcept {
        SelectionFacts facts;
        SFGAOF attributes = 0;
        if (item != nullptr && SUCCEEDED(item->GetAttributes(
                                   SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_STREAM, &attributes))) {
            facts.hasPath = (attributes & SFGAO_FILESYSTEM) != 0;
            facts.isFile = (attributes & SFGAO_FOLDER) == 0 || (attributes & SFGAO_STREAM) != 0;
        }
        return facts;
    }

    // The item's file-system path, whole, as the shell hands it out: task memory that the caller
    // frees with com::FreeTaskMemory. Null when there is no item, or it has no path or an empty
    // one (the empty string is freed here).
    LPWSTR FileSystemPath() const noexcept {
        LPWSTR name = nullptr;
        if (item == nullptr || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
            return nullptr;
        }
        if (name != nullptr && reinterpret_cast<const char16_t*>(name)[0] == u'\0') {
            com::FreeTaskMemory(name);
            return nullptr;
        }
        return name;
    }

  private:
    IShellItem* item = nullptr;
};

// Takes a reference to a node through its interface, as its holders give it back.
CExplorerCommand* Hold(CExplorerCommand* node) noexcept {
    static_cast<IExplorerCommand*>(node)->AddRef();
    return node;
}

void Drop(CExplorerCommand* node) noexcept {
    if (node != nullptr) {
        static_cast<IExplorerCommand*>(node)->Release();
    }
}

// `length` units of `text` as a new string in task memory, for an out parameter.
HRESULT TaskText(const char16_t* text, size_t length, LPWSTR* out) noexcept {
    auto* copy = static_cast<char16_t*>(com::AllocateTaskMemory((length + 1) * sizeof(char16_t)));
    if (copy == nullptr) {
        return E_OUTOFMEMORY;
    }
    std::char_traits<char16_t>::copy(copy, text, length);
    copy[length] = u'\0';
    *out = reinterpret_cast<LPWSTR>(copy);
    return S_OK;
}

// The same for an ASCII text.
HRESULT TaskText(const char* text, LPWSTR* out) noexcept {
    std::u16string wide;
    try {
        wide.assign(text, text + std::char_traits<char>::length(text));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return TaskText(wide.data(), wide.size(), out);
}

// "<module file name>,-<id>", the form in which the shell names an icon resource of a module.
std::u16string IconLocation(const std::u16string& moduleFileName, WORD id) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + id % 10));
        id = static_cast<WORD>(id / 10);
    } while (id != 0);
    return moduleFileName + u",-" + digits;
}

}  // namespace

CExplorerCommand::~CExplorerCommand() {
    if (knownSelection != nullptr) {
        knownSelection->Release();
    }
    Drop(root);
}

SelectionFacts CExplorerCommand::FactsOf(IShellItemArray* selection) noexcept {
    if (root != nullptr) {
        return root->FactsOf(selection);
    }
    if (selection == nullptr || selection != knownSelection) {
        const SelectionFacts facts = FirstItem(selection).Facts();
        if (selection == nullptr) {
            return facts;
        }
        selection->AddRef();
        if (knownSelection != nullptr) {
            knownSelection->Release();
        }
        knownSelection = selection;
        knownFacts = facts;
    }
    return knownFacts;
}

HRESULT CExplorerCommand::CreateSubcommand(CExplorerCommand* root, ULONG entry,
                                           IExplorerCommand** result) noexcept {
    void* made = nullptr;
    const HRESULT hr = CComObject<CExplorerCommand>::CreateInstance(IID_IExplorerCommand, &made);
    *result = static_cast<IExplorerCommand*>(made);
    if (SUCCEEDED(hr)) {
        auto* subcommand = static_cast<CExplorerCommand*>(*result);
        subcommand->entry = entry;
        subcommand->root = Hold(root);
    }
    return hr;
}

HRESULT CExplorerCommand::GetTitle(IShellItemArray* psiItemArray, LPWSTR* ppszName) noexcept {
    if (ppszName == nullptr) {
        return E_POINTER;
    }
    *ppszName = nullptr;
    if (entry == 0) {
        return TaskText(kExplorerCommandTitle,
                        std::char_traits<char16_t>::length(kExplorerCommandTitle), ppszName);
    }
    return TaskText(EntryText(entry, FactsOf(psiItemArray).isFile), ppszName);
}

HRESULT CExplorerCommand::GetIcon(IShellItemArray*, LPWSTR* ppszIcon) noexcept {
    if (ppszIcon == nullptr) {
        return E_POINTER;
    }
    *ppszIcon = nullptr;
    try {
        const std::u16string module = Shell().ModuleFileName(serverModule->dllInstance);
        if (module.empty()) {
            return E_FAIL;
        }
        const std::u16string location = IconLocation(module, kExplorerCommandIconId);
        return TaskText(location.data(), location.size(), ppszIcon);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CExplorerCommand::GetToolTip(IShellItemArray*, LPWSTR* ppszInfotip) noexcept {
    if (ppszInfotip == nullptr) {
        return E_POINTER;
    }
    *ppszInfotip = nullptr;
    return E_NOTIMPL;
}

HRESULT CExplorerCommand::GetCanonicalName(GUID* pguidCommandName) noexcept {
    if (pguidCommandName == nullptr) {
        return E_POINTER;
    }
    if (entry != 0) {
        *pguidCommandName = GUID_NULL;
        return E_NOTIMPL;
    }
    *pguidCommandName = CLSID_ExplorerCommand;
    return S_OK;
}

HRESULT CExplorerCommand::GetState(IShellItemArray* psiItemArray, BOOL,
                                   EXPCMDSTATE* pCmdState) noexcept {
    if (pCmdState == nullptr) {
        return E_POINTER;
    }
    *pCmdState = FactsOf(psiItemArray).hasPath ? ECS_ENABLED : ECS_HIDDEN;
    return S_OK;
}

HRESULT CExplorerCommand::Invoke(IShellItemArray* psiItemArray, IBindCtx*) noexcept {
    if (entry == 0) {
        return E_NOTIMPL;
    }
    const LPWSTR name = FirstItem(psiItemArray).FileSystemPath();
    if (name == nullptr) {
        return E_INVALIDARG;
    }
    HRESULT hr = E_OUTOFMEMORY;
    try {
        const std::u16string path(reinterpret_cast<const char16_t*>(name));
        hr = CarryOutCommand(Shell(), serverModule->dllInstance, entry,
                             FactsOf(psiItemArray).isFile, path);
    } catch (...) {
        // Out of memory while the path was copied: nothing was started.
    }
    com::FreeTaskMemory(name);
    return hr;
}

HRESULT CExplorerCommand::GetFlags(EXPCMDFLAGS* pFlags) noexcept {
    if (pFlags == nullptr) {
        return E_POINTER;
    }
    *pFlags = entry == 0 ? ECF_HASSUBCOMMANDS : ECF_DEFAULT;
    return S_OK;
}

HRESULT CExplorerCommand::EnumSubCommands(IEnumExplorerCommand** ppEnum) noexcept {
    if (ppEnum == nullptr) {
        return E_POINTER;
    }
    *ppEnum = nullptr;
    if (entry != 0) {
        return E_NOTIMPL;
    }
    void* made = nullptr;
    const HRESULT hr =
        CComObject<CEnumExplorerCommand>::CreateInstance(IID_IEnumExplorerCommand, &made);
    *ppEnum = static_cast<IEnumExplorerCommand*>(made);
    if (SUCCEEDED(hr)) {
        static_cast<CEnumExplorerCommand*>(*ppEnum)->root = Hold(this);
    }
    return hr;
}

CEnumExplorerCommand::~CEnumExplorerCommand() {
    Drop(root);
}

HRESULT CEnumExplorerCommand::Next(ULONG celt, IExplorerCommand** pUICommand,
                                   ULONG* pceltFetched) noexcept {
    if (pUICommand == nullptr) {
        return E_POINTER;
    }
    if (pceltFetched == nullptr && celt != 1) {
        return E_INVALIDARG;
    }
    ULONG made = 0;
    HRESULT hr = S_OK;
    while (made < celt && position + made < kSubCommandCount) {
        hr = CExplorerCommand::CreateSubcommand(root, position + made + 1, &pUICommand[made]);
        if (FAILED(hr)) {
            break;
        }
        ++made;
    }
    if (FAILED(hr)) {
        // All or nothing: what this call made goes again.
        while (made != 0) {
            pUICommand[--made]->Release();
            pUICommand[made] = nullptr;
        }
    }
    position += made;
    if (pceltFetched != nullptr) {
        *pceltFetched = made;
    }
    if (FAILED(hr)) {
        return hr;
    }
    return made == celt ? S_OK : S_FALSE;
}

HRESULT CEnumExplorerCommand::Skip(ULONG celt) noexcept {
    const ULONG skipped = celt < kSubCommandCount - position ? celt : kSubCommandCount - position;
    position += skipped;
    return skipped == celt ? S_OK : S_FALSE;
}

HRESULT CEnumExplorerCommand::Reset() noexcept {
    position = 0;
    return S_OK;
}

HRESULT CEnumExplorerCommand::Clone(IEnumExplorerCommand** ppenum) noexcept {
    if (ppenum == nullptr) {
        return E_POINTER;
    }
    void* made = nullptr;
    const HRESULT hr =
        CComObject<CEnumExplorerCommand>::CreateInstance(IID_IEnumExplorerCommand, &made);
    *ppenum = static_cast<IEnumExplorerCommand*>(made);
    if (SUCCEEDED(hr)) {
        auto* clone = static_cast<CEnumExplorerCommand*>(*ppenum);
        clone->root = Hold(root);
        clone->position = position;
    }
    return hr;
}

}  // namespace tw
