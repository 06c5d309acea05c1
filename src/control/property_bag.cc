#include "control/property_bag.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace quillon {
namespace {

bool RoundToInt32(double number, int32_t* result) {
  if (!std::isfinite(number)) return false;
  const double rounded = std::nearbyint(number);  // the default mode rounds half to even
  if (rounded < -2147483648.0 || rounded > 2147483647.0) return false;
  *result = static_cast<int32_t>(rounded);
  return true;
}

bool NumberToText(double number, Locale& locale, Text* result) {
  if (!std::isfinite(number)) return false;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", number);
  Text out;
  for (const char* p = buf; *p != '\0'; ++p) {
    const char c = *p;
    if (c == '.') {
      out += locale.Info().decimal_separator;
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  *result = out;
  return true;
}

}  // namespace

bool MemoryPropertyBag::Read(const Text& name, const BagValue& default_value,
                             BagValue* value) noexcept {
  try {
    const auto it = entries_.find(name);
    *value = it == entries_.end() ? default_value : it->second;
    return true;
  } catch (...) {
    return false;
  }
}

bool MemoryPropertyBag::Write(const Text& name, const BagValue& value) noexcept {
  try {
    entries_[name] = value;
    return true;
  } catch (...) {
    return false;
  }
}

bool BagToInt32(const BagValue& value, Locale& locale, int32_t* result) {
  if (std::holds_alternative<std::monostate>(value)) {
    *result = 0;
    return true;
  }
  if (const bool* b = std::get_if<bool>(&value)) {
    *result = *b ? -1 : 0;
    return true;
  }
  if (const int32_t* i = std::get_if<int32_t>(&value)) {
    *result = *i;
    return true;
  }
  if (const double* d = std::get_if<double>(&value)) return RoundToInt32(*d, result);
  if (const Text* t = std::get_if<Text>(&value)) {
    double number = 0;
    return locale.ReadNumber(*t, &number) && RoundToInt32(number, result);
  }
  return false;  // Null or another kind of value
}

bool BagToText(const BagValue& value, Locale& locale, Text* result) {
  if (std::holds_alternative<std::monostate>(value)) {
    result->clear();
    return true;
  }
  if (const bool* b = std::get_if<bool>(&value)) {
    *result = *b ? u"True" : u"False";
    return true;
  }
  if (const int32_t* i = std::get_if<int32_t>(&value)) {
    *result = NumberText(*i);
    return true;
  }
  if (const double* d = std::get_if<double>(&value)) return NumberToText(*d, locale, result);
  if (const Text* t = std::get_if<Text>(&value)) {
    *result = *t;
    return true;
  }
  return false;  // Null or another kind of value
}

}  // namespace quillon
