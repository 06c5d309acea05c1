#include "control/headless_site.h"

namespace quillon {

bool HeadlessSite::SetCaption(Child label, const Text& caption) noexcept {
  Text& shown = face_.caption(label);
  if (shown == caption) return true;
  try {
    shown = caption;
  } catch (...) {
    return false;
  }
  ++face_changes_;
  return true;
}

bool HeadlessSite::SetForeColor(Child label, uint32_t colour) noexcept {
  uint32_t& shown = face_.colour(label);
  if (shown == colour) return true;
  shown = colour;
  ++face_changes_;
  return true;
}

}  // namespace quillon
