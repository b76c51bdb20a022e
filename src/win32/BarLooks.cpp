#include "win32/BarLooks.h"

#include "win32/Dpi.h"

namespace nimbrel::win32 {
namespace {

constexpr COLORREF kGradientStart = RGB(252, 253, 255);
constexpr COLORREF kGradientEnd = RGB(184, 204, 232);
constexpr COLORREF kGradientHot = RGB(255, 226, 150);
constexpr COLORREF kGradientFrame = RGB(222, 170, 70);
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
    return vertex;
}

void FillWithDcBrush(HDC dc, const RECT& rc, COLORREF colour) {
    ::SetDCBrushColor(dc, colour);
    ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

void FrameWithDcBrush(HDC dc, const RECT& rc, COLORREF colour) {
    ::SetDCBrushColor(dc, colour);
    ::FrameRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
}

bool IsWholeDropDown(HWND toolbar, DWORD_PTR command) {
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_STYLE;
    return ::SendMessageW(toolbar, TB_GETBUTTONINFOW, command, reinterpret_cast<LPARAM>(&info)) >= 0 &&
           (info.fsStyle & BTNS_WHOLEDROPDOWN) != 0;
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

BarLook DrawnLook(BarLook look, bool highContrast) {
    return highContrast && look != BarLook::Classic ? BarLook::Flat : look;
}

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

LookColours ColoursOf(BarLook drawn) {
    LookColours colours;
    switch (drawn) {
        case BarLook::Gradient:
            colours.paintsBand = true;
            colours.gradient = true;
            colours.band = kGradientStart;
            colours.bandEnd = kGradientEnd;
            colours.hot = kGradientHot;
            colours.hotFrame = kGradientFrame;
            break;
        case BarLook::Dark:
            colours.paintsBand = true;
            colours.band = kDarkBand;
            colours.bandEnd = kDarkBand;
            colours.text = kDarkText;
            colours.hot = kDarkHot;
            colours.hotFrame = kDarkFrame;
            colours.arrow = kDarkText;
            break;
        case BarLook::Classic:
        case BarLook::Flat:
            break;
    }
    return colours;
}

void PaintBand(HDC dc, const RECT& band, const LookColours& colours, bool vertical) {
    if (!colours.paintsBand) {
        ::FillRect(dc, &band, ::GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    if (!colours.gradient) {
        FillWithDcBrush(dc, band, colours.band);
        return;
    }
    TRIVERTEX vertices[2] = {Vertex(band.left, band.top, colours.band),
                             Vertex(band.right, band.bottom, colours.bandEnd)};
    GRADIENT_RECT span{0, 1};
    ::GdiGradientFill(dc, vertices, 2, &span, 1, vertical ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
}

namespace {

LRESULT ClassicEdges(NMTBCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return TBCDRF_NOBACKGROUND | TBCDRF_NOEDGES | CDRF_NOTIFYPOSTPAINT;
        case CDDS_ITEMPOSTPAINT: {
            RECT rc = draw.nmcd.rc;
            const bool pressed = (draw.nmcd.uItemState & (CDIS_SELECTED | CDIS_CHECKED)) != 0;
            ::DrawEdge(draw.nmcd.hdc, &rc, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_SOFT);
            return CDRF_DODEFAULT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace

LRESULT ToolbarCustomDraw(NMTBCUSTOMDRAW& draw, const ToolbarPaint& paint) {
    if (paint.colours != nullptr && paint.colours->classicEdges)
        return ClassicEdges(draw);
    if (paint.colours == nullptr || !paint.colours->paintsBand)
        return CDRF_DODEFAULT;
    const LookColours& colours = *paint.colours;
    // Pressed is how a category shows while its menu is open.
    const bool lit = (draw.nmcd.uItemState & (CDIS_HOT | CDIS_SELECTED | CDIS_CHECKED)) != 0;
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            // The look draws the button's background itself, once; the system adds picture and arrow on top.
            if (lit) {
                FillWithDcBrush(draw.nmcd.hdc, draw.nmcd.rc, colours.hot);
                FrameWithDcBrush(draw.nmcd.hdc, draw.nmcd.rc, colours.hotFrame);
            }
            if (colours.text != CLR_DEFAULT)
                draw.clrText = colours.text;
            LRESULT result = TBCDRF_NOBACKGROUND | TBCDRF_NOEDGES | TBCDRF_NOOFFSET | TBCDRF_USECDCOLORS;
            if (colours.arrow != CLR_DEFAULT)
                result |= CDRF_NOTIFYPOSTPAINT;
            return result;
        }
        case CDDS_ITEMPOSTPAINT:
            if (paint.arrowWidth > 0 && IsWholeDropDown(draw.nmcd.hdr.hwndFrom, draw.nmcd.dwItemSpec)) {
                // The system draws its arrow in the system's text colour, black on this band: cover it.
                const RECT& rc = draw.nmcd.rc;
                const RECT area = {rc.right - paint.arrowWidth, rc.top + 1, rc.right - 1, rc.bottom - 1};
                FillWithDcBrush(draw.nmcd.hdc, area, lit ? colours.hot : colours.band);
                PaintArrow(draw.nmcd.hdc, area, colours.arrow, paint.dpi);
            }
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace nimbrel::win32
