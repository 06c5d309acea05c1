#include "cache/stored_reference.h"

#include <array>
#include <cstring>

#include "cache/record_codec.h"

namespace quillon {
namespace {

// A reference field of spaces only, to compare a field's padding with.
constexpr std::array<uint8_t, kRefNTFLength> kSpaces = [] {
  std::array<uint8_t, kRefNTFLength> spaces{};
  spaces.fill(' ');
  return spaces;
}();

}  // namespace

void FillReference(TextView text, CodePage& code_page, StoredReference* ref) {
  ref->text.assign(text);
  ref->exact = code_page.ToAnsiExact(text, &ref->bytes) && ref->bytes.size() <= kRefNTFLength;
}

TextView StoredForm(TextView ntf) {
  const auto trim = [](TextView t) {
    while (!t.empty() && t.front() == u' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == u' ') t.remove_suffix(1);
    return t;
  };
  TextView out = trim(ntf);
  if (out.size() > kRefNTFLength) out = trim(out.substr(0, kRefNTFLength));
  return out;
}

bool TrimmedFieldEquals(const uint8_t* field, std::string_view wanted) {
  if (!wanted.empty() && (wanted.front() == ' ' || wanted.back() == ' ')) return false;
  size_t begin = 0;
  while (begin < kRefNTFLength && field[begin] == ' ') ++begin;
  if (kRefNTFLength - begin < wanted.size()) return false;
  if (!wanted.empty() && field[begin] != static_cast<uint8_t>(wanted[0])) return false;
  if (std::memcmp(field + begin, wanted.data(), wanted.size()) != 0) return false;
  const size_t end = begin + wanted.size();
  return std::memcmp(field + end, kSpaces.data(), kRefNTFLength - end) == 0;
}

bool Carries(const uint8_t* record, const StoredReference& ref, CodePage& code_page) {
  if (ref.exact && code_page.IsSingleByte()) {
    return TrimmedFieldEquals(record + kOffRefNTF, ref.bytes);
  }
  return DecodeTrimmedReference(record, code_page) == ref.text;
}

}  // namespace quillon
