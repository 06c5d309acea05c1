// A point reference in the form the cache file stores it, and the comparison of a record's
// reference field with it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "cache/record.h"
#include "common/text.h"
#include "platform/code_page.h"

namespace quillon {

// A reference in its stored form, and its exact ANSI bytes when it has them.
struct StoredReference {
  Text text;
  std::string bytes;
  bool exact = false;  // the bytes give back exactly `text`, within the 60-byte field
};

// Fills `ref` in place from a reference already in its stored form: the lookups of every
// tick reuse its buffers.
void FillReference(TextView text, CodePage& code_page, StoredReference* ref);

// The stored form of a reference without copying: trimmed, cut to the field and trimmed
// again (NormaliseReference's steps).
TextView StoredForm(TextView ntf);

// True when the 60-byte reference field, trimmed of spaces, holds exactly `wanted` (never
// when `wanted` itself starts or ends with a space).
bool TrimmedFieldEquals(const uint8_t* field, std::string_view wanted);

// True when two texts hold the same characters (compared as bytes).
inline bool SameText(TextView a, TextView b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

// True when the 144 record bytes carry the point `ref` (stored reference trimmed, compared
// exactly).
bool Carries(const uint8_t* record, const StoredReference& ref, CodePage& code_page);

}  // namespace quillon
