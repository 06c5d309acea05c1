// quillon dump: every record of a cache file, for people or as tab-separated lines.
#include <cstdio>

#include "cache_tool.h"
#include "command.h"

namespace quillon::tool {
namespace {

constexpr const char* kUsage = "dump --cache FILE [--tsv]";

int Run(const std::vector<std::string>& args) {
  std::string error;
  const auto options = ParseOptions(args, {"--cache"}, {"--tsv"}, &error);
  if (!options) return UsageError(error + " (usage: quillon " + kUsage + ")");
  const auto path = options->Value("--cache");
  if (!path || !options->positional.empty()) {
    return UsageError(std::string("usage: quillon ") + kUsage);
  }
  std::string bytes;
  if (!ReadWholeFile(*path, &bytes, &error)) return Fail(1, error);
  std::string warning;
  const std::vector<EnregCache> records = DecodeFile(bytes, *path, &warning);
  if (!warning.empty()) std::fprintf(stderr, "quillon: warning: %s\n", warning.c_str());

  if (options->Has("--tsv")) {
    std::fputs(TsvHeader().c_str(), stdout);
    for (size_t i = 0; i < records.size(); ++i) {
      std::fputs(TsvLine(static_cast<int64_t>(i + 1), records[i]).c_str(), stdout);
    }
    return 0;
  }
  std::vector<std::vector<std::string>> rows = {
      {"slot", "state", "ref", "read", "requested", "poll", "value", "formatted"}};
  for (size_t i = 0; i < records.size(); ++i) {
    rows.push_back(RecordColumns(static_cast<int64_t>(i + 1), records[i]));
  }
  std::fputs(AlignedTable(rows).c_str(), stdout);
  std::printf("%zu records\n", records.size());
  return 0;
}

const Command kCmd{"dump", kUsage, &Run};

}  // namespace
}  // namespace quillon::tool
