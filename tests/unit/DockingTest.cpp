#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "docking/Docking.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

std::unique_ptr<frmMain> StartAt(FakeSystem& sys, const std::string& position) {
    sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", "TOOLBAR_POSITION=" + position + "\r\n");
    return sys.StartedForm();
}

TEST(GoBarOff, ParksADockedBarAndArmsTimer2With100) {
    FakeSystem sys;
    auto form = StartAt(sys, "TOP");
    form->GO_BarOff();
    EXPECT_EQ(sys.log.Entries(),
              (std::vector<std::string>{"window.Move(-1500,-1500)", "Timer2.Interval=100", "Timer2.Enabled=1"}));
    EXPECT_FALSE(form->BarShown);
    EXPECT_EQ(sys.window.width, 15360) << "the size never changes";
    EXPECT_EQ(sys.window.height, 450);

    sys.log.Clear();
    form->GO_BarOff();
    EXPECT_EQ(sys.log.Entries(), (std::vector<std::string>{"Timer2.Interval=100", "Timer2.Enabled=1"}));
}

TEST(GoBarOn, DocksAParkedBarTopmostActiveAndFocused) {
    FakeSystem sys;
    auto form = StartAt(sys, "TOP");
    form->GO_BarOff();
    sys.log.Clear();
    form->GO_BarOn();
    EXPECT_EQ(sys.log.Entries(),
              (std::vector<std::string>{"window.Move(0,0)", "window.SetWindowPos(Topmost)", "window.SetActiveWindow",
                                        "window.SetFocus", "Timer2.Enabled=1"}));
    EXPECT_TRUE(form->BarShown);
    EXPECT_TRUE(sys.window.topmost);

    sys.log.Clear();
    form->GO_BarOn();
    EXPECT_EQ(sys.log.Entries(), (std::vector<std::string>{"Timer2.Enabled=1"}));
}

TEST(GoBarOn, RefusedZOrderAndActivationStillDockTheBar) {
    FakeSystem sys;
    auto form = StartAt(sys, "TOP");
    form->GO_BarOff();
    sys.window.failZOrder = sys.window.failActivate = sys.window.failFocus = true;
    form->GO_BarOn();
    EXPECT_TRUE(form->BarShown);
    EXPECT_EQ(sys.window.left, 0);
}

TEST(GoBarOn, DocksFlushWithEachEdge) {
    // The bar keeps 405 twips; the window, 445 or 455 twips across it, keeps 30 pixels: 450 twips.
    const struct {
        const char* position;
        float left, top;
    } cases[] = {
        {"TOP", 0, 0},
        {"LEFT", 0, 0},
        {"RIGHT", 15360 - 450, 0},
        {"BOTTOM", 0, 11520 - 450},  // flush: no 10-twip overhang after a recall
    };
    for (const auto& c : cases) {
        FakeSystem sys;
        sys.barViews.keptThickness = 405;
        auto form = StartAt(sys, c.position);
        form->GO_BarOff();
        EXPECT_EQ(sys.window.left, -1500);
        EXPECT_EQ(sys.window.top, -1500);
        form->GO_BarOn();
        EXPECT_EQ(sys.window.left, c.left) << c.position;
        EXPECT_EQ(sys.window.top, c.top) << c.position;
    }
}

TEST(GoBarOn, UsesTheScreenSizeAtTheMomentOfTheCall) {
    FakeSystem sys;
    auto form = StartAt(sys, "RIGHT");
    form->GO_BarOff();
    sys.screen.widthPixels = 1280;
    form->GO_BarOn();
    EXPECT_EQ(sys.window.left, 1280 * 15 - sys.window.width);
}

TEST(Timer2, ReleasesTheTopmostBandOneIntervalAfterEachArming) {
    FakeSystem sys;
    auto form = StartAt(sys, "TOP");
    sys.clock.Advance(150);  // the start-up tick
    EXPECT_EQ(sys.log.Count("window.SetWindowPos(NoTopmost)"), 1U);
    EXPECT_FALSE(form->Timer2->Enabled());

    // A show followed within 100 ms by a park: the next tick takes the window out of the topmost band.
    form->GO_BarOff();
    form->GO_BarOn();
    EXPECT_TRUE(sys.window.topmost);
    sys.clock.Advance(60);
    form->GO_BarOff();
    EXPECT_TRUE(sys.window.topmost);
    sys.clock.Advance(99);
    EXPECT_TRUE(sys.window.topmost);
    sys.clock.Advance(1);
    EXPECT_FALSE(sys.window.topmost);
    EXPECT_EQ(sys.window.left, -1500) << "the tick leaves a parked window where it is";
    EXPECT_FALSE(form->Timer2->Enabled());
    EXPECT_EQ(sys.log.Count("Timer2.Tick"), 2U) << "one tick per arming, never repeating";
    sys.pointer.y = 300;  // away from the recall edge: the watch leaves the parked bar alone
    sys.clock.Advance(5000);
    EXPECT_EQ(sys.log.Count("Timer2.Tick"), 2U);
}

TEST(Timer2, NeverReturnsTo150AfterTheFirstPark) {
    FakeSystem sys;
    auto form = StartAt(sys, "TOP");
    EXPECT_EQ(form->Timer2->Interval(), 150U);
    form->GO_BarOn();
    EXPECT_EQ(form->Timer2->Interval(), 150U);
    form->GO_BarOff();
    for (int i = 0; i < 5; ++i) {
        form->GO_BarOn();
        EXPECT_EQ(form->Timer2->Interval(), 100U);
        sys.clock.Advance(100);
        form->GO_BarOff();
    }
}

TEST(DockedPlace, OnlyRightAndBottomDependOnSizes) {
    const TwipsRect screen{0, 0, 100, 80};
    EXPECT_EQ(DockedPlace(Edge::Top, screen, 30, 20).left, 0);
    EXPECT_EQ(DockedPlace(Edge::Right, screen, 30, 20).left, 70);
    EXPECT_EQ(DockedPlace(Edge::Bottom, screen, 30, 20).top, 60);
    EXPECT_EQ(DockedPlace(Edge::Left, screen, 30, 20).top, 0);
}

}  // namespace
}  // namespace nimbrel
