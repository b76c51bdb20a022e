// Long runs of the docking state machine on the fake platform, with the invariants checked after every step.
#include <gtest/gtest.h>

#include <random>

#include "FakePlatform.h"
#include "docking/Docking.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

class Soak {
public:
    explicit Soak(const std::string& position, unsigned seed) : random_(seed) {
        sys_.InstallAll();
        sys_.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt",
                       "TOOLBAR_POSITION=" + position + "\r\nPOINTER_POSITION=" + position + "\r\nSTYLE=2\r\n");
        form_ = sys_.MakeForm();
        EXPECT_EQ(form_->LoadMainWindow(), frmMain::LoadResult::Shown);
        startWidth_ = sys_.window.width;
        startHeight_ = sys_.window.height;
        sys_.barViews.choose = [this](const std::vector<MenuItemView>& items) -> std::optional<std::size_t> {
            // Sometimes a tick falls while the menu is open; sometimes the menu is dismissed.
            if (Chance(4))
                sys_.clock.Advance(2000);
            if (Chance(5))
                return std::nullopt;
            return Pick(items.size());
        };
    }

    void DockAndPark() {
        form_->GO_BarOff();
        Check();
        form_->GO_BarOn();
        Check();
        sys_.clock.Advance(static_cast<std::int64_t>(Pick(300)));
        Check();
    }

    void TickAtRandom() {
        sys_.pointer.x = static_cast<std::int32_t>(Pick(1300)) - 100;
        sys_.pointer.y = static_cast<std::int32_t>(Pick(1000)) - 100;
        if (Chance(3)) {
            // An edge, where the recall zones are.
            sys_.pointer.y = Chance(2) ? 0 : 767;
            sys_.pointer.x = Chance(2) ? 0 : 1023;
        }
        if (Chance(6))
            sys_.pump.pending.push_back([this] { form_->Timer2_Timer(); });
        sys_.clock.Advance(2000);
        Check();
    }

    void ClickAtRandom() {
        CommandBar& bar = *form_->cmdBar[0];
        if (Chance(3)) {
            static const char* const kCategories[] = {"BROWSER",   "SEARCH", "MAIL",    "FTP",
                                                      "MESSAGING", "P2P",    "PROGRAMS"};
            bar.PressDropDown(kCategories[Pick(7)], {});
        } else {
            Button* button = bar.Buttons().Item(static_cast<int>(Pick(38)) + 1);
            if (button->Key() == "EXIT")
                return;
            const auto element = static_cast<std::int16_t>(Pick(4));
            form_->cmdBar_ButtonClick(element, *button);
            ++clicks_;
        }
        Check();
    }

    // The window sits at its docked place exactly while BarShown is true, and is topmost only between
    // a show and the next Timer2 tick, with that tick always due.
    void Check() {
        for (; seen_ < sys_.log.Entries().size(); ++seen_) {
            const std::string& e = sys_.log.Entries()[seen_];
            if (e == "window.SetWindowPos(Topmost)")
                expectTopmost_ = true;
            else if (e == "Timer2.Tick")
                expectTopmost_ = false;
        }
        ASSERT_EQ(sys_.window.topmost, expectTopmost_);
        if (expectTopmost_) {
            ASSERT_TRUE(form_->Timer2->Enabled() && form_->Timer2->Interval() > 0);
        }

        const Point docked = DockedPlace(*EdgeNamed(form_->BarSettings.ToolbarPosition), sys_.screen.WorkArea(),
                                         sys_.window.width, sys_.window.height);
        const bool atDock = sys_.window.left == docked.left && sys_.window.top == docked.top;
        const bool atPark = sys_.window.left == kParkedPlace.left && sys_.window.top == kParkedPlace.top;
        if (form_->BarShown) {
            ASSERT_TRUE(atDock || !parkedOnce_) << sys_.window.left << "," << sys_.window.top;
        } else {
            ASSERT_TRUE(atPark);
        }
        parkedOnce_ = parkedOnce_ || !form_->BarShown;
        ASSERT_EQ(sys_.window.width, startWidth_);
        ASSERT_EQ(sys_.window.height, startHeight_);
        ASSERT_TRUE(sys_.window.visible);
        ASSERT_LE(form_->cmdBar.size(), 2U) << "one instance serves every drop-down";
    }

    int Clicks() const { return clicks_; }
    std::size_t Launches() const { return sys_.log.Matching("shell.Start").size(); }

private:
    std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
    bool Chance(std::size_t oneIn) { return Pick(oneIn) == 0; }

    std::mt19937 random_;
    FakeSystem sys_;
    std::unique_ptr<frmMain> form_;
    std::size_t seen_ = 0;
    bool expectTopmost_ = false;
    bool parkedOnce_ = false;  // a bottom bar starts 10 twips below its later docked place
    float startWidth_ = 0;
    float startHeight_ = 0;
    int clicks_ = 0;
};

TEST(Soak, DockParkTickAndClickWithoutBreakingTheInvariants) {
    unsigned seed = 20261207;
    std::size_t launches = 0;
    for (const char* position : {"TOP", "RIGHT", "BOTTOM", "LEFT"}) {
        SCOPED_TRACE(position);
        Soak soak(position, seed++);
        soak.Check();
        for (int i = 0; i < 2500 && !::testing::Test::HasFatalFailure(); ++i)
            soak.DockAndPark();
        for (int i = 0; i < 2500 && !::testing::Test::HasFatalFailure(); ++i)
            soak.TickAtRandom();
        for (int i = 0; i < 250 && !::testing::Test::HasFatalFailure(); ++i)
            soak.ClickAtRandom();
        launches += soak.Launches();
        if (::testing::Test::HasFatalFailure())
            return;
    }
    EXPECT_GT(launches, 0U) << "random clicks reached the launchers";
}

}  // namespace
}  // namespace nimbrel
