// Special folders, process start and the executable's folder, through the real shell.
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "app/Module1.h"
#include "win32/Com.h"
#include "win32/Shell.h"
#include "win32/StartupShortcut.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

using test::ReadRawFile;
using test::ScratchFolder;
using test::TestProgramFolder;
using test::WaitForReport;

constexpr int kProgramFilesFolder = 38;

std::string Quoted(const std::string& text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

TEST(SpecialFolder, ProgramFilesIsFoundWithoutTrailingBackslash) {
    Shell shell(nullptr);
    const SpecialFolder folder = shell.GetSpecialFolder(kProgramFilesFolder);
    ASSERT_EQ(folder.result, 0);
    // The whole buffer comes back, NULs included, so the caller cuts at the first NUL.
    EXPECT_EQ(folder.buffer.size(), static_cast<std::size_t>(MAX_PATH + 1));
    const std::size_t nul = folder.buffer.find('\0');
    ASSERT_NE(nul, std::string::npos);
    const std::string path = folder.buffer.substr(0, nul);
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.back(), '\\');
    EXPECT_EQ(path.substr(1, 2), ":\\");
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST(SpecialFolder, The32BitProgramFilesIsAnotherFolder) {
    Shell shell(nullptr);
    const std::string programFiles = PathBeforeFirstNul(shell.GetSpecialFolder(kProgramFilesFolder).buffer);
    const std::string path = GetProgramFilesX86Dir(shell, programFiles);
    RecordProperty("ProgramFilesX86", path);
    ASSERT_FALSE(path.empty()) << "a 64-bit program sees the 32-bit folder beside its own";
    EXPECT_NE(path.back(), '\\');
    const DWORD attributes = ::GetFileAttributesW(Utf8ToWide(path).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << path;
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST(SpecialFolder, UnknownFolderReportsFailure) {
    Shell shell(nullptr);
    const SpecialFolder folder = shell.GetSpecialFolder(0x7F);
    EXPECT_NE(folder.result, 0);
    EXPECT_TRUE(folder.buffer.empty());
}

TEST(ControlPanel, FailsQuietlyWithoutTheShellObject) {
    // This thread never entered a COM apartment, so the automation object cannot be made.
    Shell shell(nullptr);
    EXPECT_FALSE(shell.OpenControlPanelItem("INETCPL.CPL"));
}

TEST(ExecutableFolder, IsTheTestProgramsFolderWithoutTrailingBackslash) {
    Process process;
    const std::string folder = process.ExecutableFolder();
    ASSERT_GT(folder.size(), 3u);
    EXPECT_NE(folder.back(), '\\');
    EXPECT_EQ(Utf8ToWide(folder), TestProgramFolder());
    EXPECT_NE(::GetFileAttributesW(Utf8ToWide(folder + "\\nimbrel_win32_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

class StartProcessTest : public ::testing::Test {
protected:
    // Copies the recorder into a folder whose name has spaces and returns its full path.
    std::wstring PlaceRecorder(const std::wstring& subfolder, const std::wstring& name) {
        const std::wstring path = test::PlaceRecorder(folder, subfolder, name);
        EXPECT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << WideToUtf8(path);
        return path;
    }

    ScratchFolder folder;
};

TEST_F(StartProcessTest, StartsTheProgramFromAPathWithSpacesQuoted) {
    const std::wstring recorder = PlaceRecorder(L"Program Files", L"Argv Recorder.exe");
    Shell shell(nullptr);
    ASSERT_TRUE(shell.StartProcess(WideToUtf8(recorder)));
    const std::string report = WaitForReport(recorder);
    ASSERT_FALSE(report.empty()) << "the started program left no report";
    const std::string path = WideToUtf8(recorder);
    // The command line is the quoted path and nothing else; argv[0] is the path itself.
    std::string expected = Quoted(path);
    expected.append("\n").append(path).append("\nshow=").append(std::to_string(SW_SHOWNORMAL)).append("\n");
    EXPECT_EQ(report, expected);
}

TEST_F(StartProcessTest, StartsAProgramWhoseNameIsOutsideTheAnsiCodePage) {
    const std::wstring recorder = PlaceRecorder(L"\u65E5\u672C dir", L"rec \u0416.exe");
    Shell shell(nullptr);
    ASSERT_TRUE(shell.StartProcess(WideToUtf8(recorder)));
    const std::string report = WaitForReport(recorder);
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.substr(0, report.find('\n')), Quoted(WideToUtf8(recorder)));
}

// CreateProcessW failing with error: for a program whose manifest asks for elevation, or for any other reason.
template <DWORD error>
constexpr ProcessStarter kFailsWith = [](auto...) -> BOOL {
    ::SetLastError(error);
    return FALSE;
};

TEST_F(StartProcessTest, OnlyAProgramThatNeedsElevationIsHandedToTheShell) {
    const std::wstring recorder = PlaceRecorder(L"Program Files", L"Argv Recorder.exe");
    EXPECT_FALSE(Shell(nullptr, kFailsWith<ERROR_ACCESS_DENIED>).StartProcess(WideToUtf8(recorder)));
    ASSERT_TRUE(Shell(nullptr, kFailsWith<kElevationRequired>).StartProcess(WideToUtf8(recorder)));
    const std::string report = WaitForReport(recorder);
    ASSERT_FALSE(report.empty()) << "the shell did not start the program";
    // The same program with a normal window, and no arguments.
    const std::string path = WideToUtf8(recorder);
    EXPECT_EQ(report.substr(0, report.find('\n')), Quoted(path));
    EXPECT_NE(report.find("\n" + path + "\nshow=" + std::to_string(SW_SHOWNORMAL) + "\n"), std::string::npos) << report;
}

TEST_F(StartProcessTest, MissingProgramFails) {
    Shell shell(nullptr);
    EXPECT_FALSE(shell.StartProcess(WideToUtf8(folder.Join(L"Program Files\\absent\\absent.exe"))));
}

TEST_F(StartProcessTest, ExtensionIsNotAddedForUs) {
    // The caller passes the full file name; a name without ".exe" is not searched for.
    const std::wstring recorder = PlaceRecorder(L"bin", L"recorder.exe");
    Shell shell(nullptr);
    EXPECT_FALSE(shell.StartProcess(WideToUtf8(recorder.substr(0, recorder.size() - 4))));
}

TEST(StartupShortcut, IsMadeForThisProgramAndRemoved) {
    const ComApartment apartment;
    ScratchFolder folder;
    StartupShortcut shortcut(folder.Path());
    EXPECT_FALSE(shortcut.Present());
    ASSERT_TRUE(shortcut.Set(true).written);
    EXPECT_TRUE(shortcut.Present());
    EXPECT_NE(::GetFileAttributesW(folder.Join(L"Nimbrel.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_TRUE(shortcut.Set(false).written);
    EXPECT_FALSE(shortcut.Present());
    EXPECT_TRUE(shortcut.Set(false).written) << "nothing to remove is no failure";
    // A folder that is not there: the system's reason comes back.
    StartupShortcut nowhere(folder.Join(L"no such folder"));
    const WriteResult failed = nowhere.Set(true);
    EXPECT_FALSE(failed.written);
    EXPECT_FALSE(failed.reason.empty());
}

}  // namespace
}  // namespace nimbrel::win32
