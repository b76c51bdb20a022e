#include "win32/BarLooks.h"

#include <uxtheme.h>

#include <algorithm>
#include <iterator>
#include <optional>

#include "win32/Dpi.h"

namespace nimbrel::win32 {
namespace {

// How a look draws; CLR_DEFAULT is the system's colour.
struct Look {
    bool edges = false;           // raised buttons that sink while pressed, drawn by the look
    bool themed = true;           // drawn with the visual style
    COLORREF band = CLR_NONE;     // CLR_NONE leaves the band to the window's face colour
    COLORREF bandEnd = CLR_NONE;  // the gradient's far end; CLR_NONE for a plain band
    COLORREF text = CLR_DEFAULT;
    COLORREF hot = CLR_DEFAULT;
    COLORREF hotFrame = CLR_NONE;
    COLORREF arrow = CLR_DEFAULT;  // CLR_DEFAULT leaves the system's drop-down arrow alone
};

// In the order of BarLook. Classic is raised buttons and Dark its own colours: a visual style would draw neither.
constexpr Look kLooks[] = {
    {.edges = true, .themed = false},
    {},
    {.band = RGB(252, 253, 255),
     .bandEnd = RGB(184, 204, 232),
     .hot = RGB(255, 226, 150),
     .hotFrame = RGB(222, 170, 70)},
    {.themed = false,
     .band = RGB(40, 43, 50),
     .text = RGB(235, 237, 242),
     .hot = RGB(78, 92, 120),
     .hotFrame = RGB(120, 140, 175),
     .arrow = RGB(235, 237, 242)},
};

const Look& LookOf(BarLook look) {
    return kLooks[static_cast<int>(look)];
}

TRIVERTEX Vertex(LONG x, LONG y, COLORREF colour) {
    return {x,
            y,
            static_cast<COLOR16>(GetRValue(colour) << 8),
            static_cast<COLOR16>(GetGValue(colour) << 8),
            static_cast<COLOR16>(GetBValue(colour) << 8),
            0};
}

void FillWithDcBrush(HDC dc, const RECT& rc, COLORREF colour) {
    ::SetDCBrushColor(dc, colour);
    ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

void FrameWithDcBrush(HDC dc, const RECT& rc, COLORREF colour) {
    ::SetDCBrushColor(dc, colour);
    ::FrameRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

// A downward triangle centred in area, sized for dpi.
void PaintArrow(HDC dc, const RECT& area, COLORREF colour, int dpi) {
    const int half = ScaleToDpi(3, dpi);
    const LONG middle = (area.left + area.right) / 2;
    const LONG top = (area.top + area.bottom) / 2 - (half + 1) / 2;
    for (int row = 0; row < half; ++row) {
        const RECT line = {middle - half + row, top + row, middle + half - row, top + row + 1};
        FillWithDcBrush(dc, line, colour);
    }
}

// Classic's raised and sunken edges. The toolbar itself stays flat: only a flat toolbar has the lit button that the
// keyboard moves, and the pointer lights it the same way; the lit button shows the focus rectangle.
LRESULT ClassicEdges(NMTBCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return TBCDRF_NOBACKGROUND | TBCDRF_NOEDGES | CDRF_NOTIFYPOSTPAINT;
        case CDDS_ITEMPOSTPAINT: {
            RECT rc = draw.nmcd.rc;
            const bool pressed = (draw.nmcd.uItemState & (CDIS_SELECTED | CDIS_CHECKED)) != 0;
            ::DrawEdge(draw.nmcd.hdc, &rc, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT | BF_ADJUST);
            if ((draw.nmcd.uItemState & CDIS_HOT) != 0 && !pressed) {
                ::InflateRect(&rc, -1, -1);
                ::DrawFocusRect(draw.nmcd.hdc, &rc);
            }
            return CDRF_DODEFAULT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace

BarLook LookOfStyle(std::int32_t style) {
    return style >= 0 && style < static_cast<std::int32_t>(std::size(kLooks)) ? static_cast<BarLook>(style)
                                                                              : BarLook::Flat;
}

BarLook DrawnLook(BarLook look, bool highContrast) {
    return highContrast && look != BarLook::Classic ? BarLook::Flat : look;
}

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool ToolbarLook::SetStyle(std::int32_t style) {
    const BarLook before = Drawn();
    style_ = style;
    return Drawn() != before;
}

bool ToolbarLook::SetHighContrast(bool on) {
    const BarLook before = Drawn();
    highContrast_ = on;
    return Drawn() != before;
}

void ToolbarLook::Apply(HWND toolbar) const {
    const Look& look = LookOf(Drawn());
    if (look.themed)
        ::SetWindowTheme(toolbar, nullptr, nullptr);
    else
        ::SetWindowTheme(toolbar, L" ", L" ");
}

void ToolbarLook::Measure(HWND toolbar, int dpi) {
    // The control does not tell how wide it draws a drop-down arrow; a button with one is exactly that much wider
    // than a plain one with a picture of the same size.
    dpi_ = dpi;
    arrowWidth_ = 0;
    arrowed_.clear();
    std::optional<LONG> plain;
    std::optional<LONG> withArrow;
    const auto count = static_cast<WPARAM>(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (WPARAM i = 0; i < count; ++i) {
        TBBUTTON button{};
        if (!::SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)) ||
            (button.fsStyle & BTNS_SEP) != 0)
            continue;
        const bool arrow = (button.fsStyle & BTNS_WHOLEDROPDOWN) != 0;
        if (arrow)
            arrowed_.push_back(static_cast<DWORD_PTR>(button.idCommand));
        std::optional<LONG>& width = arrow ? withArrow : plain;
        RECT rc{};
        if (!width && (button.fsState & TBSTATE_HIDDEN) == 0 && (button.fsStyle & BTNS_SHOWTEXT) == 0 &&
            ::SendMessageW(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rc)))
            width = rc.right - rc.left;
    }
    if (plain && withArrow)
        arrowWidth_ = std::max(0L, *withArrow - *plain);
}

bool ToolbarLook::PaintBand(HDC dc, const RECT& band, bool vertical) const {
    const Look& look = LookOf(Drawn());
    if (look.band == CLR_NONE)
        return false;
    if (look.bandEnd == CLR_NONE) {
        FillWithDcBrush(dc, band, look.band);
        return true;
    }
    TRIVERTEX vertices[2] = {Vertex(band.left, band.top, look.band), Vertex(band.right, band.bottom, look.bandEnd)};
    GRADIENT_RECT span{0, 1};
    ::GdiGradientFill(dc, vertices, 2, &span, 1, vertical ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
    return true;
}

LRESULT ToolbarLook::CustomDraw(NMTBCUSTOMDRAW& draw) const {
    const Look& look = LookOf(Drawn());
    if (look.edges)
        return ClassicEdges(draw);
    if (look.band == CLR_NONE)
        return CDRF_DODEFAULT;
    // Pressed is how a category shows while its menu is open.
    const bool lit = (draw.nmcd.uItemState & (CDIS_HOT | CDIS_SELECTED | CDIS_CHECKED)) != 0;
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            // The look draws the button's background itself, once; the system adds picture and arrow on top.
            if (lit) {
                FillWithDcBrush(draw.nmcd.hdc, draw.nmcd.rc, look.hot);
                FrameWithDcBrush(draw.nmcd.hdc, draw.nmcd.rc, look.hotFrame);
            }
            if (look.text != CLR_DEFAULT)
                draw.clrText = look.text;
            LRESULT result = TBCDRF_NOBACKGROUND | TBCDRF_NOEDGES | TBCDRF_NOOFFSET | TBCDRF_USECDCOLORS;
            if (look.arrow != CLR_DEFAULT)
                result |= CDRF_NOTIFYPOSTPAINT;
            return result;
        }
        case CDDS_ITEMPOSTPAINT:
            if (arrowWidth_ > 0 &&
                std::find(arrowed_.begin(), arrowed_.end(), draw.nmcd.dwItemSpec) != arrowed_.end()) {
                // The system draws its arrow in the system's text colour, black on this band: cover it.
                const RECT& rc = draw.nmcd.rc;
                const RECT area = {rc.right - arrowWidth_, rc.top + 1, rc.right - 1, rc.bottom - 1};
                FillWithDcBrush(draw.nmcd.hdc, area, lit ? look.hot : look.band);
                PaintArrow(draw.nmcd.hdc, area, look.arrow, dpi_);
            }
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace nimbrel::win32
