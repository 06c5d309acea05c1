#include "package/face_paint.h"

#include <algorithm>

namespace quillon {
namespace {

constexpr int kFontTwips = 160;  // 8 points

const wchar_t* Wide(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

bool Intersects(const RECT& a, const RECT& b) {
  RECT out;
  return IntersectRect(&out, &a, &b) != 0;
}

void PaintLine(HDC dc, const FaceChild& line, const FaceScale& scale, POINT origin,
               const RECT& clip) {
  const int y = origin.y + scale.Y(line.y1);
  const int width = std::max(1, 15 * scale.y_num / scale.y_den);  // a pixel at 96 dots per inch
  RECT r{std::max<LONG>(origin.x + scale.X(line.x1), clip.left), y,
         std::min<LONG>(origin.x + scale.X(line.x2), clip.right), y + width};
  r.top = std::max(r.top, clip.top);
  r.bottom = std::min(r.bottom, clip.bottom);
  if (r.left >= r.right || r.top >= r.bottom) return;
  SetBkColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void PaintLabel(HDC dc, const FaceChild& label, const FaceState& face, const FaceScale& scale,
                POINT origin, const RECT& clip) {
  RECT box = LabelBox(dc, label, face, scale, origin);
  if (!Intersects(box, clip)) return;
  const Text shown = LabelText(label, face.caption(label.id));
  SetTextColor(dc, ResolveColour(face.colour(label.id)));
  const UINT format =
      DT_SINGLELINE | DT_NOPREFIX | DT_TOP | (label.right_aligned ? DT_RIGHT : DT_LEFT);
  DrawTextW(dc, Wide(shown), static_cast<int>(shown.size()), &box, format);
}

}  // namespace

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

void PaintFace(HDC dc, const FaceState& face, const FaceScale& scale, HFONT font, POINT origin,
               const RECT& clip) {
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &clip, nullptr, 0, nullptr);
  SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  for (const FaceChild& child : kFace) {
    if (child.kind == ChildKind::kLine) PaintLine(dc, child, scale, origin, clip);
    if (child.kind == ChildKind::kLabel) PaintLabel(dc, child, face, scale, origin, clip);
  }
  RestoreDC(dc, saved);
}

}  // namespace quillon
