#include "control/headless_site.h"

namespace quillon {

void HeadlessSite::SetCaption(Child label, const Text& caption) {
  Text& shown = face_.caption(label);
  if (shown == caption) return;
  shown = caption;
  ++face_changes_;
}

void HeadlessSite::SetForeColor(Child label, uint32_t colour) {
  uint32_t& shown = face_.colour(label);
  if (shown == colour) return;
  shown = colour;
  ++face_changes_;
}

}  // namespace quillon
