#include "control/face.h"

namespace quillon {

FaceState::FaceState() {
  for (const FaceChild& child : kFace) captions_[static_cast<size_t>(child.id)] = child.design_text;
}

bool FaceState::SetCaption(Child label, const Text& caption) {
  Text& shown = captions_[static_cast<size_t>(label)];
  if (shown == caption) return false;
  shown = caption;
  ++revision_;
  return true;
}

bool FaceState::SetColour(Child label, uint32_t colour) {
  uint32_t& shown = colours_[static_cast<size_t>(label)];
  if (shown == colour) return false;
  shown = colour;
  ++revision_;
  return true;
}

}  // namespace quillon
