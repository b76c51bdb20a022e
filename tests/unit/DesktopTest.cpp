// The desktops people have: a taskbar's work area, monitors beside the primary, display and scale changes.
#include <gtest/gtest.h>

#include <stdexcept>

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

TEST_F(DesktopTest, APointerOnAnotherMonitorIsAwayExceptJustPastTheBorderItSharesWithTheBarsEdge) {
    // A monitor left of the primary: its pixels have x < 0, which the LEFT rules alone would take for the bar. The bar
    // stands 30 px out from its edge, so the 30 px past the shared border are its band and its recall zone.
    sys.screen.otherMonitors = {{-1024, 0, 0, 768}};
    Start("LEFT", "LEFT");
    EXPECT_TRUE(TickAt(0, 300)) << "the primary's own edge keeps the bar";
    EXPECT_TRUE(TickAt(-1, 300)) << "just past the shared border: the band";
    EXPECT_TRUE(TickAt(-30, 300));
    EXPECT_FALSE(TickAt(-31, 300)) << "further on the other monitor: parked";
    EXPECT_FALSE(TickAt(-500, 300)) << "and not called back from there";
    EXPECT_TRUE(TickAt(-1, 700)) << "resting just past the border calls it back";
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

// A monitor beyond edge of the 1024 x 768 primary, from `from` to `to` along the edge, `gap` pixels off its border.
PixelRect Beyond(Edge edge, int from, int to, int gap) {
    switch (edge) {
        case Edge::Top:
            return {from, -gap - 600, to, -gap};
        case Edge::Bottom:
            return {from, 768 + gap, to, 768 + gap + 600};
        case Edge::Left:
            return {-gap - 600, from, -gap, to};
        case Edge::Right:
            break;
    }
    return {1024 + gap, from, 1024 + gap + 600, to};
}

// The pixel `past` pixels beyond edge's border (1 is the first) at `along` on the edge.
std::pair<int, int> Past(Edge edge, int past, int along) {
    switch (edge) {
        case Edge::Top:
            return {along, -past};
        case Edge::Bottom:
            return {along, 767 + past};
        case Edge::Left:
            return {-past, along};
        case Edge::Right:
            break;
    }
    return {1023 + past, along};
}

TEST_F(DesktopTest, AnEdgeThatAnotherMonitorContinuesReachesOntoItByTheBarsThickness) {
    struct Case {
        const char* monitor;
        int from, to, gap;
        int past, along;
        bool counts;  // as the band of a docked bar and the recall zone of a parked one
    };
    const Case cases[] = {
        {"touching the whole edge", 0, 2000, 0, 1, 300, true},
        {"touching the whole edge", 0, 2000, 0, 30, 300, true},
        {"touching the whole edge", 0, 2000, 0, 31, 300, false},
        {"touching part of the edge", -500, 200, 0, 1, 100, true},
        {"touching part of the edge, beyond the primary's span", -500, 200, 0, 1, -100, false},
        {"beyond the edge's end, touching a corner", 1100, 2000, 0, 1, 1500, false},
        {"10 px off the edge", 0, 2000, 10, 11, 300, false},
    };
    for (const Edge edge : {Edge::Top, Edge::Bottom, Edge::Left, Edge::Right}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(EdgeName(edge)) + ", a monitor " + c.monitor + ", " + std::to_string(c.past) +
                         " px past at " + std::to_string(c.along));
            sys.screen.otherMonitors = {Beyond(edge, c.from, c.to, c.gap)};
            Start(EdgeName(edge), EdgeName(edge));
            const auto [x, y] = Past(edge, c.past, c.along);
            EXPECT_EQ(TickAt(x, y), c.counts) << "docked";
            form->GO_BarOff();
            EXPECT_EQ(TickAt(x, y), c.counts) << "parked";
        }
    }
    // The strips follow their own edges: a TOP bar called back from the left reaches onto a left monitor only there.
    sys.screen.otherMonitors = {Beyond(Edge::Left, 0, 768, 0)};
    Start("TOP", "LEFT");
    EXPECT_FALSE(TickAt(-1, 10)) << "a docked TOP bar's band ends at the primary";
    EXPECT_TRUE(TickAt(-1, 300)) << "the LEFT recall edge continues onto the left monitor";
}

TEST_F(DesktopTest, AnAutoHideTaskbarAtTheBarsEdgeKeepsItsStripAndTheRecallStaysAtTheScreensEdge) {
    // The taskbar shows 48 px (720 twips) when it slides in; the window is 450 twips across.
    struct Case {
        Edge edge;
        float left, top;    // docked after a recall
        int stays, parks;   // pixels across the edge: the last of the band, the first beyond
        int strip, recall;  // between the bar and the screen's edge; in the recall zone
    };
    const Case cases[] = {
        {Edge::Top, 0, 720, 77, 78, 20, 3},
        {Edge::Bottom, 0, 11520 - 720 - 450, 691, 690, 750, 765},
        {Edge::Left, 720, 0, 77, 78, 20, 3},
        {Edge::Right, 15360 - 720 - 450, 0, 947, 946, 1010, 1021},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(EdgeName(c.edge));
        auto at = [&](int across) { return Vertical(c.edge) ? TickAt(across, 300) : TickAt(500, across); };
        sys.screen.autoHide.reset();
        Start(EdgeName(c.edge), EdgeName(c.edge));
        const std::vector<float> plain = Rect();
        // The bar's own edge last, so that the bar of that case is the one the work-area change finds.
        std::vector<Edge> taskbars;
        for (const Edge other : {Edge::Top, Edge::Bottom, Edge::Left, Edge::Right})
            if (other != c.edge)
                taskbars.push_back(other);
        taskbars.push_back(c.edge);
        for (const Edge taskbar : taskbars) {
            sys.screen.autoHide = std::pair{taskbar, 48};
            Start(EdgeName(c.edge), EdgeName(c.edge));
            if (taskbar != c.edge) {
                EXPECT_EQ(Rect(), plain) << "a taskbar at another edge changes nothing";
                continue;
            }
            form->GO_BarOff();
            EXPECT_TRUE(at(c.recall)) << "the screen's edge calls the bar back";
            EXPECT_EQ(sys.window.left, c.left);
            EXPECT_EQ(sys.window.top, c.top);
            EXPECT_TRUE(at(c.strip)) << "the taskbar's strip is the band";
            EXPECT_TRUE(at(c.stays));
            EXPECT_FALSE(at(c.parks));
        }
        // Turning auto-hide off gives a work area that the taskbar keeps for itself: the inset is read again.
        sys.screen.autoHide.reset();
        form->GO_BarOn();
        form->OnWorkAreaChanged();
        EXPECT_EQ(sys.window.left, plain[0]);
        EXPECT_EQ(sys.window.top, plain[1] - (c.edge == Edge::Bottom ? 10 : 0)) << "flush once it has parked";
    }
}

TEST_F(DesktopTest, AnErrorInTheMiddleOfAMovePutsTheWindowWhereTheBarsStateSaysItIs) {
    for (const bool parking : {false, true}) {
        SCOPED_TRACE(parking ? "park" : "dock");
        Start("TOP");
        if (!parking)
            form->GO_BarOff();
        const std::vector<float> before = Rect();
        sys.window.onMove = [&] {
            sys.window.onMove = nullptr;
            throw std::runtime_error("injected");
        };
        EXPECT_THROW(parking ? form->GO_BarOff() : form->GO_BarOn(), std::runtime_error);
        EXPECT_NE(Rect(), before) << "moved, while BarShown stayed";
        form->OnHandlerFailed();
        EXPECT_EQ(Rect(), before);
        EXPECT_EQ(form->BarShown, parking);
    }
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
