// The module whose image holds this code: the control library, or a program that links the
// same code (a test, a build tool). Its handle loads the library's resources and registers
// its window class; its path is registered, read for the type library and beside it go the
// trace files.
#pragma once

#include <windows.h>

#include <string>

namespace quillon {

// The module's handle, found once from an address inside it. Any thread.
HMODULE ThisModule();
// The module's full path, of any length; empty when the loader cannot say (GetLastError
// then tells why). Any thread.
std::wstring ThisModulePath();

}  // namespace quillon
