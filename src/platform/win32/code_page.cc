#include <windows.h>

#include "platform/code_page.h"

namespace quillon {
namespace {

class AnsiCodePage final : public CodePage {
 public:
  AnsiCodePage() {
    CPINFO info;
    single_byte_ = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
  }

  Text ToText(std::string_view bytes) override {
    if (bytes.empty()) return Text();
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, 0);
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
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                          "?", nullptr);
    }
    return out;
  }

  bool IsSingleByte() override { return single_byte_; }

 private:
  bool single_byte_ = true;
};

}  // namespace

std::unique_ptr<CodePage> NewPlatformCodePage() { return std::make_unique<AnsiCodePage>(); }

}  // namespace quillon
