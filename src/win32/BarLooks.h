// The four looks of the style number, and the colours each draws with:
//   0 Classic   the system's raised 3-D buttons on the face colour.
//   1 Flat      flat buttons that light up under the pointer, on the face colour (the default look).
//   2 Gradient  flat buttons over a light blue gradient running across the bar.
//   3 Dark      flat buttons on a charcoal band, light drop-down arrows, a blue-grey frame under the pointer.
// Any other number looks like Flat. While Windows' high-contrast mode is on, every look but Classic draws as
// Flat does, with the system's colours.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>

namespace nimbrel::win32 {

enum class BarLook { Classic, Flat, Gradient, Dark };
BarLook LookOfStyle(std::int32_t style);

// The look actually drawn: high contrast turns the colourful looks into Flat.
BarLook DrawnLook(BarLook look, bool highContrast);

bool HighContrastOn();

struct LookColours {
    bool paintsBand = false;  // the band is drawn by the look, not by the window's face colour
    bool gradient = false;
    COLORREF band = CLR_DEFAULT;
    COLORREF bandEnd = CLR_DEFAULT;
    COLORREF text = CLR_DEFAULT;
    COLORREF hot = CLR_DEFAULT;
    COLORREF hotFrame = CLR_NONE;
    COLORREF arrow = CLR_DEFAULT;  // CLR_DEFAULT leaves the system's drop-down arrow alone
    // The raised and sunken edges of Classic, drawn through custom draw where a visual style cannot be removed.
    bool classicEdges = false;
};
LookColours ColoursOf(BarLook drawn);

// Fills band, the bar's whole band in the coordinates of dc, with the look's background; the gradient runs
// across the bar (down a horizontal one, across a vertical one).
void PaintBand(HDC dc, const RECT& band, const LookColours& colours, bool vertical);

// The toolbar's custom draw for a look. arrowWidth is the width the system gives a drop-down arrow at the right
// of a button, which a look with its own arrow colour paints over; dpi scales what is drawn by hand.
struct ToolbarPaint {
    const LookColours* colours = nullptr;
    int arrowWidth = 0;
    int dpi = 96;
};
LRESULT ToolbarCustomDraw(NMTBCUSTOMDRAW& draw, const ToolbarPaint& paint);

}  // namespace nimbrel::win32
