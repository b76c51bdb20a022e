#include "win32/CommandBarView.h"

#include <algorithm>
#include <cwchar>

#include <uxtheme.h>

#include "win32/Strings.h"
#include "win32/Units.h"
#include "win32/resource.h"

namespace nimbrel::win32 {
namespace {

constexpr int kFirstCommand = 1000;
constexpr UINT_PTR kSubclassId = 1;
constexpr int kSeparatorWidth = 8;
constexpr LONG kArrowArea = 14;
constexpr int kArrowDarkness = 60;

constexpr COLORREF kGradientStart = RGB(252, 253, 255);
constexpr COLORREF kGradientEnd = RGB(184, 204, 232);
constexpr COLORREF kGradientHot = RGB(255, 226, 150);
constexpr COLORREF kDarkBand = RGB(40, 43, 50);
constexpr COLORREF kDarkText = RGB(235, 237, 242);
constexpr COLORREF kDarkHot = RGB(78, 92, 120);
constexpr COLORREF kDarkFrame = RGB(120, 140, 175);

TRIVERTEX Vertex(LONG x, LONG y, COLORREF colour) {
    TRIVERTEX vertex{};
    vertex.x = x;
    vertex.y = y;
    vertex.Red = static_cast<COLOR16>(GetRValue(colour) << 8);
    vertex.Green = static_cast<COLOR16>(GetGValue(colour) << 8);
    vertex.Blue = static_cast<COLOR16>(GetBValue(colour) << 8);
    vertex.Alpha = 0;
    return vertex;
}

}  // namespace

BarLook LookOfStyle(std::int32_t style) {
    switch (style) {
        case 0:
            return BarLook::Classic;
        case 2:
            return BarLook::Gradient;
        case 3:
            return BarLook::Dark;
        default:
            return BarLook::Flat;
    }
}

CommandBarView::CommandBarView(MainWindow& window,
                               BarViewFactory& factory,
                               ICommandBarViewEvents& events,
                               int controlId)
    : window_(window), factory_(factory), events_(events), controlId_(controlId) {
    window_.AddChild(*this);
}

CommandBarView::~CommandBarView() {
    window_.RemoveChild(*this);
}

void CommandBarView::SetAlignment(int alignment) {
    alignment_ = alignment;
    Layout();
}

void CommandBarView::SetDockSide(int side) {
    const bool wasVertical = Vertical();
    dockSide_ = side;
    if (toolbar_ && wasVertical != Vertical()) {
        CreateToolbar();
        FillToolbar();
    }
    Layout();
}

void CommandBarView::SetHeight(float twips) {
    heightPixels_ = std::max(0, TwipsToPixels(twips, ScreenDpiY()));
    Layout();
}

void CommandBarView::SetWidth(float twips) {
    widthPixels_ = std::max(0, TwipsToPixels(twips, ScreenDpiX()));
    Layout();
}

// The size kept is whole pixels; a docked bar is as long as the window's inner side it is stretched over.
float CommandBarView::Height() const {
    if ((alignment_ == 3 || alignment_ == 4) && window_.Handle() != nullptr) {
        RECT client{};
        ::GetClientRect(window_.Handle(), &client);
        return PixelsToTwips(client.bottom, ScreenDpiY());
    }
    return PixelsToTwips(heightPixels_, ScreenDpiY());
}

float CommandBarView::Width() const {
    if ((alignment_ == 1 || alignment_ == 2) && window_.Handle() != nullptr) {
        RECT client{};
        ::GetClientRect(window_.Handle(), &client);
        return PixelsToTwips(client.right, ScreenDpiX());
    }
    return PixelsToTwips(widthPixels_, ScreenDpiX());
}

void CommandBarView::SetImageList(int slot, std::shared_ptr<IImageList> images) {
    auto strip = std::dynamic_pointer_cast<ImageStrip>(images);
    const int index = slot == 0 ? 0 : 1;
    images_[index] = std::move(strip);
    if (!toolbar_)
        return;
    HIMAGELIST handle = images_[index] ? images_[index]->Handle() : nullptr;
    ::SendMessageW(toolbar_.get(), index == 0 ? TB_SETIMAGELIST : TB_SETHOTIMAGELIST, 0,
                   reinterpret_cast<LPARAM>(handle));
    ::InvalidateRect(toolbar_.get(), nullptr, TRUE);
}

void CommandBarView::SetStyle(std::int32_t style) {
    const BarLook before = Look();
    style_ = style;
    if (toolbar_ && before != Look()) {
        // Flat or raised buttons are fixed when the control is created.
        CreateToolbar();
        FillToolbar();
        Layout();
    }
    ::InvalidateRect(window_.Handle(), nullptr, TRUE);
}

void CommandBarView::ShowButtons(const std::vector<ToolButtonView>& buttons) {
    buttons_ = buttons;
    if (!toolbar_)
        CreateToolbar();
    FillToolbar();
    Layout();
}

const ImageStrip* CommandBarView::Images() const {
    if (images_[0])
        return images_[0].get();
    if (images_[1])
        return images_[1].get();
    return nullptr;
}

void CommandBarView::CreateToolbar() {
    toolbar_.reset();
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN;
    if (Look() != BarLook::Classic)
        style |= TBSTYLE_FLAT;
    // A vertical bar is a column of wrapped buttons; a horizontal one shows the category captions beside their
    // pictures.
    style |= Vertical() ? CCS_VERT : TBSTYLE_LIST;
    HWND toolbar =
        ::CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, style, 0, 0, 0, 0, window_.Handle(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId_)), window_.Instance(), nullptr);
    if (toolbar == nullptr)
        return;
    toolbar_.reset(toolbar);
    if (Look() == BarLook::Classic || Look() == BarLook::Dark) {
        // These looks draw their own buttons and colours; a visual style would paint over them.
        ::SetWindowTheme(toolbar, L"", L"");
    }
    ::SetWindowSubclass(toolbar, &CommandBarView::ToolbarSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    ::SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    DWORD extended = TBSTYLE_EX_DRAWDDARROWS;
    if (!Vertical())
        extended |= TBSTYLE_EX_MIXEDBUTTONS;
    ::SendMessageW(toolbar, TB_SETEXTENDEDSTYLE, 0, static_cast<LPARAM>(extended));
    ::SendMessageW(toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(kPictureSize, kPictureSize));
    const ImageStrip* images = Images();
    ::SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images ? images->Handle() : nullptr));
    if (images_[1])
        ::SendMessageW(toolbar, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(images_[1]->Handle()));
    ::ShowWindow(toolbar, SW_SHOWNA);
}

void CommandBarView::FillToolbar() {
    HWND toolbar = toolbar_.get();
    if (toolbar == nullptr)
        return;
    ::SendMessageW(toolbar, WM_SETREDRAW, FALSE, 0);
    while (::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0) > 0)
        ::SendMessageW(toolbar, TB_DELETEBUTTON, 0, 0);

    captions_.clear();
    toolTips_.clear();
    for (const ToolButtonView& button : buttons_) {
        captions_.push_back(Utf8ToWide(button.caption));
        toolTips_.push_back(Utf8ToWide(button.toolTip.empty() ? button.caption : button.toolTip));
    }
    std::vector<TBBUTTON> entries;
    entries.reserve(buttons_.size());
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const ToolButtonView& button = buttons_[i];
        TBBUTTON entry{};
        entry.idCommand = kFirstCommand + static_cast<int>(i);
        entry.fsState = TBSTATE_ENABLED;
        if (!button.visible)
            entry.fsState |= TBSTATE_HIDDEN;
        if (Vertical())
            entry.fsState |= TBSTATE_WRAP;
        entry.iString = -1;
        if (button.separator) {
            entry.iBitmap = kSeparatorWidth;
            entry.fsStyle = BTNS_SEP;
        } else {
            entry.iBitmap = button.icon >= 0 ? button.icon : I_IMAGENONE;
            entry.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
            if (!Vertical()) {
                // Only the category buttons carry their caption on a horizontal bar; the others keep it as the
                // fallback tip.
                entry.iString = reinterpret_cast<INT_PTR>(captions_[i].c_str());
                if (button.dropDown)
                    entry.fsStyle |= BTNS_WHOLEDROPDOWN | BTNS_SHOWTEXT;
            }
        }
        entries.push_back(entry);
    }
    if (!entries.empty())
        ::SendMessageW(toolbar, TB_ADDBUTTONSW, entries.size(), reinterpret_cast<LPARAM>(entries.data()));
    ::SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
    ::SendMessageW(toolbar, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(toolbar, nullptr, TRUE);
}

void CommandBarView::Layout() {
    if (!toolbar_ || window_.Handle() == nullptr)
        return;
    RECT client{};
    ::GetClientRect(window_.Handle(), &client);
    int x = 0;
    int y = 0;
    int width = widthPixels_;
    int height = heightPixels_;
    switch (alignment_) {
        case 1:  // top
            width = client.right;
            break;
        case 2:  // bottom
            width = client.right;
            y = client.bottom - height;
            break;
        case 3:  // left
            height = client.bottom;
            break;
        case 4:  // right
            height = client.bottom;
            x = client.right - width;
            break;
        default:
            break;
    }
    ::SetWindowPos(toolbar_.get(), nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CommandBarView::OnParentSize(int, int) {
    Layout();
}

std::optional<std::size_t> CommandBarView::ButtonOfCommand(int command) const {
    const int index = command - kFirstCommand;
    if (index < 0 || static_cast<std::size_t>(index) >= buttons_.size())
        return std::nullopt;
    return static_cast<std::size_t>(index);
}

PopupAnchor CommandBarView::AnchorOf(const RECT& buttonInToolbar) const {
    POINT corners[2] = {{buttonInToolbar.left, buttonInToolbar.top}, {buttonInToolbar.right, buttonInToolbar.bottom}};
    ::MapWindowPoints(toolbar_.get(), HWND_DESKTOP, corners, 2);
    PopupAnchor anchor;
    anchor.left = corners[0].x;
    anchor.top = corners[0].y;
    anchor.right = corners[1].x;
    anchor.bottom = corners[1].y;
    anchor.dockSide = dockSide_;
    return anchor;
}

bool CommandBarView::OnParentCommand(int id, HWND control) {
    if (!toolbar_ || control != toolbar_.get())
        return false;
    const std::optional<std::size_t> index = ButtonOfCommand(id);
    if (!index)
        return true;
    const ToolButtonView button = buttons_[*index];
    if (button.dropDown) {
        // A vertical bar has no room for drop-down arrows: its category buttons open their menu on a plain press.
        if (HWND tips = reinterpret_cast<HWND>(::SendMessageW(toolbar_.get(), TB_GETTOOLTIPS, 0, 0)))
            ::SendMessageW(tips, TTM_POP, 0, 0);
        RECT rc{};
        ::SendMessageW(toolbar_.get(), TB_GETRECT, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&rc));
        events_.OnDropDownPressed(button.key, AnchorOf(rc));
    } else {
        events_.OnButtonPressed(button.key);
    }
    return true;
}

std::optional<LRESULT> CommandBarView::OnParentNotify(NMHDR& header) {
    if (!toolbar_)
        return std::nullopt;
    HWND toolbar = toolbar_.get();
    HWND tips = reinterpret_cast<HWND>(::SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    if (header.hwndFrom == tips && tips != nullptr && header.code == TTN_GETDISPINFOW) {
        auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
        if (const auto index = ButtonOfCommand(static_cast<int>(header.idFrom)))
            info.lpszText = toolTips_[*index].data();
        return 0;
    }
    if (header.hwndFrom != toolbar)
        return std::nullopt;
    switch (header.code) {
        case TBN_DROPDOWN: {
            auto& notice = reinterpret_cast<NMTOOLBARW&>(header);
            if (const auto index = ButtonOfCommand(notice.iItem)) {
                // The button's tip would otherwise stay over the menu.
                if (tips != nullptr)
                    ::SendMessageW(tips, TTM_POP, 0, 0);
                const std::string key = buttons_[*index].key;
                events_.OnDropDownPressed(key, AnchorOf(notice.rcButton));
            }
            return TBDDRET_DEFAULT;
        }
        case TBN_GETINFOTIPW: {
            auto& tip = reinterpret_cast<NMTBGETINFOTIPW&>(header);
            const auto index = ButtonOfCommand(tip.iItem);
            if (index && tip.pszText != nullptr && tip.cchTextMax > 0) {
                const std::wstring& text = toolTips_[*index];
                const std::size_t count = std::min(text.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
                std::wmemcpy(tip.pszText, text.data(), count);
                tip.pszText[count] = L'\0';
            }
            return 0;
        }
        case NM_CUSTOMDRAW:
            return OnCustomDraw(reinterpret_cast<NMTBCUSTOMDRAW&>(header));
        default:
            return 0;
    }
}

LRESULT CommandBarView::OnCustomDraw(NMTBCUSTOMDRAW& draw) const {
    const BarLook look = Look();
    if (look != BarLook::Gradient && look != BarLook::Dark)
        return CDRF_DODEFAULT;
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            if (look == BarLook::Dark) {
                draw.clrText = kDarkText;
                draw.clrHighlightHotTrack = kDarkHot;
            } else {
                draw.clrHighlightHotTrack = kGradientHot;
            }
            return CDRF_NEWFONT | TBCDRF_HILITEHOTTRACK;
        default:
            return CDRF_DODEFAULT;
    }
}

void CommandBarView::PaintOverlay(HWND toolbar) const {
    const BarLook look = Look();
    if (look != BarLook::Classic && look != BarLook::Dark)
        return;
    WindowDc dc(toolbar);
    if (dc.get() == nullptr)
        return;
    const int count = static_cast<int>(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    const int hot = static_cast<int>(::SendMessageW(toolbar, TB_GETHOTITEM, 0, 0));
    for (int position = 0; position < count; ++position) {
        TBBUTTON entry{};
        RECT rc{};
        if (!::SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&entry)) ||
            (entry.fsStyle & BTNS_SEP) != 0 || (entry.fsState & TBSTATE_HIDDEN) != 0 ||
            !::SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(position), reinterpret_cast<LPARAM>(&rc)))
            continue;
        if (look == BarLook::Classic) {
            // Raised buttons, sunk while pressed, whatever the visual style would draw.
            const bool pressed = (entry.fsState & (TBSTATE_PRESSED | TBSTATE_CHECKED)) != 0;
            ::DrawEdge(dc.get(), &rc, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
            continue;
        }
        const auto index = ButtonOfCommand(entry.idCommand);
        if (position == hot && index)
            PaintDarkHotButton(dc.get(), rc, buttons_[*index]);
        if (!index || !buttons_[*index].dropDown || Vertical())
            continue;
        // The control draws drop-down arrows in the system's text colour, black on the dark band: repaint those
        // pixels in the light caption colour.
        for (LONG y = rc.top; y < rc.bottom; ++y) {
            for (LONG x = std::max(rc.left, rc.right - kArrowArea); x < rc.right; ++x) {
                const COLORREF pixel = ::GetPixel(dc.get(), x, y);
                if (pixel != CLR_INVALID && GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel) < kArrowDarkness)
                    ::SetPixel(dc.get(), x, y, kDarkText);
            }
        }
    }
}

void CommandBarView::PaintDarkHotButton(HDC dc, const RECT& rc, const ToolButtonView& button) const {
    // The system's highlight is a white box that would swallow the light pictures: draw the button anew.
    UniqueBrush fill(::CreateSolidBrush(kDarkHot));
    UniqueBrush frame(::CreateSolidBrush(kDarkFrame));
    ::FillRect(dc, &rc, fill.get());
    ::FrameRect(dc, &rc, frame.get());
    const bool arrow = button.dropDown && !Vertical();
    const LONG pictureWidth = rc.right - rc.left - (arrow ? kArrowArea : 0);
    if (const ImageStrip* images = Images())
        images->Draw(button.icon, dc, static_cast<int>(rc.left + std::max(0L, (pictureWidth - kPictureSize) / 2)),
                     static_cast<int>(rc.top + std::max(0L, (rc.bottom - rc.top - kPictureSize) / 2)), false);
    if (!arrow)
        return;
    UniqueBrush text(::CreateSolidBrush(kDarkText));
    const LONG middle = rc.right - kArrowArea / 2;
    const LONG top = rc.top + (rc.bottom - rc.top) / 2 - 1;
    for (LONG row = 0; row < 3; ++row) {
        const RECT line = {middle - 2 + row, top + row, middle + 3 - row, top + row + 1};
        ::FillRect(dc, &line, text.get());
    }
}

void CommandBarView::PaintBand(HDC dc, const RECT& rc) const {
    if (Look() == BarLook::Dark) {
        UniqueBrush brush(::CreateSolidBrush(kDarkBand));
        ::FillRect(dc, &rc, brush.get());
        return;
    }
    // The gradient runs across the bar: top to bottom on a horizontal bar, left to right on a vertical one.
    TRIVERTEX vertices[2] = {Vertex(rc.left, rc.top, kGradientStart), Vertex(rc.right, rc.bottom, kGradientEnd)};
    GRADIENT_RECT span{0, 1};
    ::GdiGradientFill(dc, vertices, 2, &span, 1, Vertical() ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
}

bool CommandBarView::OnParentEraseBackground(HDC dc, const RECT& client) {
    if (!toolbar_ || (Look() != BarLook::Gradient && Look() != BarLook::Dark))
        return false;
    PaintBand(dc, client);
    return true;
}

LRESULT CALLBACK
CommandBarView::ToolbarSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    try {
        auto* self = reinterpret_cast<CommandBarView*>(data);
        if (message == WM_ERASEBKGND && self != nullptr &&
            (self->Look() == BarLook::Gradient || self->Look() == BarLook::Dark)) {
            RECT rc{};
            ::GetClientRect(hwnd, &rc);
            self->PaintBand(reinterpret_cast<HDC>(wParam), rc);
            return 1;
        }
        if (message == WM_PAINT && self != nullptr) {
            const LRESULT result = ::DefSubclassProc(hwnd, message, wParam, lParam);
            self->PaintOverlay(hwnd);
            return result;
        }
    } catch (...) {
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK CommandBarView::MenuOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CommandBarView*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    try {
        if (self != nullptr && message == WM_MEASUREITEM &&
            self->OnParentMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
            return TRUE;
        if (self != nullptr && message == WM_DRAWITEM &&
            self->OnParentDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)))
            return TRUE;
    } catch (...) {
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CommandBarView::MenuOwner() {
    if (!menuOwner_) {
        static constexpr const wchar_t* kClass = L"NimbrelMenuOwner";
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = MenuOwnerProc;
        wc.hInstance = window_.Instance();
        wc.lpszClassName = kClass;
        if (::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
            menuOwner_.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                               window_.Instance(), this));
        }
    }
    return menuOwner_ ? menuOwner_.get() : window_.Handle();
}

std::optional<std::size_t> CommandBarView::TrackPopup(const std::vector<MenuItemView>& items,
                                                      const PopupAnchor& anchor) {
    HWND owner = MenuOwner();
    if (items.empty() || owner == nullptr)
        return std::nullopt;
    UniqueMenu menu(::CreatePopupMenu());
    if (!menu)
        return std::nullopt;
    const ImageStrip* images = Images();
    std::shared_ptr<ImageStrip> programImages;
    if (images == nullptr) {
        programImages = factory_.ProgramImages();
        images = programImages.get();
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::wstring caption = Utf8ToWide(items[i].caption);
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
        info.fType = MFT_STRING;
        info.fState = items[i].enabled ? MFS_ENABLED : MFS_GRAYED;
        info.wID = static_cast<UINT>(i + 1);
        info.dwTypeData = caption.data();
        if (images != nullptr && items[i].icon >= 0 && items[i].icon < images->Count()) {
            // Drawn by hand: a menu bitmap given directly loses its alpha channel on some systems.
            info.fMask |= MIIM_BITMAP | MIIM_DATA;
            info.hbmpItem = HBMMENU_CALLBACK;
            info.dwItemData = static_cast<ULONG_PTR>(items[i].icon);
        }
        ::InsertMenuItemW(menu.get(), static_cast<UINT>(i), TRUE, &info);
    }

    UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTBUTTON;
    int x = anchor.left;
    int y = anchor.bottom;
    switch (anchor.dockSide) {
        case 1:  // left edge: open to the right of the button
            flags |= TPM_LEFTALIGN | TPM_TOPALIGN | TPM_HORIZONTAL;
            x = anchor.right;
            y = anchor.top;
            break;
        case 2:  // right edge: open to the left
            flags |= TPM_RIGHTALIGN | TPM_TOPALIGN | TPM_HORIZONTAL;
            x = anchor.left;
            y = anchor.top;
            break;
        case 3:  // bottom edge: open above
            flags |= TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_VERTICAL;
            y = anchor.top;
            break;
        default:  // top edge: open below
            flags |= TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERTICAL;
            break;
    }
    TPMPARAMS params{};
    params.cbSize = sizeof(params);
    params.rcExclude = {anchor.left, anchor.top, anchor.right, anchor.bottom};

    ::SetForegroundWindow(window_.Handle());
    trackedMenu_ = menu.get();
    trackedImages_ = images;
    BOOL chosen = FALSE;
    {
        MainWindow::MenuScope open(window_);
        chosen = ::TrackPopupMenuEx(menu.get(), flags, x, y, owner, &params);
    }
    trackedMenu_ = nullptr;
    trackedImages_ = nullptr;
    // Lets the menu's owner see one more message, so that the next popup opens at the first click.
    ::PostMessageW(owner, WM_NULL, 0, 0);
    if (chosen <= 0 || static_cast<std::size_t>(chosen) > items.size())
        return std::nullopt;
    return static_cast<std::size_t>(chosen - 1);
}

bool CommandBarView::OnParentMeasureItem(MEASUREITEMSTRUCT& item) {
    if (item.CtlType != ODT_MENU || trackedMenu_ == nullptr)
        return false;
    item.itemWidth = kPictureSize + 2;  // a pixel of air on either side of the picture
    item.itemHeight = kPictureSize;
    return true;
}

bool CommandBarView::OnParentDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_MENU || trackedMenu_ == nullptr || reinterpret_cast<HMENU>(item.hwndItem) != trackedMenu_ ||
        trackedImages_ == nullptr)
        return false;
    const int x = item.rcItem.left + 1;
    const int y = item.rcItem.top + std::max(0L, (item.rcItem.bottom - item.rcItem.top - kPictureSize) / 2);
    const bool greyed = (item.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    trackedImages_->Draw(static_cast<int>(item.itemData), item.hDC, x, y, greyed);
    return true;
}

std::unique_ptr<ICommandBarView> BarViewFactory::CreateBarView(ICommandBarViewEvents& events) {
    return std::make_unique<CommandBarView>(window_, *this, events, nextControlId_++);
}

std::shared_ptr<IImageList> BarViewFactory::LoadImageList() {
    std::shared_ptr<ImageStrip> images = LoadImageStrip(resources_, IDR_TOOLBAR_STRIP);
    programImages_ = images;
    return images;
}

}  // namespace nimbrel::win32
