// Reads one registry value through RegistrePD and prints what came back on one line:
//   rc=<result> text=<value, NUL as \0, other control bytes as \xHH>   or   rc=<result> int=<n>
// Usage: registre_probe ROOT KEY VALUE [MACHINE]   (ROOT: HKLM or HKCU)
//        registre_probe --bind DLL FUNCTION         (whether the function can be bound)
#include <cstdio>
#include <string>

#include "platform/code_page.h"
#include "platform/echo_api.h"
#include "platform/registry_api.h"
#include "platform/win32/late_bound.h"
#include "services/registre_pd.h"

namespace {

std::string Escaped(const quillon::Text& text) {
  std::string out;
  for (char16_t c : text) {
    if (c == 0) {
      out += "\\0";
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(c));
      out += buffer;
    } else {
      out += quillon::ToUtf8(quillon::Text(1, c));
    }
  }
  return out;
}

int Bind(const char* library, const char* function) {
  quillon::LateBound<void(WINAPI*)()> fn(library, function);
  int32_t error = 0;
  if (fn.Get(&error) != nullptr) {
    std::printf("%s!%s found\n", library, function);
  } else {
    std::printf("%s!%s missing (%d)\n", library, function, error);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--bind") return Bind(argv[2], argv[3]);
  if (argc < 4) {
    std::fprintf(stderr, "usage: registre_probe HKLM|HKCU KEY VALUE [MACHINE]\n");
    return 2;
  }
  const std::string root = argv[1];
  const int32_t racine = static_cast<int32_t>(root == "HKCU" ? 0x80000001u : 0x80000002u);
  auto registry = quillon::NewPlatformRegistryApi();
  auto echo = quillon::NewPlatformEchoApi();
  auto code_page = quillon::NewPlatformCodePage();
  quillon::RegistrePD registre(*registry, *code_page, *echo);
  quillon::RegValue value = quillon::Text(u"inchange");
  const int32_t rc =
      registre.LireValeurRegistre(racine, code_page->ToText(argv[2]), code_page->ToText(argv[3]),
                                  value, argc > 4 ? code_page->ToText(argv[4]) : quillon::Text());
  if (std::holds_alternative<int32_t>(value)) {
    std::printf("rc=%d int=%d\n", rc, std::get<int32_t>(value));
  } else {
    std::printf("rc=%d text=%s\n", rc, Escaped(std::get<quillon::Text>(value)).c_str());
  }
  return 0;
}
