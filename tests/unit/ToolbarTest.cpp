#include <gtest/gtest.h>

#include <set>

#include "FakePlatform.h"
#include "toolbar/ButtonDefinitions.h"

namespace nimbrel {
namespace {

using test::EntryKind;
using test::FakeSystem;

std::vector<std::string> Keys(const std::vector<Button*>& buttons) {
    std::vector<std::string> keys;
    for (const Button* b : buttons)
        keys.push_back(b->Key());
    return keys;
}

std::vector<std::string> HiddenKeys(frmMain& form) {
    std::vector<std::string> keys;
    ButtonCollection& buttons = form.cmdBar[0]->Buttons();
    for (int j = 1; j <= buttons.Count(); ++j) {
        if (!buttons.Item(j)->Visible())
            keys.push_back(buttons.Item(j)->Key());
    }
    return keys;
}

const std::vector<std::string> kLaunchers = {
    "BROWSER:IEXPLORE", "BROWSER:NETSCAPE",     "BROWSER:FIREFOX",  "BROWSER:OPERA",     "MAIL:OUTLOOK",
    "MAIL:MSIMN",       "MAIL:EUDORA",          "MAIL:THUNDERBIRD", "FTP:FILEZILLA",     "FTP:SMARTFTP",
    "FTP:FREEFTP",      "MESSAGING:SKYPE",      "MESSAGING:MSMSGS", "MESSAGING:ICQLITE", "P2P:LIMEWIRE",
    "P2P:MORPHEUS",     "PROGRAMS:GOOGLEEARTH", "PROGRAMS:ISPBOS",  "PROGRAMS:TELLME",
};

TEST(CreateButtons, MakesThe38ButtonsInCreationOrderWithTheirValues) {
    FakeSystem sys;
    auto form = sys.MakeForm();
    ASSERT_TRUE(form->CreateButtons());
    ButtonCollection& buttons = form->cmdBar[0]->Buttons();
    ASSERT_EQ(buttons.Count(), 38);
    for (int j = 1; j <= 38; ++j) {
        const ButtonDefinition& def = kButtonDefinitions[static_cast<std::size_t>(j - 1)];
        const Button& b = *buttons.Item(j);
        EXPECT_EQ(b.Key(), def.key);
        EXPECT_EQ(b.Icon(), def.icon) << def.key;
        EXPECT_EQ(b.Caption(), def.caption) << def.key;
        EXPECT_EQ(b.Style(), def.style) << def.key;
        EXPECT_EQ(b.ToolTip(), def.toolTip) << def.key;
        EXPECT_EQ(b.ShortcutKey(), 0);
        EXPECT_EQ(b.ShortcutShift(), 2);
        EXPECT_EQ(buttons.Item(def.key), &b);
    }
    // Spot checks against the table as users see it.
    EXPECT_EQ(buttons.Item(2)->Key(), "SEP1");
    EXPECT_EQ(buttons.Item(3)->Key(), "SEP2");
    EXPECT_EQ(buttons.Item(38)->Caption(), "TellMe(Text-2-Speech)");
    EXPECT_EQ(buttons.Item("FTP")->ToolTip(), "FTP");
    EXPECT_EQ(buttons.Item("MAIL:MSIMN")->Caption(), "Express");
    EXPECT_EQ(buttons.Item("FTP:FREEFTP")->Caption(), "CoffeeCup");
    EXPECT_EQ(buttons.Item("MESSAGING:ICQLITE")->Caption(), "ICQ");
    EXPECT_EQ(buttons.Item("BROWSER:IEXPLORE")->Caption(), "Explorer");
    EXPECT_EQ(buttons.Item("WINDOWS")->Icon(), 30);
    EXPECT_EQ(buttons.Item("SEP1")->Icon(), -1);

    std::vector<std::string> dropDowns;
    std::set<int> icons;
    for (int j = 1; j <= 38; ++j) {
        if (buttons.Item(j)->DropDown())
            dropDowns.push_back(buttons.Item(j)->Key());
        icons.insert(buttons.Item(j)->Icon());
    }
    EXPECT_EQ(dropDowns,
              (std::vector<std::string>{"BROWSER", "SEARCH", "MAIL", "FTP", "MESSAGING", "P2P", "PROGRAMS"}));
    EXPECT_EQ(icons.size(), 37U);  // 0..37 without 18 and 27, plus -1
    EXPECT_EQ(icons.count(18) + icons.count(27), 0U);
}

TEST(BuildToolbar, MakesEightBarsWithTheirButtonsAndDropDowns) {
    FakeSystem sys;
    auto form = sys.MakeForm();
    ASSERT_EQ(form->LoadMainWindow(), frmMain::LoadResult::Shown);
    CommandBar& bar = *form->cmdBar[0];
    EXPECT_EQ(bar.Bars().Count(), 8);
    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"STANDARD",
         {"EXIT", "SEP1", "BROWSER", "SEARCH", "MAIL", "FTP", "MESSAGING", "P2P", "PROGRAMS", "SEP2", "CONNECTION",
          "FIREWALL", "SECURITY", "WINDOWS", "OSMIRADE", "HELP"}},
        {"BROWSER", {"BROWSER:IEXPLORE", "BROWSER:NETSCAPE", "BROWSER:FIREFOX", "BROWSER:OPERA"}},
        {"SEARCH", {"SEARCH:ALTAVISTA", "SEARCH:YAHOO", "SEARCH:GOOGLE"}},
        {"MAIL", {"MAIL:OUTLOOK", "MAIL:MSIMN", "MAIL:EUDORA", "MAIL:THUNDERBIRD"}},
        {"FTP", {"FTP:FILEZILLA", "FTP:SMARTFTP", "FTP:FREEFTP"}},
        {"MESSAGING", {"MESSAGING:SKYPE", "MESSAGING:MSMSGS", "MESSAGING:ICQLITE"}},
        {"P2P", {"P2P:LIMEWIRE", "P2P:MORPHEUS"}},
        {"PROGRAMS", {"PROGRAMS:GOOGLEEARTH", "PROGRAMS:ISPBOS", "PROGRAMS:TELLME"}},
    };
    for (const auto& [key, keys] : expected) {
        ButtonBar* b = bar.Bars().Item(key);
        ASSERT_NE(b, nullptr) << key;
        EXPECT_EQ(b->Title(), "");
        EXPECT_EQ(Keys(b->Buttons()), keys) << key;
        if (key != "STANDARD") {
            EXPECT_EQ(bar.Buttons().Item(key)->Bar(), b) << key;
        }
    }
    int withBar = 0;
    for (int j = 1; j <= 38; ++j)
        withBar += bar.Buttons().Item(j)->Bar() != nullptr ? 1 : 0;
    EXPECT_EQ(withBar, 7);

    // The view draws the main bar: 14 buttons and 2 separators, tool-tips included.
    const auto& shown = sys.barViews.views[0]->shown;
    ASSERT_EQ(shown.size(), 16U);
    EXPECT_TRUE(shown[1].separator);
    EXPECT_TRUE(shown[9].separator);
    EXPECT_EQ(shown[2].toolTip, "Browser");
    EXPECT_TRUE(shown[2].dropDown);
    EXPECT_EQ(shown[15].toolTip, "Help");
}

TEST(BuildToolbar, HidesExactlyTheLaunchersOfProgramsNotInstalled) {
    {
        FakeSystem sys;
        auto form = sys.MakeForm();
        form->LoadMainWindow();
        // In creation order, which has the MESSAGING items as SKYPE, MSMSGS, ICQLITE.
        EXPECT_EQ(HiddenKeys(*form), kLaunchers);
        // The main bar keeps all 16 entries whatever is installed.
        for (const ToolButtonView& v : sys.barViews.views[0]->shown)
            EXPECT_TRUE(v.visible) << v.key;
    }
    {
        FakeSystem sys;
        sys.InstallAll();
        auto form = sys.MakeForm();
        form->LoadMainWindow();
        EXPECT_TRUE(HiddenKeys(*form).empty());
    }
    {
        FakeSystem sys;
        sys.InstallAll();
        sys.files.Put("C:\\Program Files\\Mozilla Firefox\\firefox.exe", "", EntryKind::Hidden);
        sys.files.Put("C:\\Program Files\\opera\\opera.exe", "", EntryKind::System);
        sys.files.Put("C:\\Program Files\\skype\\phone\\skype.exe", "", EntryKind::Directory);
        sys.files.Remove("C:\\Program Files\\tellme\\tellme.exe");
        sys.files.Put("C:\\Program Files\\tellme.exe");  // anywhere else does not count
        sys.files.Remove("C:\\Program Files\\microsoft office\\office\\outlook.exe");
        sys.files.Put("C:\\Program Files\\microsoft office\\office12\\outlook.exe");
        auto form = sys.MakeForm();
        form->LoadMainWindow();
        EXPECT_EQ(HiddenKeys(*form),
                  (std::vector<std::string>{"BROWSER:FIREFOX", "BROWSER:OPERA", "MESSAGING:SKYPE", "PROGRAMS:TELLME"}));
    }
    {
        // Without any Office folder, a file literally named "Program Filesoutlook.exe" keeps Outlook.
        FakeSystem sys;
        sys.files.Put("C:\\Program Filesoutlook.exe");
        auto form = sys.MakeForm();
        form->LoadMainWindow();
        EXPECT_TRUE(form->cmdBar[0]->Buttons().Item("MAIL:OUTLOOK")->Visible());
    }
}

TEST(BuildToolbar, HidingCostsOneCheckPerPosition) {
    FakeSystem sys;
    sys.InstallAll();
    auto form = sys.MakeForm();
    form->LoadMainWindow();
    EXPECT_EQ(sys.files.existenceChecks, 1 + 19);  // Outlook found at once, then the install tests

    FakeSystem none;
    auto other = none.MakeForm();
    other->LoadMainWindow();
    EXPECT_EQ(none.files.existenceChecks, 19);  // no Office folder to search
}

TEST(BuildToolbar, NothingIsHiddenWhenTheCatalogueIsEmpty) {
    FakeSystem sys;
    auto form = sys.MakeForm();
    ASSERT_TRUE(form->CreateButtons());
    ASSERT_TRUE(form->BuildToolbar());
    EXPECT_TRUE(HiddenKeys(*form).empty());
}

TEST(CommandBarModel, CollectionsAreKeyedByUniqueExactTexts) {
    FakeSystem sys;
    auto form = sys.MakeForm();
    CommandBar& bar = *form->cmdBar[0];
    EXPECT_NE(bar.Buttons().Add("A", 0, "", 0, "", 0, 2), nullptr);
    EXPECT_EQ(bar.Buttons().Add("A", 1, "", 0, "", 0, 2), nullptr);
    EXPECT_EQ(bar.Buttons().Add("", 1, "", 0, "", 0, 2), nullptr);
    EXPECT_EQ(bar.Buttons().Item("a"), nullptr);
    EXPECT_EQ(bar.Buttons().Item(0), nullptr);
    EXPECT_EQ(bar.Buttons().Item(2), nullptr);
    EXPECT_NE(bar.Bars().Add("X", ""), nullptr);
    EXPECT_EQ(bar.Bars().Add("X", ""), nullptr);
    EXPECT_EQ(bar.Bars().Item("Y"), nullptr);
    // A second creation of the bar's buttons fails instead of doubling them.
    FakeSystem again;
    auto twice = again.MakeForm();
    ASSERT_TRUE(twice->CreateButtons());
    EXPECT_FALSE(twice->CreateButtons());
    EXPECT_EQ(twice->cmdBar[0]->Buttons().Count(), 38);
}

class DropDownTest : public ::testing::Test {
protected:
    void Start() {
        form = sys.MakeForm();
        ASSERT_EQ(form->LoadMainWindow(), frmMain::LoadResult::Shown);
        sys.log.Clear();
    }
    FakeSystem sys;
    std::unique_ptr<frmMain> form;
};

TEST_F(DropDownTest, FirstDropDownAsksForElementOneAndEveryLaterOneReusesIt) {
    sys.InstallAll();
    Start();
    form->cmdBar[0]->PressDropDown("BROWSER", {});
    ASSERT_EQ(form->cmdBar.size(), 2U);
    EXPECT_EQ(form->cmdBar[1]->Index(), 1);
    EXPECT_EQ(form->cmdBar[1]->Alignment(), std::nullopt);
    EXPECT_EQ(form->cmdBar[1]->ImageList(0), form->ImageList1) << "menus show the bar's pictures";
    form->cmdBar[0]->PressDropDown("MAIL", {});
    form->cmdBar[0]->PressDropDown("SEARCH", {});
    EXPECT_EQ(form->cmdBar.size(), 2U);
    EXPECT_EQ(sys.barViews.views[1]->popups.size(), 3U);
    EXPECT_TRUE(sys.barViews.views[0]->popups.empty());
    // Popups list captions with icons, in bar order.
    const auto& browser = sys.barViews.views[1]->popups[0];
    ASSERT_EQ(browser.size(), 4U);
    EXPECT_EQ(browser[2].caption, "FireFox");
    EXPECT_EQ(browser[2].icon, 2);
    EXPECT_TRUE(browser[2].enabled);
}

TEST_F(DropDownTest, TheMenusViewHoldsTheBarsPicturesWhenItOpens) {
    // The one way the pictures reach the menus: the core hands its own to the drop-down instance.
    Start();
    std::shared_ptr<IImageList> held[2];
    sys.barViews.choose = [&](const std::vector<MenuItemView>&) -> std::optional<std::size_t> {
        held[0] = sys.barViews.views[1]->images[0];
        held[1] = sys.barViews.views[1]->images[1];
        return std::nullopt;
    };
    form->cmdBar[0]->PressDropDown("BROWSER", {});
    ASSERT_NE(form->ImageList1, nullptr);
    EXPECT_EQ(held[0], form->ImageList1);
    EXPECT_EQ(held[1], form->ImageList1);
}

TEST_F(DropDownTest, ListsOnlyVisibleItemsAndTheChoiceClicksFromElementOne) {
    sys.files.Put("C:\\Program Files\\opera\\opera.exe");
    sys.files.Put("C:\\Program Files\\netscape\\netscape browser\\netscape.exe");
    Start();
    sys.barViews.choose = [](const std::vector<MenuItemView>& items) -> std::optional<std::size_t> {
        return items.size() - 1;
    };
    form->cmdBar[0]->PressDropDown("BROWSER", {});
    const auto& items = sys.barViews.views[1]->popups.back();
    ASSERT_EQ(items.size(), 2U);
    EXPECT_EQ(items[0].caption, "Netscape");
    EXPECT_EQ(items[1].caption, "Opera");
    EXPECT_EQ(sys.log.Matching("shell."),
              (std::vector<std::string>{"shell.Start(C:\\Program Files\\opera\\opera.exe)"}));
    EXPECT_FALSE(form->BarShown);
}

TEST_F(DropDownTest, AnEmptyDropDownShowsOneGreyedEntryThatDoesNothing) {
    Start();
    sys.barViews.choose = [](const std::vector<MenuItemView>&) -> std::optional<std::size_t> { return 0; };
    form->cmdBar[0]->PressDropDown("P2P", {});
    const auto& items = sys.barViews.views[1]->popups.back();
    ASSERT_EQ(items.size(), 1U);
    EXPECT_EQ(items[0].caption, "(no program found)");
    EXPECT_FALSE(items[0].enabled);
    EXPECT_TRUE(sys.log.Matching("shell.").empty());
    EXPECT_TRUE(form->BarShown) << "no click was raised";
    // The search drop-down always keeps its three items.
    form->cmdBar[0]->PressDropDown("SEARCH", {});
    EXPECT_EQ(sys.barViews.views[1]->popups.back().size(), 3U);
}

TEST_F(DropDownTest, PressingACategoryOrSeparatorRaisesNoClick) {
    Start();
    for (const char* key : {"BROWSER", "PROGRAMS", "SEP1", "SEP2", "NO-SUCH-KEY"})
        form->cmdBar[0]->PressButton(key);
    form->cmdBar[0]->PressDropDown("EXIT", {});  // a button without a drop-down bar
    EXPECT_TRUE(sys.log.Entries().empty());
    EXPECT_EQ(form->cmdBar.size(), 1U);
}

TEST_F(DropDownTest, ClosingTheMenuWithoutAChoiceDoesNothing) {
    sys.InstallAll();
    Start();
    form->cmdBar[0]->PressDropDown("FTP", {});
    EXPECT_TRUE(sys.log.Matching("shell.").empty());
    EXPECT_TRUE(form->BarShown);
}

TEST(InstanceRequest, EveryRequestAddsANewElementWhoeverRaisesIt) {
    FakeSystem sys;
    auto form = sys.StartedForm();
    CommandBar* slot = nullptr;
    form->cmdBar_RequestNewInstance(0, slot);
    EXPECT_EQ(slot, form->cmdBar[1].get());
    EXPECT_EQ(slot->Index(), 1);
    form->cmdBar_RequestNewInstance(1, slot);
    EXPECT_EQ(slot->Index(), 2);
    form->cmdBar_RequestNewInstance(-7, slot);
    EXPECT_EQ(slot->Index(), 3);
    EXPECT_EQ(form->cmdBar.size(), 4U);
    EXPECT_EQ(sys.log.Matching("bar"),
              (std::vector<std::string>{"bar1.Align=none", "bar2.Align=none", "bar3.Align=none"}));
    EXPECT_TRUE(form->BarShown);
    EXPECT_TRUE(sys.log.Matching("window.").empty());
}

TEST(InstanceRequest, RefusesOnceTheSixteenBitIndexesRunOut) {
    FakeSystem sys;
    auto form = sys.StartedForm();
    CommandBar* slot = nullptr;
    for (int i = 1; i <= 32767; ++i)
        form->cmdBar_RequestNewInstance(0, slot);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->Index(), 32767);
    form->cmdBar_RequestNewInstance(0, slot);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(form->cmdBar.size(), 32768U);

    // A bar whose request is refused shows no drop-down and keeps running.
    FakeSystem other;
    auto full = other.StartedForm();
    for (int i = 1; i <= 32767; ++i)
        full->cmdBar_RequestNewInstance(0, slot);
    full->cmdBar[0]->PressDropDown("SEARCH", {});
    EXPECT_EQ(full->cmdBar[0]->MenuHost(), nullptr);
    EXPECT_EQ(full->cmdBar.size(), 32768U);
}

}  // namespace
}  // namespace nimbrel
