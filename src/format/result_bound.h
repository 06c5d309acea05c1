// An upper bound of the length of what the engine writes for a value and a pattern, worked out
// from the pattern's characters and the locale's texts without formatting anything.
#pragma once

#include <cstddef>

#include "common/text.h"
#include "platform/locale.h"

namespace quillon {

// For numbers below 1E+15 in magnitude (the engine's general text otherwise), any date and
// any text. Built once per locale; Of is cheap (one pass over the pattern) and thread-safe.
class ResultLengthBound {
 public:
  explicit ResultLengthBound(const LocaleInfo& info);

  // At least the length of the engine's result for a value text of `value_length` characters
  // (0 for a number given as such) formatted with `pattern`.
  size_t Of(size_t value_length, TextView pattern) const;

 private:
  // The most characters one pattern character can stand for.
  size_t Weight(char16_t c) const;
  size_t PatternWeight(TextView pattern) const;

  size_t thousands_;      // a whole digit and the group separator after it
  size_t decimal_;        // the decimal separator
  size_t date_separator_;
  size_t time_separator_;
  size_t day_;            // d, dd, ddd, dddd, ddddd (short date), dddddd (long date)
  size_t month_;          // m, mm, mmm, mmmm (or minutes)
  size_t designator_;     // AMPM, AM/PM, A/P
  size_t long_time_;      // ttttt
  size_t general_date_;   // c
  size_t once_;           // what a result holds at most once besides its pattern's characters
};

}  // namespace quillon
