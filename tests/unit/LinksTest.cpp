// The Links folder's model: its entries and their order, each bad input, the » split and what a click does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePlatform.h"
#include "links/Links.h"

namespace nimbrel {
namespace {

using test::EntryKind;
using test::FakeFolders;
using test::FakeSystem;

const std::string kLinks = "C:\\Apps\\Bar\\Links";

// Puts entries into Links: "name" a file, "name\" a folder, "h:" or "s:" before it a hidden or system one.
void Fill(FakeFolders& folders, const std::vector<std::string>& names) {
    for (std::string name : names) {
        EntryKind kind = EntryKind::Ordinary;
        if (name.rfind("h:", 0) == 0 || name.rfind("s:", 0) == 0) {
            kind = name[0] == 'h' ? EntryKind::Hidden : EntryKind::System;
            name.erase(0, 2);
        }
        if (!name.empty() && name.back() == '\\') {
            name.pop_back();
            folders.AddFolder(kLinks + "\\" + name, kind);
        } else {
            folders.AddFile(kLinks + "\\" + name, kind);
        }
    }
}

std::vector<std::string> Names(const std::vector<LinkEntry>& entries) {
    std::vector<std::string> names;
    for (const LinkEntry& entry : entries)
        names.push_back(entry.folder ? entry.name + "\\" : entry.name);
    return names;
}

class LinksTest : public ::testing::Test {
protected:
    FakeSystem sys;
    Links links{sys.folders, sys.process.executableFolder};
};

TEST_F(LinksTest, EntriesTakeExplorersOrderAndShowTheirNamesWithoutExtension) {
    const struct {
        const char* what;
        std::vector<std::string> files;
        std::vector<std::string> shown;  // a folder with "\" behind its name
    } rows[] = {
        {"numbers by their value", {"10 Chat.lnk", "1 Mail.lnk", "2 News.url"}, {"1 Mail", "2 News", "10 Chat"}},
        {"folders first", {"b.txt", "Z Tools\\", "a Tools\\", "A.lnk"}, {"a Tools\\", "Z Tools\\", "A", "b"}},
        {"case does not count", {"banana.lnk", "Apple.lnk", "cherry.url"}, {"Apple", "banana", "cherry"}},
        {"hidden and system left out",
         {"s:desktop.ini", "h:Secret.lnk", "h:Hidden Folder\\", "s:System Folder\\", "Mail.lnk"},
         {"Mail"}},
        {"the last extension goes, a folder keeps its dots",
         {"v1.2 Notes.txt", "Tool.exe.lnk", "My.Stuff\\", "readme", ".profile"},
         {"My.Stuff\\", ".profile", "readme", "Tool.exe", "v1.2 Notes"}},
        {"names outside ASCII", {"Ünïcode.lnk", "Ελληνικά.url", "日本語.txt"}, {"Ünïcode", "Ελληνικά", "日本語"}},
        {"one name, two kinds of shortcut", {"Mail.url", "Mail.lnk"}, {"Mail", "Mail"}},
        {"an empty folder", {}, {}},
    };
    for (const auto& row : rows) {
        FakeSystem system;
        system.folders.AddFolder(kLinks);
        Fill(system.folders, row.files);
        Links model(system.folders, system.process.executableFolder);
        model.Refresh();
        EXPECT_EQ(model.Status(), FolderStatus::Ok) << row.what;
        EXPECT_EQ(Names(model.Entries()), row.shown) << row.what;
    }
}

TEST_F(LinksTest, EveryEntryIsKnownByItsFullPath) {
    Fill(sys.folders, {"Mail.url", "Mail.lnk", "日本語.lnk", "Tools\\"});
    links.Refresh();
    std::vector<std::string> paths;
    for (const LinkEntry& entry : links.Entries())
        paths.push_back(entry.path);
    EXPECT_EQ(paths, (std::vector<std::string>{kLinks + "\\Tools", kLinks + "\\Mail.lnk", kLinks + "\\Mail.url",
                                               kLinks + "\\日本語.lnk"}));
}

TEST_F(LinksTest, AFolderOnTheBarListsItsOwnEntriesOneLevelDeep) {
    Fill(sys.folders, {"Tools\\", "Tools\\b.lnk", "Tools\\10 x.lnk", "Tools\\9 x.lnk", "Tools\\Deeper\\",
                       "Tools\\Deeper\\c.lnk", "Mail.lnk"});
    sys.folders.AddFile(kLinks + "\\Tools\\desktop.ini", EntryKind::System);
    sys.folders.AddFile(kLinks + "\\Tools\\Secret.lnk", EntryKind::Hidden);
    links.Refresh();
    ASSERT_EQ(Names(links.Entries()), (std::vector<std::string>{"Tools\\", "Mail"}));
    const LinkEntry& tools = links.Entries()[0];
    EXPECT_EQ(Names(tools.items), (std::vector<std::string>{"Deeper\\", "9 x", "10 x", "b"}));
    EXPECT_TRUE(tools.items[0].items.empty()) << "a folder further down is opened, not listed";
    EXPECT_TRUE(links.Entries()[1].items.empty());
}

TEST_F(LinksTest, AFolderInLinksThatCannotBeReadIsAButtonWithAnEmptyMenu) {
    sys.folders.AddFolder(kLinks + "\\Locked", EntryKind::Locked);
    sys.folders.AddFile(kLinks + "\\Mail.lnk");
    links.Refresh();
    EXPECT_EQ(links.Status(), FolderStatus::Ok);
    ASSERT_EQ(Names(links.Entries()), (std::vector<std::string>{"Locked\\", "Mail"}));
    EXPECT_TRUE(links.Entries()[0].items.empty());
}

TEST_F(LinksTest, ALinksFolderThatIsNotThereOrCannotBeReadGivesNoEntries) {
    const struct {
        const char* what;
        void (*make)(FakeFolders&);
        FolderStatus status;
    } rows[] = {
        {"missing", [](FakeFolders& f) { f.AddFile("C:\\Apps\\Bar\\Nimbrel.exe"); }, FolderStatus::Missing},
        {"a file", [](FakeFolders& f) { f.AddFile(kLinks); }, FolderStatus::NotAFolder},
        {"unreadable",
         [](FakeFolders& f) {
             f.AddFolder(kLinks, EntryKind::Locked);
             f.AddFile(kLinks + "\\Mail.lnk");
         },
         FolderStatus::Unreadable},
    };
    for (const auto& row : rows) {
        FakeSystem system;
        row.make(system.folders);
        Links model(system.folders, system.process.executableFolder);
        EXPECT_FALSE(model.Refresh()) << row.what << ": nothing before, nothing now";
        EXPECT_EQ(model.Status(), row.status) << row.what;
        EXPECT_TRUE(model.Entries().empty()) << row.what;
    }
}

TEST_F(LinksTest, TheFolderIsLinksBesideTheProgram) {
    const struct {
        std::string executableFolder;
        std::string links;
    } rows[] = {
        {"C:\\Apps\\Bar", "C:\\Apps\\Bar\\Links"},
        {"C:\\", "C:\\Links"},
        {"D:\\Ünï\\日本", "D:\\Ünï\\日本\\Links"},
        {"", ""},
    };
    for (const auto& row : rows) {
        FakeSystem system;
        Links model(system.folders, row.executableFolder);
        EXPECT_EQ(model.Folder(), row.links) << row.executableFolder;
    }
}

TEST_F(LinksTest, WithoutTheProgramsFolderNothingIsReadOrWatched) {
    Links model(sys.folders, "");
    model.Refresh();
    model.Watch([] {});
    EXPECT_EQ(sys.folders.listings, 0);
    EXPECT_TRUE(sys.folders.Watched().empty());
    EXPECT_TRUE(model.Entries().empty());
}

TEST_F(LinksTest, RefreshTellsWhetherTheEntriesChanged) {
    Fill(sys.folders, {"Mail.lnk"});
    EXPECT_TRUE(links.Refresh());
    EXPECT_FALSE(links.Refresh());
    const struct {
        const char* what;
        void (*change)(FakeFolders&);
        std::vector<std::string> shown;
    } rows[] = {
        {"added", [](FakeFolders& f) { f.AddFile(kLinks + "\\Chat.lnk"); }, {"Chat", "Mail"}},
        {"renamed",
         [](FakeFolders& f) {
             f.Remove(kLinks + "\\Chat.lnk");
             f.AddFile(kLinks + "\\Talk.lnk");
         },
         {"Mail", "Talk"}},
        {"added in a folder",
         [](FakeFolders& f) { f.AddFile(kLinks + "\\Tools\\x.lnk"); },
         {"Tools\\", "Mail", "Talk"}},
        {"removed in a folder",
         [](FakeFolders& f) { f.Remove(kLinks + "\\Tools\\x.lnk"); },
         {"Tools\\", "Mail", "Talk"}},
        {"removed", [](FakeFolders& f) { f.Remove(kLinks + "\\Tools"); }, {"Mail", "Talk"}},
        {"Links deleted", [](FakeFolders& f) { f.Remove(kLinks); }, {}},
        {"Links made again", [](FakeFolders& f) { f.AddFile(kLinks + "\\New.url"); }, {"New"}},
        {"Links replaced by a file",
         [](FakeFolders& f) {
             f.Remove(kLinks);
             f.AddFile(kLinks);
         },
         {}},
    };
    for (const auto& row : rows) {
        row.change(sys.folders);
        EXPECT_TRUE(links.Refresh()) << row.what;
        EXPECT_EQ(Names(links.Entries()), row.shown) << row.what;
        EXPECT_FALSE(links.Refresh()) << row.what << ", read again";
    }
    EXPECT_EQ(links.Status(), FolderStatus::NotAFolder);
}

TEST_F(LinksTest, AChangeNotificationReadsTheFolderAgainAndTellsOnlyOfRealChanges) {
    Fill(sys.folders, {"Mail.lnk"});
    links.Refresh();
    int changes = 0;
    links.Watch([&] { ++changes; });
    EXPECT_EQ(sys.folders.Watched(), std::vector<std::string>{kLinks});

    sys.folders.NotifyWatchers();
    EXPECT_EQ(changes, 0) << "a notification for something else in the program's folder";

    sys.folders.AddFile(kLinks + "\\Chat.lnk");
    sys.folders.NotifyWatchers();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Names(links.Entries()), (std::vector<std::string>{"Chat", "Mail"}));

    sys.folders.Remove(kLinks);
    sys.folders.NotifyWatchers();
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(links.Entries().empty());
    EXPECT_EQ(sys.folders.Watched(), std::vector<std::string>{kLinks}) << "the watch waits for Links to come back";

    links.StopWatching();
    sys.folders.AddFile(kLinks + "\\Mail.lnk");
    sys.folders.NotifyWatchers();
    EXPECT_EQ(changes, 2);
    EXPECT_TRUE(sys.folders.Watched().empty());
}

TEST_F(LinksTest, AWatchMayBeReplacedOrStoppedFromItsOwnCallback) {
    int first = 0;
    int second = 0;
    links.Watch([&] { ++first; });
    links.Watch([&] {
        ++second;
        links.StopWatching();
    });
    EXPECT_EQ(sys.folders.Watched().size(), 1u);
    sys.folders.AddFile(kLinks + "\\Mail.lnk");
    sys.folders.NotifyWatchers();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_TRUE(sys.folders.Watched().empty());
}

TEST_F(LinksTest, AClickOpensAFileShowsAFoldersMenuAndExploresAFolderInIt) {
    Fill(sys.folders,
         {"Mail.lnk", "Notes.txt", "Tools\\", "Tools\\Edit.lnk", "Tools\\Projects\\", "Tools\\Projects\\Deep.lnk"});
    links.Refresh();
    using Kind = LinkCommand::Kind;
    const struct {
        std::string path;
        LinkCommand command;
    } rows[] = {
        {kLinks + "\\Mail.lnk", {Kind::Open, kLinks + "\\Mail.lnk"}},
        {kLinks + "\\Notes.txt", {Kind::Open, kLinks + "\\Notes.txt"}},
        {kLinks + "\\Tools", {Kind::Menu, kLinks + "\\Tools"}},
        {kLinks + "\\Tools\\Edit.lnk", {Kind::Open, kLinks + "\\Tools\\Edit.lnk"}},
        {kLinks + "\\Tools\\Projects", {Kind::Explore, kLinks + "\\Tools\\Projects"}},
        {kLinks + "\\Tools\\Projects\\Deep.lnk", {}},
        {kLinks + "\\Gone.lnk", {}},
        {"Mail", {}},
        {"", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(links.CommandFor(row.path), row.command) << row.path;
}

TEST_F(LinksTest, RunningACommandGoesToTheShellByPath) {
    using Kind = LinkCommand::Kind;
    const struct {
        LinkCommand command;
        bool shellFails;
        const char* call;  // nullptr: no call
        bool started;
    } rows[] = {
        {{Kind::Open, kLinks + "\\Mail.lnk"}, false, "folders.OpenEntry C:\\Apps\\Bar\\Links\\Mail.lnk", true},
        {{Kind::Open, kLinks + "\\Broken.lnk"}, true, "folders.OpenEntry C:\\Apps\\Bar\\Links\\Broken.lnk", false},
        {{Kind::Explore, kLinks + "\\A\\B"}, false, "folders.ExploreFolder C:\\Apps\\Bar\\Links\\A\\B", true},
        {{Kind::Explore, kLinks + "\\A\\B"}, true, "folders.ExploreFolder C:\\Apps\\Bar\\Links\\A\\B", false},
        {{Kind::Menu, kLinks + "\\A"}, false, nullptr, false},
        {{}, false, nullptr, false},
    };
    for (const auto& row : rows) {
        sys.log.Clear();
        sys.folders.failOpen = row.shellFails;
        EXPECT_EQ(links.Run(row.command), row.started) << row.command.path;
        if (row.call != nullptr)
            EXPECT_EQ(sys.log.Entries(), std::vector<std::string>{row.call});
        else
            EXPECT_TRUE(sys.log.Entries().empty()) << row.command.path;
    }
}

TEST(LinksSplit, ButtonsStayOnTheBarAsFarAsTheyFitBesideTheChevron) {
    const struct {
        const char* what;
        int available;
        std::vector<int> lengths;
        int chevron;
        LinksSplit split;
    } rows[] = {
        {"no entries", 100, {}, 20, {0, false}},
        {"all fit exactly, no chevron needed", 100, {50, 50}, 20, {2, false}},
        {"one too many: the chevron takes a place", 100, {40, 40, 40}, 20, {2, true}},
        {"the chevron's length counts", 100, {30, 30, 30, 30}, 25, {2, true}},
        {"a short one later does not jump the queue", 99, {10, 80, 10}, 15, {1, true}},
        {"lengths of their own that fit", 100, {10, 80, 10}, 15, {3, false}},
        {"not even one fits", 30, {40, 40}, 20, {0, true}},
        {"only the chevron fits", 20, {10, 10, 10}, 20, {0, true}},
        {"no room at all", 0, {10}, 10, {0, true}},
        {"less than nothing left", -50, {10}, 10, {0, true}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SplitLinks(row.available, row.lengths, row.chevron), row.split) << row.what;
}

TEST_F(LinksTest, FiveHundredEntriesAreReadOnceOrderedAndSplit) {
    sys.folders.AddFolder(kLinks);
    for (int i = 500; i >= 1; --i)
        sys.folders.AddFile(kLinks + "\\Item " + std::to_string(i) + ".lnk");
    sys.folders.AddFile(kLinks + "\\Box\\Inner.lnk");
    links.Refresh();
    ASSERT_EQ(links.Entries().size(), 501u);
    EXPECT_EQ(links.Entries()[0].name, "Box");
    for (int i = 1; i <= 500; ++i)
        ASSERT_EQ(links.Entries()[static_cast<std::size_t>(i)].name, "Item " + std::to_string(i));
    EXPECT_EQ(sys.folders.listings, 2) << "Links and its one folder";
    // A sort, not a comparison of every pair (124750).
    EXPECT_LT(sys.folders.comparisons, 501 * 20);

    const std::vector<int> lengths(links.Entries().size(), 24);
    EXPECT_EQ(SplitLinks(24 * 100, lengths, 24), (LinksSplit{99, true}));
    EXPECT_EQ(SplitLinks(24 * 501, lengths, 24), (LinksSplit{501, false}));
}

}  // namespace
}  // namespace nimbrel
