// The keys on a real toolbar, with what reaches the control below them recorded.
#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "win32/Handles.h"
#include "win32/PopupMenus.h"
#include "win32/ToolbarKeys.h"

namespace nimbrel::win32 {
namespace {

// Exit, a separator, a category, Help: the bar the keys work.
struct Bar : IKeyedBar {
    std::size_t ButtonCount() const override { return 4; }
    bool Pressable(std::size_t position) const override { return position != 1; }
    bool DropDown(std::size_t position) const override { return position == 2; }
    Edge DockSide() const override { return edge; }
    void Press(std::size_t position) override { pressed.push_back(position); }
    bool KeysAccepted() const override { return docked; }
    void Escape() override { ++escapes; }

    Edge edge = Edge::Top;
    bool docked = true;
    std::vector<std::size_t> pressed;
    int escapes = 0;
};

class ToolbarKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&controls);
        parent_.reset(
            ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 40, nullptr, nullptr, nullptr, nullptr));
        toolbar = ::CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", WS_CHILD | TBSTYLE_FLAT, 0, 0, 400, 30, parent_.get(),
                                    nullptr, nullptr, nullptr);
        ASSERT_NE(toolbar, nullptr);
        ::SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        TBBUTTON buttons[4] = {};
        for (int i = 0; i < 4; ++i) {
            buttons[i].iBitmap = I_IMAGENONE;
            buttons[i].idCommand = 1000 + i;
            buttons[i].fsState = TBSTATE_ENABLED;
            buttons[i].fsStyle = static_cast<BYTE>(i == 1 ? BTNS_SEP : BTNS_BUTTON);
            buttons[i].iString = -1;
        }
        ::SendMessageW(toolbar, TB_ADDBUTTONSW, 4, reinterpret_cast<LPARAM>(buttons));
        // Below the keys: records what they pass on to the control.
        ::SetWindowSubclass(toolbar, &Record, 1, reinterpret_cast<DWORD_PTR>(&passed));
        keys.emplace(toolbar, bar);
    }
    void TearDown() override {
        keys.reset();
        ::RemoveWindowSubclass(toolbar, &Record, 1);
    }

    static LRESULT CALLBACK Record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
        if (message == WM_KEYDOWN || message == WM_KEYUP)
            reinterpret_cast<std::vector<UINT>*>(data)->push_back(message);
        return ::DefSubclassProc(hwnd, message, wParam, lParam);
    }
    void Key(UINT message, WPARAM key) { ::SendMessageW(toolbar, message, key, 0); }
    int Hot() const { return static_cast<int>(::SendMessageW(toolbar, TB_GETHOTITEM, 0, 0)); }

    UniqueWindow parent_;
    HWND toolbar = nullptr;
    Bar bar;
    std::vector<UINT> passed;
    std::optional<ToolbarKeys> keys;
};

TEST_F(ToolbarKeysTest, AParkedBarTakesItsKeysAndDoesNothingWithThem) {
    bar.docked = false;
    for (WPARAM key : {VK_RIGHT, VK_END, VK_RETURN, VK_SPACE, VK_DOWN, VK_ESCAPE})
        Key(WM_KEYDOWN, key);
    EXPECT_EQ(Hot(), -1);
    EXPECT_TRUE(bar.pressed.empty());
    EXPECT_EQ(bar.escapes, 0);
    EXPECT_TRUE(passed.empty()) << "the toolbar's own keyboard would press its hot button";
    Key(WM_KEYDOWN, 'A');
    EXPECT_EQ(passed, std::vector<UINT>{WM_KEYDOWN}) << "other keys are not the bar's";
}

TEST_F(ToolbarKeysTest, TheKeyUpOfAPressIsSwallowedAndEscLetsTheBarGo) {
    Key(WM_KEYDOWN, VK_RIGHT);
    ASSERT_EQ(Hot(), 0);
    Key(WM_KEYDOWN, VK_RETURN);
    EXPECT_EQ(bar.pressed, std::vector<std::size_t>{0});
    Key(WM_KEYUP, VK_RETURN);
    EXPECT_TRUE(passed.empty()) << "the control would press the button a second time";
    Key(WM_KEYUP, VK_RETURN);
    EXPECT_EQ(passed, std::vector<UINT>{WM_KEYUP}) << "only the one key-up is the press's";
    Key(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(bar.escapes, 1);
    EXPECT_EQ(Hot(), -1);
}

TEST_F(ToolbarKeysTest, TheArrowsAndTheMenusFollowTheBarsEdge) {
    // Which arrows move the lit button, which open a category's menu, and the side the menu opens to, beside a button
    // at (10, 20)-(30, 40).
    struct Row {
        Edge edge;
        WPARAM next, previous;
        std::vector<WPARAM> openers;
        UINT side;
        int x, y;
    };
    const Row rows[] = {
        {Edge::Top, VK_RIGHT, VK_LEFT, {VK_DOWN}, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL, 10, 40},
        {Edge::Bottom, VK_RIGHT, VK_LEFT, {VK_UP, VK_DOWN}, TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_VERTICAL, 10, 20},
        {Edge::Left, VK_DOWN, VK_UP, {VK_RIGHT}, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_HORIZONTAL, 30, 20},
        {Edge::Right, VK_DOWN, VK_UP, {VK_LEFT}, TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_HORIZONTAL, 10, 20},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(EdgeName(row.edge));
        bar.edge = row.edge;
        passed.clear();
        ::SendMessageW(toolbar, TB_SETHOTITEM, static_cast<WPARAM>(-1), 0);
        Key(WM_KEYDOWN, row.next);
        EXPECT_EQ(Hot(), 0);
        Key(WM_KEYDOWN, row.next);
        EXPECT_EQ(Hot(), 2) << "past the separator";
        Key(WM_KEYDOWN, row.previous);
        EXPECT_EQ(Hot(), 0);
        EXPECT_TRUE(passed.empty()) << "the control's own arrows would move along a row only";
        for (WPARAM arrow : {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN}) {
            if (arrow == row.next || arrow == row.previous)
                continue;
            bar.pressed.clear();
            ::SendMessageW(toolbar, TB_SETHOTITEM, 2, 0);
            Key(WM_KEYDOWN, arrow);
            const bool opens = std::find(row.openers.begin(), row.openers.end(), arrow) != row.openers.end();
            EXPECT_EQ(bar.pressed, opens ? std::vector<std::size_t>{2} : std::vector<std::size_t>{}) << arrow;
        }
        const MenuPlacement place = PlaceMenu({10, 20, 30, 40, row.edge});
        EXPECT_EQ(place.flags, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTBUTTON | row.side);
        EXPECT_EQ(place.x, row.x);
        EXPECT_EQ(place.y, row.y);
    }
}

}  // namespace
}  // namespace nimbrel::win32
