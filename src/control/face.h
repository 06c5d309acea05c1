// The face of a QuillonPD: its fourteen children as data and the captions and colours they
// show. Every container draws the face from kFace.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "common/text.h"
#include "control/tables.h"

namespace quillon {

// The children in creation order; the value of each is its row in kFace.
enum class Child : uint8_t {
  timerRead,
  Line1,
  txtPolltime,
  lblPollTime,
  txtNTF,
  lblNTF,
  txtHeureDernLect,
  lblHeureDernLect,
  txtValeurFormatee,
  lblValeurFormatee,
  txtStatut,
  lblStatut,
  txtValeur,
  lblValeur,
};
inline constexpr size_t kChildCount = 14;

enum class ChildKind : uint8_t { kTimer, kLine, kLabel };

// Positions and sizes in twips (1440 to the inch, 15 to a pixel at 96 dots per inch),
// relative to the top-left corner of the control's client area.
struct FaceChild {
  Child id;
  std::string_view name;
  ChildKind kind;
  std::u16string_view design_text;  // labels only
  int left = 0, top = 0, width = 0, height = 0;
  int tab_index = -1;                  // labels only
  bool auto_size = false;              // grows to the right from its left edge, on one line
  bool right_aligned = false;          // text against the right edge of its box
  bool use_mnemonic = false;           // "&" marks an access key ("&&" shows one "&")
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // line only
  bool enabled = false;                // timer only: disabled in the layout
  int interval_ms = 0;                 // timer only
};

inline constexpr int kFaceWidth = 4275;
inline constexpr int kFaceHeight = 2325;

namespace face_detail {
constexpr FaceChild Value(Child id, std::string_view name, int left, int top, int tab,
                          bool mnemonic = true) {
  FaceChild c{id, name, ChildKind::kLabel, u"?", left, top, 90, 195, tab};
  c.auto_size = true;
  c.use_mnemonic = mnemonic;
  return c;
}
constexpr FaceChild Caption(Child id, std::string_view name, std::u16string_view text, int top,
                            int tab) {
  FaceChild c{id, name, ChildKind::kLabel, text, 120, top, 1335, 255, tab};
  c.right_aligned = true;
  c.use_mnemonic = true;
  return c;
}
constexpr FaceChild Timer() {
  FaceChild c{Child::timerRead, "timerRead", ChildKind::kTimer, u"", 3720, 120};
  c.interval_ms = 1000;
  return c;
}
constexpr FaceChild Line() {
  FaceChild c{Child::Line1, "Line1", ChildKind::kLine, u""};
  c.x1 = -600, c.y1 = 840, c.x2 = 4080, c.y2 = 840;
  return c;
}
}  // namespace face_detail

// txtNTF alone does not treat "&" as an access key: a point reference shows as it is.
inline constexpr std::array<FaceChild, kChildCount> kFace = {{
    face_detail::Timer(),
    face_detail::Line(),
    face_detail::Value(Child::txtPolltime, "txtPolltime", 1560, 480, 11),
    face_detail::Caption(Child::lblPollTime, "lblPollTime", u"Freq. rafraichisst :", 480, 10),
    face_detail::Value(Child::txtNTF, "txtNTF", 1560, 120, 9, /*mnemonic=*/false),
    face_detail::Caption(Child::lblNTF, "lblNTF", u"NTF :", 120, 8),
    face_detail::Value(Child::txtHeureDernLect, "txtHeureDernLect", 1560, 2040, 7),
    face_detail::Caption(Child::lblHeureDernLect, "lblHeureDernLect", u"Dernière lecture :", 2040,
                         6),
    face_detail::Value(Child::txtValeurFormatee, "txtValeurFormatee", 1560, 1320, 5),
    face_detail::Caption(Child::lblValeurFormatee, "lblValeurFormatee", u"Valeur formatée :", 1320,
                         4),
    face_detail::Value(Child::txtStatut, "txtStatut", 1560, 1680, 3),
    face_detail::Caption(Child::lblStatut, "lblStatut", u"Statut :", 1680, 2),
    face_detail::Value(Child::txtValeur, "txtValeur", 1560, 960, 1),
    face_detail::Caption(Child::lblValeur, "lblValeur", u"Valeur :", 960, 0),
}};

constexpr const FaceChild& FaceOf(Child c) { return kFace[static_cast<size_t>(c)]; }

// The text a label shows for a caption: cut at the first NUL, an access-key mark "&" taken
// away where the label uses access keys ("&&" shows one "&"), control characters as "?" (so
// that no caption drives a terminal either).
Text LabelText(const FaceChild& label, TextView caption);

// The colour of a label that has none of its own: it shows in the text colour of the control
// surface (the container's or the system's), which only the site drawing the face knows.
inline constexpr uint32_t kSurfaceTextColour = 0xFFFFFFFF;

// What the face shows now: one caption and one text colour per child, as laid out at first.
// The control keeps one and tells its site of every label it changes; the site draws it. A
// label shows the one copy of its design caption that all faces share until it is given a
// caption of its own, so a new face allocates nothing; a label given a caption again reuses
// its text's storage.
class FaceState {
 public:
  FaceState();

  const Text& caption(Child c) const {
    const size_t i = static_cast<size_t>(c);
    return (own_ >> i & 1) != 0 ? captions_[i] : DesignCaption(c);
  }
  uint32_t colour(Child c) const { return colours_[static_cast<size_t>(c)]; }

  // Shows `caption` in `label`; true when that changed what the label shows. Throws
  // std::bad_alloc (the label keeping its caption) when the text cannot be held.
  bool SetCaption(Child label, TextView caption);
  // Gives `label` the text colour `colour` (0x00BBGGRR, or kSurfaceTextColour); true when
  // that changed it.
  bool SetColour(Child label, uint32_t colour);
  // Goes up by one with every change of a caption or a colour.
  uint64_t revision() const { return revision_; }

 private:
  static const Text& DesignCaption(Child c);

  std::array<Text, kChildCount> captions_;  // where own_ has the child's bit
  uint32_t own_ = 0;                        // bit n: child n has a caption of its own
  std::array<uint32_t, kChildCount> colours_;
  uint64_t revision_ = 0;
};

}  // namespace quillon
