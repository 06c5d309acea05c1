#include "platform/formatter.h"

#include "format/format_engine.h"

namespace quillon {

std::unique_ptr<Formatter> NewPlatformFormatter(Locale& locale) {
  return NewEngineFormatter(locale);
}

}  // namespace quillon
