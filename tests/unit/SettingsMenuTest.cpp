// The bar's own menu: what it shows, what each choice does at once, and what it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "FakePlatform.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

constexpr const char* kFile = "C:\\Apps\\Bar\\Nimbrel.Txt";

// Every entry as its path of captions ("&Dock at/&Left"), in the order the view numbers them.
void Flatten(const std::vector<MenuItemView>& items, const std::string& prefix, std::vector<std::string>& out) {
    for (const MenuItemView& item : items) {
        out.push_back(prefix + item.caption);
        Flatten(item.submenu, prefix + item.caption + "/", out);
    }
}

// The access keys of one menu, each letter once; and the captions that are checked, at any depth.
void CheckMenu(const std::vector<MenuItemView>& items, std::vector<std::string>& checked) {
    std::set<char> keys;
    for (const MenuItemView& item : items) {
        const std::size_t amp = item.caption.find('&');
        if (!item.separator) {
            ASSERT_NE(amp, std::string::npos) << item.caption;
            EXPECT_TRUE(keys.insert(static_cast<char>(std::toupper(item.caption[amp + 1]))).second) << item.caption;
        }
        if (item.checked)
            checked.push_back(item.caption);
        CheckMenu(item.submenu, checked);
    }
}

class SettingsMenuTest : public ::testing::Test {
protected:
    void Start(const std::string& file) {
        sys.files.Put(kFile, file);
        form = sys.StartedForm();
    }
    // Opens the menu with a right-click and chooses the entry at path, or closes it with Esc when path is empty.
    void Choose(const std::string& path) {
        sys.barViews.choose = [&](const std::vector<MenuItemView>& items) -> std::optional<std::size_t> {
            shown = items;
            std::vector<std::string> entries;
            Flatten(items, "", entries);
            const auto at = std::find(entries.begin(), entries.end(), path);
            if (at == entries.end())
                return std::nullopt;
            return static_cast<std::size_t>(at - entries.begin());
        };
        form->cmdBar_ContextMenu(0, "", {500, 10, 500, 10, form->DockEdge()});
        sys.barViews.choose = nullptr;
    }
    std::string File() const { return sys.files.Content(kFile).value_or("(none)"); }

    FakeSystem sys;
    std::unique_ptr<frmMain> form;
    std::vector<MenuItemView> shown;
};

TEST_F(SettingsMenuTest, ShowsTheBarsSettingsCheckedWithOneAccessKeyEach) {
    sys.startup.present = true;
    Start("TOOLBAR_POSITION=LEFT\r\nPOINTER_POSITION=middle\r\nSTYLE=3\r\n");
    Choose("");
    std::vector<std::string> checked;
    CheckMenu(shown, checked);
    EXPECT_EQ(checked,
              (std::vector<std::string>{"&Left", "&Nowhere (shortcut key only)", "&Dark", "&Start with Windows"}));
    std::vector<std::string> top;
    for (const MenuItemView& item : shown)
        top.push_back(item.caption);
    EXPECT_EQ(
        top, (std::vector<std::string>{"&Dock at", "&Call back from", "&Look", "&Start with Windows",
                                       "&Add to the bar\xE2\x80\xA6", "Open the Lin&ks folder", "", "&Help", "E&xit"}));
    EXPECT_EQ(sys.files.replaces, 0) << "Esc changes nothing";
    EXPECT_EQ(File(), "TOOLBAR_POSITION=LEFT\r\nPOINTER_POSITION=middle\r\nSTYLE=3\r\n");
}

TEST_F(SettingsMenuTest, EachChoiceAppliesAtOnceAndRewritesOnlyItsKey) {
    // A note, an unknown key and a section line stay byte for byte, in their places.
    const std::string rest = "; mine\r\n[Bar]\r\nCOLOUR=red\r\n";
    struct Case {
        std::string path;
        std::string before, after;
        Edge dock;
        std::int16_t style;
    };
    const Case cases[] = {
        {"&Dock at/&Left", "TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\n" + rest,
         "TOOLBAR_POSITION=LEFT\r\nPOINTER_POSITION=LEFT\r\n" + rest, Edge::Left, 0},
        {"&Dock at/&Bottom", "toolbar_position=top\r\nPOINTER_POSITION=RIGHT\r\nSTYLE=2\r\n" + rest,
         "toolbar_position=BOTTOM\r\nPOINTER_POSITION=RIGHT\r\nSTYLE=2\r\n" + rest, Edge::Bottom, 2},
        {"&Call back from/&Nowhere (shortcut key only)", rest + "POINTER_POSITION=TOP", rest + "POINTER_POSITION=NONE",
         Edge::Top, 0},
        {"&Look/&Dark", rest, rest + "STYLE=3\r\n", Edge::Top, 3},
        {"&Look/&Classic", "STYLE=2\r\n" + rest + "STYLE=1\r\n", rest, Edge::Top, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Start(c.before);
        sys.log.Clear();
        Choose(c.path);
        EXPECT_EQ(File(), c.after);
        EXPECT_EQ(form->DockEdge(), c.dock);
        EXPECT_EQ(form->cmdBar[0]->DockSide(), c.dock);
        EXPECT_EQ(form->cmdBar[0]->Style(), c.style);
        EXPECT_TRUE(form->BarShown) << "a choice is not a command";
        EXPECT_TRUE(sys.log.Matching("MsgBox").empty());
    }
    // Docked at once as a start there places it: a BOTTOM bar with its overhang.
    Start("TOOLBAR_POSITION=TOP\r\n");
    Choose("&Dock at/&Bottom");
    EXPECT_EQ(sys.window.top, 15.0F * 768 - 450 + 10);
    EXPECT_EQ(sys.window.left, 0);
}

TEST_F(SettingsMenuTest, ANewCallBackEdgeTakesEffectAtTheNextTick) {
    Start("TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\n");
    Choose("&Call back from/&Nowhere (shortcut key only)");
    form->GO_BarOff();
    EXPECT_FALSE(sys.TickAt(*form, 500, 0)) << "the top no longer calls it back";
    Choose("");
    form->OnRecallRequested();
    EXPECT_TRUE(form->BarShown) << "the shortcut key still does";
}

TEST_F(SettingsMenuTest, TheBarStaysWhileItsMenuIsOpen) {
    Start("TOOLBAR_POSITION=TOP\r\n");
    sys.barViews.choose = [&](const std::vector<MenuItemView>&) -> std::optional<std::size_t> {
        sys.pointer.y = 400;
        sys.clock.Advance(4000);
        return std::nullopt;
    };
    sys.barViews.views[0]->events.OnContextMenu("", {});
    EXPECT_TRUE(form->BarShown);
    sys.clock.Advance(2000);
    EXPECT_FALSE(form->BarShown) << "parked by the first tick after it closed";
    EXPECT_TRUE(sys.barViews.views[0]->popups.size() == 1);
    sys.barViews.views[0]->events.OnContextMenu("", {});
    EXPECT_EQ(sys.barViews.views[0]->popups.size(), 1U) << "a parked bar has no menu";
}

TEST_F(SettingsMenuTest, WhatCannotBeSavedHoldsForThisRunAndTheUserIsTold) {
    Start("TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\n");
    sys.files.failReplace = test::kSharingViolation;
    Choose("&Dock at/&Left");
    EXPECT_EQ(form->DockEdge(), Edge::Left) << "the bar moved all the same";
    const std::vector<std::string> boxes = sys.log.Matching("MsgBox");
    ASSERT_EQ(boxes.size(), 1U);
    EXPECT_NE(boxes[0].find(kFile), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find(test::kSharingViolation), std::string::npos) << boxes[0];
    EXPECT_EQ(File(), "TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\n");
}

TEST_F(SettingsMenuTest, StartWithWindowsHelpAndExit) {
    Start("TOOLBAR_POSITION=TOP\r\n");
    Choose("&Start with Windows");
    Choose("&Start with Windows");
    EXPECT_EQ(sys.log.Matching("startup."), (std::vector<std::string>{"startup.Make", "startup.Remove"}));
    sys.startup.fail = "Access is denied.";
    Choose("&Start with Windows");
    ASSERT_EQ(sys.log.Matching("MsgBox").size(), 1U);
    EXPECT_NE(sys.log.Matching("MsgBox")[0].find("Access is denied."), std::string::npos);
    Choose("&Help");
    EXPECT_TRUE(sys.log.Contains("shell.Open(C:\\Apps\\Bar/nimbrel.pdf)"));
    EXPECT_FALSE(form->BarShown) << "Help is a command: the bar parks";
    form->GO_BarOn();
    Choose("E&xit");
    EXPECT_TRUE(sys.process.ended);
    EXPECT_EQ(sys.files.replaces, 0);
}

}  // namespace
}  // namespace nimbrel
