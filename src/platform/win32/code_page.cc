#include "platform/code_page.h"

#include <windows.h>

namespace quillon {
namespace {

// What the process's ANSI code page is: whether every byte is one character, and the
// character of each byte. The page is fixed for the life of the process, so this is worked
// out once, by the first environment of the process, and not by each one (a thread that
// makes and drops one control at a time would otherwise convert 256 bytes every time).
struct AnsiFacts {
  bool single_byte = false;
  bool has_table = false;
  CodePage::ByteTable table = {};
};

// Each byte through the system's conversion once; has_table stays false when one of them
// does not give exactly one character (the texts then keep going through the system).
AnsiFacts ReadAnsiFacts() {
  AnsiFacts facts;
  CPINFO info;
  facts.single_byte = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
  if (!facts.single_byte) return facts;
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t c[2] = {};
    if (MultiByteToWideChar(CP_ACP, 0, &byte, 1, c, 2) != 1) return facts;
    facts.table[b] = static_cast<char16_t>(c[0]);
  }
  facts.has_table = true;
  return facts;
}

const AnsiFacts& ProcessAnsiFacts() {
  static const AnsiFacts facts = ReadAnsiFacts();
  return facts;
}

class AnsiCodePage final : public CodePage {
 public:
  AnsiCodePage() : facts_(ProcessAnsiFacts()) {}

  Text ToText(std::string_view bytes) override {
    if (bytes.empty()) return Text();
    const int n =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
      MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    }
    return Text(wide.begin(), wide.end());
  }

  std::string ToAnsi(TextView text) override {
    if (text.empty()) return std::string();
    const std::wstring wide(text.begin(), text.end());
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, "?", nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, "?",
                          nullptr);
    }
    return out;
  }

  // Without best-fit look-alikes (A with macron does not become A) and without the default
  // character; a code page that takes no flags (UTF-8) is converted plainly. Either way the
  // bytes must read back as the same text.
  bool ToAnsiExact(TextView text, std::string* bytes) override {
    bytes->clear();
    if (text.empty()) return true;
    const std::wstring wide(text.begin(), text.end());
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    BOOL used_default = FALSE;
    int n = Convert(wide, flags, nullptr, 0, &used_default);
    if (n <= 0 &&
        (GetLastError() == ERROR_INVALID_FLAGS || GetLastError() == ERROR_INVALID_PARAMETER)) {
      flags = 0;
      n = Convert(wide, flags, nullptr, 0, nullptr);
    }
    if (n <= 0 || used_default) return false;
    bytes->resize(static_cast<size_t>(n));
    if (Convert(wide, flags, bytes->data(), n, flags ? &used_default : nullptr) != n ||
        used_default) {
      return false;
    }
    return ToText(*bytes) == Text(text);
  }

  bool IsSingleByte() override { return facts_.single_byte; }
  const ByteTable* Characters() override { return facts_.has_table ? &facts_.table : nullptr; }

 private:
  static int Convert(const std::wstring& wide, DWORD flags, char* out, int size, BOOL* used) {
    return WideCharToMultiByte(CP_ACP, flags, wide.data(), static_cast<int>(wide.size()), out, size,
                               nullptr, used);
  }

  const AnsiFacts& facts_;
};

}  // namespace

std::unique_ptr<CodePage> NewPlatformCodePage() { return std::make_unique<AnsiCodePage>(); }

}  // namespace quillon
