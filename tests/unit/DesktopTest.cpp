// The desktops people have: a taskbar's work area, monitors beside the primary, display and scale changes.
#include <gtest/gtest.h>

#include "FakePlatform.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

// Screen 1024 x 768 pixels at 15 twips per pixel; the bar keeps 405 twips, its window 450.
class DesktopTest : public ::testing::Test {
protected:
    void Start(const std::string& toolbar, const std::string& pointer = "TOP") {
        form.reset();
        sys.barViews.keptThickness = 405;
        form = sys.StartedAt(toolbar, pointer);
    }
    bool TickAt(int x, int y) { return sys.TickAt(*form, x, y); }
    std::vector<float> Rect() const { return {sys.window.left, sys.window.top, sys.window.width, sys.window.height}; }
    // Runs what was posted to the message queue.
    void Settle() { sys.pump.DoEvents(); }

    FakeSystem sys;
    std::unique_ptr<frmMain> form;
};

TEST_F(DesktopTest, TheWorkAreaPlacesTheBarAndBoundsItsBandButNotItsRecallZone) {
    // Taskbars on all four sides: 40 px left, 20 top, 24 right, 40 bottom. WL 600, WT 300, WR 15000, WB 10920.
    struct Case {
        const char* edge;
        std::vector<float> startUp, recalled;  // left, top, width, height
        int bandLast, bandOff;                 // the pointer's pixel across the edge: on the bar, off it
        int recall, noRecall;                  // at the screen's edge, not the work area's
    };
    const Case cases[] = {
        {"TOP", {600, 300, 14400, 450}, {600, 300, 14400, 450}, 49, 50, 3, 4},
        {"BOTTOM", {600, 10480, 14400, 450}, {600, 10470, 14400, 450}, 699, 698, 765, 764},
        {"LEFT", {600, 300, 450, 10620}, {600, 300, 450, 10620}, 69, 70, 3, 4},
        {"RIGHT", {14550, 300, 450, 10620}, {14550, 300, 450, 10620}, 971, 970, 1021, 1020},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edge);
        sys.screen.workArea = PixelRect{40, 20, 1000, 728};
        Start(c.edge, c.edge);
        EXPECT_EQ(Rect(), c.startUp);
        const bool acrossX = c.startUp[3] > c.startUp[2];
        auto at = [&](int across) { return acrossX ? TickAt(across, 300) : TickAt(500, across); };
        EXPECT_TRUE(at(c.bandLast));
        EXPECT_FALSE(at(c.bandOff));
        EXPECT_FALSE(at(c.noRecall));
        EXPECT_TRUE(at(c.recall));
        EXPECT_EQ(Rect(), c.recalled);
    }
}

TEST_F(DesktopTest, APointerOnAnotherMonitorIsAwayFromTheBarAndItsEdge) {
    // A monitor left of the primary: its pixels have x < 0, which the LEFT rules alone would take for the bar.
    sys.screen.otherMonitors = {{-1024, 0, 0, 768}};
    Start("LEFT", "LEFT");
    EXPECT_TRUE(TickAt(0, 300)) << "the primary's own edge keeps the bar";
    EXPECT_FALSE(TickAt(-1, 300)) << "on the other monitor: parked";
    EXPECT_FALSE(TickAt(-500, 300)) << "and not called back from there";
    EXPECT_FALSE(TickAt(-1, 700));
    EXPECT_TRUE(TickAt(0, 300)) << "the primary's edge calls it back";
    // Below the left monitor there is none: the old meaning of x < 0 holds.
    EXPECT_TRUE(TickAt(-5, 767 + 5));
    EXPECT_FALSE(TickAt(500, 300));
    EXPECT_TRUE(TickAt(-5, 767 + 5));
    // A monitor that shows the primary's picture again is the primary where the two overlap.
    sys.screen.otherMonitors = {{0, 0, 1024, 768}};
    EXPECT_TRUE(TickAt(12, 300));
    EXPECT_FALSE(TickAt(500, 300));
    EXPECT_TRUE(TickAt(1, 300));
}

TEST_F(DesktopTest, TheParkedBarLiesOnNoMonitor) {
    // Window 450 x 11520 (LEFT) or 15360 x 450 (TOP); parked at (-1500, -1500) unless that is on a monitor.
    struct Case {
        const char* edge;
        std::vector<PixelRect> others;
        float left, top;
    };
    const Case cases[] = {
        {"LEFT", {}, -1500, -1500},
        {"LEFT", {{-1024, 0, 0, 768}}, -15360 - 450, -11520},
        {"TOP", {{0, -600, 1024, 0}}, -15360, -9000 - 450},
        {"TOP", {{-1280, -200, 0, 824}, {1024, 0, 2048, 768}}, -19200 - 15360, -3000 - 450},
        {"TOP", {{1024, 0, 2048, 768}, {0, 768, 1024, 1536}}, -1500, -1500},
        // Monitors whose edges only touch the parked window.
        {"LEFT", {{-200, -300, 0, -100}}, -1500, -1500},
        {"LEFT", {{-1124, 0, -100, 768}}, -1500, -1500},
        {"TOP", {{0, -70, 1024, 0}}, -1500, -1500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.edge) + " with " + std::to_string(c.others.size()) + " other monitor(s)");
        sys.screen.otherMonitors = c.others;
        Start(c.edge, c.edge);
        form->GO_BarOff();
        EXPECT_EQ(sys.window.left, c.left);
        EXPECT_EQ(sys.window.top, c.top);
        EXPECT_FALSE(form->BarShown);
    }
}

TEST_F(DesktopTest, DisplayAndWorkAreaChangesInEitherOrderEndTheSame) {
    // 1280 x 800 becomes 1024 x 768; a moment before or after, the taskbar's 40 px at the bottom follow.
    for (const bool parked : {false, true}) {
        for (const bool workAreaFirst : {false, true}) {
            SCOPED_TRACE(std::string(parked ? "parked" : "docked") + (workAreaFirst ? ", work area first" : ""));
            sys.screen.widthPixels = 1280;
            sys.screen.heightPixels = 800;
            sys.screen.workArea = PixelRect{0, 0, 1280, 760};
            Start("RIGHT", "RIGHT");
            if (parked)
                form->GO_BarOff();
            sys.screen.widthPixels = 1024;
            sys.screen.heightPixels = 768;
            if (workAreaFirst) {
                sys.screen.workArea = PixelRect{0, 0, 1024, 728};
                form->OnWorkAreaChanged();
                form->OnDisplayChanged();
            } else {
                form->OnDisplayChanged();
                sys.screen.workArea = PixelRect{0, 0, 1024, 728};
                form->OnWorkAreaChanged();
            }
            const std::vector<float> docked = {15360 - 450, 0, 450, 10920};
            const std::vector<float> away = {-1500, -1500, 450, 10920};
            EXPECT_EQ(Rect(), parked ? away : docked);
            EXPECT_EQ(form->BarShown, !parked);
            // The next tick already knows the new screen: its right edge calls the bar back, beside it it parks.
            EXPECT_FALSE(TickAt(900, 300));
            EXPECT_TRUE(TickAt(1022, 300));
            EXPECT_EQ(Rect(), docked);
        }
    }
}

TEST_F(DesktopTest, ABottomBarKeepsItsOverhangUntilItsFirstPark) {
    Start("BOTTOM", "BOTTOM");
    sys.screen.workArea = PixelRect{0, 0, 1024, 728};
    form->OnWorkAreaChanged();
    EXPECT_EQ(sys.window.top, 10920 - 450 + 10);
    form->GO_BarOff();
    form->GO_BarOn();
    sys.screen.workArea.reset();
    form->OnWorkAreaChanged();
    EXPECT_EQ(sys.window.top, 11520 - 450) << "flush once it has parked";
    // A display change that comes with a new scale takes the bar's thickness at that scale as well.
    sys.screen.twipsPerPixelX = sys.screen.twipsPerPixelY = 10;
    form->OnDisplayChanged();
    EXPECT_EQ(Rect(), (std::vector<float>{0, 7680 - 460, 10240, 460}));
}

TEST_F(DesktopTest, AScaleChangeInsideTheBarsOwnMoveWaitsUntilItHasSettled) {
    // Windows sends WM_DPICHANGED from inside SetWindowPos. The primary really changes from 15 to 10 twips per
    // pixel here, or (the bar moving beside a monitor of another scale) does not.
    struct Case {
        bool park;
        float newScale;
        std::vector<float> during, after;  // the window when the move returns, and once the posted change ran
    };
    const Case cases[] = {
        {true, 10, {-1500, -1500, 15360, 450}, {-1500, -1500, 10240, 460}},
        {false, 10, {0, 0, 15360, 450}, {0, 0, 10240, 460}},
        {true, 15, {-1500, -1500, 15360, 450}, {-1500, -1500, 15360, 450}},
        {false, 15, {0, 0, 15360, 450}, {0, 0, 15360, 450}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.park ? "park" : "dock") + " to " + test::Num(c.newScale));
        Start("TOP");
        if (!c.park)
            form->GO_BarOff();
        sys.window.onMove = [&] {
            sys.window.onMove = nullptr;
            sys.screen.twipsPerPixelX = sys.screen.twipsPerPixelY = c.newScale;
            form->OnScaleChanged();
        };
        sys.log.Clear();
        c.park ? form->GO_BarOff() : form->GO_BarOn();
        EXPECT_EQ(Rect(), c.during);
        EXPECT_EQ(form->BarShown, !c.park);
        EXPECT_EQ(sys.log.Matching("window.Move").size(), 1U);
        Settle();
        EXPECT_EQ(Rect(), c.after);
        EXPECT_EQ(form->BarShown, !c.park);
        sys.screen.twipsPerPixelX = sys.screen.twipsPerPixelY = 15;
    }
}

TEST_F(DesktopTest, AParkedBarFollowsOnlyThePrimarysScale) {
    sys.screen.otherMonitors = {{-1024, 0, 0, 768}};
    Start("LEFT", "LEFT");
    form->GO_BarOff();
    const std::vector<float> parked = Rect();
    // Parked beside the other monitor, whose scale changes: nothing moves.
    sys.log.Clear();
    form->OnScaleChanged();
    EXPECT_TRUE(sys.log.Matching("window.").empty());
    // The primary's own scale changes: the parked bar takes the new sizes and stays parked.
    sys.screen.twipsPerPixelX = sys.screen.twipsPerPixelY = 10;
    form->OnScaleChanged();
    EXPECT_EQ(Rect(), (std::vector<float>{-10240 - 450, -7680, 450, 7680}));
    EXPECT_NE(Rect(), parked);
    EXPECT_FALSE(form->BarShown);
}

TEST_F(DesktopTest, EventsWaitForTheBarToBeUpAndARecallBeforeThatMeansNothing) {
    form = sys.MakeForm();
    form->OnRecallRequested();
    form->OnWorkAreaChanged();
    EXPECT_EQ(sys.log.Entries(), (std::vector<std::string>{"pump.Post"})) << "the recall is dropped";
    ASSERT_EQ(form->LoadMainWindow(), frmMain::LoadResult::Shown);
    sys.screen.workArea = PixelRect{0, 40, 1024, 768};
    sys.log.Clear();
    Settle();
    EXPECT_EQ(sys.window.top, 600) << "the work-area change ran once the bar was up";
    form->GO_BarOff();
    form->OnRecallRequested();
    EXPECT_TRUE(form->BarShown);
    EXPECT_EQ(sys.window.top, 600);
    // A recall that comes inside a park runs after it.
    sys.window.onMove = [&] {
        sys.window.onMove = nullptr;
        form->OnRecallRequested();
    };
    form->GO_BarOff();
    EXPECT_FALSE(form->BarShown);
    Settle();
    EXPECT_TRUE(form->BarShown);
    form->OnEndRequested();
    EXPECT_TRUE(sys.process.ended);
}

}  // namespace
}  // namespace nimbrel
