// Terminal views of a headless control: its face as lines of text, and its five value
// properties, each on a line, as a display's script would read them.
#pragma once

#include <string>
#include <vector>

#include "common/text.h"
#include "control/face.h"
#include "control/quillon_pd.h"

namespace quillon {

struct RenderOptions {
  int width_twips = kFaceWidth;  // the size the host gives the control; the face clips
  int height_twips = kFaceHeight;
  int twips_per_column = 75;
  bool ansi_colours = false;  // text colours as terminal escape sequences
  bool border = true;
};

// The face as UTF-8 lines of equal width: one line per row of children, the line as a rule.
std::vector<std::string> RenderFace(const FaceState& face, const RenderOptions& options = {});

// Columns that a UTF-8 line takes on a terminal: one per character, escape sequences none.
size_t DisplayWidth(const std::string& utf8);

// Faces next to each other, `gap` spaces apart; shorter faces are padded with blank lines.
std::vector<std::string> SideBySide(const std::vector<std::vector<std::string>>& faces,
                                    int gap = 2);

// Text in double quotes as UTF-8: quotes and backslashes escaped, NUL as \0 (a run of 20 as
// \0{20}) and the other control characters as \xHH, so that padding shows and nothing
// drives the terminal.
std::string QuotedText(TextView text);

// "Valeur", "ValeurNombre", "ValeurFormatee", "Qualite" and "HorodatageDernLect" with the
// values their getters return now, one line each, names aligned.
std::vector<std::string> ValueLines(const QuillonPD& control);

// Each line cut or padded with spaces to `width` columns (one column per character).
std::vector<std::string> FitLines(const std::vector<std::string>& lines, size_t width);

}  // namespace quillon
