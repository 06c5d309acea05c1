// quillon format: what the property Valeur returns for stored value texts with a pattern, so
// that a display designer can try a pattern before putting it on a display.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "common/text.h"
#include "control/value_text.h"
#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon::tool {
namespace {

struct Options {
  std::string locale;  // empty: the user's locale
  std::vector<std::string> positional;
};

// Returns 0, or the exit code of a usage error already reported.
int ParseOptions(const std::vector<std::string>& args, Options* o) {
  bool options_done = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && a == "--locale") {
      if (i + 1 >= args.size()) return UsageError("--locale needs a name (fr-FR or en-US)");
      o->locale = args[++i];
    } else if (!options_done && a.rfind("--locale=", 0) == 0) {
      o->locale = a.substr(9);
    } else {
      o->positional.push_back(a);
    }
  }
  if (o->positional.empty()) return UsageError("format needs a PATTERN and at least one VALUE");
  if (o->positional.size() < 2) return UsageError("format needs at least one VALUE after PATTERN");
  return 0;
}

int Run(const std::vector<std::string>& args) {
  Options o;
  if (const int code = ParseOptions(args, &o); code != 0) return code;
  std::unique_ptr<Locale> locale =
      o.locale.empty() ? NewPlatformLocale() : NewPlatformLocale(o.locale);
  if (!locale) return UsageError("unknown locale '" + o.locale + "' (use fr-FR or en-US)");
  std::unique_ptr<Formatter> formatter = NewPlatformFormatter(*locale);
  const Text pattern = FromUtf8(o.positional[0]);
  for (size_t i = 1; i < o.positional.size(); ++i) {
    const Text shown = FormatValueText(*formatter, FromUtf8(o.positional[i]), pattern);
    std::printf("%s\n", ToUtf8(shown).c_str());
  }
  return 0;
}

const Command kCmd{"format", "format PATTERN VALUE... [--locale fr-FR|en-US]", &Run};

}  // namespace
}  // namespace quillon::tool
