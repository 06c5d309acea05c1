// Diagnostics for containers: with the trace switch naming "com" (QUILLON_TRACE=com), each COM
// entry point of the library writes one line to the trace file: the object, the interface,
// the method, its arguments and the HRESULT it returns, and QueryInterface the interfaces it
// does not know. Off, an entry point pays one test of a flag.
#pragma once

#include <windows.h>
// after windows.h
#include <oaidl.h>

#include <type_traits>

#include "common/text.h"

namespace quillon {

// True when QUILLON_TRACE names "com" (alone or in a list such as "1,com"); read once, when
// the library is loaded.
extern const bool com_trace_active;

// The switch's value as a trace setting: whether it names "com".
bool NamesComTrace(const char* setting);

// One traced entry point: an interface and a method. Instances are the static locals of
// QUILLON_COM_TRACE; each thread marks the one whose method it is calling for the trace.
class ComTraceSite {
 public:
  constexpr ComTraceSite(const char* iface, const char* method) : iface_(iface), method_(method) {}
  ComTraceSite(const ComTraceSite&) = delete;
  ComTraceSite& operator=(const ComTraceSite&) = delete;

  // True once for the call that the trace makes of the method: that call runs the method.
  bool Entered() const;
  // Calls the method through `call` (which comes back into it, Entered() then true) and
  // writes the line with the arguments and the result (an HRESULT, or a count).
  template <class Call, class... Args>
  auto Trace(const void* object, Call&& call, const Args&... args) const {
    const ComTraceSite* outer = Enter();
    const auto result = call();
    Leave(outer);
    try {
      Text line;
      (AppendArgument(line, args), ...);
      Write(object, line, ResultText(result));
    } catch (...) {
      // A line that cannot be built is lost; the call's result stands.
    }
    return result;
  }

  // What a QueryInterface that knows no interface `riid` returns, E_NOINTERFACE; with the
  // trace on, it writes the line that names the interface.
  static HRESULT UnknownInterface(const void* object, REFIID riid);

 private:
  const ComTraceSite* Enter() const;
  static void Leave(const ComTraceSite* outer);
  static Text ResultText(HRESULT hr);
  static Text ResultText(ULONG count);
  void Write(const void* object, const Text& arguments, const Text& result) const noexcept;

  template <class T>
  static void AppendArgument(Text& line, const T& value) {
    if (!line.empty()) line += u", ";
    if constexpr (std::is_same_v<T, GUID>) {
      AppendGuid(line, value);
    } else if constexpr (std::is_enum_v<T> || std::is_integral_v<T>) {
      AppendInteger(line, static_cast<long long>(value));
    } else if constexpr (std::is_floating_point_v<T>) {
      AppendDouble(line, value);
    } else if constexpr (std::is_same_v<T, wchar_t*> || std::is_same_v<T, const wchar_t*>) {
      AppendText(line, value);
    } else if constexpr (std::is_same_v<T, const RECT*> || std::is_same_v<T, const RECTL*>) {
      AppendRect(line, value == nullptr, value ? value->left : 0, value ? value->top : 0,
                 value ? value->right : 0, value ? value->bottom : 0);
    } else if constexpr (std::is_same_v<T, DISPPARAMS*>) {
      AppendDispParams(line, value);
    } else if constexpr (std::is_pointer_v<T>) {
      AppendPointer(line, reinterpret_cast<const void*>(value));
    } else {
      line += u"?";
    }
  }
  static void AppendGuid(Text& line, REFGUID guid);
  static void AppendInteger(Text& line, long long value);
  static void AppendDouble(Text& line, double value);
  static void AppendText(Text& line, const wchar_t* text);
  static void AppendRect(Text& line, bool null, long left, long top, long right, long bottom);
  static void AppendDispParams(Text& line, const DISPPARAMS* params);
  static void AppendPointer(Text& line, const void* pointer);

  const char* iface_;
  const char* method_;
};

}  // namespace quillon

// The first statement of a COM entry point: `QUILLON_COM_TRACE("IOleObject", DoVerb, verb,
// msg, site, index, parent, pos);` with every argument of the method, in order. While the trace
// is on, the method is called again through its own table with the same arguments, that call
// runs the body, and the line is written after it; off, the statement is one test.
#define QUILLON_COM_TRACE(iface, method, ...)                                            \
  static constinit const ::quillon::ComTraceSite quillon_com_trace_site(iface, #method); \
  if (::quillon::com_trace_active && !quillon_com_trace_site.Entered())                  \
  return quillon_com_trace_site.Trace(                                                   \
      this, [&] { return this->method(__VA_ARGS__); } __VA_OPT__(, ) __VA_ARGS__)

// The same for an exported function of the library (no object, no interface).
#define QUILLON_COM_TRACE_EXPORT(function, ...)                                         \
  static constinit const ::quillon::ComTraceSite quillon_com_trace_site("", #function); \
  if (::quillon::com_trace_active && !quillon_com_trace_site.Entered())                 \
  return quillon_com_trace_site.Trace(                                                  \
      nullptr, [&] { return function(__VA_ARGS__); } __VA_OPT__(, ) __VA_ARGS__)
