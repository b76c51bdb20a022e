// The Links folder's files and the shell's part in them, for real: folders, copies, shell links, internet shortcuts,
// the Recycle Bin, programs started with dropped files, the "Add to the bar" dialog and the property sheet.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "win32/Com.h"
#include "win32/EntryFiles.h"
#include "win32/EntryShell.h"
#include "win32/Handles.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

using test::PlaceRecorder;
using test::ReadRawFile;
using test::ReportedArguments;
using test::ScratchFolder;
using test::WaitForReport;
using test::WriteRawFile;

// {00021401-0000-0000-C000-000000000046}
constexpr CLSID kShellLink = {0x00021401, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string U8(const std::wstring& text) {
    return WideToUtf8(text);
}

struct ReadLink {
    std::wstring target;
    std::wstring workingFolder;
    std::wstring arguments;
};

// A shell link read back through the shell's own link object. The target comes from the link's item list, which the
// shell starts it by: Wine (8) keeps the path string beside it in the ANSI code page only.
ReadLink ReadShellLink(const std::wstring& path) {
    ReadLink read;
    ComPtr<IShellLinkW> link;
    ComPtr<IPersistFile> file;
    if (FAILED(::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW), link.put_void())) ||
        FAILED(link->QueryInterface(__uuidof(IPersistFile), file.put_void())) ||
        FAILED(file->Load(path.c_str(), STGM_READ)))
        return read;
    std::vector<wchar_t> buffer(32768);
    LPITEMIDLIST list = nullptr;
    if (SUCCEEDED(link->GetIDList(&list)) && list != nullptr) {
        const UniqueIdList owned(list);
        if (::SHGetPathFromIDListW(owned.get(), buffer.data()))
            read.target = buffer.data();
    }
    if (SUCCEEDED(link->GetWorkingDirectory(buffer.data(), static_cast<int>(buffer.size()))))
        read.workingFolder = buffer.data();
    if (SUCCEEDED(link->GetArguments(buffer.data(), static_cast<int>(buffer.size()))))
        read.arguments = buffer.data();
    return read;
}

// Runs act on another thread once a visible top-level window of this process whose title passes match shows,
// waiting up to ten seconds for it.
class WindowWatcher {
public:
    WindowWatcher(std::function<bool(HWND)> match, std::function<void(HWND)> act)
        : thread_([this, match = std::move(match), act = std::move(act)] {
              for (int i = 0; i < 200 && !stop_; ++i) {
                  if (HWND found = Find(match)) {
                      found_ = found;
                      seen_ = true;
                      act(found);
                      return;
                  }
                  ::Sleep(50);
              }
          }) {}
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;
    ~WindowWatcher() {
        stop_ = true;
        thread_.join();
    }
    bool Seen() const { return seen_; }
    HWND Found() const { return found_; }

private:
    static HWND Find(const std::function<bool(HWND)>& match) {
        struct Search {
            const std::function<bool(HWND)>* match;
            HWND found = nullptr;
        } search{&match};
        ::EnumWindows(
            [](HWND window, LPARAM data) -> BOOL {
                auto* s = reinterpret_cast<Search*>(data);
                DWORD process = 0;
                ::GetWindowThreadProcessId(window, &process);
                if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window) || !(*s->match)(window))
                    return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
    std::atomic<HWND> found_{nullptr};
    std::thread thread_;
};

std::wstring TitleOf(HWND window) {
    wchar_t title[256] = {};
    ::GetWindowTextW(window, title, 256);
    return title;
}

class EntryFilesTest : public ::testing::Test {
protected:
    const ComApartment apartment;
    ScratchFolder folder;
    EntryFiles files{nullptr};
};

TEST_F(EntryFilesTest, KindsAndFolders) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"a file.txt"), "x"));
    const std::string links = U8(folder.Join(L"Links \u65E5"));
    EXPECT_EQ(files.KindOf(U8(folder.Join(L"a file.txt"))), PathKind::File);
    EXPECT_EQ(files.KindOf(U8(folder.Join(L"A FILE.TXT"))), PathKind::File) << "names compare without regard to case";
    EXPECT_EQ(files.KindOf(links), PathKind::Missing);
    EXPECT_TRUE(files.MakeFolder(links).done);
    EXPECT_EQ(files.KindOf(links), PathKind::Folder);
    EXPECT_TRUE(files.MakeFolder(links).done) << "a folder that is there counts as made";
    // A file in the folder's place, a parent that is not there: the system's reasons.
    const Outcome onFile = files.MakeFolder(U8(folder.Join(L"a file.txt")));
    EXPECT_FALSE(onFile.done);
    EXPECT_FALSE(onFile.reason.empty());
    const Outcome noParent = files.MakeFolder(U8(folder.Join(L"absent\\Links")));
    EXPECT_FALSE(noParent.done);
    EXPECT_FALSE(noParent.reason.empty());
}

TEST_F(EntryFilesTest, ACopyNeverReplacesAndIsNeverHidden) {
    const std::wstring source = folder.Join(L"Mail.lnk");
    ASSERT_TRUE(WriteRawFile(source, "link bytes"));
    ::SetFileAttributesW(source.c_str(), FILE_ATTRIBUTE_HIDDEN);
    const std::wstring copy = folder.Join(L"copy.lnk");
    ASSERT_TRUE(files.Copy(U8(source), U8(copy)).done);
    EXPECT_EQ(ReadRawFile(copy), "link bytes");
    EXPECT_EQ(::GetFileAttributesW(copy.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
    ASSERT_TRUE(WriteRawFile(source, "other bytes"));
    const Outcome again = files.Copy(U8(source), U8(copy));
    EXPECT_FALSE(again.done);
    EXPECT_FALSE(again.reason.empty());
    EXPECT_EQ(ReadRawFile(copy), "link bytes");
}

TEST_F(EntryFilesTest, AShellLinkStartsItsTargetInTheTargetsFolder) {
    const std::wstring programs = folder.Join(L"Tools \u0416");
    ::CreateDirectoryW(programs.c_str(), nullptr);
    const std::wstring target = programs + L"\\editor.exe";
    ASSERT_TRUE(WriteRawFile(target, "MZ"));
    const std::wstring link = folder.Join(L"editor.lnk");
    ASSERT_TRUE(files.WriteShellLink(U8(link), U8(target)).done);
    const ReadLink read = ReadShellLink(link);
    EXPECT_EQ(U8(read.target), U8(target));
    EXPECT_EQ(U8(read.workingFolder), U8(programs));
    // A second shortcut of that name leaves the first as it was.
    const Outcome again = files.WriteShellLink(U8(link), U8(folder.Join(L"other.exe")));
    EXPECT_FALSE(again.done);
    EXPECT_FALSE(again.reason.empty());
    EXPECT_EQ(U8(ReadShellLink(link).target), U8(target));
}

TEST_F(EntryFilesTest, ANewFileHoldsTheBytesAsTheyAre) {
    const std::string bytes = "[InternetShortcut]\r\nURL=https://www.example.org/a%20b\r\n";
    const std::wstring path = folder.Join(L"Example.url");
    ASSERT_TRUE(files.WriteNewFile(U8(path), bytes).done);
    EXPECT_EQ(ReadRawFile(path), bytes);
    const Outcome again = files.WriteNewFile(U8(path), "other");
    EXPECT_FALSE(again.done);
    EXPECT_EQ(ReadRawFile(path), bytes);
    EXPECT_FALSE(files.WriteNewFile(U8(folder.Join(L"absent\\x.url")), bytes).done);
}

// XDG_DATA_HOME as a Windows path, made when it is not there: Wine's shell recycles into its Trash folder, and asks
// to delete for good when the folder cannot be made. Empty where the test runs without it.
std::wstring TrashHome() {
    wchar_t home[2048] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"XDG_DATA_HOME", home, 2048);
    if (length == 0 || length >= 2048)
        return {};
    std::wstring path = L"Z:" + std::wstring(home);
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return path;
}

TEST_F(EntryFilesTest, RecycledEntriesGoToTheRecycleBin) {
    const std::wstring unique = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount());
    const std::wstring file = folder.Join(L"Mail " + unique + L".lnk");
    const std::wstring sub = folder.Join(L"Tools " + unique);
    ASSERT_TRUE(WriteRawFile(file, "link bytes"));
    ::CreateDirectoryW(sub.c_str(), nullptr);
    ASSERT_TRUE(WriteRawFile(sub + L"\\inside.lnk", "x"));
    const std::wstring home = TrashHome();
    {
        // A question means the bin did not take it: "No" leaves it where it is, and the test fails.
        const WindowWatcher question([](HWND) { return true; },
                                     [](HWND window) { ::PostMessageW(window, WM_COMMAND, IDNO, 0); });
        EXPECT_TRUE(files.Recycle(U8(file)).done);
        EXPECT_TRUE(files.Recycle(U8(sub)).done);
        EXPECT_FALSE(question.Seen()) << "the shell asked: " << U8(TitleOf(question.Found()));
    }
    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(Exists(sub));
    const std::wstring trash = home.empty() ? std::wstring() : home + L"\\Trash\\files";
    RecordProperty("trash", U8(trash));
    if (!trash.empty()) {
        EXPECT_EQ(ReadRawFile(trash + L"\\Mail " + unique + L".lnk"), "link bytes");
        EXPECT_EQ(ReadRawFile(trash + L"\\Tools " + unique + L"\\inside.lnk"), "x");
    }
    // What is not there fails at once, with no question that would wait for an answer.
    const Outcome absent = files.Recycle(U8(file));
    EXPECT_FALSE(absent.done);
    EXPECT_FALSE(absent.reason.empty());
}

TEST(FileOperationReason, TheShellsOwnCodesReadAsText) {
    EXPECT_EQ(FileOperationReason(0x78), "Access is denied.");
    EXPECT_EQ(FileOperationReason(0x7C), "The path is not valid.");
    // Other codes are the system's.
    EXPECT_EQ(FileOperationReason(ERROR_SHARING_VIOLATION), SystemReason(ERROR_SHARING_VIOLATION));
}

class StartWithTest : public ::testing::Test {
protected:
    const ComApartment apartment;
    ScratchFolder folder;
    // Arguments that Windows' quoting rules make hard: spaces, quotes, backslashes before a quote and at the end.
    const std::vector<std::string> arguments{
        U8(L"D:\\My Docs\\a b.txt"), "say \"hi\"", "C:\\dir\\", "trail\\\\", U8(L"\u65E5\u672C.txt"), ""};
};

TEST_F(StartWithTest, AProgramGetsEachArgumentAsItWas) {
    const std::wstring recorder = PlaceRecorder(folder, L"Program Files", L"Argv Recorder.exe");
    ASSERT_TRUE(EntryShell(nullptr).StartWith(U8(recorder), arguments).done);
    const std::vector<std::string> argv = ReportedArguments(WaitForReport(recorder));
    std::vector<std::string> expected{U8(recorder)};
    expected.insert(expected.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(argv, expected);
}

TEST_F(StartWithTest, AProgramThatNeedsElevationGetsTheArgumentsThroughTheShell) {
    const std::wstring recorder = PlaceRecorder(folder, L"bin", L"recorder.exe");
    constexpr ProcessStarter kNeedsElevation = [](auto...) -> BOOL {
        ::SetLastError(kElevationRequired);
        return FALSE;
    };
    ASSERT_TRUE(EntryShell(nullptr, kNeedsElevation).StartWith(U8(recorder), arguments).done);
    const std::vector<std::string> argv = ReportedArguments(WaitForReport(recorder));
    ASSERT_FALSE(argv.empty());
    EXPECT_EQ(std::vector<std::string>(argv.begin() + 1, argv.end()), arguments);
}

TEST_F(StartWithTest, AShortcutPutsTheFilesAfterItsOwnArguments) {
    const std::wstring recorder = PlaceRecorder(folder, L"bin", L"recorder.exe");
    const std::wstring link = folder.Join(L"Recorder.lnk");
    {
        ComPtr<IShellLinkW> shellLink;
        ComPtr<IPersistFile> file;
        ASSERT_HRESULT_SUCCEEDED(
            ::CoCreateInstance(kShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW), shellLink.put_void()));
        shellLink->SetPath(recorder.c_str());
        shellLink->SetArguments(L"--from-link");
        ASSERT_HRESULT_SUCCEEDED(shellLink->QueryInterface(__uuidof(IPersistFile), file.put_void()));
        ASSERT_HRESULT_SUCCEEDED(file->Save(link.c_str(), TRUE));
    }
    ASSERT_TRUE(EntryShell(nullptr).StartWith(U8(link), {"D:\\My Docs\\a b.txt"}).done);
    const std::vector<std::string> argv = ReportedArguments(WaitForReport(recorder));
    EXPECT_EQ(argv, (std::vector<std::string>{U8(recorder), "--from-link", "D:\\My Docs\\a b.txt"}));
}

TEST_F(StartWithTest, WhatCannotStartGivesTheSystemsReason) {
    for (const std::wstring& program : {folder.Join(L"absent.exe"), folder.Join(L"absent.lnk")}) {
        const Outcome started = EntryShell(nullptr).StartWith(U8(program), {"D:\\a.txt"});
        EXPECT_FALSE(started.done) << U8(program);
        EXPECT_FALSE(started.reason.empty()) << U8(program);
    }
}

// The first visible edit box in the dialog: its file name.
HWND FileNameBox(HWND dialog) {
    HWND found = nullptr;
    ::EnumChildWindows(
        dialog,
        [](HWND child, LPARAM data) -> BOOL {
            wchar_t name[32] = {};
            ::GetClassNameW(child, name, 32);
            if (::lstrcmpiW(name, L"Edit") != 0 || !::IsWindowVisible(child))
                return TRUE;
            *reinterpret_cast<HWND*>(data) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

class DialogTest : public ::testing::Test {
protected:
    const ComApartment apartment;
    ScratchFolder folder;
    EntryShell shell{nullptr};
};

TEST_F(DialogTest, AddToTheBarGivesTheChosenFileAndAShortcutAsItself) {
    const std::wstring link = folder.Join(L"Mail \u0416.lnk");
    ASSERT_TRUE(WriteRawFile(link, "not followed"));
    FileChoice choice;
    {
        const WindowWatcher chooser([](HWND w) { return TitleOf(w) == kAddDialogTitle; },
                                    [&](HWND dialog) {
                                        ::SendMessageW(FileNameBox(dialog), WM_SETTEXT, 0,
                                                       reinterpret_cast<LPARAM>(link.c_str()));
                                        ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                                    });
        choice = shell.ChooseFiles();
        EXPECT_TRUE(chooser.Seen()) << "no window titled \"Add to the bar\"";
    }
    EXPECT_TRUE(choice.reason.empty()) << choice.reason;
    EXPECT_EQ(choice.paths, std::vector<std::string>{U8(link)});
}

TEST_F(DialogTest, CancelChoosesNothingAndIsNoFailure) {
    FileChoice choice;
    {
        const WindowWatcher canceller([](HWND w) { return TitleOf(w) == kAddDialogTitle; },
                                      [](HWND dialog) { ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
        choice = shell.ChooseFiles();
        EXPECT_TRUE(canceller.Seen());
    }
    EXPECT_TRUE(choice.paths.empty());
    EXPECT_TRUE(choice.reason.empty()) << choice.reason;
}

TEST_F(DialogTest, PropertiesShowTheShellsSheetOfTheEntry) {
    const std::wstring file = folder.Join(L"Mail.lnk");
    ASSERT_TRUE(WriteRawFile(file, "x"));
    bool shown = false;
    {
        // The sheet names the entry; closing it ends what Wine shows modally.
        const WindowWatcher closer([](HWND w) { return TitleOf(w).find(L"Mail") != std::wstring::npos; },
                                   [](HWND sheet) { ::PostMessageW(sheet, WM_COMMAND, IDCANCEL, 0); });
        shown = shell.ShowProperties(U8(file)).done;
        test::PumpFor(200);
        EXPECT_TRUE(closer.Seen()) << "no property sheet of Mail.lnk";
    }
    EXPECT_TRUE(shown);
    const Outcome absent = shell.ShowProperties(U8(folder.Join(L"absent.lnk")));
    EXPECT_FALSE(absent.done);
    EXPECT_FALSE(absent.reason.empty());
}

}  // namespace
}  // namespace nimbrel::win32
