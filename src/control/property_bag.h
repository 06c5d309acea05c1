// The property bag in which a container keeps a control's settings with the display.
#pragma once

#include <cstdint>
#include <map>
#include <variant>

#include "common/text.h"
#include "platform/locale.h"

namespace quillon {

// A value as a bag holds it: nothing, the Null value, a boolean, a 32-bit integer, a number,
// a text, or something else (an object, an array, an error) that no setting can take.
struct BagNull {
  bool operator==(const BagNull&) const = default;
};
struct BagOther {
  bool operator==(const BagOther&) const = default;
};
using BagValue = std::variant<std::monostate, BagNull, bool, int32_t, double, Text, BagOther>;

// No call throws: a bag that cannot be read or written says so by the result.
class PropertyBag {
 public:
  PropertyBag() = default;
  PropertyBag(const PropertyBag&) = delete;
  PropertyBag& operator=(const PropertyBag&) = delete;
  virtual ~PropertyBag() = default;

  // Sets *value to the value stored under name, or to default_value when the name is
  // absent; false, *value untouched, when the bag cannot be read.
  virtual bool Read(const Text& name, const BagValue& default_value, BagValue* value) noexcept = 0;
  // Stores value under name, replacing what was there; false when it could not be stored.
  virtual bool Write(const Text& name, const BagValue& value) noexcept = 0;
};

// A bag kept in memory, for headless containers and tests.
class MemoryPropertyBag final : public PropertyBag {
 public:
  bool Read(const Text& name, const BagValue& default_value, BagValue* value) noexcept override;
  bool Write(const Text& name, const BagValue& value) noexcept override;

  std::map<Text, BagValue>& entries() { return entries_; }

 private:
  std::map<Text, BagValue> entries_;
};

// Automation's conversions of a bag value to the type of a setting; false when the value
// cannot take that type (Null, an object, a number out of range, a text that is no number).
// Numbers round half to even; true is -1; texts read as numbers by the locale's rules.
bool BagToInt32(const BagValue& value, Locale& locale, int32_t* result);
// Numbers become their shortest text with the locale's decimal separator.
bool BagToText(const BagValue& value, Locale& locale, Text* result);

}  // namespace quillon
