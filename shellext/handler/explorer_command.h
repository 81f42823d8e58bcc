// CExplorerCommand, the product's entries in the context menu that Windows 11's Explorer opens on a
// right-click: a small tree of Explorer commands, which the package registered for the install
// folder declares. The root, "Tarnwick", opens a submenu of two subcommands, the classic menu's two
// entries for a file or a folder; picking one starts twHelper.exe exactly as the classic entry
// does, through the same command code (command_model.h).
//
// Explorer hands each method the selection as an IShellItemArray and calls them on its UI thread
// for every right-click, so none of them touches the disk or the network: whether the first item
// has a file-system path, and whether it is a file or a folder, come from the shell item's
// attributes, asked once per selection for the whole tree; its path, from the item's name, is read
// only when a command is picked.
#pragma once

#include "class_id.h"
#include "com_objects.h"
#include "resource_ids.h"
#include "shell_types.h"

namespace tw {

// The icon every node of the tree shows, named as "<the DLL's path>,-<id>".
constexpr WORD kExplorerCommandIconId = TW_IDI_EXPLORER_COMMAND;
// The root's title.
inline constexpr char16_t kExplorerCommandTitle[] = u"Tarnwick";
// How many subcommands the root has: the classic menu's entries at command offsets 1 and 2.
constexpr ULONG kSubCommandCount = 2;

// The facts of a selection that the tree shows depend on: whether its first item has a file-system
// path (SFGAO_FILESYSTEM: only such items have one), and whether that item is a file. A folder is
// SFGAO_FOLDER without SFGAO_STREAM, so that a .zip, which is both, counts as a file; no item, or
// attributes that cannot be read, give no path and a file.
struct SelectionFacts {
    bool hasPath = false;
    bool isFile = true;
};

// One node of the tree. The class object makes the root; the root's enumerator makes the
// subcommands, each of which holds the root. Every node is hidden for a selection whose first item
// has no file-system path.
class CExplorerCommand
    : public CComObjectRootEx<CComSingleThreadModel>,
      public CComCoClass<CExplorerCommand, &CLSID_ExplorerCommand, Aggregation::Refused>,
      public IExplorerCommand {
  public:
    CExplorerCommand() noexcept = default;
    // Gives back the root and the selection it holds.
    virtual ~CExplorerCommand();
    CExplorerCommand(const CExplorerCommand&) = delete;
    CExplorerCommand& operator=(const CExplorerCommand&) = delete;

    // The root: "Tarnwick". A subcommand: the classic entry's text for the selection's first item
    // (a file when there is none or its attributes cannot be read).
    HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray* psiItemArray,
                                       LPWSTR* ppszName) noexcept override;
    // "<the DLL's path>,-<kExplorerCommandIconId>" for every node; E_FAIL when the DLL's path
    // cannot be had.
    HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray* psiItemArray,
                                      LPWSTR* ppszIcon) noexcept override;
    // No tooltip: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray* psiItemArray,
                                         LPWSTR* ppszInfotip) noexcept override;
    // The root: its class identifier, under which the package declares it. A subcommand is
    // declared nowhere: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID* pguidCommandName) noexcept override;
    // ECS_HIDDEN when the selection is empty or its first item has no file-system path (a virtual
    // item), ECS_ENABLED otherwise.
    HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* psiItemArray, BOOL fOkToBeSlow,
                                       EXPCMDSTATE* pCmdState) noexcept override;
    // A subcommand: the classic menu's command of its offset for the selection's first item, its
    // file-system path whole; E_INVALIDARG with nothing started when there is no such item. The
    // root only opens its submenu: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* psiItemArray,
                                     IBindCtx* pbc) noexcept override;
    // The root: ECF_HASSUBCOMMANDS; a subcommand: ECF_DEFAULT.
    HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS* pFlags) noexcept override;
    // The root: a new enumerator of its two subcommands; a subcommand has none: E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand** ppEnum) noexcept override;

    // The class table's registration function: the package declares this class, and the classic
    // registration writes nothing for it, so that Windows 10, which does not read the package,
    // shows no second set of entries. The server defines it (shellext/server/server.cpp).
    static HRESULT UpdateRegistration(bool registering) noexcept;

    // The facts of `selection`, read from the shell only when the tree has not seen that array
    // before: Explorer hands the root and its subcommands the same array for one right-click, and
    // an array, which the root holds while it keeps its facts, never changes.
    SelectionFacts FactsOf(IShellItemArray* selection) noexcept;

    // Makes the subcommand of `root` at command offset `entry` (1 or 2); it holds the root.
    static HRESULT CreateSubcommand(CExplorerCommand* root, ULONG entry,
                                    IExplorerCommand** result) noexcept;

    static const InterfaceEntry<CExplorerCommand> interfaceMap[];

    // 0 for the root; 1 or 2 for the subcommand that stands for the classic menu's entry at that
    // command offset.
    ULONG entry = 0;
    CExplorerCommand* root = nullptr;           // a subcommand's root, referenced
    IShellItemArray* knownSelection = nullptr;  // the root's: the array of `knownFacts`, referenced
    SelectionFacts knownFacts;
};

// The root's subcommands, in order, each made when it is handed out. Holds the root.
class CEnumExplorerCommand : public CComObjectRootEx<CComSingleThreadModel>,
                             public IEnumExplorerCommand {
  public:
    CEnumExplorerCommand() noexcept = default;
    virtual ~CEnumExplorerCommand();
    CEnumExplorerCommand(const CEnumExplorerCommand&) = delete;
    CEnumExplorerCommand& operator=(const CEnumExplorerCommand&) = delete;

    // Hands out up to `celt` subcommands: S_OK when that many were left, S_FALSE otherwise, the
    // number in `*pceltFetched` (which may be null only when one is asked for). A subcommand that
    // cannot be made fails the call: nothing handed out, the position unchanged.
    HRESULT STDMETHODCALLTYPE Next(ULONG celt, IExplorerCommand** pUICommand,
                                   ULONG* pceltFetched) noexcept override;
    // S_OK when `celt` subcommands were left to pass over, S_FALSE otherwise.
    HRESULT STDMETHODCALLTYPE Skip(ULONG celt) noexcept override;
    HRESULT STDMETHODCALLTYPE Reset() noexcept override;
    // A new enumerator at the same position.
    HRESULT STDMETHODCALLTYPE Clone(IEnumExplorerCommand** ppenum) noexcept override;

    static const InterfaceEntry<CEnumExplorerCommand> interfaceMap[];

    CExplorerCommand* root = nullptr;  // referenced
    ULONG position = 0;                // subcommands handed out or passed over
};

}  // namespace tw
