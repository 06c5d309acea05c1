#include "platform/code_page.h"
#include "platform/windows_1252.h"

namespace quillon {

std::unique_ptr<CodePage> NewPlatformCodePage() { return std::make_unique<Windows1252CodePage>(); }

}  // namespace quillon
