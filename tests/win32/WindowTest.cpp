// The main window, its timers, the nested message pump and the drawn command bar, on a real (hidden) window.
#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "win32/CommandBarView.h"
#include "win32/Desktop.h"
#include "win32/Dpi.h"
#include "win32/MainWindow.h"
#include "win32/MenuLoop.h"
#include "win32/Strings.h"
#include "win32/Timers.h"
#include "win32/Units.h"

namespace nimbrel::win32 {
namespace {

using test::PumpFor;

// Dispatches what is pending; a repaint stays queued until it is dispatched, so nothing is just dropped.
void DrainQueue() {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_QUIT)
            ::DispatchMessageW(&msg);
    }
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
        ASSERT_NE(window.Handle(), nullptr);
    }
    void TearDown() override { DrainQueue(); }

    float Tpp() const { return TwipsPerPixel(window.DisplayDpi().x); }
    int DpiX() const { return window.DisplayDpi().x; }
    int DpiY() const { return window.DisplayDpi().y; }

    // What the window reads as the primary display's DPI: the system's, until a test changes it.
    Dpi primaryDpi = PrimaryDpi();
    // What Windows gives the window itself; 0 as where the system does not tell.
    int windowDpi = 0;
    MainWindow window{::GetModuleHandleW(nullptr), [this] { return primaryDpi; }, [this](HWND) { return windowDpi; }};
    MenuLoop menuLoop;
};

TEST_F(WindowTest, StartsHiddenAsAToolWindowTitledNimbrel) {
    EXPECT_FALSE(::IsWindowVisible(window.Handle()));
    wchar_t title[32] = {};
    ::GetWindowTextW(window.Handle(), title, 32);
    EXPECT_STREQ(title, L"Nimbrel");
    EXPECT_NE(::GetWindowLongW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
}

TEST_F(WindowTest, SizeAndPlaceInTwipsReadBackInWholePixels) {
    const float tpp = Tpp();
    window.SetWidth(15360.0f);
    window.SetHeight(455.0f);
    window.SetLeft(0.0f);
    window.SetTop(0.0f);
    RECT rc{};
    ::GetWindowRect(window.Handle(), &rc);
    EXPECT_EQ(rc.right - rc.left, TwipsToPixels(15360.0f, DpiX()));
    EXPECT_EQ(rc.bottom - rc.top, TwipsToPixels(455.0f, DpiY()));
    EXPECT_FLOAT_EQ(window.Width(), static_cast<float>(rc.right - rc.left) * tpp);
    EXPECT_FLOAT_EQ(window.Height(), static_cast<float>(rc.bottom - rc.top) * TwipsPerPixel(DpiY()));
    EXPECT_FLOAT_EQ(window.Left(), 0.0f);
    EXPECT_FLOAT_EQ(window.Top(), 0.0f);
}

TEST_F(WindowTest, MoveKeepsTheSize) {
    window.SetWidth(3000.0f);
    window.SetHeight(600.0f);
    const float width = window.Width();
    const float height = window.Height();
    window.Move(-1500.0f, -1500.0f);
    EXPECT_FLOAT_EQ(window.Left(), static_cast<float>(TwipsToPixels(-1500.0f, DpiX())) * Tpp());
    EXPECT_FLOAT_EQ(window.Top(), static_cast<float>(TwipsToPixels(-1500.0f, DpiY())) * TwipsPerPixel(DpiY()));
    EXPECT_FLOAT_EQ(window.Width(), width);
    EXPECT_FLOAT_EQ(window.Height(), height);
    window.SetLeft(150.0f);
    EXPECT_FLOAT_EQ(window.Width(), width);
}

TEST_F(WindowTest, VisibilityFollowsSetVisible) {
    window.SetVisible(true);
    EXPECT_TRUE(::IsWindowVisible(window.Handle()));
    window.SetVisible(false);
    EXPECT_FALSE(::IsWindowVisible(window.Handle()));
}

TEST_F(WindowTest, ZOrderCallsAreAccepted) {
    window.SetVisible(true);
    EXPECT_TRUE(window.SetZOrder(ZOrder::Top));
    EXPECT_TRUE(window.SetZOrder(ZOrder::Topmost));
    EXPECT_TRUE(window.SetZOrder(ZOrder::NoTopmost));
}

TEST_F(WindowTest, ScreenSizeIsPixelsTimesTwipsPerPixel) {
    Screen screen(window);
    EXPECT_FLOAT_EQ(screen.TwipsPerPixelX(), TwipsPerPixel(DpiX()));
    EXPECT_FLOAT_EQ(screen.Width(), static_cast<float>(::GetSystemMetrics(SM_CXSCREEN)) * screen.TwipsPerPixelX());
    EXPECT_FLOAT_EQ(screen.Height(), static_cast<float>(::GetSystemMetrics(SM_CYSCREEN)) * screen.TwipsPerPixelY());
}

TEST_F(WindowTest, PointerFollowsSetCursorPos) {
    ASSERT_TRUE(::SetCursorPos(37, 21));
    Pointer pointer;
    std::int32_t x = -1;
    std::int32_t y = -1;
    ASSERT_TRUE(pointer.GetCursorPos(x, y));
    EXPECT_EQ(x, 37);
    EXPECT_EQ(y, 21);
}

TEST_F(WindowTest, EnabledTimerTicks) {
    TimerFactory timers(window);
    int ticks = 0;
    auto timer = timers.CreateTimer([&] { ++ticks; }, true, 30);
    PumpFor(400);
    EXPECT_GE(ticks, 2);
    timer->SetEnabled(false);
    const int stopped = ticks;
    PumpFor(150);
    EXPECT_EQ(ticks, stopped);
}

TEST_F(WindowTest, IntervalZeroNeverTicks) {
    TimerFactory timers(window);
    int ticks = 0;
    auto timer = timers.CreateTimer([&] { ++ticks; }, true, 0);
    PumpFor(200);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(timer->Enabled());
    timer->SetInterval(20);  // enabled already: setting the interval starts it
    PumpFor(300);
    EXPECT_GE(ticks, 1);
}

TEST_F(WindowTest, DisabledTimerDoesNotTick) {
    TimerFactory timers(window);
    int ticks = 0;
    auto timer = timers.CreateTimer([&] { ++ticks; }, false, 20);
    PumpFor(200);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(timer->Interval(), 20u);
}

TEST_F(WindowTest, TwoTimersKeepTheirOwnCallbacks) {
    TimerFactory timers(window);
    int first = 0;
    int second = 0;
    auto a = timers.CreateTimer([&] { ++first; }, true, 20);
    auto b = timers.CreateTimer([&] { ++second; }, false, 20);
    PumpFor(250);
    EXPECT_GE(first, 1);
    EXPECT_EQ(second, 0);
}

TEST_F(WindowTest, DoEventsRunsPendingTicksAndReturns) {
    TimerFactory timers(window);
    int ticks = 0;
    auto timer = timers.CreateTimer([&] { ++ticks; }, true, 10);
    ::Sleep(60);
    MessagePump pump(window, menuLoop);
    pump.DoEvents();
    EXPECT_GE(ticks, 1);
    const DWORD start = ::GetTickCount();
    timer->SetEnabled(false);
    pump.DoEvents();  // an empty queue: returns at once
    EXPECT_LT(::GetTickCount() - start, 500u);
}

TEST_F(WindowTest, DoEventsLeavesTheQuitMessageForTheMainLoop) {
    MessagePump pump(window, menuLoop);
    ::PostQuitMessage(7);
    pump.DoEvents();
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(WindowTest, DoEventsWhileAMenuIsOpenLeavesInputToTheMenu) {
    MessagePump pump(window, menuLoop);
    ::PostMessageW(window.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageW(window.Handle(), WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageW(window.Handle(), WM_APP, 0, 0);
    {
        const MenuLoop::Scope open(menuLoop);
        ASSERT_TRUE(menuLoop.Open());
        pump.DoEvents();
    }
    EXPECT_FALSE(menuLoop.Open());
    MSG msg{};
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
    EXPECT_TRUE(::PeekMessageW(&msg, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE));
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_NOREMOVE));
    // With the menu closed, everything goes.
    pump.DoEvents();
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_LBUTTONDOWN, WM_KEYDOWN, PM_NOREMOVE));
}

struct RecordedEvents : ICommandBarViewEvents {
    void OnButtonPressed(const std::string& key) override {
        pressed.push_back(key);
        if (whilePressed)
            whilePressed();
    }
    void OnDropDownPressed(const std::string& key, const PopupAnchor& anchor) override {
        dropped.push_back(key);
        lastAnchor = anchor;
        if (whileOpen)
            whileOpen();
    }
    bool KeysAccepted() const override { return true; }
    void OnEscapePressed() override {}
    void OnContextMenu(const std::string& key, const PopupAnchor& anchor) override {
        contexts.push_back(key);
        lastAnchor = anchor;
    }
    void OnOverflowPressed(const std::vector<std::string>& keys, const PopupAnchor&) override { overflowed = keys; }
    // Runs where the menu would be on the screen, or where a command would run.
    std::function<void()> whileOpen;
    std::function<void()> whilePressed;
    std::vector<std::string> pressed;
    std::vector<std::string> dropped;
    std::vector<std::string> contexts;
    std::vector<std::string> overflowed;
    PopupAnchor lastAnchor;
};

class BarViewTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        // The pictures are decoded through WIC.
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        window.SetWidth(15360.0f);
        window.SetHeight(455.0f);
    }
    void TearDown() override {
        WindowTest::TearDown();
        ::CoUninitialize();
    }

    static std::vector<ToolButtonView> Buttons() {
        std::vector<ToolButtonView> buttons(4);
        buttons[0].key = "EXIT";
        buttons[0].icon = 0;
        buttons[0].toolTip = "Exit";
        buttons[1].key = "SEP1";
        buttons[1].separator = true;
        buttons[2].key = "BROWSER";
        buttons[2].icon = 1;
        buttons[2].toolTip = "Browser";
        buttons[2].dropDown = true;
        buttons[3].key = "HELP";
        buttons[3].icon = 2;
        buttons[3].toolTip = "Help";
        buttons[3].visible = false;
        return buttons;
    }

    HWND Toolbar(const CommandBarView& view) const { return view.Toolbar(); }

    BarViewFactory factory{window, menuLoop, ::GetModuleHandleW(nullptr)};
    RecordedEvents events;
};

TEST_F(BarViewTest, KeepsTheAskedSizeInWholePixels) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetHeight(400.0f);
    view.SetWidth(400.0f);
    const float tppY = TwipsPerPixel(DpiY());
    EXPECT_FLOAT_EQ(view.Height(), static_cast<float>(TwipsToPixels(400.0f, DpiY())) * tppY);
    if (DpiY() == 96) {
        EXPECT_FLOAT_EQ(view.Height(), 405.0f);
    }
    view.SetHeight(0.0f);
    EXPECT_FLOAT_EQ(view.Height(), 0.0f);
}

TEST_F(BarViewTest, NoToolbarUntilButtonsAreShown) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetAlignment(Edge::Top);
    view.SetHeight(400.0f);
    EXPECT_EQ(Toolbar(view), nullptr);
    view.ShowButtons(Buttons());
    EXPECT_NE(Toolbar(view), nullptr);
}

TEST_F(BarViewTest, TopAlignmentStretchesOverTheClientWidthWithButtonsInTheMiddle) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetImageList(0, factory.LoadImageList());
    view.SetAlignment(Edge::Top);
    view.SetDockSide(Edge::Top);
    view.SetHeight(600.0f);
    view.ShowButtons(Buttons());
    RECT client{};
    ::GetClientRect(window.Handle(), &client);
    RECT bar{};
    ::GetWindowRect(Toolbar(view), &bar);
    ::MapWindowPoints(HWND_DESKTOP, window.Handle(), reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.left, 0);
    EXPECT_EQ(bar.right, client.right);
    EXPECT_FLOAT_EQ(view.Width(), static_cast<float>(client.right) * Tpp());
    // The band is 600 twips thick; its buttons are thinner and sit inside it, well clear of its top.
    RECT button{};
    ASSERT_TRUE(::SendMessageW(Toolbar(view), TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button)));
    ::MapWindowPoints(Toolbar(view), window.Handle(), reinterpret_cast<POINT*>(&button), 2);
    const int band = TwipsToPixels(600.0f, DpiY());
    ASSERT_LT(button.bottom - button.top, band - 8);
    EXPECT_GT(button.top, 3);
    EXPECT_LT(button.bottom, band - 3);

    // The bar follows the window's size.
    window.SetWidth(6000.0f);
    ::GetClientRect(window.Handle(), &client);
    ::GetWindowRect(Toolbar(view), &bar);
    EXPECT_EQ(bar.right - bar.left, client.right);
}

TEST_F(BarViewTest, BottomAlignmentSitsOnTheBottomEdge) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetAlignment(Edge::Bottom);
    view.SetDockSide(Edge::Bottom);
    view.SetHeight(400.0f);
    view.ShowButtons(Buttons());
    RECT client{};
    ::GetClientRect(window.Handle(), &client);
    RECT bar{};
    ::GetWindowRect(Toolbar(view), &bar);
    ::MapWindowPoints(HWND_DESKTOP, window.Handle(), reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.bottom, client.bottom);
}

TEST_F(BarViewTest, ButtonsAreAddedWithTheirStates) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetAlignment(Edge::Top);
    view.SetHeight(400.0f);
    view.ShowButtons(Buttons());
    HWND toolbar = Toolbar(view);
    ASSERT_EQ(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), 4);
    TBBUTTON button{};
    ::SendMessageW(toolbar, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&button));
    EXPECT_NE(button.fsStyle & BTNS_SEP, 0);
    ::SendMessageW(toolbar, TB_GETBUTTON, 2, reinterpret_cast<LPARAM>(&button));
    EXPECT_NE(button.fsStyle & BTNS_WHOLEDROPDOWN, 0);
    EXPECT_EQ(button.iBitmap, 1);
    ::SendMessageW(toolbar, TB_GETBUTTON, 3, reinterpret_cast<LPARAM>(&button));
    EXPECT_NE(button.fsState & TBSTATE_HIDDEN, 0);
    EXPECT_EQ(button.fsState & TBSTATE_WRAP, 0);

    // Shown again with a change, which the bar runs from the message loop: still four buttons, now all visible.
    std::vector<ToolButtonView> changed = Buttons();
    changed[3].visible = true;
    view.ShowButtons(changed);
    DrainQueue();
    toolbar = Toolbar(view);
    ASSERT_EQ(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), 4);
    ::SendMessageW(toolbar, TB_GETBUTTON, 3, reinterpret_cast<LPARAM>(&button));
    EXPECT_EQ(button.fsState & TBSTATE_HIDDEN, 0);
}

TEST_F(BarViewTest, VerticalDockSideWrapsEveryButton) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetAlignment(Edge::Left);
    view.SetDockSide(Edge::Left);
    view.SetWidth(400.0f);
    view.ShowButtons(Buttons());
    HWND toolbar = Toolbar(view);
    EXPECT_NE(::GetWindowLongW(toolbar, GWL_STYLE) & CCS_VERT, 0);
    EXPECT_EQ(::GetWindowLongW(toolbar, GWL_STYLE) & TBSTYLE_WRAPABLE, 0);
    for (int i = 0; i < 4; ++i) {
        TBBUTTON button{};
        ::SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
        EXPECT_NE(button.fsState & TBSTATE_WRAP, 0) << i;
    }
    // Across a vertical bar the width is the kept one, along it the window's inner height.
    RECT client{};
    ::GetClientRect(window.Handle(), &client);
    EXPECT_FLOAT_EQ(view.Height(), static_cast<float>(client.bottom) * TwipsPerPixel(DpiY()));
}

TEST_F(BarViewTest, AClickRaisesButtonPressedWithItsKey) {
    CommandBarView view(window, menuLoop, events, 200);
    view.ShowButtons(Buttons());
    ::SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), reinterpret_cast<LPARAM>(Toolbar(view)));
    ASSERT_EQ(events.pressed.size(), 1u);
    EXPECT_EQ(events.pressed[0], "EXIT");
    EXPECT_TRUE(events.dropped.empty());
}

TEST_F(BarViewTest, ARightClickOrTheMenuKeyAsksForTheBarsMenuWithTheButtonThere) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetAlignment(Edge::Top);
    view.SetHeight(400.0f);
    view.ShowButtons(Buttons());
    window.Move(0.0f, 0.0f);
    HWND toolbar = Toolbar(view);
    RECT exit{};
    ::SendMessageW(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&exit));
    ::MapWindowPoints(toolbar, HWND_DESKTOP, reinterpret_cast<POINT*>(&exit), 2);
    auto context = [&](HWND source, int x, int y) {
        ::SendMessageW(window.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(source), MAKELPARAM(x, y));
    };
    context(toolbar, exit.left + 2, exit.top + 2);
    context(window.Handle(), 1000, 2);
    ::SendMessageW(toolbar, TB_SETHOTITEM, 2, 0);
    context(toolbar, -1, -1);
    EXPECT_EQ(events.contexts, (std::vector<std::string>{"EXIT", "", "BROWSER"}));
    RECT browser{};
    ::SendMessageW(toolbar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&browser));
    ::MapWindowPoints(toolbar, HWND_DESKTOP, reinterpret_cast<POINT*>(&browser), 2);
    EXPECT_EQ(events.lastAnchor.left, browser.left) << "from the keyboard, beside the lit button";
    EXPECT_EQ(events.lastAnchor.bottom, browser.bottom);
}

TEST_F(BarViewTest, TheUsersOwnButtonsShowTheShellsPicturesAndThoseThatDoNotFitGoIntoTheMoreMenu) {
    test::ScratchFolder folder;
    std::vector<ToolButtonView> buttons = Buttons();
    buttons.push_back({});
    buttons.back().separator = true;
    for (int i = 0; i < 12; ++i) {
        const std::wstring file = folder.Join(L"entry " + std::to_wstring(i) + L".txt");
        ASSERT_TRUE(test::WriteRawFile(file, "text"));
        ToolButtonView own;
        own.key = "OWN" + std::to_string(i);
        own.toolTip = "entry " + std::to_string(i);
        own.picture = WideToUtf8(file);
        own.overflows = true;
        buttons.push_back(own);
    }
    CommandBarView view(window, menuLoop, events, 200);
    view.SetAlignment(Edge::Top);
    view.SetHeight(400.0f);
    window.SetWidth(300.0f * Tpp());
    view.ShowButtons(buttons);
    HWND toolbar = Toolbar(view);
    const int count = static_cast<int>(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    ASSERT_EQ(count, 4 + 1 + 12 + 1) << "and the » at the end";
    auto hidden = [&](int position) {
        TBBUTTON button{};
        ::SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&button));
        return (button.fsState & TBSTATE_HIDDEN) != 0;
    };
    EXPECT_FALSE(hidden(count - 1)) << "the » shows on a short bar";
    EXPECT_FALSE(hidden(0)) << "the catalogue's buttons always stay";
    int onBar = 0;
    while (onBar < 12 && !hidden(5 + onBar))
        ++onBar;
    EXPECT_LT(onBar, 12);
    for (int i = onBar; i < 12; ++i)
        EXPECT_TRUE(hidden(5 + i)) << "those beyond the first that does not fit go too";
    NMTOOLBARW notice{};
    notice.hdr = {toolbar, 200, TBN_DROPDOWN};
    notice.iItem = 1000 + count - 1;
    ::SendMessageW(window.Handle(), WM_NOTIFY, 200, reinterpret_cast<LPARAM>(&notice));
    ASSERT_EQ(events.overflowed.size(), static_cast<std::size_t>(12 - onBar));
    EXPECT_EQ(events.overflowed.front(), "OWN" + std::to_string(onBar));

    // A long bar: every button stays and the » goes.
    window.SetWidth(15360.0f);
    EXPECT_FALSE(hidden(5 + 11));
    EXPECT_TRUE(hidden(count - 1));
    // The pictures follow the first paint, each the size of the bar's own.
    HIMAGELIST list = view.OwnPictures();
    ASSERT_NE(list, nullptr);
    EXPECT_NE(reinterpret_cast<HIMAGELIST>(::SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0)), list)
        << "the bar's own pictures stay the first list";
    EXPECT_EQ(::ImageList_GetImageCount(list), 12);
    int cx = 0;
    int cy = 0;
    ::ImageList_GetIconSize(list, &cx, &cy);
    EXPECT_EQ(cy, view.PictureSize());
}

TEST_F(BarViewTest, ADropDownPressRaisesItsAnchorInScreenPixels) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetAlignment(Edge::Top);
    view.SetDockSide(Edge::Top);
    view.SetHeight(400.0f);
    view.ShowButtons(Buttons());
    window.Move(0.0f, 0.0f);
    HWND toolbar = Toolbar(view);
    NMTOOLBARW notice{};
    notice.hdr.hwndFrom = toolbar;
    notice.hdr.idFrom = 200;
    notice.hdr.code = TBN_DROPDOWN;
    notice.iItem = 1002;
    ::SendMessageW(toolbar, TB_GETRECT, 1002, reinterpret_cast<LPARAM>(&notice.rcButton));
    const LRESULT result = ::SendMessageW(window.Handle(), WM_NOTIFY, 200, reinterpret_cast<LPARAM>(&notice));
    EXPECT_EQ(result, TBDDRET_DEFAULT);
    ASSERT_EQ(events.dropped.size(), 1u);
    EXPECT_EQ(events.dropped[0], "BROWSER");
    EXPECT_TRUE(events.pressed.empty());
    POINT corner{notice.rcButton.left, notice.rcButton.bottom};
    ::ClientToScreen(toolbar, &corner);
    EXPECT_EQ(events.lastAnchor.left, corner.x);
    EXPECT_EQ(events.lastAnchor.bottom, corner.y);
    EXPECT_EQ(events.lastAnchor.edge, Edge::Top);
}

TEST_F(BarViewTest, EveryButtonCarriesItsNameAsItsText) {
    // The one string that tips and accessibility clients both read.
    CommandBarView view(window, menuLoop, events, 200);
    view.ShowButtons(Buttons());
    HWND toolbar = Toolbar(view);
    wchar_t title[32] = {};
    ::GetWindowTextW(toolbar, title, 32);
    EXPECT_STREQ(title, L"Nimbrel");
    const wchar_t* names[] = {L"Exit", nullptr, L"Browser", L"Help"};
    for (int i = 0; i < 4; ++i) {
        if (names[i] == nullptr)
            continue;
        wchar_t text[64] = {};
        ASSERT_GT(::SendMessageW(toolbar, TB_GETBUTTONTEXTW, 1000 + i, reinterpret_cast<LPARAM>(text)), 0) << i;
        EXPECT_STREQ(text, names[i]);
        TBBUTTONINFOW info{};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_STYLE;
        ::SendMessageW(toolbar, TB_GETBUTTONINFOW, 1000 + i, reinterpret_cast<LPARAM>(&info));
        // Pictures only: the name stays hidden.
        EXPECT_EQ(info.fsStyle & BTNS_SHOWTEXT, 0) << i;
    }
    EXPECT_NE(::SendMessageW(toolbar, TB_GETEXTENDEDSTYLE, 0, 0) & TBSTYLE_EX_MIXEDBUTTONS, 0);
}

TEST_F(BarViewTest, AccessibilityClientsReadTheSameNames) {
    CommandBarView view(window, menuLoop, events, 200);
    view.ShowButtons(Buttons());
    IAccessible* raw = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(Toolbar(view), static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                            reinterpret_cast<void**>(&raw))) ||
        raw == nullptr)
        GTEST_SKIP() << "no accessible object for the toolbar";
    std::unique_ptr<IAccessible, void (*)(IAccessible*)> accessible(raw, [](IAccessible* a) { a->Release(); });
    // Children 1 to 4 are the buttons in their order, when the system's proxy knows toolbars.
    std::vector<std::wstring> names;
    for (LONG child = 1; child <= 4; ++child) {
        VARIANT id{};
        id.vt = VT_I4;
        id.lVal = child;
        BSTR name = nullptr;
        names.emplace_back(SUCCEEDED(accessible->get_accName(id, &name)) && name != nullptr ? name : L"");
        ::SysFreeString(name);
    }
    if (names[0].empty() && names[2].empty())
        GTEST_SKIP() << "the accessible object has no names for toolbar buttons (Wine's oleacc has no toolbar proxy)";
    EXPECT_EQ(names[0], L"Exit");
    EXPECT_EQ(names[2], L"Browser");
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = 3;
    VARIANT role{};
    ASSERT_TRUE(SUCCEEDED(accessible->get_accRole(id, &role)));
    EXPECT_TRUE(role.vt == VT_I4 && (role.lVal == ROLE_SYSTEM_BUTTONDROPDOWN || role.lVal == ROLE_SYSTEM_BUTTONMENU));
}

TEST_F(BarViewTest, ADisplayScaleChangeRemakesThePicturesAtTheNewSize) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetImageList(0, factory.LoadImageList());
    view.SetAlignment(Edge::Top);
    view.SetHeight(400.0f);
    view.ShowButtons(Buttons());
    auto iconSize = [&] {
        int cx = 0;
        int cy = 0;
        ::ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(::SendMessageW(Toolbar(view), TB_GETIMAGELIST, 0, 0)), &cx,
                                &cy);
        return cy;
    };
    const int before = iconSize();
    EXPECT_EQ(before, PictureSizeFor(ScaleToDpi(16, DpiY())));
    const int newDpi = DpiY() == 144 ? 192 : 144;
    // WM_DPICHANGED tells the DPI of the monitor the window stands on; the bar is drawn for the primary's.
    RECT suggested{0, 0, 100, 100};
    ::SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(newDpi, newDpi), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(iconSize(), before);
    EXPECT_FALSE(window.UpdateScale());
    primaryDpi = {newDpi, newDpi};
    EXPECT_TRUE(window.UpdateScale());
    EXPECT_EQ(window.DisplayDpi().y, newDpi);
    DrainQueue();
    EXPECT_EQ(iconSize(), newDpi == 144 ? 24 : 32);
    EXPECT_EQ(view.PictureSize(), iconSize());
    EXPECT_EQ(::SendMessageW(Toolbar(view), TB_BUTTONCOUNT, 0, 0), 4);
    // The kept size follows the new scale: 400 twips at the new DPI.
    EXPECT_FLOAT_EQ(view.Height(), static_cast<float>(TwipsToPixels(400.0f, newDpi)) * TwipsPerPixel(newDpi));
}

TEST_F(BarViewTest, ARescaleWhileADropDownIsOpenWaitsUntilItHasClosed) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetImageList(0, factory.LoadImageList());
    view.SetAlignment(Edge::Top);
    view.ShowButtons(Buttons());
    HWND before = Toolbar(view);
    HWND during = nullptr;
    events.whileOpen = [&] {
        primaryDpi = {DpiY() == 144 ? 192 : 144, DpiY() == 144 ? 192 : 144};
        window.UpdateScale();
        during = Toolbar(view);
    };
    ::SendMessageW(before, WM_KEYDOWN, VK_END, 0);
    ::SendMessageW(before, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(events.dropped, std::vector<std::string>{"BROWSER"});
    EXPECT_EQ(during, before) << "the toolbar was remade under its own drop-down";
    EXPECT_TRUE(::IsWindow(before));
    DrainQueue();
    EXPECT_EQ(view.PictureSize(), PictureSizeFor(ScaleToDpi(16, DpiY())));
    EXPECT_NE(Toolbar(view), before) << "remade once the drop-down had closed";
}

TEST_F(BarViewTest, ARebuildWaitsForThePressThatAskedAndForTheWindowToStandAtThePrimarysDpi) {
    CommandBarView view(window, menuLoop, events, 200);
    view.SetImageList(0, factory.LoadImageList());
    view.SetAlignment(Edge::Top);
    view.ShowButtons(Buttons());
    const int newDpi = DpiY() == 144 ? 192 : 144;
    // A display change delivered by the message loop of a shell call that the toolbar's own command started.
    HWND before = Toolbar(view);
    events.whilePressed = [&] {
        primaryDpi = {newDpi, newDpi};
        window.UpdateScale();
        PumpFor(50);
        EXPECT_EQ(Toolbar(view), before) << "the toolbar was remade inside its own command";
    };
    ::SendMessageW(window.Handle(), WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), reinterpret_cast<LPARAM>(before));
    ASSERT_EQ(events.pressed, std::vector<std::string>{"EXIT"});
    EXPECT_TRUE(::IsWindow(before));
    DrainQueue();
    EXPECT_NE(Toolbar(view), before) << "remade once the command had returned";
    EXPECT_EQ(view.PictureSize(), PictureSizeFor(ScaleToDpi(16, newDpi)));

    // Parked nearest a monitor of another scale, Windows gives the window that scale: the rebuild waits.
    before = Toolbar(view);
    windowDpi = newDpi;
    primaryDpi = {kDefaultDpi, kDefaultDpi};
    window.UpdateScale();
    DrainQueue();
    EXPECT_EQ(Toolbar(view), before);
    windowDpi = kDefaultDpi;
    RECT suggested{0, 0, 100, 100};
    ::SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(kDefaultDpi, kDefaultDpi),
                   reinterpret_cast<LPARAM>(&suggested));
    DrainQueue();
    EXPECT_NE(Toolbar(view), before) << "remade once the window stood at the primary's DPI";
    EXPECT_EQ(view.PictureSize(), PictureSizeFor(16));
}

struct RecordedWindowEvents : IWindowEvents {
    void OnDisplayChanged() override {
        seen.push_back("display");
        if (failing)
            throw std::runtime_error("injected");
    }
    void OnWorkAreaChanged() override { seen.push_back("work area"); }
    void OnScaleChanged() override { seen.push_back("scale"); }
    void OnRecallRequested() override { seen.push_back("recall"); }
    void OnDeactivated() override { seen.push_back("deactivated"); }
    void OnEndRequested() override { seen.push_back("end"); }
    void OnHandlerFailed() override {
        seen.push_back("put back");
        if (failing)
            throw std::runtime_error("injected");
    }
    std::vector<std::string> seen;
    bool failing = false;
};

TEST_F(WindowTest, AnErrorThatAHandlerStopsHasTheWindowPutBackOnce) {
    RecordedWindowEvents recorded;
    window.SetEvents(&recorded);
    recorded.failing = true;
    ::SendMessageW(window.Handle(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    DrainQueue();
    window.SetEvents(nullptr);
    // The put-back failed as well: it is not tried again, or the two would post each other for ever.
    EXPECT_EQ(recorded.seen, (std::vector<std::string>{"display", "put back"}));
}

TEST_F(WindowTest, TheSystemsMessagesReachTheWindowEvents) {
    RecordedWindowEvents recorded;
    window.SetEvents(&recorded);
    RECT suggested{};
    ::SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    ::SendMessageW(window.Handle(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    ::SendMessageW(window.Handle(), WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    ::SendMessageW(window.Handle(), ::RegisterWindowMessageW(MainWindow::kRecallMessage), 0, 0);
    ::SendMessageW(window.Handle(), WM_ENDSESSION, TRUE, 0);
    window.SetEvents(nullptr);
    EXPECT_EQ(recorded.seen, (std::vector<std::string>{"scale", "display", "work area", "scale", "recall", "end"}));
}

TEST_F(WindowTest, AnotherProgramTakingActivationDeactivatesTheBarAndItsOwnWindowsDoNot) {
    RecordedWindowEvents recorded;
    window.SetEvents(&recorded);
    window.SetVisible(true);
    ASSERT_TRUE(window.TakeForeground());
    UniqueWindow own(::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                                       nullptr, nullptr, nullptr));
    ::SetForegroundWindow(own.get());
    PumpFor(200);
    EXPECT_TRUE(recorded.seen.empty()) << "a window of the bar's own, as its menus' owner or a message box";

    ASSERT_TRUE(window.TakeForeground());
    std::wstring command = L"\"" + test::TestProgramFolder() + L"\\argv_recorder.exe\" --front";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(
        ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started));
    const KernelHandle process(started.hProcess);
    const KernelHandle thread(started.hThread);
    const DWORD start = ::GetTickCount();
    while (recorded.seen.empty() && ::GetTickCount() - start < 5000)
        PumpFor(50);
    ::WaitForSingleObject(started.hProcess, 5000);
    window.SetEvents(nullptr);
    ASSERT_FALSE(recorded.seen.empty()) << "no deactivation within 5 s";
    EXPECT_EQ(recorded.seen.front(), "deactivated");
}

TEST_F(WindowTest, TheWorkAreaAndTheMonitorsAreTheSystems) {
    Screen screen(window);
    RECT work{};
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const TwipsRect area = screen.WorkArea();
    EXPECT_FLOAT_EQ(area.top, static_cast<float>(work.top) * Tpp());
    EXPECT_FLOAT_EQ(area.bottom, static_cast<float>(work.bottom) * Tpp());
    const std::vector<Monitor> monitors = screen.Monitors();
    ASSERT_EQ(monitors.size(), static_cast<std::size_t>(::GetSystemMetrics(SM_CMONITORS)));
    const auto primary = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    ASSERT_NE(primary, monitors.end());
    EXPECT_EQ(primary->area.right - primary->area.left, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(primary->area.left, 0);
}

TEST_F(BarViewTest, KeysMoveThroughTheButtonsAndPressThem) {
    // Along a horizontal bar: no button is hot at first, Right and Left step over the separator and the hidden
    // button, Home and End go to the ends, Enter presses, Down opens a category.
    CommandBarView view(window, menuLoop, events, 200);
    view.SetAlignment(Edge::Top);
    view.SetDockSide(Edge::Top);
    view.SetHeight(400.0f);
    view.ShowButtons(Buttons());
    HWND toolbar = Toolbar(view);
    ::SendMessageW(toolbar, WM_SETFOCUS, 0, 0);
    auto hot = [&] { return static_cast<int>(::SendMessageW(toolbar, TB_GETHOTITEM, 0, 0)); };
    auto key = [&](WPARAM k) { ::SendMessageW(toolbar, WM_KEYDOWN, k, 0); };
    EXPECT_EQ(hot(), -1);
    const struct {
        WPARAM key;
        int hot;
    } steps[] = {{VK_RIGHT, 0}, {VK_RIGHT, 2}, {VK_RIGHT, 0}, {VK_LEFT, 2}, {VK_HOME, 0}, {VK_END, 2}};
    for (const auto& step : steps) {
        key(step.key);
        EXPECT_EQ(hot(), step.hot) << step.key;
    }
    key(VK_HOME);
    key(VK_RETURN);
    ASSERT_EQ(events.pressed, std::vector<std::string>{"EXIT"});
    key(VK_DOWN);  // not a category: nothing
    EXPECT_TRUE(events.dropped.empty());
    key(VK_END);
    key(VK_DOWN);
    ASSERT_EQ(events.dropped, std::vector<std::string>{"BROWSER"});
    key(VK_SPACE);
    EXPECT_EQ(events.dropped.size(), 2u);
}

TEST_F(BarViewTest, TipsStayHiddenWhileADropDownIsOpen) {
    // The pointer rests on Browser and its tip is armed; the drop-down opens at once. While it is open the tip
    // must not come up, and once it has closed the same rest shows the tip again.
    CommandBarView view(window, menuLoop, events, 200);
    view.SetAlignment(Edge::Top);
    view.SetHeight(400.0f);
    view.ShowButtons(Buttons());
    window.Move(0.0f, 0.0f);
    window.SetVisible(true);
    window.Activate();
    HWND toolbar = Toolbar(view);
    HWND tips = reinterpret_cast<HWND>(::SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tips, nullptr);
    RECT browser{};
    ::SendMessageW(toolbar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&browser));
    const POINT inside{(browser.left + browser.right) / 2, (browser.top + browser.bottom) / 2};
    POINT onScreen = inside;
    ::ClientToScreen(toolbar, &onScreen);
    ::SetCursorPos(onScreen.x, onScreen.y);
    // A menu's own loop holds the pointer: while it is open the toolbar hears no mouse, only the clock runs.
    auto waitForTheTip = [&](bool withInput) {
        const DWORD start = ::GetTickCount();
        MSG msg{};
        const UINT queues = withInput ? 0 : PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE | PM_QS_PAINT;
        while (::GetTickCount() - start < 2 * ::GetDoubleClickTime()) {
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | queues))
                ::DispatchMessageW(&msg);
            ::Sleep(5);
        }
        return ::IsWindowVisible(tips) != FALSE;
    };
    bool shownWhileOpen = true;
    events.whileOpen = [&] { shownWhileOpen = waitForTheTip(false); };
    // Point and click at once: the press of a whole-drop-down button asks for its menu there and then.
    ::SendMessageW(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(inside.x, inside.y));
    ::SendMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inside.x, inside.y));
    ::SendMessageW(toolbar, WM_LBUTTONUP, 0, MAKELPARAM(inside.x, inside.y));
    ASSERT_EQ(events.dropped.size(), 1u);
    EXPECT_FALSE(shownWhileOpen);
    ::SendMessageW(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));
    ::SendMessageW(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(inside.x, inside.y));
    EXPECT_TRUE(waitForTheTip(true)) << "the tip no longer shows at all, so the check above proves nothing";
    window.SetVisible(false);
}

TEST_F(BarViewTest, HighContrastDrawsEveryColourfulLookWithTheSystemColours) {
    HIGHCONTRASTW before{};
    before.cbSize = sizeof(before);
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(before), &before, 0));
    CommandBarView view(window, menuLoop, events, 200);
    view.ShowButtons(Buttons());
    view.SetStyle(3);  // Dark
    auto customDraw = [&] {
        NMTBCUSTOMDRAW draw{};
        draw.nmcd.hdr.hwndFrom = Toolbar(view);
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = CDDS_PREPAINT;
        return ::SendMessageW(window.Handle(), WM_NOTIFY, 200, reinterpret_cast<LPARAM>(&draw));
    };
    auto setHighContrast = [&](bool on) {
        HIGHCONTRASTW contrast{};
        contrast.cbSize = sizeof(contrast);
        contrast.dwFlags = on ? HCF_HIGHCONTRASTON : 0;
        const BOOL done = ::SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(contrast), &contrast, 0);
        ::SendMessageW(window.Handle(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        return done && HighContrastOn() == on;
    };
    // Wine keeps high contrast off whatever it is told: there only the rule itself is checked, below.
    if (!setHighContrast(false) || !setHighContrast(true)) {
        setHighContrast((before.dwFlags & HCF_HIGHCONTRASTON) != 0);
        GTEST_SKIP() << "this system does not switch high contrast";
    }
    ASSERT_TRUE(setHighContrast(false));
    EXPECT_EQ(customDraw(), CDRF_NOTIFYITEMDRAW);  // the dark look draws its own colours
    ASSERT_TRUE(setHighContrast(true));
    EXPECT_EQ(customDraw(), CDRF_DODEFAULT);
    EXPECT_NE(::GetWindowLongW(Toolbar(view), GWL_STYLE) & TBSTYLE_FLAT, 0);
    EXPECT_EQ(::SendMessageW(Toolbar(view), TB_BUTTONCOUNT, 0, 0), 4);
    EXPECT_TRUE(setHighContrast(false));
    EXPECT_EQ(customDraw(), CDRF_NOTIFYITEMDRAW);
    setHighContrast((before.dwFlags & HCF_HIGHCONTRASTON) != 0);
}

TEST_F(BarViewTest, StyleNumbersGiveTheirLooks) {
    EXPECT_EQ(LookOfStyle(0), BarLook::Classic);
    EXPECT_EQ(LookOfStyle(1), BarLook::Flat);
    EXPECT_EQ(LookOfStyle(2), BarLook::Gradient);
    EXPECT_EQ(LookOfStyle(3), BarLook::Dark);
    EXPECT_EQ(LookOfStyle(-5), BarLook::Flat);
    // High contrast: the colourful looks take the system's colours as Flat does; Classic is the system's already.
    for (BarLook look : {BarLook::Flat, BarLook::Gradient, BarLook::Dark})
        EXPECT_EQ(DrawnLook(look, true), BarLook::Flat);
    EXPECT_EQ(DrawnLook(BarLook::Classic, true), BarLook::Classic);
    EXPECT_EQ(DrawnLook(BarLook::Dark, false), BarLook::Dark);

    CommandBarView view(window, menuLoop, events, 200);
    view.ShowButtons(Buttons());
    view.SetStyle(1);
    EXPECT_EQ(::SendMessageW(Toolbar(view), TB_BUTTONCOUNT, 0, 0), 4);  // rebuilt with its buttons
}

TEST(ToolbarLookTest, TellsWhetherTheDrawnLookChanged) {
    ToolbarLook look;  // style 0: Classic
    EXPECT_FALSE(look.SetStyle(0));
    EXPECT_TRUE(look.SetStyle(3));
    EXPECT_FALSE(look.SetStyle(3));
    EXPECT_TRUE(look.SetStyle(1));
    EXPECT_FALSE(look.SetStyle(7)) << "any other number is Flat too";
    // High contrast draws the colourful looks as Flat, and leaves Classic alone.
    EXPECT_FALSE(look.SetHighContrast(true));
    EXPECT_FALSE(look.SetStyle(2));
    EXPECT_TRUE(look.SetHighContrast(false));
    EXPECT_TRUE(look.SetHighContrast(true));
    EXPECT_TRUE(look.SetStyle(0));
    EXPECT_FALSE(look.SetHighContrast(false));
}

TEST_F(BarViewTest, EveryLookKeepsTheToolbarFlatSoThatTheKeyboardHasALitButton) {
    // Windows keeps no hot item in a toolbar without TBSTYLE_FLAT, and the keys move the hot item; Classic draws its
    // raised and sunken buttons itself instead.
    CommandBarView view(window, menuLoop, events, 200);
    view.ShowButtons(Buttons());
    for (const std::int32_t style : {0, 1, 2, 3, 0}) {
        view.SetStyle(style);
        EXPECT_NE(::GetWindowLongPtrW(Toolbar(view), GWL_STYLE) & TBSTYLE_FLAT, 0) << style;
    }
    ToolbarLook classic;
    NMTBCUSTOMDRAW draw{};
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    EXPECT_EQ(classic.CustomDraw(draw), TBCDRF_NOBACKGROUND | TBCDRF_NOEDGES | CDRF_NOTIFYPOSTPAINT);
}

TEST_F(BarViewTest, EmptyPopupReturnsNothing) {
    CommandBarView view(window, menuLoop, events, 200);
    EXPECT_FALSE(view.TrackPopup({}, PopupAnchor{}).has_value());
}

}  // namespace
}  // namespace nimbrel::win32
