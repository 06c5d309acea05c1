#include "package/face_paint.h"

#include <algorithm>
#include <climits>

namespace quillon {
namespace {

constexpr int kFontTwips = 160;  // 8 points

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

bool Intersects(const RECT& a, const RECT& b) {
  RECT out;
  return IntersectRect(&out, &a, &b) != 0;
}

void PaintLine(HDC dc, const FaceChild& line, const FaceScale& scale, COLORREF colour, POINT origin,
               const RECT& clip) {
  const int y = origin.y + scale.Y(line.y1);
  // A pixel at 96 dots per inch, whole pixels only.
  const int width = static_cast<int>(std::clamp<int64_t>(15 * scale.y_num / scale.y_den, 1, 1000));
  RECT r{std::max<LONG>(origin.x + scale.X(line.x1), clip.left), y,
         std::min<LONG>(origin.x + scale.X(line.x2), clip.right), y + width};
  r.top = std::max(r.top, clip.top);
  r.bottom = std::min(r.bottom, clip.bottom);
  if (r.left >= r.right || r.top >= r.bottom) return;
  SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void PaintLabel(HDC dc, const FaceChild& label, const FaceState& face, const FaceScale& scale,
                COLORREF surface_text, POINT origin, const RECT& clip) {
  RECT box = LabelBox(dc, label, face, scale, origin);
  if (!Intersects(box, clip)) return;
  const Text shown = LabelText(label, face.caption(label.id));
  const uint32_t own = face.colour(label.id);
  SetTextColor(dc, own == kSurfaceTextColour ? surface_text : ResolveColour(own));
  const UINT format =
      DT_SINGLELINE | DT_NOPREFIX | DT_TOP | (label.right_aligned ? DT_RIGHT : DT_LEFT);
  DrawTextW(dc, Wide(shown), static_cast<int>(shown.size()), &box, format);
}

}  // namespace

int FaceScale::Apply(int value, int64_t num, int64_t den) {
  if (den <= 0) return 0;
  const int64_t product = static_cast<int64_t>(value) * num;
  const int64_t scaled = (product >= 0 ? product + den / 2 : product - den / 2) / den;
  return static_cast<int>(std::clamp<int64_t>(scaled, INT_MIN / 2, INT_MAX / 2));
}

// The zoom is bounds / extent; the layout in twips goes to HIMETRIC (2540 to 1440 to the
// inch) and from there to the bounds' pixels.
FaceScale FaceScale::ForExtent(const RECT& bounds, SIZEL himetric) {
  const int64_t cx = himetric.cx > 0 ? himetric.cx : (int64_t{kFaceWidth} * 2540 + 720) / 1440;
  const int64_t cy = himetric.cy > 0 ? himetric.cy : (int64_t{kFaceHeight} * 2540 + 720) / 1440;
  return {int64_t{bounds.right - bounds.left} * 2540, cx * 1440,
          int64_t{bounds.bottom - bounds.top} * 2540, cy * 1440};
}

COLORREF ResolveColour(uint32_t colour) {
  if (colour & 0x80000000u) return GetSysColor(static_cast<int>(colour & 0xFF));
  return static_cast<COLORREF>(colour & 0xFFFFFF);
}

HFONT CreateFaceFont(const FaceScale& scale) {
  LOGFONTW lf{};
  lf.lfHeight = -std::max(1, scale.Y(kFontTwips));
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, L"MS Sans Serif", LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

RECT LabelBox(HDC dc, const FaceChild& label, const FaceState& face, const FaceScale& scale,
              POINT origin) {
  const LONG left = origin.x + scale.X(label.left);
  const LONG top = origin.y + scale.Y(label.top);
  if (!label.auto_size) {
    return {left, top, origin.x + scale.X(label.left + label.width),
            origin.y + scale.Y(label.top + label.height)};
  }
  const Text shown = LabelText(label, face.caption(label.id));
  SIZE extent{0, 0};
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  GetTextExtentPoint32W(dc, Wide(shown), static_cast<int>(shown.size()), &extent);
  return {left, top, left + extent.cx, top + tm.tmHeight};
}

void PaintFace(HDC dc, const FaceState& face, const FaceScale& scale, HFONT font,
               const SurfaceColours& colours, POINT origin, const RECT& clip) {
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  const COLORREF text = ResolveColour(colours.text);
  SetBkColor(dc, ResolveColour(colours.back));
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &clip, nullptr, 0, nullptr);
  SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  for (const FaceChild& child : kFace) {
    if (child.kind == ChildKind::kLine) PaintLine(dc, child, scale, text, origin, clip);
    if (child.kind == ChildKind::kLabel) PaintLabel(dc, child, face, scale, text, origin, clip);
  }
  RestoreDC(dc, saved);
}

}  // namespace quillon
