#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "catalogue/ProgramCatalogue.h"

namespace nimbrel {
namespace {

using test::EntryKind;
using test::FakeSystem;

const std::string kPf = "C:\\Program Files";
const std::string kPf86 = "C:\\Program Files (x86)";

Catalogue Filled(FakeSystem& sys) {
    Catalogue c;
    FillCatalogue(c, sys.files, kPf);
    return c;
}

// Start-up's search and install test for one position: its launch command, or "-" when it is not installed.
std::string Found(IFileSystem& files, const std::string& x86, int position) {
    Catalogue c;
    FillCatalogue(c, files, kPf, x86);
    return FindInstalled(c, files, kPf, x86, position) ? LaunchCommand(c, kPf, position) : "-";
}

TEST(Catalogue, HoldsTheNineteenProgramsInPositionOrder) {
    FakeSystem sys;
    const Catalogue c = Filled(sys);
    const std::pair<const char*, const char*> expected[] = {
        {"iexplore", "\\Internet Explorer\\"},
        {"netscape", "\\netscape\\netscape browser\\"},
        {"firefox", "\\Mozilla Firefox\\"},
        {"opera", "\\opera\\"},
        {"outlook", ""},
        {"msimn", "\\outlook express\\"},
        {"eudora", "\\qualcomm\\eudora\\"},
        {"thunderbird", "\\mozilla thunderbird\\"},
        {"filezilla", "\\filezilla\\"},
        {"smartftp", "\\smartftp\\"},
        {"freeftp", "\\coffeecup software\\coffeecup free ftp\\"},
        {"skype", "\\skype\\phone\\"},
        {"icqlite", "\\icqlite\\"},
        {"msmsgs", "\\messenger\\"},
        {"limewire", "\\limewire\\"},
        {"morpheus", "\\morpheus\\"},
        {"googleearth", "\\google\\google earth\\"},
        {"ispbos", "\\OSS\\Internet Booster\\"},
        {"tellme", "\\tellme\\"},
    };
    EXPECT_EQ(c.ProgramCount, 19);
    for (int i = 1; i <= 19; ++i) {
        EXPECT_EQ(c.ExeName[i], expected[i - 1].first) << i;
        EXPECT_EQ(c.ExeFolder[i], expected[i - 1].second) << i;
    }
    EXPECT_EQ(c.ExeName[0], "");
    for (int i = 20; i <= 30; ++i)
        EXPECT_EQ(c.ExeName[i], "") << i;
    // No Office folder: none of the places below it was tried.
    EXPECT_EQ(sys.files.existenceChecks, 0);
}

TEST(Catalogue, RulesJoinPathsAsPlainTexts) {
    FakeSystem sys;
    const Catalogue c = Filled(sys);
    EXPECT_EQ(InstallPath(c, kPf, 1), "C:\\Program Files\\Internet Explorer\\iexplore.exe");
    EXPECT_EQ(LaunchCommand(c, kPf, 17), "C:\\Program Files\\google\\google earth\\googleearth");
    EXPECT_EQ(InstallPath(c, kPf, 5), "C:\\Program Filesoutlook.exe") << "no Office folder found";
}

TEST(Catalogue, KeyRuleFindsTheFirstPositionWhoseNameTheKeyContains) {
    FakeSystem sys;
    const Catalogue c = Filled(sys);
    EXPECT_EQ(KeyEntry(c, "BROWSER:IEXPLORE"), 1);
    EXPECT_EQ(KeyEntry(c, "MESSAGING:MSMSGS"), 14);
    EXPECT_EQ(KeyEntry(c, "MESSAGING:ICQLITE"), 13);
    EXPECT_EQ(KeyEntry(c, "PROGRAMS:GOOGLEEARTH"), 17);
    EXPECT_EQ(KeyEntry(c, "SEARCH:GOOGLE"), 0);
    EXPECT_EQ(KeyEntry(c, "EXIT"), 0);
    EXPECT_EQ(KeyEntry(c, "HELP"), 0);
    EXPECT_EQ(KeyEntry(c, "browser:firefox"), 0) << "compared case-sensitively";
    EXPECT_EQ(KeyEntry(c, "XOPERAFIREFOX"), 3) << "the lowest position wins";
    Catalogue empty;
    EXPECT_EQ(KeyEntry(empty, "BROWSER:FIREFOX"), 0);
}

TEST(Catalogue, OutlookSearchOrder) {
    struct Case {
        std::vector<std::string> folders;  // office folders that hold outlook.exe
        std::string found;
    };
    const Case cases[] = {
        {{"office", "office11"}, "\\microsoft office\\office\\"},
        {{"office11", "office12"}, "\\microsoft office\\office11\\"},
        {{"office99"}, "\\microsoft office\\office99\\"},
        {{"office1", "office2"}, "\\microsoft office\\office1\\"},
        {{"office0"}, ""},
        {{"office100"}, ""},
        {{"office011"}, ""},
        {{"Office12"}, "\\microsoft office\\office12\\"},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        for (const std::string& f : c.folders)
            sys.files.Put(kPf + "\\Microsoft Office\\" + f + "\\OUTLOOK.EXE");
        EXPECT_EQ(Filled(sys).ExeFolder[kOutlookPosition], c.found) << c.folders.front();
    }
}

TEST(Catalogue, OnlyOrdinaryFilesCountAsOutlook) {
    for (EntryKind kind : {EntryKind::Directory, EntryKind::Hidden, EntryKind::System}) {
        FakeSystem sys;
        sys.files.Put(kPf + "\\microsoft office\\office\\outlook.exe", "", kind);
        sys.files.Put(kPf + "\\microsoft office\\office14\\outlook.exe");
        EXPECT_EQ(Filled(sys).ExeFolder[kOutlookPosition], "\\microsoft office\\office14\\");
    }
}

TEST(Catalogue, ProgramsAreLookedForUnderProgramFilesThenThe32BitFolder) {
    struct Case {
        std::vector<std::string> roots;  // the folders that hold firefox.exe
        std::string x86;
        std::string startsIn;
        int checks;
    };
    const Case cases[] = {{{kPf}, kPf86, kPf, 1},
                          {{kPf86}, kPf86, kPf86, 2},
                          {{kPf86, kPf}, kPf86, kPf, 1},
                          {{}, kPf86, "", 2},
                          {{kPf86}, "", "", 1}};
    for (const Case& c : cases) {
        FakeSystem sys;
        for (const std::string& root : c.roots)
            sys.files.Put(ToUpperAscii(root) + "\\MOZILLA FIREFOX\\FIREFOX.EXE");
        const std::string launch = c.startsIn.empty() ? "-" : c.startsIn + "\\Mozilla Firefox\\firefox";
        EXPECT_EQ(Found(sys.files, c.x86, 3), launch) << c.roots.size() << c.x86;
        EXPECT_EQ(sys.files.existenceChecks, c.checks) << c.roots.size() << c.x86;
    }
}

TEST(Catalogue, OutlookIsSearchedInEachFolderInTurn) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> places;  // Program Files folder, folder below its Office
        std::string x86;
        std::string launch;
    };
    const std::string office = "\\microsoft office\\";
    const Case cases[] = {
        {{{kPf86, "office"}}, kPf86, kPf86 + office + "office\\outlook"},
        {{{kPf86, "Office12"}}, kPf86, kPf86 + office + "office12\\outlook"},
        {{{kPf, "root\\Office16"}}, kPf86, kPf + office + "root\\office16\\outlook"},
        {{{kPf86, "root\\office99"}}, kPf86, kPf86 + office + "root\\office99\\outlook"},
        {{{kPf, "root\\office1"}, {kPf, "office99"}}, kPf86, kPf + office + "office99\\outlook"},
        {{{kPf, "root\\office16"}, {kPf86, "office"}}, kPf86, kPf + office + "root\\office16\\outlook"},
        {{{kPf86, "root\\office"}, {kPf86, "root\\office0"}, {kPf86, "root\\office100"}}, kPf86, "-"},
        {{{kPf86, "office"}}, "", "-"},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        for (const auto& [root, folder] : c.places)
            sys.files.Put(root + "\\Microsoft Office\\" + folder + "\\outlook.exe");
        EXPECT_EQ(Found(sys.files, c.x86, kOutlookPosition), c.launch) << c.places.back().second;
        // Looking at the Office folders first skips only places that cannot hold Outlook.
        sys.files.everyFolderThere = true;
        EXPECT_EQ(Found(sys.files, c.x86, kOutlookPosition), c.launch) << c.places.back().second;
    }
}

}  // namespace
}  // namespace nimbrel
