#include "win32/CommandBarView.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cwchar>

#include "links/Links.h"
#include "win32/Dpi.h"
#include "win32/Strings.h"
#include "win32/Units.h"
#include "win32/resource.h"

namespace nimbrel::win32 {
namespace {

constexpr int kFirstCommand = 1000;
// The » button, which the view adds after the user's own buttons when they may not all fit.
constexpr const char* kMoreKey = "\xC2\xBB";
// The image list of the user's own buttons' pictures, beside the bar's own (0).
constexpr WPARAM kOwnPictures = 1;
// Lengths at 96 DPI, scaled for the display.
constexpr int kSeparatorWidth = 8;
constexpr int kPaddingX = 7;
constexpr int kPaddingY = 6;
// 8.25 pt in hundredths.
constexpr int kFontPointsTimes100 = 825;

// A copy of a size x size picture with premultiplied alpha, as the shell's pictures are, in the straight alpha that
// an image list takes.
UniqueBitmap StraightCopy(HBITMAP premultiplied, int size) {
    DIBSECTION section{};
    void* bits = nullptr;
    UniqueBitmap copy = TopDownDib(size, size, bits);
    if (!copy || ::GetObjectW(premultiplied, sizeof(section), &section) != sizeof(section) ||
        section.dsBm.bmBits == nullptr || section.dsBm.bmWidth != size || std::abs(section.dsBm.bmHeight) != size)
        return {};
    const auto* from = static_cast<const std::uint32_t*>(section.dsBm.bmBits);
    auto* to = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < size * size; ++i) {
        const std::uint32_t pixel = from[i];
        const std::uint32_t alpha = pixel >> 24;
        if (alpha == 0) {
            to[i] = 0;
            continue;
        }
        auto channel = [&](int shift) { return std::min(255U, ((pixel >> shift) & 0xFFU) * 255U / alpha) << shift; };
        to[i] = (alpha << 24) | channel(16) | channel(8) | channel(0);
    }
    return copy;
}

int FontHeight(int dpi) {
    return -::MulDiv(kFontPointsTimes100, dpi, 7200);
}

}  // namespace

UniqueFont CreateBarFont(int dpi) {
    LOGFONTW wanted{};
    wanted.lfHeight = FontHeight(dpi);
    wanted.lfWeight = FW_NORMAL;
    wanted.lfCharSet = DEFAULT_CHARSET;
    wanted.lfQuality = DEFAULT_QUALITY;
    std::wcscpy(wanted.lfFaceName, L"Tahoma");
    UniqueFont font(::CreateFontIndirectW(&wanted));
    if (font) {
        // The font mapper substitutes silently; ask which face it really chose.
        WindowDc screen(nullptr);
        wchar_t face[LF_FACESIZE] = {};
        if (screen.get() != nullptr) {
            SelectGuard select(screen.get(), font.get());
            ::GetTextFaceW(screen.get(), LF_FACESIZE, face);
        }
        if (::lstrcmpiW(face, L"Tahoma") == 0)
            return font;
    }
    LOGFONTW message = MessageFont(dpi);
    return UniqueFont(::CreateFontIndirectW(&message));
}

CommandBarView::CommandBarView(MainWindow& window, MenuLoop& menuLoop, ICommandBarViewEvents& events, int controlId)
    : window_(window), menuLoop_(menuLoop), events_(events), controlId_(controlId), menus_(window, menuLoop) {
    window_.AddChild(*this);
}

CommandBarView::~CommandBarView() {
    window_.RemoveChild(*this);
    if (toolbar_)
        window_.SetFocusTarget(nullptr);
}

void CommandBarView::SetAlignment(std::optional<Edge> side) {
    alignment_ = side;
    Layout();
}

void CommandBarView::SetDockSide(Edge side) {
    const bool wasColumn = Column();
    dockSide_ = side;
    if (toolbar_ && wasColumn != Column())
        RequestRebuild();
    Layout();
}

void CommandBarView::SetHeight(float twips) {
    heightTwips_ = twips;
    Layout();
}

void CommandBarView::SetWidth(float twips) {
    widthTwips_ = twips;
    Layout();
}

// The size kept is whole pixels; a docked bar is as long as the window's inner side it is stretched over.
float CommandBarView::Kept(float twips, bool horizontal, bool stretched) const {
    const int dpi = horizontal ? window_.DisplayDpi().x : window_.DisplayDpi().y;
    if (stretched && window_.Handle() != nullptr) {
        RECT client{};
        ::GetClientRect(window_.Handle(), &client);
        return PixelsToTwips(horizontal ? client.right : client.bottom, dpi);
    }
    return PixelsToTwips(std::max(0, TwipsToPixels(twips, dpi)), dpi);
}

void CommandBarView::SetImageList(int slot, std::shared_ptr<IImageList> images) {
    images_[slot == 0 ? 0 : 1] = std::dynamic_pointer_cast<Pictures>(images);
    if (toolbar_)
        RequestRebuild();
}

void CommandBarView::SetStyle(std::int32_t style) {
    if (look_.SetStyle(style) && toolbar_)
        LookChanged();
    ::InvalidateRect(window_.Handle(), nullptr, TRUE);
}

void CommandBarView::LookChanged() {
    // Changed in place: remaking the control at start-up, when the style comes after the buttons, costs time.
    look_.Apply(toolbar_.get());
    ::SendMessageW(toolbar_.get(), TB_AUTOSIZE, 0, 0);
    look_.Measure(toolbar_.get(), Dpi());
    fittedLength_ = -1;
    Layout();
    ::InvalidateRect(toolbar_.get(), nullptr, TRUE);
}

void CommandBarView::ShowButtons(const std::vector<ToolButtonView>& buttons) {
    buttons_ = buttons;
    if (std::any_of(buttons_.begin(), buttons_.end(), [](const ToolButtonView& b) { return b.overflows; })) {
        ToolButtonView more;
        more.key = kMoreKey;
        more.caption = kMoreKey;
        more.dropDown = true;
        more.visible = false;
        buttons_.push_back(more);
    }
    if (toolbar_) {
        // The bar runs: the user's own buttons changed, and the toolbar may be the one whose press is running.
        RequestRebuild();
        return;
    }
    look_.SetHighContrast(HighContrastOn());
    CreateToolbar();
    FillToolbar();
    Layout();
}

Pictures* CommandBarView::Images() const {
    return images_[0] ? images_[0].get() : images_[1].get();
}

void CommandBarView::RequestRebuild() {
    if (!toolbar_ || rebuildWanted_)
        return;
    rebuildWanted_ = true;
    PostRebuild();
}

void CommandBarView::PostRebuild() {
    window_.Post([this, alive = std::weak_ptr<int>(alive_)] {
        if (!alive.expired())
            RebuildIfFree();
    });
}

void CommandBarView::RebuildIfFree() {
    if (!rebuildWanted_ || !toolbar_)
        return;
    // The toolbar outlives its own drop-down, whose notification or key message is still running when the menu
    // closes: the rebuild waits for that, and then for the queue.
    if (menuLoop_.Open()) {
        menuLoop_.WhenClosed([this, alive = std::weak_ptr<int>(alive_)] {
            if (!alive.expired())
                PostRebuild();
        });
        return;
    }
    // The end of the press posts it again; a window at another monitor's DPI waits until it stands at the primary's,
    // so that a rebuild while parked gives the bar that a rebuild while docked gives.
    if (dispatching_ > 0 || !window_.StandsAtDisplayDpi())
        return;
    rebuildWanted_ = false;
    Rebuild();
}

void CommandBarView::Rebuild() {
    CreateToolbar();
    FillToolbar();
    Layout();
}

void CommandBarView::CreateToolbar() {
    HWND focus = ::GetFocus();
    const bool hadFocus = toolbar_ && focus == toolbar_.get();
    keys_.reset();
    toolbar_.reset();
    const int dpi = Dpi();
    Pictures* images = Images();
    pictureSize_ = PictureSizeFor(ScaleToDpi(kPictureSizes.front(), dpi));
    HIMAGELIST list = images != nullptr ? images->List(pictureSize_) : nullptr;

    // Every button carries its name as its text, shown as the tip and read by accessibility clients; the list
    // style that mixed buttons need keeps the text hidden beside pictures-only buttons. Every look is flat: the
    // keyboard's lit button is the hot item, which only a flat toolbar has.
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | TBSTYLE_LIST | TBSTYLE_TRANSPARENT |
                  CCS_NORESIZE | CCS_NODIVIDER | CCS_NOPARENTALIGN;
    if (Column())
        style |= CCS_VERT;
    HWND toolbar =
        ::CreateWindowExW(0, TOOLBARCLASSNAMEW, kToolbarName, style, 0, 0, 0, 0, window_.Handle(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId_)), window_.Instance(), nullptr);
    if (toolbar == nullptr)
        return;
    toolbar_.reset(toolbar);
    look_.Apply(toolbar);
    keys_.emplace(toolbar, static_cast<IKeyedBar&>(*this));
    ::SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    // Version 5 and later keep several image lists, a button's picture naming its list in the high word.
    ::SendMessageW(toolbar, CCM_SETVERSION, 6, 0);
    // A vertical bar has no room for arrows: its categories drop down from a plain-looking button.
    DWORD extended = TBSTYLE_EX_MIXEDBUTTONS | TBSTYLE_EX_DOUBLEBUFFER;
    if (!Column())
        extended |= TBSTYLE_EX_DRAWDDARROWS;
    ::SendMessageW(toolbar, TB_SETEXTENDEDSTYLE, 0, static_cast<LPARAM>(extended));
    ::SendMessageW(toolbar, TB_SETBITMAPSIZE, 0, MAKELPARAM(pictureSize_, pictureSize_));
    ::SendMessageW(toolbar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list));
    ::SendMessageW(toolbar, TB_SETPADDING, 0, MAKELPARAM(ScaleToDpi(kPaddingX, dpi), ScaleToDpi(kPaddingY, dpi)));
    font_ = CreateBarFont(dpi);
    ::SendMessageW(toolbar, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    if (HWND tips = reinterpret_cast<HWND>(::SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0)))
        ::SendMessageW(tips, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    window_.SetFocusTarget(toolbar);
    ::ShowWindow(toolbar, SW_SHOWNA);
    if (hadFocus)
        ::SetFocus(toolbar);
}

void CommandBarView::FillToolbar() {
    fittedLength_ = -1;
    HWND toolbar = toolbar_.get();
    if (toolbar == nullptr)
        return;
    ::SendMessageW(toolbar, WM_SETREDRAW, FALSE, 0);
    while (::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0) > 0)
        ::SendMessageW(toolbar, TB_DELETEBUTTON, 0, 0);

    names_.clear();
    for (const ToolButtonView& button : buttons_)
        names_.push_back(Utf8ToWide(button.toolTip.empty() ? button.caption : button.toolTip));
    std::vector<TBBUTTON> entries;
    entries.reserve(buttons_.size());
    int pictured = 0;
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        const ToolButtonView& button = buttons_[i];
        TBBUTTON entry{};
        entry.idCommand = kFirstCommand + static_cast<int>(i);
        entry.fsState = TBSTATE_ENABLED;
        if (!button.visible)
            entry.fsState |= TBSTATE_HIDDEN;
        if (Column())
            entry.fsState |= TBSTATE_WRAP;
        if (button.separator) {
            entry.iBitmap = ScaleToDpi(kSeparatorWidth, Dpi());
            entry.fsStyle = BTNS_SEP;
            entry.iString = -1;
        } else {
            entry.iBitmap = button.icon >= 0 ? button.icon : I_IMAGENONE;
            if (!button.picture.empty())
                entry.iBitmap = MAKELONG(pictured++, kOwnPictures);
            entry.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
            if (button.dropDown)
                entry.fsStyle |= static_cast<BYTE>(Column() ? BTNS_DROPDOWN : BTNS_WHOLEDROPDOWN);
            // A caption shows beside the picture; a name alone stays hidden and becomes the tip.
            if (!button.caption.empty())
                entry.fsStyle |= BTNS_SHOWTEXT;
            entry.iString = reinterpret_cast<INT_PTR>(names_[i].c_str());
        }
        entries.push_back(entry);
    }
    if (!entries.empty())
        ::SendMessageW(toolbar, TB_ADDBUTTONSW, entries.size(), reinterpret_cast<LPARAM>(entries.data()));
    ::SendMessageW(toolbar, TB_AUTOSIZE, 0, 0);
    ::SendMessageW(toolbar, WM_SETREDRAW, TRUE, 0);
    look_.Measure(toolbar, Dpi());
    ::InvalidateRect(toolbar, nullptr, TRUE);
    MakeOwnPictures();
}

void CommandBarView::MakeOwnPictures() {
    std::vector<std::string> paths;
    for (const ToolButtonView& button : buttons_) {
        if (!button.picture.empty())
            paths.push_back(button.picture);
    }
    ownStraight_.clear();
    ownStraight_.resize(paths.size());
    if (paths.empty()) {
        if (linkIcons_)
            linkIcons_->Cancel();
        return;
    }
    ShowOwnPictures();
    if (!linkIcons_)
        linkIcons_.emplace();
    linkIcons_->Request(std::move(paths), pictureSize_, [this](std::vector<LinkPicture> pictures, bool) {
        for (const LinkPicture& picture : pictures) {
            if (picture.position < ownStraight_.size())
                ownStraight_[picture.position] = StraightCopy(picture.bitmap.get(), pictureSize_);
        }
        ShowOwnPictures();
    });
}

void CommandBarView::ShowOwnPictures() {
    // A new list each time: an image list takes a picture's alpha when it is added, not when it is replaced.
    const int size = pictureSize_;
    UniqueImageList list(::ImageList_Create(size, size, ILC_COLOR32, static_cast<int>(ownStraight_.size()), 0));
    void* bits = nullptr;
    const UniqueBitmap blank = TopDownDib(size, size, bits);
    for (const UniqueBitmap& picture : ownStraight_)
        ::ImageList_Add(list.get(), picture ? picture.get() : blank.get(), nullptr);
    ::SendMessageW(toolbar_.get(), TB_SETIMAGELIST, kOwnPictures, reinterpret_cast<LPARAM>(list.get()));
    ownPictures_ = std::move(list);
    ::InvalidateRect(toolbar_.get(), nullptr, FALSE);
}

void CommandBarView::FitOwnButtons() {
    HWND toolbar = toolbar_.get();
    if (buttons_.empty() || buttons_.back().key != kMoreKey)
        return;
    // Only a button whose state changes is told: each TB_HIDEBUTTON lays the whole toolbar and its tips out again.
    auto place = [&](std::size_t position, bool shown) {
        buttons_[position].visible = shown;
        const auto id = static_cast<WPARAM>(kFirstCommand + static_cast<int>(position));
        if ((::SendMessageW(toolbar, TB_ISBUTTONHIDDEN, id, 0) == 0) != shown)
            ::SendMessageW(toolbar, TB_HIDEBUTTON, id, shown ? FALSE : TRUE);
    };
    auto extent = [&](std::size_t position) {
        RECT rc{};
        ::SendMessageW(toolbar, TB_GETITEMRECT, position, reinterpret_cast<LPARAM>(&rc));
        return Column() ? std::pair{rc.top, rc.bottom} : std::pair{rc.left, rc.right};
    };
    const std::size_t more = buttons_.size() - 1;
    const RECT band = BandRect();
    const long length = Column() ? band.bottom - band.top : band.right - band.left;
    // Start-up sets the bar's size, edge and look one by one: the buttons are fitted once for each length.
    if (length == fittedLength_)
        return;
    fittedLength_ = length;
    // Measured with all of them and the » showing.
    ::SendMessageW(toolbar, WM_SETREDRAW, FALSE, 0);
    std::vector<std::size_t> own;
    for (std::size_t i = 0; i < more; ++i) {
        if (buttons_[i].overflows) {
            own.push_back(i);
            place(i, true);
        }
    }
    place(more, true);
    std::vector<int> lengths;
    for (const std::size_t i : own)
        lengths.push_back(static_cast<int>(extent(i).second - extent(i).first));
    const auto [moreStart, moreEnd] = extent(more);
    const LinksSplit split = own.empty() ? LinksSplit{}
                                         : SplitLinks(static_cast<int>(length - extent(own.front()).first), lengths,
                                                      static_cast<int>(moreEnd - moreStart));
    for (std::size_t k = 0; k < own.size(); ++k)
        place(own[k], k < split.onBar);
    place(more, split.overflow);
    ::SendMessageW(toolbar, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(toolbar, nullptr, TRUE);
}

RECT CommandBarView::BandRect() const {
    RECT client{};
    ::GetClientRect(window_.Handle(), &client);
    const int width = std::max(0, TwipsToPixels(widthTwips_, window_.DisplayDpi().x));
    const int height = std::max(0, TwipsToPixels(heightTwips_, window_.DisplayDpi().y));
    if (!alignment_)
        return {0, 0, width, height};
    switch (*alignment_) {
        case Edge::Top:
            return {0, 0, client.right, height};
        case Edge::Bottom:
            return {0, client.bottom - height, client.right, client.bottom};
        case Edge::Left:
            return {0, 0, width, client.bottom};
        case Edge::Right:
            return {client.right - width, 0, client.right, client.bottom};
    }
    return {0, 0, width, height};
}

void CommandBarView::Layout() {
    if (!toolbar_ || window_.Handle() == nullptr)
        return;
    HWND toolbar = toolbar_.get();
    const RECT band = BandRect();
    RECT place = band;
    ::SetWindowPos(toolbar, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    FitOwnButtons();
    // The pictures sit in the middle of the band's thickness: move the control across by what the picture of its
    // first button is off the middle. Down a button the control puts the picture half its vertical padding below
    // the top, which is not always the button's middle; across a column's button it centres it.
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        RECT rc{};
        if (buttons_[i].separator || !buttons_[i].visible ||
            !::SendMessageW(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc)))
            continue;
        if (Column()) {
            const LONG shift = (band.right - band.left - (rc.right - rc.left)) / 2 - rc.left;
            place.left += shift;
            place.right = std::max(place.right, place.left + rc.right);
        } else {
            const LONG paddingY = HIWORD(::SendMessageW(toolbar, TB_GETPADDING, 0, 0));
            const LONG pictureTop = rc.top + paddingY / 2;
            const LONG shift = (band.bottom - band.top - pictureSize_) / 2 - pictureTop;
            place.top += shift;
            place.bottom = std::max(place.bottom, place.top + rc.bottom);
        }
        break;
    }
    ::SetWindowPos(toolbar, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void CommandBarView::OnParentSize(int, int) {
    Layout();
}

void CommandBarView::OnParentDpiChanged() {
    RequestRebuild();
}

void CommandBarView::OnParentWindowDpiChanged() {
    if (rebuildWanted_)
        PostRebuild();
}

void CommandBarView::OnParentColoursChanged() {
    if (!toolbar_)
        return;
    if (look_.SetHighContrast(HighContrastOn())) {
        LookChanged();
    } else {
        // Common controls learn of new system colours only from their parent.
        ::SendMessageW(toolbar_.get(), WM_SYSCOLORCHANGE, 0, 0);
    }
    ::InvalidateRect(window_.Handle(), nullptr, TRUE);
    ::InvalidateRect(toolbar_.get(), nullptr, TRUE);
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
    return {corners[0].x, corners[0].y, corners[1].x, corners[1].y, dockSide_};
}

void CommandBarView::OpenDropDown(std::size_t position, bool pressButton) {
    const int command = kFirstCommand + static_cast<int>(position);
    RECT button{};
    ::SendMessageW(toolbar_.get(), TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&button));
    const std::string key = buttons_[position].key;
    const Dispatching dispatching(*this);
    const DropDownScope dropDown(menuLoop_, toolbar_.get(), pressButton ? std::optional(command) : std::nullopt);
    if (key != kMoreKey) {
        events_.OnDropDownPressed(key, AnchorOf(button));
        return;
    }
    std::vector<std::string> hidden;
    for (const ToolButtonView& own : buttons_) {
        if (own.overflows && !own.visible)
            hidden.push_back(own.key);
    }
    events_.OnOverflowPressed(hidden, AnchorOf(button));
}

void CommandBarView::Press(std::size_t position) {
    if (!Pressable(position))
        return;
    if (buttons_[position].dropDown) {
        OpenDropDown(position, true);
        return;
    }
    const Dispatching dispatching(*this);
    events_.OnButtonPressed(buttons_[position].key);
}

bool CommandBarView::OnParentCommand(int id, HWND control) {
    if (!toolbar_ || control != toolbar_.get())
        return false;
    if (const std::optional<std::size_t> index = ButtonOfCommand(id))
        Press(*index);
    return true;
}

std::optional<LRESULT> CommandBarView::OnParentNotify(NMHDR& header) {
    if (!toolbar_ || header.hwndFrom != toolbar_.get())
        return std::nullopt;
    switch (header.code) {
        case TBN_DROPDOWN: {
            auto& notice = reinterpret_cast<NMTOOLBARW&>(header);
            if (const auto index = ButtonOfCommand(notice.iItem))
                OpenDropDown(*index, false);
            return TBDDRET_DEFAULT;
        }
        case NM_CUSTOMDRAW:
            return look_.CustomDraw(reinterpret_cast<NMTBCUSTOMDRAW&>(header));
        default:
            return 0;
    }
}

bool CommandBarView::OnParentEraseBackground(HDC dc, const RECT& client) {
    return toolbar_ && look_.PaintBand(dc, client, Column());
}

bool CommandBarView::OnParentContextMenu(HWND source, POINT at) {
    if (!toolbar_ || (source != toolbar_.get() && source != window_.Handle()))
        return false;
    // From the keyboard the menu goes beside the lit button, or the bar's first corner; from the pointer, at it.
    const bool byKeyboard = at.x == -1 && at.y == -1;
    int position = -1;
    RECT place{at.x, at.y, at.x, at.y};
    if (byKeyboard) {
        position = static_cast<int>(::SendMessageW(toolbar_.get(), TB_GETHOTITEM, 0, 0));
        place = {};
        if (position >= 0)
            ::SendMessageW(toolbar_.get(), TB_GETITEMRECT, static_cast<WPARAM>(position),
                           reinterpret_cast<LPARAM>(&place));
    } else {
        POINT inToolbar = at;
        ::ScreenToClient(toolbar_.get(), &inToolbar);
        position =
            static_cast<int>(::SendMessageW(toolbar_.get(), TB_HITTEST, 0, reinterpret_cast<LPARAM>(&inToolbar)));
    }
    const bool onButton = position >= 0 && Pressable(static_cast<std::size_t>(position));
    const PopupAnchor anchor = byKeyboard ? AnchorOf(place) : PopupAnchor{at.x, at.y, at.x, at.y, dockSide_};
    const Dispatching dispatching(*this);
    const DropDownScope menu(menuLoop_, toolbar_.get(), std::nullopt);
    events_.OnContextMenu(onButton ? buttons_[static_cast<std::size_t>(position)].key : std::string(), anchor);
    return true;
}

std::optional<std::string> CommandBarView::KeyAt(int x, int y) const {
    RECT window{};
    if (!toolbar_ || !::GetWindowRect(window_.Handle(), &window) || !::PtInRect(&window, POINT{x, y}))
        return std::nullopt;
    POINT inToolbar{x, y};
    ::ScreenToClient(toolbar_.get(), &inToolbar);
    const int position =
        static_cast<int>(::SendMessageW(toolbar_.get(), TB_HITTEST, 0, reinterpret_cast<LPARAM>(&inToolbar)));
    if (position < 0 || !Pressable(static_cast<std::size_t>(position)))
        return std::string();
    return buttons_[static_cast<std::size_t>(position)].key;
}

bool CommandBarView::Pressable(std::size_t position) const {
    return position < buttons_.size() && !buttons_[position].separator && buttons_[position].visible;
}

std::optional<std::size_t> CommandBarView::TrackPopup(const std::vector<MenuItemView>& items,
                                                      const PopupAnchor& anchor) {
    return menus_.Track(items, anchor, Images());
}

std::unique_ptr<ICommandBarView> BarViewFactory::CreateBarView(ICommandBarViewEvents& events) {
    return std::make_unique<CommandBarView>(window_, menuLoop_, events, nextControlId_++);
}

std::shared_ptr<IImageList> BarViewFactory::LoadImageList() {
    return std::make_shared<Pictures>(resources_);
}

}  // namespace nimbrel::win32
