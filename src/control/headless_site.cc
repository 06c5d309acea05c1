#include "control/headless_site.h"

namespace quillon {

bool HeadlessSite::SetCaption(Child label, const Text& caption) noexcept {
  try {
    face_.SetCaption(label, caption);
    return true;
  } catch (...) {  // no memory for the caption: the label keeps the one it had
    return false;
  }
}

bool HeadlessSite::SetForeColor(Child label, uint32_t colour) noexcept {
  face_.SetColour(label, colour);
  return true;
}

}  // namespace quillon
