// The settings file and the install checks through the real file API.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "catalogue/ProgramCatalogue.h"
#include "settings/BarSettings.h"
#include "win32/Files.h"
#include "win32/Handles.h"
#include "win32/Strings.h"

namespace nimbrel::win32 {
namespace {

using test::ReadRawFile;
using test::ScratchFolder;
using test::WriteRawFile;
using namespace std::string_literals;

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(folder.Path().empty()); }
    std::string PathOf(const std::wstring& name) const { return WideToUtf8(folder.Join(name)); }
    // The names in the scratch folder, to see that no temporary file stays behind.
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found{};
        HANDLE search = ::FindFirstFileW(folder.Join(L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do {
            if (std::wstring(found.cFileName) != L"." && std::wstring(found.cFileName) != L"..")
                names.emplace_back(found.cFileName);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
        return names;
    }

    ScratchFolder folder;
    FileSystem files;
};

TEST_F(FilesTest, OrdinaryFileCounts) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"firefox.exe"), "MZ"));
    EXPECT_TRUE(files.IsOrdinaryFile(PathOf(L"firefox.exe")));
}

TEST_F(FilesTest, ReadOnlyAndArchiveFilesCount) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"opera.exe"), "MZ"));
    ASSERT_TRUE(
        ::SetFileAttributesW(folder.Join(L"opera.exe").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(files.IsOrdinaryFile(PathOf(L"opera.exe")));
}

TEST_F(FilesTest, HiddenFileDoesNotCount) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"hidden.exe"), "MZ"));
    ASSERT_TRUE(::SetFileAttributesW(folder.Join(L"hidden.exe").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_NE(::GetFileAttributesW(folder.Join(L"hidden.exe").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_FALSE(files.IsOrdinaryFile(PathOf(L"hidden.exe")));
}

TEST_F(FilesTest, SystemFileDoesNotCount) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"system.exe"), "MZ"));
    ASSERT_TRUE(::SetFileAttributesW(folder.Join(L"system.exe").c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_NE(::GetFileAttributesW(folder.Join(L"system.exe").c_str()) & FILE_ATTRIBUTE_SYSTEM, 0u);
    EXPECT_FALSE(files.IsOrdinaryFile(PathOf(L"system.exe")));
}

TEST_F(FilesTest, DirectoryDoesNotCount) {
    ASSERT_TRUE(::CreateDirectoryW(folder.Join(L"msimn.exe").c_str(), nullptr));
    EXPECT_FALSE(files.IsOrdinaryFile(PathOf(L"msimn.exe")));
}

TEST_F(FilesTest, MissingFileDoesNotCount) {
    EXPECT_FALSE(files.IsOrdinaryFile(PathOf(L"nothing.exe")));
    EXPECT_FALSE(files.IsOrdinaryFile(PathOf(L"no folder\\nothing.exe")));
}

TEST_F(FilesTest, NamesOutsideTheAnsiCodePageWork) {
    const std::wstring name = L"\u65E5\u672C \u0416.exe";
    ASSERT_TRUE(WriteRawFile(folder.Join(name), "MZ"));
    EXPECT_TRUE(files.IsOrdinaryFile(WideToUtf8(folder.Join(name))));
}

TEST_F(FilesTest, DefaultSettingsFileIsWrittenByteForByte) {
    const std::string path = PathOf(L"Nimbrel.Txt");
    ASSERT_TRUE(files.WriteTextFile(path, std::string(kDefaultSettingsFile)));
    const std::string bytes = ReadRawFile(folder.Join(L"Nimbrel.Txt"));
    EXPECT_EQ(bytes.size(), 53u);
    EXPECT_EQ(bytes, std::string(kDefaultSettingsFile));

    const ReadResult read = files.ReadTextFile(path);
    EXPECT_EQ(read.status, ReadStatus::Ok);
    EXPECT_EQ(read.text, std::string(kDefaultSettingsFile));
}

TEST_F(FilesTest, WriteReplacesALongerFile) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"Nimbrel.Txt"), std::string(500, 'x')));
    ASSERT_TRUE(files.WriteTextFile(PathOf(L"Nimbrel.Txt"), "STYLE=2\r\n"));
    EXPECT_EQ(ReadRawFile(folder.Join(L"Nimbrel.Txt")), "STYLE=2\r\n");
}

TEST_F(FilesTest, AnsiBytesAreReadAsUtf8) {
    if (::GetACP() != 1252)
        GTEST_SKIP() << "the ANSI code page is " << ::GetACP();
    ASSERT_TRUE(WriteRawFile(folder.Join(L"Nimbrel.Txt"), "TOOLBAR_POSITION=caf\xE9\r\n"));
    const ReadResult read = files.ReadTextFile(PathOf(L"Nimbrel.Txt"));
    EXPECT_EQ(read.status, ReadStatus::Ok);
    EXPECT_EQ(read.text, "TOOLBAR_POSITION=caf\xC3\xA9\r\n");
}

TEST_F(FilesTest, Utf8TextIsWrittenInTheAnsiCodePage) {
    if (::GetACP() != 1252)
        GTEST_SKIP() << "the ANSI code page is " << ::GetACP();
    ASSERT_TRUE(files.WriteTextFile(PathOf(L"Nimbrel.Txt"), "caf\xC3\xA9"));
    EXPECT_EQ(ReadRawFile(folder.Join(L"Nimbrel.Txt")), "caf\xE9");
}

TEST_F(FilesTest, EmptyFileReadsAsEmptyText) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"Nimbrel.Txt"), ""));
    const ReadResult read = files.ReadTextFile(PathOf(L"Nimbrel.Txt"));
    EXPECT_EQ(read.status, ReadStatus::Ok);
    EXPECT_TRUE(read.text.empty());
}

TEST_F(FilesTest, OutlookIsFoundBelowTheOfficeFolderThatIsThere) {
    // The 64-bit folder has an Office folder without Outlook; the 32-bit one holds it below root.
    ASSERT_TRUE(::CreateDirectoryW(folder.Join(L"pf").c_str(), nullptr));
    for (const wchar_t* name : {L"pf\\Microsoft Office", L"x86", L"x86\\Microsoft Office",
                                L"x86\\Microsoft Office\\root", L"x86\\Microsoft Office\\root\\Office16"})
        ASSERT_TRUE(::CreateDirectoryW(folder.Join(name).c_str(), nullptr));
    ASSERT_TRUE(WriteRawFile(folder.Join(L"x86\\Microsoft Office\\root\\Office16\\OUTLOOK.EXE"), "MZ"));
    Catalogue catalogue;
    FillCatalogue(catalogue, files, PathOf(L"pf"), PathOf(L"x86"));
    EXPECT_EQ(catalogue.ExeFolder[kOutlookPosition], "\\microsoft office\\root\\office16\\");
    ASSERT_TRUE(FindInstalled(catalogue, files, PathOf(L"pf"), PathOf(L"x86"), kOutlookPosition));
    EXPECT_EQ(LaunchCommand(catalogue, PathOf(L"pf"), kOutlookPosition),
              PathOf(L"x86\\microsoft office\\root\\office16\\outlook"));
}

TEST_F(FilesTest, MissingFileIsMissing) {
    EXPECT_EQ(files.ReadTextFile(PathOf(L"Nimbrel.Txt")).status, ReadStatus::Missing);
    EXPECT_EQ(files.ReadTextFile(PathOf(L"no folder\\Nimbrel.Txt")).status, ReadStatus::Missing);
}

TEST_F(FilesTest, DirectoryFailsToRead) {
    ASSERT_TRUE(::CreateDirectoryW(folder.Join(L"Nimbrel.Txt").c_str(), nullptr));
    EXPECT_EQ(files.ReadTextFile(PathOf(L"Nimbrel.Txt")).status, ReadStatus::Failed);
    EXPECT_FALSE(files.WriteTextFile(PathOf(L"Nimbrel.Txt"), "x"));
}

TEST_F(FilesTest, LockedFileFailsToRead) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"Nimbrel.Txt"), "STYLE=1\r\n"));
    KernelHandle lock(::CreateFileW(folder.Join(L"Nimbrel.Txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_EQ(files.ReadTextFile(PathOf(L"Nimbrel.Txt")).status, ReadStatus::Failed);
    EXPECT_FALSE(files.WriteTextFile(PathOf(L"Nimbrel.Txt"), "STYLE=2\r\n"));
    lock.reset();
    EXPECT_EQ(files.ReadTextFile(PathOf(L"Nimbrel.Txt")).status, ReadStatus::Ok);
}

TEST_F(FilesTest, WriteIntoMissingFolderFails) {
    EXPECT_FALSE(files.WriteTextFile(PathOf(L"no folder\\Nimbrel.Txt"), "x"));
}

// Every byte value the rewrite can give, line ends of all kinds and a character outside ASCII among them.
const std::string kRawBytes = "; caf\xE9\r\nSTYLE=2\rX\n\0TOOLBAR_POSITION=LEFT\r\n"s;

TEST_F(FilesTest, ReplaceWritesAnExistingFileByteForByteAndLeavesNothingElse) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"Nimbrel.Txt"), std::string(500, 'x')));
    const WriteResult result = files.ReplaceFileBytes(PathOf(L"Nimbrel.Txt"), kRawBytes);
    EXPECT_TRUE(result.written) << result.reason;
    EXPECT_EQ(ReadRawFile(folder.Join(L"Nimbrel.Txt")), kRawBytes);
    const ReadResult read = files.ReadFileBytes(PathOf(L"Nimbrel.Txt"));
    EXPECT_EQ(read.status, ReadStatus::Ok);
    EXPECT_EQ(read.text, kRawBytes);
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"Nimbrel.Txt"});
}

TEST_F(FilesTest, ReplaceCreatesAMissingFileInAFolderOutsideTheAnsiCodePage) {
    const std::wstring sub = L"\u65E5\u672C \u0416";
    ASSERT_TRUE(::CreateDirectoryW(folder.Join(sub).c_str(), nullptr));
    const WriteResult result = files.ReplaceFileBytes(PathOf(sub + L"\\Nimbrel.Txt"), kRawBytes);
    EXPECT_TRUE(result.written) << result.reason;
    EXPECT_EQ(ReadRawFile(folder.Join(sub + L"\\Nimbrel.Txt")), kRawBytes);
}

TEST_F(FilesTest, AFileHeldByAnotherProgramIsLeftAsItWasWithAReason) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"Nimbrel.Txt"), "STYLE=1\r\n"));
    KernelHandle lock(::CreateFileW(folder.Join(L"Nimbrel.Txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    const ReadResult read = files.ReadFileBytes(PathOf(L"Nimbrel.Txt"));
    EXPECT_EQ(read.status, ReadStatus::Failed);
    EXPECT_FALSE(read.reason.empty());
    const WriteResult result = files.ReplaceFileBytes(PathOf(L"Nimbrel.Txt"), "STYLE=2\r\n");
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.reason.empty());
    lock.reset();
    EXPECT_EQ(ReadRawFile(folder.Join(L"Nimbrel.Txt")), "STYLE=1\r\n");
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"Nimbrel.Txt"});
}

TEST_F(FilesTest, AReadOnlyFileIsLeftAsItWasWithAReason) {
    ASSERT_TRUE(WriteRawFile(folder.Join(L"Nimbrel.Txt"), "STYLE=1\r\n"));
    ASSERT_TRUE(::SetFileAttributesW(folder.Join(L"Nimbrel.Txt").c_str(), FILE_ATTRIBUTE_READONLY));
    const WriteResult result = files.ReplaceFileBytes(PathOf(L"Nimbrel.Txt"), "STYLE=2\r\n");
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.reason.empty());
    EXPECT_EQ(ReadRawFile(folder.Join(L"Nimbrel.Txt")), "STYLE=1\r\n");
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"Nimbrel.Txt"});
}

TEST_F(FilesTest, ReplaceInAMissingFolderFailsWithAReason) {
    const WriteResult result = files.ReplaceFileBytes(PathOf(L"no folder\\Nimbrel.Txt"), "STYLE=2\r\n");
    EXPECT_FALSE(result.written);
    EXPECT_FALSE(result.reason.empty());
    EXPECT_TRUE(Names().empty());
}

}  // namespace
}  // namespace nimbrel::win32
