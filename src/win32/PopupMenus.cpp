#include "win32/PopupMenus.h"

#include <algorithm>
#include <functional>
#include <string>

#include "win32/Dpi.h"
#include "win32/Handles.h"
#include "win32/LinkIcons.h"
#include "win32/MainWindow.h"
#include "win32/MenuLoop.h"
#include "win32/Pictures.h"
#include "win32/Strings.h"
#include "win32/WineQuirks.h"

namespace nimbrel::win32 {
namespace {

constexpr const wchar_t* kOwnerClass = L"NimbrelMenuOwner";
// Air beside a picture drawn by the program, at 96 DPI.
constexpr int kPictureMargin = 1;
// Marks a menu entry's data as the number of a shell picture rather than a picture of the bar's own.
constexpr ULONG_PTR kShellPicture = ULONG_PTR{1} << (sizeof(ULONG_PTR) * 8 - 1);

}  // namespace

MenuPlacement PlaceMenu(const PopupAnchor& anchor) {
    constexpr UINT kReturnChoice = TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTBUTTON;
    switch (anchor.edge) {
        case Edge::Left:  // open to the right of the button
            return {anchor.right, anchor.top, kReturnChoice | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_HORIZONTAL};
        case Edge::Right:  // open to the left
            return {anchor.left, anchor.top, kReturnChoice | TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_HORIZONTAL};
        case Edge::Bottom:  // open above
            return {anchor.left, anchor.top, kReturnChoice | TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_VERTICAL};
        case Edge::Top:
            break;
    }
    // Below the button.
    return {anchor.left, anchor.bottom, kReturnChoice | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL};
}

LRESULT PopupMenus::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MEASUREITEM && OnMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
        return TRUE;
    if (message == WM_DRAWITEM && OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)))
        return TRUE;
    if (message == WM_ENTERMENULOOP)
        loop_.OnEnter();
    else if (message == WM_EXITMENULOOP)
        loop_.OnExit();
    return Default(message, wParam, lParam);
}

HWND PopupMenus::Owner() {
    if (Handle() == nullptr && Register(window_.Instance(), kOwnerClass)) {
        ::CreateWindowExW(WS_EX_TOOLWINDOW, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                          window_.Instance(), this);
    }
    return Handle() != nullptr ? Handle() : window_.Handle();
}

// Fills menu with items and their submenus; each entry's command is its number plus one, numbered depth first.
void PopupMenus::Fill(HMENU menu, const std::vector<MenuItemView>& items, std::size_t& number) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const MenuItemView& item = items[i];
        std::wstring caption = Utf8ToWide(item.caption);
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE;
        info.wID = static_cast<UINT>(++number);
        info.fType = item.separator ? MFT_SEPARATOR : MFT_STRING;
        if (item.radio)
            info.fType |= MFT_RADIOCHECK;
        info.fState = (item.enabled ? MFS_ENABLED : MFS_GRAYED) | (item.checked ? MFS_CHECKED : MFS_UNCHECKED);
        if (!item.separator) {
            info.fMask |= MIIM_STRING;
            info.dwTypeData = caption.data();
        }
        HBITMAP picture = nullptr;
        ULONG_PTR data = static_cast<ULONG_PTR>(item.icon);
        if (!item.picture.empty() && nextShellPicture_ < shellPictures_.size()) {
            data = kShellPicture | nextShellPicture_;
            picture = shellPictures_[nextShellPicture_++].get();
        } else if (trackedPictures_ != nullptr && trackedSize_ > 0) {
            picture = trackedPictures_->MenuBitmap(item.icon, trackedSize_);
        }
        if (picture != nullptr) {
            info.fMask |= MIIM_BITMAP | MIIM_DATA;
            info.hbmpItem = MenuPicturesDrawnByProgram() ? HBMMENU_CALLBACK : picture;
            info.dwItemData = data;
        }
        if (!item.submenu.empty()) {
            HMENU submenu = ::CreatePopupMenu();
            if (submenu != nullptr) {
                // The parent menu owns it from here on and destroys it with itself.
                tracked_.push_back(submenu);
                info.fMask |= MIIM_SUBMENU;
                info.hSubMenu = submenu;
                Fill(submenu, item.submenu, number);
            }
        }
        ::InsertMenuItemW(menu, static_cast<UINT>(i), TRUE, &info);
    }
}

std::optional<std::size_t> PopupMenus::Track(const std::vector<MenuItemView>& items,
                                             const PopupAnchor& anchor,
                                             Pictures* pictures) {
    HWND owner = Owner();
    if (items.empty() || owner == nullptr)
        return std::nullopt;
    UniqueMenu menu(::CreatePopupMenu());
    if (!menu)
        return std::nullopt;
    trackedPictures_ = pictures;
    trackedSize_ = pictures != nullptr ? pictures->ListSize(SmallIconSize(window_.DisplayDpi().y))
                                       : SmallIconSize(window_.DisplayDpi().y);
    tracked_ = {menu.get()};
    MakeShellPictures(items);
    std::size_t count = 0;
    Fill(menu.get(), items, count);

    const MenuPlacement place = PlaceMenu(anchor);
    TPMPARAMS params{};
    params.cbSize = sizeof(params);
    params.rcExclude = {anchor.left, anchor.top, anchor.right, anchor.bottom};

    ::SetForegroundWindow(window_.Handle());
    BOOL chosen = FALSE;
    {
        const MenuLoop::Scope open(loop_);
        chosen = ::TrackPopupMenuEx(menu.get(), place.flags, place.x, place.y, owner, &params);
    }
    tracked_.clear();
    trackedPictures_ = nullptr;
    trackedSize_ = 0;
    shellPictures_.clear();
    // Lets the menu's owner see one more message, so that the next popup opens at the first click.
    ::PostMessageW(owner, WM_NULL, 0, 0);
    if (chosen <= 0 || static_cast<std::size_t>(chosen) > count)
        return std::nullopt;
    return static_cast<std::size_t>(chosen - 1);
}

void PopupMenus::MakeShellPictures(const std::vector<MenuItemView>& items) {
    std::vector<std::string> paths;
    const std::function<void(const std::vector<MenuItemView>&)> collect = [&](const std::vector<MenuItemView>& menu) {
        for (const MenuItemView& item : menu) {
            if (!item.picture.empty())
                paths.push_back(item.picture);
            collect(item.submenu);
        }
    };
    collect(items);
    nextShellPicture_ = 0;
    shellPictures_ = paths.empty() ? std::vector<UniqueBitmap>() : SmallIcons(paths, trackedSize_);
}

bool PopupMenus::OnMeasureItem(MEASUREITEMSTRUCT& item) const {
    if (item.CtlType != ODT_MENU || tracked_.empty())
        return false;
    const int margin = ScaleToDpi(kPictureMargin, window_.DisplayDpi().x);
    item.itemWidth = static_cast<UINT>(trackedSize_ + 2 * margin);
    item.itemHeight = static_cast<UINT>(trackedSize_);
    return true;
}

bool PopupMenus::OnDrawItem(const DRAWITEMSTRUCT& item) const {
    if (item.CtlType != ODT_MENU ||
        std::find(tracked_.begin(), tracked_.end(), reinterpret_cast<HMENU>(item.hwndItem)) == tracked_.end())
        return false;
    const int margin = ScaleToDpi(kPictureMargin, window_.DisplayDpi().x);
    const int x = item.rcItem.left + margin;
    const int y =
        item.rcItem.top + std::max(0, static_cast<int>(item.rcItem.bottom - item.rcItem.top) - trackedSize_) / 2;
    const bool greyed = (item.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    if ((item.itemData & kShellPicture) != 0) {
        const std::size_t index = item.itemData & ~kShellPicture;
        if (index >= shellPictures_.size())
            return false;
        // The shell's pictures are premultiplied, as AlphaBlend takes them.
        const UniqueMemoryDc source(::CreateCompatibleDC(item.hDC));
        SelectGuard select(source.get(), shellPictures_[index].get());
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(greyed ? 128 : 255), AC_SRC_ALPHA};
        ::GdiAlphaBlend(item.hDC, x, y, trackedSize_, trackedSize_, source.get(), 0, 0, trackedSize_, trackedSize_,
                        blend);
        return true;
    }
    if (trackedPictures_ == nullptr)
        return false;
    trackedPictures_->Draw(static_cast<int>(item.itemData), trackedSize_, item.hDC, x, y, greyed);
    return true;
}

}  // namespace nimbrel::win32
