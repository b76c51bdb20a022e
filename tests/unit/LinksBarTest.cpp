// The Links folder on the bar: its buttons after the catalogue's, what their clicks and menus start, and the bar
// following the folder while it runs.
#include <gtest/gtest.h>

#include "FakePlatform.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

constexpr const char* kLinks = "C:\\Apps\\Bar\\Links";

class LinksBarTest : public ::testing::Test {
protected:
    void Start() {
        sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", "TOOLBAR_POSITION=TOP\r\n");
        form = sys.StartedForm();
    }
    // The tips of the bar's buttons after Help, as the view shows them now.
    std::vector<std::string> Own() const {
        std::vector<std::string> tips;
        const auto& shown = sys.barViews.views[0]->shown;
        for (auto it = shown.begin() + 16; it != shown.end(); ++it)
            tips.push_back(it->separator ? "|" : it->toolTip + (it->dropDown ? " v" : ""));
        return tips;
    }
    std::string KeyOf(const std::string& tip) const {
        for (const ToolButtonView& button : sys.barViews.views[0]->shown) {
            if (button.toolTip == tip)
                return button.key;
        }
        return {};
    }
    // Chooses the menu entry captioned caption, at any depth, in the menu the view shows next.
    void ChooseNext(const std::string& caption) {
        sys.barViews.choose = [caption](const std::vector<MenuItemView>& items) -> std::optional<std::size_t> {
            std::size_t number = 0;
            std::optional<std::size_t> found;
            std::function<void(const std::vector<MenuItemView>&)> walk = [&](const auto& menu) {
                for (const MenuItemView& item : menu) {
                    if (item.caption == caption)
                        found = number;
                    ++number;
                    walk(item.submenu);
                }
            };
            walk(items);
            return found;
        };
    }

    FakeSystem sys;
    std::unique_ptr<frmMain> form;
};

TEST_F(LinksBarTest, WithoutLinksTheBarIsAsItWas) {
    Start();
    EXPECT_EQ(sys.barViews.views[0]->shown.size(), 16U);
}

TEST_F(LinksBarTest, EntriesAreButtonsAfterHelpThatStartByTheirOwnPath) {
    // Firefox is installed, and an entry of the user's own has its name: the entry starts, not the catalogue's.
    sys.files.Put("C:\\Program Files\\Mozilla Firefox\\firefox.exe");
    sys.folders.AddFile(std::string(kLinks) + "\\firefox.lnk");
    sys.folders.AddFile(std::string(kLinks) + "\\10 Chat.url");
    sys.folders.AddFile(std::string(kLinks) + "\\1 Mail.lnk");
    sys.folders.AddFolder(std::string(kLinks) + "\\Tools");
    sys.folders.AddFile(std::string(kLinks) + "\\Tools\\Editor.lnk");
    sys.folders.AddFolder(std::string(kLinks) + "\\Tools\\Old");
    Start();
    EXPECT_EQ(Own(), (std::vector<std::string>{"|", "Tools v", "1 Mail", "10 Chat", "firefox"}));
    EXPECT_EQ(sys.barViews.views[0]->shown.back().picture, std::string(kLinks) + "\\firefox.lnk");

    sys.log.Clear();
    sys.barViews.views[0]->events.OnButtonPressed(KeyOf("firefox"));
    EXPECT_EQ(sys.log.Entries().front(), "window.AllowSetForegroundWindow(ANY)");
    EXPECT_TRUE(sys.log.Contains("folders.OpenEntry " + std::string(kLinks) + "\\firefox.lnk"));
    EXPECT_TRUE(sys.log.Matching("shell.").empty()) << "never the catalogue's program";
    EXPECT_FALSE(form->BarShown) << "parked as after every command";

    // A folder's drop-down: its entries; a folder among them opens in Explorer.
    form->GO_BarOn();
    ChooseNext("Old");
    sys.barViews.views[0]->events.OnDropDownPressed(KeyOf("Tools"), {});
    EXPECT_TRUE(sys.log.Contains("folders.ExploreFolder " + std::string(kLinks) + "\\Tools\\Old"));
    // The » menu of what did not fit, a folder there with its entries as a submenu.
    form->GO_BarOn();
    ChooseNext("Editor");
    sys.barViews.views[0]->events.OnOverflowPressed({KeyOf("10 Chat"), KeyOf("Tools")}, {});
    const std::vector<MenuItemView>& overflow = sys.barViews.views[0]->popups.back();
    ASSERT_EQ(overflow.size(), 2U);
    EXPECT_EQ(overflow[1].submenu.size(), 2U);
    EXPECT_TRUE(sys.log.Contains("folders.OpenEntry " + std::string(kLinks) + "\\Tools\\Editor.lnk"));
}

TEST_F(LinksBarTest, TheBarFollowsTheFolderWhileItRuns) {
    Start();
    sys.folders.AddFolder(kLinks);
    sys.folders.AddFile(std::string(kLinks) + "\\Notes.txt");
    sys.folders.NotifyWatchers();
    EXPECT_EQ(Own(), (std::vector<std::string>{"|", "Notes"})) << "Links made while the bar runs";
    sys.folders.Remove(kLinks);
    sys.folders.NotifyWatchers();
    EXPECT_TRUE(Own().empty()) << "Links deleted: its buttons go";
}

TEST_F(LinksBarTest, AnEntrysOwnMenuAndWhatIsDroppedWhere) {
    const std::string tool = std::string(kLinks) + "\\Tool.lnk";
    sys.folders.AddFile(tool);
    sys.entryFiles.AddFile(tool);  // the same file, as the Links files' fake sees the disk
    Start();
    // Its own menu: Open, Properties, Remove, a separator, then the bar's menu.
    for (const char* entry : {"&Properties", "&Remove from the bar"}) {
        ChooseNext(entry);
        form->cmdBar_ContextMenu(0, KeyOf("Tool"), {});
        EXPECT_EQ(sys.barViews.views[0]->popups.back()[3].separator, true);
    }
    EXPECT_TRUE(sys.log.Contains("entryShell.Properties(" + tool + ")"));
    EXPECT_TRUE(sys.log.Contains("entries.Recycle(" + tool + ")")) << "with no question";
    EXPECT_TRUE(sys.log.Matching("MsgBox").empty());

    // Drops: taken once the message loop runs; the bar stays while something is over it.
    EXPECT_EQ(sys.window.drops, nullptr);
    sys.pump.DoEvents();
    ASSERT_NE(sys.window.drops, nullptr);
    sys.window.drops->OnDragOver(true);
    sys.pointer.y = 400;
    sys.clock.Advance(2000);
    EXPECT_TRUE(form->BarShown) << "not parked under a drag";
    // On the Links program: it opens the files, as a command does. Elsewhere on the bar: an entry is added.
    sys.barViews.views[0]->keyAt = KeyOf("Tool");
    DropSpot spot = sys.window.drops->DropSpotAt(10, 10);
    EXPECT_EQ(spot.kind, DropSpot::Kind::Program);
    sys.window.drops->OnDrop({{"C:\\Docs\\a b.txt"}, {}, {}}, spot);
    EXPECT_TRUE(sys.log.Matching("entryShell.StartWith").empty()) << "after the drop has returned";
    sys.pump.DoEvents();
    EXPECT_EQ(sys.entryShell.started.back(), (std::vector<std::string>{tool, "C:\\Docs\\a b.txt"}));
    EXPECT_FALSE(form->BarShown);
    form->GO_BarOn();
    sys.barViews.views[0]->keyAt = "";
    spot = sys.window.drops->DropSpotAt(10, 10);
    EXPECT_EQ(spot.kind, DropSpot::Kind::Bar);
    sys.window.drops->OnDrop({{}, "https://www.example.org/a", "Example"}, spot);
    sys.pump.DoEvents();
    EXPECT_TRUE(sys.entryFiles.Content(std::string(kLinks) + "\\Example.url").has_value());
    EXPECT_TRUE(form->BarShown) << "adding is no command";
    sys.barViews.views[0]->keyAt.reset();
    EXPECT_EQ(sys.window.drops->DropSpotAt(10, 10).kind, DropSpot::Kind::Inert) << "off the bar";
}

}  // namespace
}  // namespace nimbrel
