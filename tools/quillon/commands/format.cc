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
namespace format_command {

struct FormatOptions {
  std::string locale;  // empty: the user's locale
  std::string pattern;
  std::vector<std::string> values;
  std::vector<std::string> never;  // see Setup
};

int Run(const FormatOptions& o) {
  std::unique_ptr<Locale> locale =
      o.locale.empty() ? NewPlatformLocale() : NewPlatformLocale(o.locale);
  if (!locale) return UsageError("unknown locale '" + o.locale + "' (use fr-FR or en-US)");
  std::unique_ptr<Formatter> formatter = NewPlatformFormatter(*locale);
  const Text pattern = FromUtf8(o.pattern);
  for (const std::string& value : o.values) {
    const Text shown = FormatValueText(*formatter, FromUtf8(value), pattern);
    std::printf("%s\n", ToUtf8(shown).c_str());
  }
  return 0;
}

CommandBody Setup(CLI::App& app) {
  auto o = std::make_shared<FormatOptions>();
  app.add_option("PATTERN", o->pattern, "the format pattern, as the property Formatage holds it")
      ->required()
      ->type_name("");
  app.add_option("VALUE", o->values, "value texts as the cache stores them; one line each")
      ->required()
      ->type_name("");
  // CLI11 hands the arguments after "--" back to the main program once every positional has
  // its minimum; one that is never filled keeps them here, so that "--" works anywhere.
  app.add_option("rest", o->never)->group("");
  app.add_option("--locale", o->locale, "fr-FR or en-US (default: from LC_ALL, then LANG)")
      ->type_name("NAME");
  app.footer(
      "A pattern or value that begins with '-' (other than a negative number) goes after '--'.");
  return [o] { return Run(*o); };
}

const Command kCmd{"format",
                   "show what the property Valeur returns for stored value texts with a format "
                   "pattern, one line per value",
                   &Setup};

}  // namespace format_command
}  // namespace
}  // namespace quillon::tool
