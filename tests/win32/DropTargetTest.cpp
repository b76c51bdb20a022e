// The bar's drop target fed real data objects: the shell's own for files, and browsers' formats for addresses; the
// effects it answers where, what it hands over, and OLE's drag and drop onto a registered window.
#include <windows.h>

#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "win32/Com.h"
#include "win32/DropTarget.h"
#include "win32/Handles.h"
#include "win32/MainWindow.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

using test::ScratchFolder;
using test::WriteRawFile;

CLIPFORMAT Format(const wchar_t* name) {
    return static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(name));
}

std::string Bytes(const void* data, std::size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

std::string WideBytes(const std::wstring& text) {
    return Bytes(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

// A data object that serves each of its formats from global memory, as a browser's or Explorer's does.
class TestData final : public IDataObject {
public:
    void Set(CLIPFORMAT format, std::string bytes) { formats_[format] = std::move(bytes); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDataObject)) {
            *object = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the test's stack, which outlasts every reference OLE takes.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        const auto it = formats_.find(format->cfFormat);
        if (it == formats_.end() || (format->tymed & TYMED_HGLOBAL) == 0)
            return DV_E_FORMATETC;
        HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, it->second.size());
        std::memcpy(::GlobalLock(memory), it->second.data(), it->second.size());
        ::GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return formats_.count(format->cfFormat) != 0 ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        std::vector<FORMATETC> list;
        for (const auto& [format, bytes] : formats_)
            list.push_back({format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL});
        return ::SHCreateStdEnumFmtEtc(static_cast<UINT>(list.size()), list.data(), out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    std::map<CLIPFORMAT, std::string> formats_;
};

// CF_HDROP as Explorer gives it: a DROPFILES header, then the wide paths, each ending in a NUL, and one more NUL.
std::string HDrop(const std::vector<std::wstring>& paths) {
    DROPFILES header{};
    header.pFiles = sizeof(header);
    header.fWide = TRUE;
    std::wstring list;
    for (const std::wstring& path : paths)
        list += path + L'\0';
    list += L'\0';
    return Bytes(&header, sizeof(header)) + Bytes(list.data(), list.size() * sizeof(wchar_t));
}

std::string FileGroup(const std::wstring& name) {
    FILEGROUPDESCRIPTORW group{};
    group.cItems = 1;
    group.fgd[0].dwFlags = FD_LINKUI;
    ::lstrcpynW(group.fgd[0].cFileName, name.c_str(), MAX_PATH);
    return Bytes(&group, sizeof(group));
}

std::string FileGroupAnsi(const std::string& name) {
    FILEGROUPDESCRIPTORA group{};
    group.cItems = 1;
    ::lstrcpynA(group.fgd[0].cFileName, name.c_str(), MAX_PATH);
    return Bytes(&group, sizeof(group));
}

// The shell's own data object for files of one folder, as Explorer hands it to a drag.
class ShellData {
public:
    ShellData(const std::wstring& folder, const std::vector<std::wstring>& names) {
        LPITEMIDLIST list = nullptr;
        if (FAILED(::SHParseDisplayName(folder.c_str(), nullptr, &list, 0, nullptr)))
            return;
        const UniqueIdList parent(list);
        ComPtr<IShellFolder> shellFolder;
        if (FAILED(::SHBindToObject(nullptr, parent.get(), nullptr, __uuidof(IShellFolder), shellFolder.put_void())))
            return;
        std::vector<LPCITEMIDLIST> children;
        for (const std::wstring& name : names) {
            LPITEMIDLIST child = nullptr;
            std::wstring copy = name;
            if (FAILED(shellFolder->ParseDisplayName(nullptr, nullptr, copy.data(), nullptr, &child, nullptr)))
                return;
            children_.emplace_back(child);
            children.push_back(child);
        }
        shellFolder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(), __uuidof(IDataObject),
                                   nullptr, object_.put_void());
    }
    IDataObject* get() const { return object_.get(); }

private:
    std::vector<UniqueIdList> children_;
    ComPtr<IDataObject> object_;
};

// The bytes of one format of a data object.
std::string FormatBytes(IDataObject* data, CLIPFORMAT format) {
    FORMATETC wanted{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&wanted, &medium)))
        return {};
    std::string bytes(static_cast<const char*>(::GlobalLock(medium.hGlobal)), ::GlobalSize(medium.hGlobal));
    ::GlobalUnlock(medium.hGlobal);
    ::ReleaseStgMedium(&medium);
    return bytes;
}

class DropFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteRawFile(folder.Join(L"Report.docx"), "x"));
        ASSERT_TRUE(WriteRawFile(folder.Join(L"\u65E5\u672C \u0416.txt"), "x"));
        ::CreateDirectoryW(folder.Join(L"Photos").c_str(), nullptr);
    }
    std::vector<std::string> Expected() const {
        return {WideToUtf8(folder.Join(L"Report.docx")), WideToUtf8(folder.Join(L"\u65E5\u672C \u0416.txt")),
                WideToUtf8(folder.Join(L"Photos"))};
    }

    const ComApartment apartment;
    ScratchFolder folder;
    const std::vector<std::wstring> names{L"Report.docx", L"\u65E5\u672C \u0416.txt", L"Photos"};
};

TEST_F(DropFiles, FromAnHDropTheirPaths) {
    TestData data;
    std::vector<std::wstring> paths;
    for (const std::wstring& name : names)
        paths.push_back(folder.Join(name));
    data.Set(CF_HDROP, HDrop(paths));
    EXPECT_EQ(ReadDroppedItems(&data), (DroppedItems{Expected(), {}, {}}));
}

TEST_F(DropFiles, FromTheShellsOwnDataObject) {
    const ShellData shell(folder.Path(), names);
    ASSERT_NE(shell.get(), nullptr);
    EXPECT_EQ(ReadDroppedItems(shell.get()), (DroppedItems{Expected(), {}, {}}));
}

TEST_F(DropFiles, FromTheShellsItemListAlone) {
    // Virtual folders' drags carry only the item list; its file-system items are taken.
    const ShellData shell(folder.Path(), names);
    ASSERT_NE(shell.get(), nullptr);
    const std::string list = FormatBytes(shell.get(), Format(CFSTR_SHELLIDLIST));
    ASSERT_FALSE(list.empty()) << "the shell's data object has no item list";
    TestData data;
    data.Set(Format(CFSTR_SHELLIDLIST), list);
    EXPECT_EQ(ReadDroppedItems(&data), (DroppedItems{Expected(), {}, {}}));
}

TEST(DropAddress, WithTheTitleTheBrowserGives) {
    struct Case {
        const char* what;
        std::map<std::wstring, std::string> formats;
        DroppedItems items;
    };
    const std::wstring url = L"https://www.example.org/\u65E5";
    const std::string urlUtf8 = WideToUtf8(url);
    const Case cases[] = {
        {"a browser's address and its shortcut's name",
         {{CFSTR_INETURLW, WideBytes(url)}, {CFSTR_FILEDESCRIPTORW, FileGroup(L"Example \u0416.url")}},
         {{}, urlUtf8, WideToUtf8(L"Example \u0416")}},
        {"the address alone",
         {{CFSTR_INETURLW, WideBytes(L" https://www.example.org/ \r\n")}},
         {{}, "https://www.example.org/", {}}},
        {"an older program's ANSI formats",
         {{CFSTR_INETURLA, std::string("https://www.example.org/\0", 25)},
          {CFSTR_FILEDESCRIPTORA, FileGroupAnsi("Example.URL")}},
         {{}, "https://www.example.org/", "Example"}},
        {"Firefox's own format",
         {{L"text/x-moz-url", WideBytes(L"https://www.example.org/\nExample Domain")}},
         {{}, "https://www.example.org/", "Example Domain"}},
    };
    for (const Case& c : cases) {
        TestData data;
        for (const auto& [name, bytes] : c.formats)
            data.Set(Format(name.c_str()), bytes);
        EXPECT_EQ(ReadDroppedItems(&data), c.items) << c.what;
    }
    TestData text;
    text.Set(CF_UNICODETEXT, WideBytes(L"https://www.example.org/"));
    EXPECT_TRUE(ReadDroppedItems(&text).Empty()) << "text is not an address";
}

// Callbacks that record what the drop target tells, answering each point with the spot set for it.
struct Recorder {
    DropCallbacks Callbacks() {
        return {[this](int x, int y) {
                    points.push_back({x, y});
                    return spot;
                },
                [this](bool over) { overs.push_back(over); },
                [this](const DroppedItems& items, const DropSpot& at) {
                    drops.push_back({items, at});
                }};
    }
    DropSpot spot;
    std::vector<POINT> points;
    std::vector<bool> overs;
    std::vector<std::pair<DroppedItems, DropSpot>> drops;
};

class DropTargetTest : public ::testing::Test {
protected:
    DropTargetTest() { *target.put() = new DropTarget(nullptr, recorder.Callbacks()); }

    void SetUp() override {
        ASSERT_TRUE(WriteRawFile(folder.Join(L"a b.txt"), "x"));
        files.Set(CF_HDROP, HDrop({folder.Join(L"a b.txt")}));
        address.Set(Format(CFSTR_INETURLW), WideBytes(L"https://www.example.org/"));
        address.Set(Format(CFSTR_FILEDESCRIPTORW), FileGroup(L"Example.url"));
    }

    DWORD Enter(IDataObject* data, DWORD allowed, POINTL at = {10, 20}) {
        DWORD effect = allowed;
        EXPECT_EQ(target->DragEnter(data, MK_LBUTTON, at, &effect), S_OK);
        return effect;
    }
    DWORD Over(DWORD allowed, POINTL at = {11, 21}) {
        DWORD effect = allowed;
        EXPECT_EQ(target->DragOver(MK_LBUTTON, at, &effect), S_OK);
        return effect;
    }
    DWORD Drop(IDataObject* data, DWORD allowed, POINTL at = {12, 22}) {
        DWORD effect = allowed;
        EXPECT_EQ(target->Drop(data, 0, at, &effect), S_OK);
        return effect;
    }

    const ComApartment apartment;
    ScratchFolder folder;
    Recorder recorder;
    ComPtr<DropTarget> target;
    TestData files;
    TestData address;
    TestData empty;
};

TEST_F(DropTargetTest, TheEffectSaysWhatADropWouldDoThere) {
    constexpr DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    const DropSpot bar{DropSpot::Kind::Bar, {}};
    const DropSpot program{DropSpot::Kind::Program, "C:\\Tools\\edit.exe"};
    const DropSpot inert{DropSpot::Kind::Inert, {}};
    struct Case {
        const char* what;
        TestData& data;
        const DropSpot& spot;
        DWORD allowed;
        DWORD effect;
    };
    const Case cases[] = {
        {"files on the bar", files, bar, kAll, DROPEFFECT_COPY},
        {"files on a program", files, program, kAll, DROPEFFECT_COPY},
        {"files on a separator", files, inert, kAll, DROPEFFECT_NONE},
        {"an address on the bar", address, bar, kAll, DROPEFFECT_LINK},
        {"an address on a program", address, program, kAll, DROPEFFECT_NONE},
        {"files whose source allows only a link", files, bar, DROPEFFECT_LINK, DROPEFFECT_LINK},
        {"an address whose source allows only a copy", address, bar, DROPEFFECT_COPY, DROPEFFECT_COPY},
        {"files whose source allows only a move", files, bar, DROPEFFECT_MOVE, DROPEFFECT_NONE},
        {"nothing the bar takes", empty, bar, kAll, DROPEFFECT_NONE},
    };
    for (const Case& c : cases) {
        recorder.spot = c.spot;
        EXPECT_EQ(Enter(&c.data, c.allowed), c.effect) << c.what;
        EXPECT_EQ(Over(c.allowed), c.effect) << c.what;
        EXPECT_EQ(target->DragLeave(), S_OK);
    }
}

TEST_F(DropTargetTest, TheSpotIsAskedAtEveryPointInScreenPixels) {
    recorder.spot = {DropSpot::Kind::Bar, {}};
    Enter(&files, DROPEFFECT_COPY, {-1024, 5});
    Over(DROPEFFECT_COPY, {300, 7});
    Drop(&files, DROPEFFECT_COPY, {301, 8});
    ASSERT_EQ(recorder.points.size(), 3u);
    EXPECT_EQ(recorder.points[0].x, -1024);
    EXPECT_EQ(recorder.points[1].x, 300);
    EXPECT_EQ(recorder.points[2].y, 8);
}

TEST_F(DropTargetTest, ADropHandsOverTheItemsAndTheSpot) {
    recorder.spot = {DropSpot::Kind::Program, "C:\\Tools\\edit.exe"};
    Enter(&files, DROPEFFECT_COPY | DROPEFFECT_LINK);
    EXPECT_EQ(Drop(&files, DROPEFFECT_COPY | DROPEFFECT_LINK), DROPEFFECT_COPY);
    recorder.spot = {DropSpot::Kind::Bar, {}};
    Enter(&address, DROPEFFECT_COPY | DROPEFFECT_LINK);
    EXPECT_EQ(Drop(&address, DROPEFFECT_COPY | DROPEFFECT_LINK), DROPEFFECT_LINK);
    ASSERT_EQ(recorder.drops.size(), 2u);
    EXPECT_EQ(recorder.drops[0].first, (DroppedItems{{WideToUtf8(folder.Join(L"a b.txt"))}, {}, {}}));
    EXPECT_EQ(recorder.drops[0].second, (DropSpot{DropSpot::Kind::Program, "C:\\Tools\\edit.exe"}));
    EXPECT_EQ(recorder.drops[1].first, (DroppedItems{{}, "https://www.example.org/", "Example"}));
    EXPECT_EQ(recorder.drops[1].second.kind, DropSpot::Kind::Bar);
}

TEST_F(DropTargetTest, ADropWhereNothingTakesItHandsNothingOver) {
    recorder.spot = {DropSpot::Kind::Inert, {}};
    Enter(&files, DROPEFFECT_COPY);
    EXPECT_EQ(Drop(&files, DROPEFFECT_COPY), DROPEFFECT_NONE);
    recorder.spot = {DropSpot::Kind::Program, "C:\\Tools\\edit.exe"};
    Enter(&address, DROPEFFECT_COPY | DROPEFFECT_LINK);
    EXPECT_EQ(Drop(&address, DROPEFFECT_COPY | DROPEFFECT_LINK), DROPEFFECT_NONE);
    EXPECT_TRUE(recorder.drops.empty());
}

TEST_F(DropTargetTest, TheBarHearsWhileSomethingDroppableIsOverIt) {
    recorder.spot = {DropSpot::Kind::Inert, {}};
    Enter(&files, DROPEFFECT_COPY);
    Over(DROPEFFECT_COPY);
    target->DragLeave();
    Enter(&address, DROPEFFECT_LINK);
    Drop(&address, DROPEFFECT_LINK);
    // Nothing droppable: nothing to hear.
    Enter(&empty, DROPEFFECT_COPY);
    target->DragLeave();
    EXPECT_EQ(recorder.overs, (std::vector<bool>{true, false, true, false}));
}

// A drag source that lets go once the target has had the pointer over it for a few rounds.
class LettingGo final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDropSource)) {
            *object = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return ++rounds > 10 ? DRAGDROP_S_DROP : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

    int rounds = 0;
};

class DropWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(window.Handle(), nullptr);
        // 200 x 60 pixels at (100, 100), in front.
        ::SetWindowPos(window.Handle(), HWND_TOPMOST, 100, 100, 200, 60, SWP_SHOWWINDOW);
        test::PumpFor(100);
        ASSERT_TRUE(WriteRawFile(folder.Join(L"a b.txt"), "x"));
    }

    const ComApartment apartment;
    ScratchFolder folder;
    MainWindow window{::GetModuleHandleW(nullptr)};
    Recorder recorder;
};

TEST_F(DropWindowTest, TheWindowIsRegisteredForItsLifeAndRevokedAfter) {
    {
        const DropRegistration registration(window.Handle(), recorder.Callbacks());
        ASSERT_EQ(registration.Result(), S_OK);
        ComPtr<DropTarget> another;
        *another.put() = new DropTarget(nullptr, {});
        EXPECT_EQ(::RegisterDragDrop(window.Handle(), another.get()), DRAGDROP_E_ALREADYREGISTERED);
    }
    // OLE is still on for this thread while anything else holds it.
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    ComPtr<DropTarget> another;
    *another.put() = new DropTarget(nullptr, {});
    EXPECT_EQ(::RegisterDragDrop(window.Handle(), another.get()), S_OK) << "the registration was not revoked";
    ::RevokeDragDrop(window.Handle());
    ::OleUninitialize();
}

TEST_F(DropWindowTest, OlesDragAndDropReachesTheRegisteredWindow) {
    const DropRegistration registration(window.Handle(), recorder.Callbacks());
    ASSERT_EQ(registration.Result(), S_OK);
    recorder.spot = {DropSpot::Kind::Bar, {}};
    TestData files;
    files.Set(CF_HDROP, HDrop({folder.Join(L"a b.txt")}));
    ::SetCursorPos(150, 130);
    test::PumpFor(50);
    LettingGo source;
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(::DoDragDrop(&files, &source, DROPEFFECT_COPY | DROPEFFECT_LINK, &effect), DRAGDROP_S_DROP);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    ASSERT_EQ(recorder.drops.size(), 1u);
    EXPECT_EQ(recorder.drops[0].first.paths, std::vector<std::string>{WideToUtf8(folder.Join(L"a b.txt"))});
    ASSERT_FALSE(recorder.points.empty());
    EXPECT_EQ(recorder.points.back().x, 150);
    EXPECT_EQ(recorder.points.back().y, 130);
    EXPECT_EQ(recorder.overs, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace nimbrel::win32
