// The bar and the keyboard: the call that another start (the shortcut key) makes, and keys on a parked bar.
#include <gtest/gtest.h>

#include "FakePlatform.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

constexpr std::uintptr_t kEditor = 42;  // the window the user was typing in before the call

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = sys.StartedAt("TOP", "TOP");
        sys.pointer.y = 400;  // away from the band and from the recall edge
        sys.window.foreground = kEditor;
    }
    void Tick() { sys.clock.Advance(2000); }
    ICommandBarViewEvents& Keys() { return sys.barViews.views[0]->events; }

    FakeSystem sys;
    std::unique_ptr<frmMain> form;
};

TEST_F(KeyboardTest, TheCallDocksBringsInFrontAndTakesTheForegroundAndTheFocus) {
    for (const bool parked : {true, false}) {
        SCOPED_TRACE(parked ? "parked" : "docked");
        parked ? form->GO_BarOff() : form->GO_BarOn();
        sys.clock.Advance(150);
        sys.log.Clear();
        form->OnRecallRequested();
        std::vector<std::string> expected = {"window.SetWindowPos(Topmost)", "window.SetForegroundWindow",
                                             "window.SetFocus", "Timer2.Enabled=1"};
        if (parked)
            expected.insert(expected.begin(), "window.Move(0,0)");
        EXPECT_EQ(sys.log.Entries(), expected);
        EXPECT_TRUE(form->BarShown);
        sys.clock.Advance(150);
        EXPECT_FALSE(sys.window.topmost) << "released from the topmost band as after every show";
        form->cmdBar_Escape(0);
        Tick();
        sys.window.foreground = kEditor;
    }
}

TEST_F(KeyboardTest, ACalledBarStaysUntilACommandEscOrAnotherProgramTakesActivation) {
    struct Case {
        const char* ending;
        std::function<void()> end;
        bool parksAtOnce;
        bool givesBack;
    };
    const Case cases[] = {
        {"command", [&] { form->cmdBar_ButtonClick(0, *form->cmdBar[0]->Buttons().Item("FIREWALL")); }, true, false},
        {"Esc", [&] { Keys().OnEscapePressed(); }, true, true},
        {"another program's window", [&] { form->OnDeactivated(); }, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ending);
        form->GO_BarOff();
        sys.window.foreground = kEditor;
        form->OnRecallRequested();
        Tick();
        Tick();
        ASSERT_TRUE(form->BarShown) << "the pointer watch leaves a called bar alone";
        sys.log.Clear();
        // As Wine deactivates a window that moves off the screen.
        sys.window.onMove = [&] { form->OnDeactivated(); };
        c.end();
        sys.window.onMove = nullptr;
        EXPECT_EQ(form->BarShown, !c.parksAtOnce);
        Tick();
        EXPECT_FALSE(form->BarShown) << "from the next tick on the pointer decides again";
        EXPECT_EQ(sys.log.Count("window.GiveForeground(42)"), c.givesBack ? 1U : 0U);
        form->GO_BarOn();
        Tick();
        EXPECT_FALSE(form->BarShown) << "the hold is gone: the pointer called the bar back, the pointer parks it";
    }
}

TEST_F(KeyboardTest, WhatACalledBarStartsMayComeInFront) {
    for (const char* key : {"FIREWALL", "OSMIRADE"}) {
        SCOPED_TRACE(key);
        form->OnRecallRequested();
        sys.log.Clear();
        form->cmdBar_ButtonClick(0, *form->cmdBar[0]->Buttons().Item(key));
        const std::vector<std::string>& calls = sys.log.Entries();
        ASSERT_GE(calls.size(), 2U);
        EXPECT_EQ(calls[0], "window.AllowSetForegroundWindow(ANY)") << "before the shell starts anything";
        EXPECT_EQ(calls[1].rfind("shell.", 0), 0U) << calls[1];
        EXPECT_TRUE(sys.log.Matching("window.GiveForeground").empty()) << "the program started is the one in front";
    }
}

TEST_F(KeyboardTest, ARefusedForegroundShowsTheBarAsAtItsEdgeWithoutHoldingIt) {
    form->GO_BarOff();
    sys.window.refuseForeground = true;
    sys.log.Clear();
    form->OnRecallRequested();
    EXPECT_TRUE(form->BarShown);
    EXPECT_EQ(sys.log.Count("window.SetActiveWindow"), 1U);
    Tick();
    EXPECT_FALSE(form->BarShown) << "no key could end a hold: the pointer decides";
    EXPECT_TRUE(sys.log.Matching("window.GiveForeground").empty());
}

TEST_F(KeyboardTest, APointerRecallNeitherHoldsTheBarNorGivesTheForegroundBack) {
    form->GO_BarOff();
    form->GO_BarOn();
    sys.log.Clear();
    Tick();
    EXPECT_FALSE(form->BarShown);
    EXPECT_TRUE(sys.log.Matching("window.GiveForeground").empty());
    EXPECT_TRUE(sys.log.Matching("window.SetForegroundWindow").empty());
}

TEST_F(KeyboardTest, ACallWhileADropDownIsOpenChangesNothing) {
    form->GO_BarOff();
    form->GO_BarOn();
    std::vector<std::string> duringMenu;
    sys.barViews.choose = [&](const std::vector<MenuItemView>&) -> std::optional<std::size_t> {
        const std::size_t before = sys.log.Entries().size();
        form->OnRecallRequested();
        duringMenu.assign(sys.log.Entries().begin() + static_cast<std::ptrdiff_t>(before), sys.log.Entries().end());
        return std::nullopt;
    };
    form->cmdBar[0]->PressDropDown("BROWSER", {});
    EXPECT_TRUE(duringMenu.empty()) << duringMenu.size() << " calls";
    Tick();
    EXPECT_FALSE(form->BarShown) << "no hold was taken";
}

TEST_F(KeyboardTest, KeysActOnlyOnADockedBar) {
    EXPECT_TRUE(Keys().KeysAccepted());
    form->GO_BarOff();
    EXPECT_FALSE(Keys().KeysAccepted());
    form->OnRecallRequested();
    EXPECT_TRUE(Keys().KeysAccepted());
}

}  // namespace
}  // namespace nimbrel
