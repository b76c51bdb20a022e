// The drop-down menus: native popup menus with a picture beside each entry, owned by a hidden window of
// their own. A menu owned by the main window would close whenever a pointer-watch tick parks that window
// under it; the hidden owner never moves.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "platform/Platform.h"
#include "win32/Handles.h"
#include "win32/WindowClass.h"

namespace nimbrel::win32 {

class MainWindow;
class MenuLoop;
class Pictures;

// Where a menu opens beside its button and which way: the point and the TrackPopupMenuEx flags.
struct MenuPlacement {
    int x = 0;
    int y = 0;
    UINT flags = 0;
};
// Away from the bar's edge: below a TOP bar's button, above a BOTTOM one's, beside a LEFT or RIGHT one's.
MenuPlacement PlaceMenu(const PopupAnchor& anchor);

class PopupMenus : private WindowProc<PopupMenus> {
public:
    PopupMenus(MainWindow& window, MenuLoop& loop) : window_(window), loop_(loop) {}

    // Shows items beside anchor, with pictures at the small-icon size of the main window's display, and waits
    // for the choice; the chosen entry's number (depth first, separators and submenus counted), or nothing when the
    // menu was dismissed.
    std::optional<std::size_t> Track(const std::vector<MenuItemView>& items,
                                     const PopupAnchor& anchor,
                                     Pictures* pictures);

private:
    friend class WindowProc<PopupMenus>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    HWND Owner();
    bool OnMeasureItem(MEASUREITEMSTRUCT& item) const;
    bool OnDrawItem(const DRAWITEMSTRUCT& item) const;

    MainWindow& window_;
    MenuLoop& loop_;
    void Fill(HMENU menu, const std::vector<MenuItemView>& items, std::size_t& number);
    // The shell's small pictures of the entries that name a file, depth first.
    void MakeShellPictures(const std::vector<MenuItemView>& items);

    // The menu on screen with its submenus, and how its pictures are drawn, while Track waits.
    std::vector<HMENU> tracked_;
    std::vector<UniqueBitmap> shellPictures_;
    std::size_t nextShellPicture_ = 0;
    Pictures* trackedPictures_ = nullptr;
    int trackedSize_ = 0;
};

}  // namespace nimbrel::win32
