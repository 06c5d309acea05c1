// The face of a QuillonPD: its fourteen children as data, the captions and colours they show,
// and a text rendering of it for terminals. Every container draws the face from kFace.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// What the face shows now: one caption and one text colour per child, as laid out at first.
struct FaceState {
  FaceState();
  std::array<Text, kChildCount> captions;
  std::array<uint32_t, kChildCount> colours{};

  Text& caption(Child c) { return captions[static_cast<size_t>(c)]; }
  const Text& caption(Child c) const { return captions[static_cast<size_t>(c)]; }
  uint32_t& colour(Child c) { return colours[static_cast<size_t>(c)]; }
  uint32_t colour(Child c) const { return colours[static_cast<size_t>(c)]; }
};

struct RenderOptions {
  int width_twips = kFaceWidth;  // the size the host gives the control; the face clips
  int height_twips = kFaceHeight;
  int twips_per_column = 75;
  bool ansi_colours = false;  // text colours as terminal escape sequences
  bool border = true;
};

// The text a label shows for a caption: cut at the first NUL, access-key marks removed when
// the label uses them, control characters shown as "?" so that no caption drives a terminal.
Text ShownText(const FaceChild& label, TextView caption);

// The face as UTF-8 lines of equal width: one line per row of children, the line as a rule.
std::vector<std::string> RenderFace(const FaceState& face, const RenderOptions& options = {});

// Columns that a UTF-8 line takes on a terminal: one per character, escape sequences none.
size_t DisplayWidth(const std::string& utf8);

// Faces next to each other, `gap` spaces apart; shorter faces are padded with blank lines.
std::vector<std::string> SideBySide(const std::vector<std::vector<std::string>>& faces,
                                    int gap = 2);

}  // namespace quillon
