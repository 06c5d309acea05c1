#include "package/com_trace.h"

#include <olectl.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "services/trace_log.h"

namespace quillon {
namespace {

bool ComTraceFromEnvironment() {
  char value[256] = {};
  const DWORD length = GetEnvironmentVariableA("QUILLON_TRACE", value, sizeof value);
  return length > 0 && length < sizeof value && NamesComTrace(value);
}

thread_local const ComTraceSite* current_site = nullptr;

// The trace file of the process, made with the first line.
class ComTraceLog {
 public:
  ComTraceLog()
      : files_(NewPlatformFileSystem()),
        clock_(NewPlatformClock()),
        code_page_(NewPlatformCodePage()),
        log_(*files_, *clock_, *code_page_, true) {}
  void Write(TextView line) { log_.fctEcrireTrace(line); }

 private:
  std::unique_ptr<FileSystem> files_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<CodePage> code_page_;
  TraceLogConditionnel log_;
};

void Append(Text& line, const char* ascii) {
  for (; *ascii != '\0'; ++ascii) line += static_cast<char16_t>(static_cast<unsigned char>(*ascii));
}

// The usual names of the results a container meets; others in hexadecimal.
const char* ResultName(HRESULT hr) {
  switch (hr) {
    case S_OK:
      return "S_OK";
    case S_FALSE:
      return "S_FALSE";
    case E_NOTIMPL:
      return "E_NOTIMPL";
    case E_NOINTERFACE:
      return "E_NOINTERFACE";
    case E_POINTER:
      return "E_POINTER";
    case E_FAIL:
      return "E_FAIL";
    case E_INVALIDARG:
      return "E_INVALIDARG";
    case E_OUTOFMEMORY:
      return "E_OUTOFMEMORY";
    case E_UNEXPECTED:
      return "E_UNEXPECTED";
    case DISP_E_MEMBERNOTFOUND:
      return "DISP_E_MEMBERNOTFOUND";
    case DISP_E_TYPEMISMATCH:
      return "DISP_E_TYPEMISMATCH";
    case DISP_E_BADPARAMCOUNT:
      return "DISP_E_BADPARAMCOUNT";
    case OLE_E_NOCONNECTION:
      return "OLE_E_NOCONNECTION";
    case CONNECT_E_NOCONNECTION:
      return "CONNECT_E_NOCONNECTION";
    default:
      return nullptr;
  }
}

void WriteLine(const Text& line) noexcept {
  try {
    static ComTraceLog log;
    log.Write(line);
  } catch (...) {
    // A line that cannot be written is lost; the call goes on.
  }
}

// Texts are cut after this many characters, with a marker.
constexpr size_t kMaxTextTraced = 80;

}  // namespace

const bool com_trace_active = ComTraceFromEnvironment();

bool NamesComTrace(const char* setting) {
  const char* p = setting;
  while (*p != '\0') {
    const size_t word = std::strcspn(p, ", ;");
    if (word == 3 && _strnicmp(p, "com", 3) == 0) return true;
    p += word;
    if (*p != '\0') ++p;
  }
  return false;
}

bool ComTraceSite::Entered() const {
  if (current_site != this) return false;
  current_site = nullptr;  // calls of this method made from its body are traced again
  return true;
}

const ComTraceSite* ComTraceSite::Enter() const {
  const ComTraceSite* outer = current_site;
  current_site = this;
  return outer;
}

void ComTraceSite::Leave(const ComTraceSite* outer) { current_site = outer; }

Text ComTraceSite::ResultText(HRESULT hr) {
  const char* name = ResultName(hr);
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  Text text;
  Append(text, name != nullptr ? name : code);
  return text;
}

Text ComTraceSite::ResultText(ULONG count) {
  char text[24];
  std::snprintf(text, sizeof text, "%lu", count);
  Text result;
  Append(result, text);
  return result;
}

// "COM <object> <interface>::<method>(<arguments>) = <result>"; an export has no object and
// no interface.
void ComTraceSite::Write(const void* object, const Text& arguments,
                         const Text& result) const noexcept {
  try {
    Text line;
    Append(line, "COM ");
    if (object != nullptr) {
      char head[32];
      std::snprintf(head, sizeof head, "%p ", object);
      Append(line, head);
    }
    if (*iface_ != '\0') {
      Append(line, iface_);
      Append(line, "::");
    }
    Append(line, method_);
    line += u"(";
    line += arguments;
    line += u") = ";
    line += result;
    WriteLine(line);
  } catch (...) {
    // A line that cannot be built is lost; the call goes on.
  }
}

HRESULT ComTraceSite::UnknownInterface(const void* object, REFIID riid) {
  if (!com_trace_active) return E_NOINTERFACE;
  try {
    char head[64];
    std::snprintf(head, sizeof head, "COM %p IUnknown::QueryInterface(", object);
    Text line;
    Append(line, head);
    AppendGuid(line, riid);
    Append(line, ") = E_NOINTERFACE, an interface the control does not know");
    WriteLine(line);
  } catch (...) {
  }
  return E_NOINTERFACE;
}

void ComTraceSite::AppendGuid(Text& line, REFGUID guid) {
  wchar_t text[40] = {};
  if (StringFromGUID2(guid, text, 40) == 0) return Append(line, "{?}");
  for (const wchar_t* c = text; *c != L'\0'; ++c) line += static_cast<char16_t>(*c);
}

void ComTraceSite::AppendInteger(Text& line, long long value) {
  char text[32];
  // Small numbers in decimal; DISPIDs, flags and codes in hexadecimal.
  if (value > -65536 && value < 65536) {
    std::snprintf(text, sizeof text, "%lld", value);
  } else {
    std::snprintf(text, sizeof text, "0x%08llX",
                  static_cast<unsigned long long>(value) & 0xFFFFFFFFull);
  }
  Append(line, text);
}

void ComTraceSite::AppendDouble(Text& line, double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  Append(line, text);
}

// Quoted, control characters escaped so that a text cannot make lines of its own, cut after
// kMaxTextTraced characters.
void ComTraceSite::AppendText(Text& line, const wchar_t* text) {
  if (text == nullptr) return Append(line, "NULL");
  line += u"\"";
  size_t count = 0;
  for (; text[count] != L'\0' && count < kMaxTextTraced; ++count) {
    const wchar_t c = text[count];
    if (c < 0x20 || c == 0x7F || c == L'"' || c == L'\\') {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
      Append(line, escaped);
    } else {
      line += static_cast<char16_t>(c);
    }
  }
  line += u"\"";
  if (text[count] != L'\0') Append(line, "...(cut)");
}

void ComTraceSite::AppendRect(Text& line, bool null, long left, long top, long right, long bottom) {
  if (null) return Append(line, "NULL");
  char text[64];
  std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", left, top, right, bottom);
  Append(line, text);
}

void ComTraceSite::AppendDispParams(Text& line, const DISPPARAMS* params) {
  if (params == nullptr) return Append(line, "NULL");
  char text[48];
  std::snprintf(text, sizeof text, "{%u args, %u named}", params->cArgs, params->cNamedArgs);
  Append(line, text);
}

void ComTraceSite::AppendPointer(Text& line, const void* pointer) {
  if (pointer == nullptr) return Append(line, "NULL");
  char text[24];
  std::snprintf(text, sizeof text, "%p", pointer);
  Append(line, text);
}

}  // namespace quillon
