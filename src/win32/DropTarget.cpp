#include "win32/DropTarget.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "win32/Handles.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

// {4657278A-411B-11D2-839A-00C04FD918D0}, the shell's drag-and-drop helper.
constexpr CLSID kDragDropHelper = {0x4657278a, 0x411b, 0x11d2, {0x83, 0x9a, 0x00, 0xc0, 0x4f, 0xd9, 0x18, 0xd0}};

CLIPFORMAT Format(const wchar_t* name) {
    return static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(name));
}

// One format of a data object in global memory, given back to the object's owner on destruction.
class GlobalData {
public:
    GlobalData(IDataObject* data, CLIPFORMAT format) {
        FORMATETC wanted{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        held_ = SUCCEEDED(data->GetData(&wanted, &medium_));
        if (held_ && medium_.tymed == TYMED_HGLOBAL && medium_.hGlobal != nullptr) {
            bytes_ = ::GlobalLock(medium_.hGlobal);
            size_ = bytes_ != nullptr ? ::GlobalSize(medium_.hGlobal) : 0;
        }
    }
    GlobalData(const GlobalData&) = delete;
    GlobalData& operator=(const GlobalData&) = delete;
    ~GlobalData() {
        if (bytes_ != nullptr)
            ::GlobalUnlock(medium_.hGlobal);
        if (held_)
            ::ReleaseStgMedium(&medium_);
    }

    HGLOBAL Handle() const { return bytes_ != nullptr ? medium_.hGlobal : nullptr; }
    const unsigned char* Bytes() const { return static_cast<const unsigned char*>(bytes_); }
    std::size_t Size() const { return size_; }

    // The text up to its first NUL, or to the end of the memory.
    std::wstring Wide() const {
        const auto* text = reinterpret_cast<const wchar_t*>(bytes_);
        const std::size_t limit = size_ / sizeof(wchar_t);
        std::size_t length = 0;
        while (length < limit && text[length] != L'\0')
            ++length;
        return std::wstring(text, length);
    }
    std::string Narrow() const {
        const auto* text = static_cast<const char*>(bytes_);
        std::size_t length = 0;
        while (length < size_ && text[length] != '\0')
            ++length;
        return std::string(text, length);
    }

private:
    STGMEDIUM medium_{};
    bool held_ = false;
    void* bytes_ = nullptr;
    std::size_t size_ = 0;
};

std::vector<std::string> DroppedFiles(IDataObject* data) {
    std::vector<std::string> paths;
    const GlobalData drop(data, CF_HDROP);
    if (drop.Handle() == nullptr)
        return paths;
    const auto files = static_cast<HDROP>(drop.Handle());
    const UINT count = ::DragQueryFileW(files, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(files, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        if (length > 0 && ::DragQueryFileW(files, i, path.data(), length + 1) == length) {
            path.resize(length);
            paths.push_back(WideToUtf8(path));
        }
    }
    return paths;
}

// The shell's item list (CIDA): a count, then offsets of the parent folder's ID list and of each item's, relative to
// the parent. Items that are not in the file system are left out.
std::vector<std::string> ShellItemPaths(IDataObject* data) {
    std::vector<std::string> paths;
    const GlobalData list(data, Format(CFSTR_SHELLIDLIST));
    if (list.Bytes() == nullptr || list.Size() < sizeof(UINT))
        return paths;
    UINT count = 0;
    std::memcpy(&count, list.Bytes(), sizeof(count));
    if (count == 0 || list.Size() / sizeof(UINT) < static_cast<std::size_t>(count) + 2)
        return paths;
    std::vector<UINT> offsets(count + 1);
    std::memcpy(offsets.data(), list.Bytes() + sizeof(UINT), offsets.size() * sizeof(UINT));
    for (UINT offset : offsets) {
        if (offset >= list.Size())
            return paths;
    }
    const auto parent = reinterpret_cast<LPCITEMIDLIST>(list.Bytes() + offsets[0]);
    for (UINT i = 1; i <= count; ++i) {
        const UniqueIdList item(::ILCombine(parent, reinterpret_cast<LPCITEMIDLIST>(list.Bytes() + offsets[i])));
        std::wstring path(MAX_PATH + 1, L'\0');
        if (item && ::SHGetPathFromIDListW(item.get(), path.data())) {
            path.resize(std::wcslen(path.c_str()));
            paths.push_back(WideToUtf8(path));
        }
    }
    return paths;
}

std::wstring Trimmed(std::wstring text) {
    const std::size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

// Firefox's own format: the address, a line break, the title.
std::pair<std::wstring, std::wstring> MozillaUrl(IDataObject* data) {
    const GlobalData moz(data, Format(L"text/x-moz-url"));
    if (moz.Bytes() == nullptr)
        return {};
    const std::wstring text = moz.Wide();
    const std::size_t newline = text.find(L'\n');
    if (newline == std::wstring::npos)
        return {Trimmed(text), {}};
    return {Trimmed(text.substr(0, newline)), Trimmed(text.substr(newline + 1))};
}

std::wstring Url(IDataObject* data) {
    if (const GlobalData wide(data, Format(CFSTR_INETURLW)); wide.Bytes() != nullptr)
        return Trimmed(wide.Wide());
    if (const GlobalData ansi(data, Format(CFSTR_INETURLA)); ansi.Bytes() != nullptr)
        return Trimmed(Utf8ToWide(AnsiToUtf8(ansi.Narrow())));
    return MozillaUrl(data).first;
}

// The name of the internet shortcut that a browser offers for the address, without its ".url".
std::wstring Title(IDataObject* data) {
    std::wstring name;
    if (const GlobalData wide(data, Format(CFSTR_FILEDESCRIPTORW));
        wide.Bytes() != nullptr && wide.Size() >= sizeof(FILEGROUPDESCRIPTORW)) {
        const auto* group = reinterpret_cast<const FILEGROUPDESCRIPTORW*>(wide.Bytes());
        if (group->cItems > 0)
            name.assign(group->fgd[0].cFileName, ::wcsnlen(group->fgd[0].cFileName, MAX_PATH));
    } else if (const GlobalData ansi(data, Format(CFSTR_FILEDESCRIPTORA));
               ansi.Bytes() != nullptr && ansi.Size() >= sizeof(FILEGROUPDESCRIPTORA)) {
        const auto* group = reinterpret_cast<const FILEGROUPDESCRIPTORA*>(ansi.Bytes());
        if (group->cItems > 0)
            name = Utf8ToWide(
                AnsiToUtf8(std::string(group->fgd[0].cFileName, ::strnlen(group->fgd[0].cFileName, MAX_PATH))));
    } else {
        return MozillaUrl(data).second;
    }
    if (name.size() > 4 && ::lstrcmpiW(name.c_str() + name.size() - 4, L".url") == 0)
        name.resize(name.size() - 4);
    return Trimmed(name);
}

}  // namespace

DroppedItems ReadDroppedItems(IDataObject* data) {
    DroppedItems items;
    if (data == nullptr)
        return items;
    items.paths = DroppedFiles(data);
    if (items.paths.empty())
        items.paths = ShellItemPaths(data);
    if (!items.paths.empty())
        return items;
    items.url = WideToUtf8(Url(data));
    if (!items.url.empty())
        items.title = WideToUtf8(Title(data));
    return items;
}

DWORD DropEffectFor(DropAction action, const DroppedItems& items, DWORD allowed) {
    if (action == DropAction::None)
        return DROPEFFECT_NONE;
    const DWORD wanted = action == DropAction::Add && items.paths.empty() ? DROPEFFECT_LINK : DROPEFFECT_COPY;
    if ((allowed & wanted) != 0)
        return wanted;
    // The bar makes its own shortcut or copy either way: the other of the two shows as well.
    const DWORD other = wanted == DROPEFFECT_COPY ? DROPEFFECT_LINK : DROPEFFECT_COPY;
    return (allowed & other) != 0 ? other : DROPEFFECT_NONE;
}

DropTarget::DropTarget(HWND window, DropCallbacks callbacks) : window_(window), callbacks_(std::move(callbacks)) {
    if (window_ != nullptr && FAILED(::CoCreateInstance(kDragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                                        __uuidof(IDropTargetHelper), picture_.put_void())))
        picture_.reset();
}

DropTarget::~DropTarget() = default;

HRESULT DropTarget::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG DropTarget::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

ULONG DropTarget::Release() {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

DropSpot DropTarget::SpotAt(POINTL point) const {
    return callbacks_.spotAt ? callbacks_.spotAt(point.x, point.y) : DropSpot{};
}

// No exception leaves these methods: OLE calls them from its own loop, and from another program's drag.
HRESULT DropTarget::DragEnter(IDataObject* data, DWORD /*keys*/, POINTL point, DWORD* effect) {
    if (effect == nullptr)
        return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    try {
        items_ = ReadDroppedItems(data);
        over_ = !items_.Empty();
        if (over_ && callbacks_.onDragOver)
            callbacks_.onDragOver(true);
        if (over_)
            *effect = DropEffectFor(DecideDrop(items_, SpotAt(point)), items_, allowed);
    } catch (...) {
        *effect = DROPEFFECT_NONE;
    }
    if (picture_) {
        POINT at{point.x, point.y};
        picture_->DragEnter(window_, data, &at, *effect);
    }
    return S_OK;
}

HRESULT DropTarget::DragOver(DWORD /*keys*/, POINTL point, DWORD* effect) {
    if (effect == nullptr)
        return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    try {
        if (over_)
            *effect = DropEffectFor(DecideDrop(items_, SpotAt(point)), items_, allowed);
    } catch (...) {
        *effect = DROPEFFECT_NONE;
    }
    if (picture_) {
        POINT at{point.x, point.y};
        picture_->DragOver(&at, *effect);
    }
    return S_OK;
}

HRESULT DropTarget::DragLeave() {
    if (picture_)
        picture_->DragLeave();
    EndDrag();
    return S_OK;
}

HRESULT DropTarget::Drop(IDataObject* data, DWORD /*keys*/, POINTL point, DWORD* effect) {
    if (effect == nullptr)
        return E_INVALIDARG;
    const DWORD allowed = *effect;
    *effect = DROPEFFECT_NONE;
    try {
        // What is let go is what counts, whatever the drag said when it came.
        const DroppedItems items = ReadDroppedItems(data);
        const DropSpot spot = SpotAt(point);
        const DropAction action = DecideDrop(items, spot);
        *effect = DropEffectFor(action, items, allowed);
        if (picture_) {
            POINT at{point.x, point.y};
            picture_->Drop(data, &at, *effect);
        }
        if (*effect != DROPEFFECT_NONE && callbacks_.onDrop)
            callbacks_.onDrop(items, spot);
    } catch (...) {
        *effect = DROPEFFECT_NONE;
    }
    EndDrag();
    return S_OK;
}

void DropTarget::EndDrag() {
    const bool wasOver = over_;
    over_ = false;
    items_ = {};
    try {
        if (wasOver && callbacks_.onDragOver)
            callbacks_.onDragOver(false);
    } catch (...) {
    }
}

DropRegistration::DropRegistration(HWND window, DropCallbacks callbacks) : window_(window) {
    // S_FALSE: this thread had OLE already, and leaves it once more all the same.
    result_ = ::OleInitialize(nullptr);
    oleStarted_ = SUCCEEDED(result_);
    if (!oleStarted_)
        return;
    // Made inside OLE's apartment, where the shell's picture helper can be made too.
    *target_.put() = new DropTarget(window, std::move(callbacks));
    result_ = ::RegisterDragDrop(window_, target_.get());
}

DropRegistration::~DropRegistration() {
    if (result_ == S_OK)
        ::RevokeDragDrop(window_);
    if (oleStarted_)
        ::OleUninitialize();
}

}  // namespace nimbrel::win32
