// The Links folder through the real file API and shell: listing, Explorer's order, change notification, and starting
// entries.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LinkSupport.h"
#include "TestSupport.h"
#include "win32/Com.h"
#include "win32/LinksFolder.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

using test::MakeShortcut;
using test::PumpUntil;
using test::ScratchFolder;
using test::WriteRawFile;

// Generous for a second under a loaded Wine; a change is expected well within it.
constexpr DWORD kWithinASecond = 1000;

std::vector<std::string> Sorted(const FolderListing& listing) {
    std::vector<std::string> names;
    for (const FolderEntry& entry : listing.entries)
        names.push_back(entry.folder ? entry.name + "\\" : entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

bool Touch(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return WriteRawFile(path, "x") && ::SetFileAttributesW(path.c_str(), attributes);
}

TEST(LinksFolderListing, GivesFilesAndFoldersAndLeavesHiddenAndSystemOut) {
    ScratchFolder scratch;
    ASSERT_TRUE(Touch(scratch.Join(L"Mail.lnk")));
    ASSERT_TRUE(Touch(scratch.Join(L"\u65E5\u672C \u0416.url")));
    ASSERT_TRUE(Touch(scratch.Join(L"v1.2 Notes.txt")));
    ASSERT_TRUE(::CreateDirectoryW(scratch.Join(L"Tools").c_str(), nullptr));
    ASSERT_TRUE(Touch(scratch.Join(L"Tools\\inner.lnk")));
    ASSERT_TRUE(Touch(scratch.Join(L"desktop.ini"), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(Touch(scratch.Join(L"system.lnk"), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(Touch(scratch.Join(L"hidden.lnk"), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(::CreateDirectoryW(scratch.Join(L"Hidden Folder").c_str(), nullptr));
    ASSERT_TRUE(::SetFileAttributesW(scratch.Join(L"Hidden Folder").c_str(), FILE_ATTRIBUTE_HIDDEN));
    if ((::GetFileAttributesW(scratch.Join(L"system.lnk").c_str()) & FILE_ATTRIBUTE_SYSTEM) == 0)
        GTEST_SKIP() << "this file system keeps no system attribute";

    Folders folders(nullptr);
    const FolderListing listing = folders.List(WideToUtf8(scratch.Path()));
    EXPECT_EQ(listing.status, FolderStatus::Ok);
    EXPECT_EQ(Sorted(listing), (std::vector<std::string>{"Mail.lnk", "Tools\\", "v1.2 Notes.txt",
                                                         WideToUtf8(L"\u65E5\u672C \u0416.url")}));
}

TEST(LinksFolderListing, TellsAMissingFolderFromAFileAndAnEmptyFolder) {
    ScratchFolder scratch;
    ASSERT_TRUE(Touch(scratch.Join(L"Links.txt")));
    ASSERT_TRUE(::CreateDirectoryW(scratch.Join(L"Empty \u0416").c_str(), nullptr));
    const struct {
        std::wstring path;
        FolderStatus status;
    } rows[] = {
        {scratch.Join(L"Links"), FolderStatus::Missing},        {scratch.Join(L"Gone\\Links"), FolderStatus::Missing},
        {scratch.Join(L"Links.txt"), FolderStatus::NotAFolder}, {scratch.Join(L"Empty \u0416"), FolderStatus::Ok},
        {scratch.Join(L"Empty \u0416\\"), FolderStatus::Ok},
    };
    Folders folders(nullptr);
    for (const auto& row : rows) {
        const FolderListing listing = folders.List(WideToUtf8(row.path));
        EXPECT_EQ(listing.status, row.status) << WideToUtf8(row.path);
        EXPECT_TRUE(listing.entries.empty()) << WideToUtf8(row.path);
    }
}

TEST(LinksFolderOrder, ComparesNamesAsExplorerDoes) {
    const struct {
        const char* a;
        const char* b;
        int sign;
    } rows[] = {
        {"1 Mail", "10 Chat", -1},    {"10 Chat", "9 News", 1}, {"Mail", "mail", 0},
        {"apple", "Banana", -1},      {"File2", "File10", -1},  {"\xC3\x96l", "\xC3\xB6l", 0},  // "Öl", "öl"
        {"Zebra", "\xC3\x84pfel", 1},                                                           // "Äpfel"
    };
    Folders folders(nullptr);
    for (const auto& row : rows) {
        const int result = folders.CompareNames(row.a, row.b);
        EXPECT_EQ((result > 0) - (result < 0), row.sign) << row.a << " / " << row.b;
    }
}

// A watch on scratch\Links (which need not exist), counting its calls.
class LinksWatchTest : public ::testing::Test {
protected:
    void Watch() {
        watch = folders.Watch(WideToUtf8(links), [this] { ++calls; });
        // Let the waiting thread take its handles before anything changes.
        PumpUntil([] { return false; }, 100);
    }
    // Waits for one more call than there were; true when it came within the time.
    bool CallFollows(DWORD milliseconds = kWithinASecond) {
        const int before = calls;
        return PumpUntil([&] { return calls > before; }, milliseconds);
    }
    // Lets every call of what happened so far arrive.
    void Settle() {
        PumpUntil([] { return false; }, 4 * kChangeSettleMilliseconds);
    }

    ScratchFolder scratch;
    std::wstring links = scratch.Join(L"Links");
    Folders folders{nullptr};
    std::unique_ptr<IFolderWatch> watch;
    int calls = 0;
};

TEST_F(LinksWatchTest, AnAddAndARemoveCallBackWithinASecondAndNothingDoesNot) {
    ASSERT_TRUE(::CreateDirectoryW(links.c_str(), nullptr));
    Watch();
    EXPECT_FALSE(CallFollows(600)) << "nothing changed";

    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(Touch(links + L"\\Mail.lnk"));
    EXPECT_TRUE(CallFollows()) << "added";
    RecordProperty("MillisecondsFromAddToCall", static_cast<int>(::GetTickCount() - start));
    Settle();
    EXPECT_FALSE(CallFollows(400)) << "one change, one call";

    ASSERT_TRUE(::DeleteFileW((links + L"\\Mail.lnk").c_str()));
    EXPECT_TRUE(CallFollows()) << "removed";

    ASSERT_TRUE(Touch(links + L"\\\u65E5\u672C.url"));
    EXPECT_TRUE(CallFollows()) << "added, with a name outside the ANSI code page";
}

TEST_F(LinksWatchTest, AChangeInAFolderInLinksCallsBack) {
    ASSERT_TRUE(::CreateDirectoryW(links.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW((links + L"\\Tools").c_str(), nullptr));
    Watch();
    ASSERT_TRUE(Touch(links + L"\\Tools\\Edit.lnk"));
    EXPECT_TRUE(CallFollows());
    Settle();
    ASSERT_TRUE(::MoveFileW((links + L"\\Tools\\Edit.lnk").c_str(), (links + L"\\Tools\\Write.lnk").c_str()));
    EXPECT_TRUE(CallFollows()) << "renamed";
    Settle();
    ASSERT_TRUE(::CreateDirectoryW((links + L"\\Made Later").c_str(), nullptr));
    EXPECT_TRUE(CallFollows()) << "a folder made";
    Settle();
    ASSERT_TRUE(Touch(links + L"\\Made Later\\Edit.lnk"));
    EXPECT_TRUE(CallFollows()) << "in a folder made after the watch began";
}

TEST_F(LinksWatchTest, AStormOfChangesGivesFewCalls) {
    ASSERT_TRUE(::CreateDirectoryW(links.c_str(), nullptr));
    Watch();
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(Touch(links + L"\\entry " + std::to_wstring(i) + L".lnk"));
    ASSERT_TRUE(CallFollows());
    Settle();
    RecordProperty("CallsFor200Files", calls);
    EXPECT_LE(calls, 10);
}

TEST_F(LinksWatchTest, LinksMadeLaterIsNoticedAndThenFollowed) {
    Watch();
    ASSERT_TRUE(::CreateDirectoryW(links.c_str(), nullptr));
    EXPECT_TRUE(CallFollows()) << "Links made";
    Settle();
    ASSERT_TRUE(Touch(links + L"\\Mail.lnk"));
    EXPECT_TRUE(CallFollows()) << "an entry in the new Links";
}

TEST_F(LinksWatchTest, LinksDeletedOrRenamedIsNoticedAndItsOldSelfNoLongerFollowed) {
    ASSERT_TRUE(::CreateDirectoryW(links.c_str(), nullptr));
    ASSERT_TRUE(Touch(links + L"\\Mail.lnk"));
    Watch();
    const std::wstring moved = scratch.Join(L"Old Links");
    ASSERT_TRUE(::MoveFileW(links.c_str(), moved.c_str()));
    EXPECT_TRUE(CallFollows()) << "renamed away";
    Settle();
    ASSERT_TRUE(Touch(moved + L"\\Chat.lnk"));
    EXPECT_FALSE(CallFollows(600)) << "the folder under its new name is not Links";

    ASSERT_TRUE(::MoveFileW(moved.c_str(), links.c_str()));
    EXPECT_TRUE(CallFollows()) << "renamed back";
    Settle();
    ASSERT_TRUE(::DeleteFileW((links + L"\\Mail.lnk").c_str()));
    ASSERT_TRUE(::DeleteFileW((links + L"\\Chat.lnk").c_str()));
    ASSERT_TRUE(::RemoveDirectoryW(links.c_str()));
    EXPECT_TRUE(CallFollows()) << "deleted";
}

TEST_F(LinksWatchTest, NoCallAfterTheWatchHasGoneNotEvenOneAlreadyQueued) {
    ASSERT_TRUE(::CreateDirectoryW(links.c_str(), nullptr));
    Watch();
    ASSERT_TRUE(Touch(links + L"\\Mail.lnk"));
    // Past the settling time without dispatching: the call is queued, not yet run.
    ::Sleep(3 * kChangeSettleMilliseconds);
    const DWORD start = ::GetTickCount();
    watch.reset();
    EXPECT_LT(::GetTickCount() - start, 500u) << "the waiting thread ends at once";
    Settle();
    ASSERT_TRUE(Touch(links + L"\\Chat.lnk"));
    Settle();
    EXPECT_EQ(calls, 0);
}

TEST_F(LinksWatchTest, ACallMayEndItsOwnWatch) {
    ASSERT_TRUE(::CreateDirectoryW(links.c_str(), nullptr));
    watch = folders.Watch(WideToUtf8(links), [this] {
        ++calls;
        watch.reset();
    });
    PumpUntil([] { return false; }, 100);
    ASSERT_TRUE(Touch(links + L"\\Mail.lnk"));
    EXPECT_TRUE(CallFollows());
    EXPECT_EQ(watch, nullptr);
}

// Closes the message boxes that this process shows, from another thread, and keeps their text.
class MessageBoxCloser {
public:
    MessageBoxCloser() : thread_([this] { Run(); }) {}
    MessageBoxCloser(const MessageBoxCloser&) = delete;
    MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;
    ~MessageBoxCloser() {
        stop_ = true;
        thread_.join();
    }
    int Closed() const { return closed_; }

private:
    void Run() {
        while (!stop_) {
            ::EnumWindows(
                [](HWND window, LPARAM self) -> BOOL {
                    DWORD process = 0;
                    ::GetWindowThreadProcessId(window, &process);
                    wchar_t name[16] = {};
                    ::GetClassNameW(window, name, 16);
                    auto* closer = reinterpret_cast<MessageBoxCloser*>(self);
                    if (process == ::GetCurrentProcessId() && std::wstring(name) == L"#32770" &&
                        ::IsWindowVisible(window)) {
                        ::PostMessageW(window, WM_COMMAND, IDOK, 0);
                        ::PostMessageW(window, WM_CLOSE, 0, 0);
                        if (std::find(closer->seen_.begin(), closer->seen_.end(), window) == closer->seen_.end()) {
                            closer->seen_.push_back(window);
                            ++closer->closed_;
                        }
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(this));
            ::Sleep(50);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<int> closed_{0};
    std::vector<HWND> seen_;  // the closing thread's own
    std::thread thread_;
};

class OpenEntryTest : public ::testing::Test {
protected:
    std::wstring Recorder(const std::wstring& name) {
        const std::wstring path = scratch.Join(name);
        EXPECT_TRUE(test::PlaceRecorder(path));
        return path;
    }

    ComApartment apartment;
    ScratchFolder scratch;
    Folders folders{nullptr};
};

TEST_F(OpenEntryTest, AShortcutStartsItsTargetWithItsOwnArguments) {
    const std::wstring recorder = Recorder(L"rec.exe");
    const std::wstring work = scratch.Join(L"work \u0416");
    ASSERT_TRUE(::CreateDirectoryW(work.c_str(), nullptr));
    const std::wstring shortcut = scratch.Join(L"\u65E5\u672C Mail.lnk");
    ASSERT_TRUE(MakeShortcut(shortcut, {recorder, L"--to \"a b\"", work, SW_SHOWMINNOACTIVE}));

    ASSERT_TRUE(folders.OpenEntry(WideToUtf8(shortcut)));
    const std::string report = test::WaitForRecorderReport(recorder);
    ASSERT_FALSE(report.empty()) << "the shortcut's program did not start";
    EXPECT_NE(report.find("\n--to\na b\n"), std::string::npos) << report;
    // Windows starts it minimised as the shortcut says; Wine 8 gives it the caller's SW_SHOWNORMAL.
    RecordProperty("ShortcutReport", report);
}

TEST_F(OpenEntryTest, AFileThatIsNotAShortcutOpensWithItsProgram) {
    const std::wstring recorder = Recorder(L"opener.exe");
    // The extension's program, as an association names it.
    const std::wstring type = L"Software\\Classes\\.nimbrellinktest";
    const std::wstring verb = L"Software\\Classes\\NimbrelLinkTest\\shell\\open\\command";
    const std::wstring command = L"\"" + recorder + L"\" \"%1\"";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, type.c_str(), nullptr, REG_SZ, L"NimbrelLinkTest",
                                sizeof(L"NimbrelLinkTest")),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, verb.c_str(), nullptr, REG_SZ, command.c_str(),
                                static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    const std::wstring document = scratch.Join(L"Notes \u0416.nimbrellinktest");
    ASSERT_TRUE(Touch(document));

    const bool opened = folders.OpenEntry(WideToUtf8(document));
    const std::string report = opened ? test::WaitForRecorderReport(recorder) : std::string();
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\NimbrelLinkTest");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, type.c_str());
    ASSERT_TRUE(opened);
    EXPECT_NE(report.find("\n" + WideToUtf8(document) + "\n"), std::string::npos) << report;
}

TEST_F(OpenEntryTest, AFailureIsTheShellsOwnMessage) {
    const std::wstring target = Recorder(L"gone.exe");
    const std::wstring shortcut = scratch.Join(L"Broken.lnk");
    ASSERT_TRUE(MakeShortcut(shortcut, {target, {}, {}, SW_SHOWNORMAL}));
    ASSERT_TRUE(::DeleteFileW(target.c_str()));
    const struct {
        const char* what;
        std::wstring path;
        bool folder;
    } rows[] = {
        {"a file that is not there", scratch.Join(L"absent.lnk"), false},
        {"a broken shortcut", shortcut, false},
        {"a folder that is not there", scratch.Join(L"absent folder"), true},
    };
    for (const auto& row : rows) {
        const MessageBoxCloser closer;
        const std::string path = WideToUtf8(row.path);
        const bool opened = row.folder ? folders.ExploreFolder(path) : folders.OpenEntry(path);
        PumpUntil([] { return false; }, 300);
        EXPECT_FALSE(opened) << row.what;
        EXPECT_GE(closer.Closed(), 1) << row.what << ": the shell said nothing";
    }
}

}  // namespace
}  // namespace nimbrel::win32
