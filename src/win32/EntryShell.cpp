#include "win32/EntryShell.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "win32/Com.h"
#include "win32/Handles.h"
#include "win32/Strings.h"
#include "win32/WineQuirks.h"

namespace nimbrel::win32 {
namespace {

// {DC1C5A9C-E88A-4DDE-A5A1-60F82A20AEF7}, the file open dialog.
constexpr CLSID kFileOpenDialog = {0xdc1c5a9c, 0xe88a, 0x4dde, {0xa5, 0xa1, 0x60, 0xf8, 0x2a, 0x20, 0xae, 0xf7}};

Outcome Done() {
    return {true, {}};
}

Outcome Failed(DWORD error) {
    return {false, SystemReason(error)};
}

bool IsExecutable(const std::wstring& path) {
    const std::size_t dot = path.find_last_of(L".\\");
    if (dot == std::wstring::npos || path[dot] != L'.')
        return false;
    const std::wstring extension = path.substr(dot);
    return ::lstrcmpiW(extension.c_str(), L".exe") == 0 || ::lstrcmpiW(extension.c_str(), L".com") == 0;
}

HRESULT InvokePropertiesVerb(HWND owner, const std::wstring& path) {
    LPITEMIDLIST list = nullptr;
    HRESULT result = ::SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr);
    const UniqueIdList owned(list);
    ComPtr<IShellFolder> parent;
    LPCITEMIDLIST child = nullptr;
    ComPtr<IContextMenu> menu;
    if (SUCCEEDED(result))
        result = ::SHBindToParent(owned.get(), __uuidof(IShellFolder), parent.put_void(), &child);
    if (SUCCEEDED(result))
        result = parent->GetUIObjectOf(owner, 1, &child, __uuidof(IContextMenu), nullptr, menu.put_void());
    if (FAILED(result))
        return result;
    CMINVOKECOMMANDINFO invoke{};
    invoke.cbSize = sizeof(invoke);
    invoke.hwnd = owner;
    invoke.lpVerb = "properties";
    invoke.nShow = SW_SHOWNORMAL;
    return menu->InvokeCommand(&invoke);
}

}  // namespace

Outcome EntryShell::ShowProperties(const std::string& path) {
    const std::wstring file = Utf8ToWide(path);
    // The shell would still answer that it shows the sheet.
    if (::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Failed(::GetLastError());
    if (PropertiesOnlyThroughContextMenu()) {
        const HRESULT result = InvokePropertiesVerb(owner_, file);
        return SUCCEEDED(result) ? Done() : Failed(static_cast<DWORD>(result));
    }
    if (!::SHObjectProperties(owner_, SHOP_FILEPATH, file.c_str(), nullptr))
        return Failed(::GetLastError());
    return Done();
}

FileChoice EntryShell::ChooseFiles() {
    ComPtr<IFileOpenDialog> dialog;
    HRESULT result = ::CoCreateInstance(kFileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IFileOpenDialog),
                                        dialog.put_void());
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(result))
        result = dialog->GetOptions(&options);
    // FOS_NODEREFERENCELINKS: a chosen shortcut is copied, not followed to its target.
    if (SUCCEEDED(result))
        result = dialog->SetOptions(options | FOS_FORCEFILESYSTEM | FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST |
                                    FOS_NODEREFERENCELINKS | FOS_ALLOWMULTISELECT);
    if (SUCCEEDED(result))
        result = dialog->SetTitle(kAddDialogTitle);
    if (SUCCEEDED(result))
        result = dialog->SetOkButtonLabel(L"&Add");
    if (SUCCEEDED(result))
        result = dialog->Show(owner_);
    if (result == HRESULT_FROM_WIN32(ERROR_CANCELLED))
        return {};
    ComPtr<IShellItemArray> items;
    if (SUCCEEDED(result))
        result = dialog->GetResults(items.put());
    DWORD count = 0;
    if (SUCCEEDED(result))
        result = items->GetCount(&count);
    if (FAILED(result))
        return {{}, SystemReason(static_cast<DWORD>(result))};
    FileChoice choice;
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IShellItem> item;
        wchar_t* path = nullptr;
        if (FAILED(items->GetItemAt(i, item.put())) || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)))
            continue;
        const UniqueHandle<wchar_t*, ::CoTaskMemFree> owned(path);
        choice.paths.push_back(WideToUtf8(path));
    }
    return choice;
}

Outcome EntryShell::StartWith(const std::string& program, const std::vector<std::string>& arguments) {
    const std::wstring file = Utf8ToWide(program);
    std::vector<std::wstring> wide;
    wide.reserve(arguments.size());
    for (const std::string& argument : arguments)
        wide.push_back(Utf8ToWide(argument));
    if (IsExecutable(file)) {
        const DWORD error = StartExecutable(startProcess_, owner_, file, wide);
        return error == ERROR_SUCCESS ? Done() : Failed(error);
    }
    const std::wstring parameters = QuotedArguments(wide);
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    // The bar tells the user itself, with the file it tried.
    execute.fMask = SEE_MASK_FLAG_NO_UI;
    execute.hwnd = owner_;
    execute.lpFile = file.c_str();
    execute.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    execute.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&execute) ? Done() : Failed(::GetLastError());
}

}  // namespace nimbrel::win32
