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

FaceState::FaceState() { colours_.fill(kSurfaceTextColour); }

// Made on first use, by whichever thread comes first, and never changed.
const Text& FaceState::DesignCaption(Child c) {
  static const std::array<Text, kChildCount> design = [] {
    std::array<Text, kChildCount> texts;
    for (const FaceChild& child : kFace) texts[static_cast<size_t>(child.id)] = child.design_text;
    return texts;
  }();
  return design[static_cast<size_t>(c)];
}

bool FaceState::SetCaption(Child label, TextView caption) {
  if (this->caption(label) == caption) return false;
  const size_t i = static_cast<size_t>(label);
  captions_[i].assign(caption);
  own_ |= uint32_t{1} << i;
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
