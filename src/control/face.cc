#include "control/face.h"

namespace quillon {
namespace {

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

Text LabelText(const FaceChild& label, TextView caption) {
  caption = caption.substr(0, caption.find(u'\0'));
  Text out;
  for (size_t i = 0; i < caption.size(); ++i) {
    char16_t c = caption[i];
    if (label.use_mnemonic && c == u'&') {
      if (i + 1 >= caption.size()) break;
      c = caption[++i];
    }
    out += IsControl(c) ? u'?' : c;
  }
  return out;
}

FaceState::FaceState() {
  colours_.fill(kSurfaceTextColour);
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
