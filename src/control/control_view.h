// What terminal views of a headless control print besides its face: the five value
// properties, each on a line, as a display's script would read them.
#pragma once

#include <string>
#include <vector>

#include "common/text.h"
#include "control/quillon_pd.h"

namespace quillon {

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
