// The face of a QuillonPD drawn with GDI from the layout table: one routine for the control's
// window and for containers that draw the control themselves (IViewObject::Draw, printing).
#pragma once

#include <windows.h>

#include <cstdint>

#include "control/face.h"

namespace quillon {

// Twips to device pixels: x * x_num / x_den, y * y_num / y_den, rounded half away from zero.
// A window uses the screen's pixels per inch over 1440; a drawing into given bounds uses the
// container's zoom, the bounds over the control's extent.
struct FaceScale {
  int64_t x_num = 96, x_den = 1440;
  int64_t y_num = 96, y_den = 1440;

  int X(int twips) const { return Apply(twips, x_num, x_den); }
  int Y(int twips) const { return Apply(twips, y_num, y_den); }
  static FaceScale ForDpi(int dpi_x, int dpi_y) { return {dpi_x, 1440, dpi_y, 1440}; }
  // `bounds` in device pixels showing an extent of `himetric` (0.01 mm); an extent that is
  // not positive counts as the face's own size.
  static FaceScale ForExtent(const RECT& bounds, SIZEL himetric);

 private:
  static int Apply(int value, int64_t num, int64_t den);
};

// The face's font (the surface's default: 8 points of the sans-serif dialog face) at a scale.
HFONT CreateFaceFont(const FaceScale& scale);

// The box of a label in device pixels, `origin` being the face's top-left corner: the layout
// box of a caption label, the text's own extent for a value label. `dc` has the face font.
RECT LabelBox(HDC dc, const FaceChild& label, const FaceState& face, const FaceScale& scale,
              POINT origin);

// The colours of the surface: its background, and the text of the labels that have no colour
// of their own and the line. Each is 0x00BBGGRR or a system colour 0x800000nn, resolved when
// drawn, so that system colours follow the colour scheme.
struct SurfaceColours {
  uint32_t text = 0x80000000u | COLOR_BTNTEXT;
  uint32_t back = 0x80000000u | COLOR_BTNFACE;
  bool operator==(const SurfaceColours&) const = default;
};

// Draws the whole face whose top-left corner is at `origin`: the surface, the line and the
// labels, each clipped to `clip` (device pixels; the face's own area or less).
void PaintFace(HDC dc, const FaceState& face, const FaceScale& scale, HFONT font,
               const SurfaceColours& colours, POINT origin, const RECT& clip);

// A 0x00BBGGRR colour, or a system colour when the top bit is set (0x800000nn).
COLORREF ResolveColour(uint32_t colour);

}  // namespace quillon
