// The COM trace for people who integrate the control: nothing unless QUILLON_TRACE names
// "com"; then one line per call of an entry point (interface, method, arguments, result) and
// one per interface QueryInterface does not know. ctest runs these tests without the switch
// (com_object_test) and with QUILLON_TRACE=com (com_trace).
#include <cstring>
#include <fstream>
#include <sstream>

#include "com_fixture.h"

namespace quillon::testing {
namespace {

// {5C1A0E52-7A0D-4C55-9C4B-0B1F2E3D4C5B}: an interface nobody implements.
const IID kUnknownIid = {0x5c1a0e52, 0x7a0d, 0x4c55, {0x9c, 0x4b, 0x0b, 0x1f, 0x2e, 0x3d, 0x4c, 0x5b}};

class ComTraceTest : public ControlTest {
 protected:
  static bool SwitchOn() {
    char value[64] = {};
    GetEnvironmentVariableA("QUILLON_TRACE", value, sizeof value);
    return std::strstr(value, "com") != nullptr;
  }
  // Today's trace file beside the library: "HN_Quillon_PD YYYYMMDD.log".
  static std::string TraceText() {
    std::string path = QUILLON_OCX_PATH;
    path.resize(path.rfind('.'));
    SYSTEMTIME now;
    GetLocalTime(&now);
    char day[16];
    std::snprintf(day, sizeof day, " %04u%02u%02u.log", now.wYear, now.wMonth, now.wDay);
    std::ifstream file("Z:" + path + day, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }
  static size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
      ++count;
    }
    return count;
  }
  // A reference no other run has written.
  static std::string Marker() { return "Trace:Marque." + std::to_string(GetTickCount()); }
};

TEST_F(ComTraceTest, EntryPointsWriteOneLineEachWhileTheSwitchNamesCom) {
  const size_t before = TraceText().size();
  const std::string marker = Marker();
  Put(&_QuillonPD::put_NTF, std::wstring(marker.begin(), marker.end()).c_str());
  ComPtr<IUnknown> none;
  EXPECT_EQ(pd_->QueryInterface(kUnknownIid, none.PutVoid()), E_NOINTERFACE);
  EXPECT_EQ(InvokeGetText(kNTF), std::wstring(marker.begin(), marker.end()));
  EXPECT_EQ(Invoke(0x1234, DISPATCH_METHOD, {}, nullptr), DISP_E_MEMBERNOTFOUND);
  const std::string trace = TraceText().substr(before);  // this test's lines
  if (!SwitchOn()) {
    EXPECT_EQ(trace.find(marker), std::string::npos) << "traced with the switch off";
    return;
  }
  // Once each: the call the trace makes of the method is not traced again.
  EXPECT_EQ(Count(trace, " _QuillonPD::put_NTF(\"" + marker + "\") = S_OK\r\n"), 1u) << trace;
  EXPECT_EQ(Count(trace, " IUnknown::QueryInterface({5C1A0E52-7A0D-4C55-9C4B-0B1F2E3D4C5B}) "
                         "= E_NOINTERFACE"),
            1u);
  EXPECT_NE(trace.find(" IDispatch::Invoke(0x68030007, {00000000-0000-0000-0000-000000000000}, "
                       "1024, 2, {0 args, 0 named}, "),
            std::string::npos);
  EXPECT_NE(trace.find(" IDispatch::Invoke(4660, {00000000-0000-0000-0000-000000000000}"),
            std::string::npos);
  EXPECT_NE(trace.find("= DISP_E_MEMBERNOTFOUND\r\n"), std::string::npos);
}

TEST_F(ComTraceTest, TracedTextsCannotForgeLinesAndLongOnesAreCut) {
  const std::string marker = Marker();
  const std::wstring wide(marker.begin(), marker.end());
  Put(&_QuillonPD::put_Formatage, (wide + L"\r\n12:00:00 - forged").c_str());
  Put(&_QuillonPD::put_Formatage, (wide + std::wstring(5000, L'x')).c_str());
  if (!SwitchOn()) return;
  const std::string trace = TraceText();
  EXPECT_NE(trace.find(marker + "\\x0D\\x0A12:00:00 - forged\")"), std::string::npos);
  EXPECT_EQ(trace.find("\r\n12:00:00 - forged"), std::string::npos);
  const size_t cut = trace.find(marker + "xxx");
  ASSERT_NE(cut, std::string::npos);
  const size_t end = trace.find("\r\n", cut);
  EXPECT_LT(end - cut, 200u);
  EXPECT_NE(trace.substr(cut, end - cut).find("...(cut)"), std::string::npos);
}

}  // namespace
}  // namespace quillon::testing
