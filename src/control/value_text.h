// The texts and the number that the control's value properties return, computed from its
// fields; free of COM types so that every container and the quillon tool share them.
#pragma once

#include <cstdint>

#include "common/text.h"
#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon {

// The pattern actually used: `format` with every bare "%" written "\%", so that a percent
// sign shows as itself and never scales the value by 100. A "%" already escaped with a
// backslash or inside a quoted literal is left as it is.
Text EffectivePattern(TextView format);

// `Valeur` / `ValeurFormatee`: the stored text formatted with the effective pattern of
// `format`; the stored text unchanged when `format` is empty; empty text when formatting fails.
// The stored text is a number when it reads as one as it stands or in either form of
// ReadValueNumber (so "12.5" is 12.5 under a comma locale, not a time of day); otherwise the
// formatter reads it as a date or leaves it text.
Text FormatValueText(Formatter& formatter, TextView stored, TextView format);

// `ValeurNombre`: the stored text read as a single-precision number, widened to double. The
// form written with the locale's own decimal separator is tried first ("." made "," under a
// comma locale, "," made "." under a dot locale), then the other form; 0 when both fail.
double ReadValueNumber(Locale& locale, TextView stored);

// `HorodatageDernLect`: the date in the locale's general date format.
Text LastReadText(Locale& locale, double date);

// `Qualite`: the quality code as signed decimal text.
Text QualityText(int32_t quality);

}  // namespace quillon
