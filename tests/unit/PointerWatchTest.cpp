#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "FakePlatform.h"
#include "docking/PointerWatch.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

// Twips per pixel across and down; the unequal pairs catch a coordinate converted with the other axis' scale.
struct Scale {
    float x, y;
};
constexpr Scale kScales[] = {{15, 15}, {12, 12}, {10, 10}, {10, 15}, {15, 12}};

struct EdgeCase {
    const char* name;
    bool acrossX;  // LEFT and RIGHT: the X coordinate is tested
    bool far;      // BOTTOM and RIGHT: at the screen's last row or column
};
constexpr EdgeCase kEdges[] = {{"TOP", false, false},
                               {"BOTTOM", false, true},
                               {"LEFT", true, false},
                               {"RIGHT", true, true}};

// The 50-twip recall zone in pixels at a near (top, left) and a far (bottom, right) edge.
struct ZoneDepth {
    float twipsPerPixel;
    int nearPixels, farPixels;
};
// At 10 twips per pixel the zone ends exactly on a pixel, which then counts as outside.
constexpr ZoneDepth kZoneDepths[] = {{15, 4, 3}, {12, 5, 4}, {10, 5, 4}};

// Screen 1024 x 768 pixels; the bar keeps 410 twips, so its window is 460 twips across a horizontal bar and
// 450 across a vertical one, rounded to whole pixels.
class PointerWatchTest : public ::testing::Test {
protected:
    void Start(const std::string& toolbar, const std::string& pointer, Scale scale = {15, 15}) {
        form.reset();
        sys.screen.twipsPerPixelX = scale.x;
        sys.screen.twipsPerPixelY = scale.y;
        sys.barViews.keptThickness = 410;
        form = sys.StartedAt(toolbar, pointer);
    }
    bool TickAt(int x, int y) { return sys.TickAt(*form, x, y); }
    bool ParkedTickAt(int x, int y) {
        form->GO_BarOff();
        return TickAt(x, y);
    }
    bool DockedTickAt(int x, int y) {
        form->GO_BarOn();
        return TickAt(x, y);
    }
    // The pointer at pixel `across` on the edge's axis and `along` on the other.
    bool ParkedTickAcross(const EdgeCase& edge, int across, int along) {
        return edge.acrossX ? ParkedTickAt(across, along) : ParkedTickAt(along, across);
    }
    bool DockedTickAcross(const EdgeCase& edge, int across, int along) {
        return edge.acrossX ? DockedTickAt(across, along) : DockedTickAt(along, across);
    }
    int ScreenPixels(const EdgeCase& edge) const {
        return edge.acrossX ? sys.screen.widthPixels : sys.screen.heightPixels;
    }

    FakeSystem sys;
    std::unique_ptr<frmMain> form;
};

TEST_F(PointerWatchTest, DockedBarHidesFromTheBoundaryOfItsBand) {
    for (const Scale& scale : kScales) {
        for (const EdgeCase& edge : kEdges) {
            Start(edge.name, "TOP", scale);
            const float twipsPerPixel = edge.acrossX ? scale.x : scale.y;
            const int thickness =
                static_cast<int>((edge.acrossX ? sys.window.width : sys.window.height) / twipsPerPixel);
            // The boundary is the first row beyond a near bar, the bar's own first row at a far edge.
            const int boundary = edge.far ? ScreenPixels(edge) - thickness : thickness;
            const int inward = edge.far ? 1 : -1;
            const int beyondScreen = edge.far ? ScreenPixels(edge) + 200 : -200;
            SCOPED_TRACE(std::string(edge.name) + " at " + test::Num(scale.x) + "/" + test::Num(scale.y));
            EXPECT_TRUE(DockedTickAcross(edge, boundary + inward, 300));
            EXPECT_FALSE(DockedTickAcross(edge, boundary, 300)) << "the boundary counts as off the bar";
            EXPECT_FALSE(DockedTickAcross(edge, boundary - inward, 300));
            EXPECT_TRUE(DockedTickAcross(edge, boundary + inward, -300)) << "a monitor beside the band";
            EXPECT_TRUE(DockedTickAcross(edge, beyondScreen, 5000)) << "beyond the screen is still the band";
        }
    }
}

TEST_F(PointerWatchTest, RecallZoneIsFiftyTwipsDeepAtEveryEdge) {
    for (const Scale& scale : kScales) {
        for (const EdgeCase& edge : kEdges) {
            Start("TOP", edge.name, scale);
            const float twipsPerPixel = edge.acrossX ? scale.x : scale.y;
            const ZoneDepth& depth =
                *std::find_if(std::begin(kZoneDepths), std::end(kZoneDepths),
                              [&](const ZoneDepth& d) { return d.twipsPerPixel == twipsPerPixel; });
            const int last = ScreenPixels(edge) - 1;
            const int inside = edge.far ? last - depth.farPixels + 1 : depth.nearPixels - 1;
            const int outside = edge.far ? inside - 1 : inside + 1;
            SCOPED_TRACE(std::string(edge.name) + " at " + test::Num(scale.x) + "/" + test::Num(scale.y));
            EXPECT_TRUE(ParkedTickAcross(edge, inside, 300));
            EXPECT_FALSE(ParkedTickAcross(edge, outside, 300));
            EXPECT_TRUE(ParkedTickAcross(edge, edge.far ? last + 200 : -200, 300)) << "a monitor beyond the edge";
        }
    }
}

TEST_F(PointerWatchTest, RecallEdgeIsIndependentOfTheDockingEdge) {
    Start("TOP", "BOTTOM");
    EXPECT_FALSE(ParkedTickAt(500, 0));
    EXPECT_TRUE(ParkedTickAt(500, 767));
    EXPECT_EQ(sys.window.top, 0) << "docks at the top";
    EXPECT_FALSE(TickAt(500, 767)) << "parked again at the next tick unless the pointer reached the band";
}

TEST_F(PointerWatchTest, UnrecognisedRecallEdgeNeverRecalls) {
    for (const char* pointer : {"", "MIDDLE", " TOP", "TOP=1"}) {
        Start("TOP", pointer);
        for (auto [x, y] : {std::pair{0, 0}, {500, 767}, {1023, 300}, {-5, -5}, {5000, 5000}})
            EXPECT_FALSE(ParkedTickAt(x, y)) << '"' << pointer << '"';
    }
}

TEST_F(PointerWatchTest, FailedPointerQueryUsesTheOrigin) {
    for (const EdgeCase& edge : kEdges) {
        Start(edge.name, edge.name);
        sys.pointer.fail = true;
        sys.pointer.x = sys.pointer.y = 400;
        // (0, 0) is on a top or left bar and touches its edge, and is off a bottom or right bar.
        EXPECT_EQ(DockedTickAt(400, 400), !edge.far) << edge.name;
        EXPECT_EQ(ParkedTickAt(400, 400), !edge.far) << edge.name;
    }
}

TEST_F(PointerWatchTest, PumpsTwiceOnStayAndThreeTimesOtherwise) {
    Start("TOP", "TOP");
    sys.log.Clear();
    TickAt(0, 0);
    EXPECT_EQ(sys.log.Entries(), (std::vector<std::string>{"DoEvents", "DoEvents"}));
    sys.log.Clear();
    TickAt(0, 400);
    EXPECT_EQ(sys.log.Entries(),
              (std::vector<std::string>{"DoEvents", "DoEvents", "DoEvents", "window.Move(-1500,-1500)",
                                        "Timer2.Interval=100", "Timer2.Enabled=1"}));
    sys.log.Clear();
    TickAt(0, 400);  // parked, not at the edge: still the third pump, nothing called
    EXPECT_EQ(sys.log.Entries(), (std::vector<std::string>{"DoEvents", "DoEvents", "DoEvents"}));
}

TEST_F(PointerWatchTest, HandlersRunningInsideATickDoNoHarm) {
    Start("TOP", "TOP");
    // A command click inside the last pump parks the bar before the tick's own park.
    sys.pointer.y = 400;
    sys.pump.pending.push_back([] {});
    sys.pump.pending.push_back([] {});
    form->Timer1_Timer();
    ASSERT_FALSE(form->BarShown);

    form->GO_BarOn();
    sys.log.Clear();
    int pumps = 0;
    std::function<void()> clickOnThirdPump = [&] {
        if (++pumps < 3) {
            sys.pump.pending.push_back(clickOnThirdPump);
            return;
        }
        form->cmdBar_ButtonClick(0, *form->cmdBar[0]->Buttons().Item("FIREWALL"));
    };
    sys.pump.pending.push_back(clickOnThirdPump);
    form->Timer1_Timer();
    EXPECT_EQ(sys.log.Count("window.Move(-1500,-1500)"), 1U) << "parked once, by the click";
    EXPECT_FALSE(form->BarShown);

    // A Timer2 tick or a recall inside a parked tick: the tick's own GO_BarOn finds the bar docked.
    sys.log.Clear();
    sys.pointer.y = 0;
    sys.pump.pending.push_back([&] { form->GO_BarOn(); });
    sys.pump.pending.push_back([&] { form->Timer2_Timer(); });
    form->Timer1_Timer();
    EXPECT_TRUE(form->BarShown);
    EXPECT_EQ(sys.log.Count("window.Move(0,0)"), 1U);
    EXPECT_EQ(sys.log.Count("window.SetWindowPos(Topmost)"), 1U);
}

TEST_F(PointerWatchTest, ReadsThePointerAfterTheFirstPumpAndTheStateAfterTheSecond) {
    Start("TOP", "TOP");
    // Off the bar before the tick; at the top edge from the first pump on; off again during the second,
    // where a click parks the bar. Only the pointer of the first pump with the state of the second recalls it.
    sys.pointer.y = 400;
    sys.pump.pending.push_back([&] {
        sys.pointer.y = 0;
        sys.pump.pending.push_back([&] {
            sys.pointer.y = 400;
            form->GO_BarOff();
        });
    });
    form->Timer1_Timer();
    EXPECT_TRUE(form->BarShown);
}

TEST_F(PointerWatchTest, ExitClickedInsideATickEndsEverything) {
    Start("TOP", "TOP");
    sys.pointer.y = 400;
    sys.pump.pending.push_back([&] { form->cmdBar_ButtonClick(0, *form->cmdBar[0]->Buttons().Item("EXIT")); });
    form->Timer1_Timer();
    EXPECT_EQ(sys.log.Entries().back(), "process.End");
    EXPECT_EQ(sys.pointer.queries, 0);
    EXPECT_TRUE(form->BarShown) << "nothing parks after the end";
}

TEST_F(PointerWatchTest, TicksEveryTwoSecondsOnTheClock) {
    Start("TOP", "TOP");
    sys.pointer.y = 400;
    sys.clock.Advance(1999);
    EXPECT_TRUE(form->BarShown);
    sys.clock.Advance(1);
    EXPECT_FALSE(form->BarShown);
    sys.pointer.y = 2;
    sys.clock.Advance(2000);
    EXPECT_TRUE(form->BarShown);
    EXPECT_EQ(sys.pointer.queries, 2);
    // Touching the edge and leaving it between two ticks does nothing.
    sys.pointer.y = 400;
    sys.clock.Advance(2000);
    ASSERT_FALSE(form->BarShown);
    sys.pointer.y = 0;
    sys.clock.Advance(1000);
    sys.pointer.y = 400;
    sys.clock.Advance(1000);
    EXPECT_FALSE(form->BarShown);
}

TEST(PixelsToTwips, RoundsTheFloatingPointProductHalfToEven) {
    EXPECT_EQ(PixelsToTwips(7, 15.0F), 105);
    EXPECT_EQ(PixelsToTwips(-7, 15.0F), -105);
    EXPECT_EQ(PixelsToTwips(1, 14.5F), 14);
    EXPECT_EQ(PixelsToTwips(3, 14.5F), 44);
    EXPECT_EQ(PixelsToTwips(-1, 14.5F), -14);
    EXPECT_EQ(PixelsToTwips(1, 10.0F), 10);  // 144 DPI
    // 1440 / 120 DPI: 12; single-precision 14.4 is slightly below 14.4.
    EXPECT_EQ(PixelsToTwips(5, 14.4F), 72);
    EXPECT_EQ(PixelsToTwips(2147483647, 15.0F), 2147483647) << "clamped, not wrapped";
    EXPECT_EQ(PixelsToTwips(-2147483647 - 1, 15.0F), -2147483647 - 1);
}

TEST_F(PointerWatchTest, AnUnknownDockingEdgeIsWatchedAsTheTop) {
    Start("MIDDLE", "TOP");
    EXPECT_TRUE(DockedTickAt(500, 10));
    EXPECT_FALSE(DockedTickAt(500, 700)) << "off a bar that docked at the top";
}

}  // namespace
}  // namespace nimbrel
