#include "launch_flow/startup.h"

#include "launch_flow/format_wide.h"

namespace {

std::wstring widen(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// "launcher stopped: <why>, <call> failed with error <code>", the system's text
// in parentheses when there is one, and CR LF.
std::wstring failedCallTraceLine(const wchar_t* why, std::string_view call, uint32_t code,
                                 std::wstring_view systemText) {
  std::wstring line = formatWide(L"launcher stopped: %ls, %ls failed with error %lu", why, widen(call).c_str(),
                                 static_cast<unsigned long>(code));
  if (!systemText.empty()) line += L" (" + std::wstring(systemText) + L")";
  return line + L"\r\n";
}

}  // namespace

std::wstring startupTraceLine(int32_t appId, int32_t channelId) {
  // 获取到的拉活包——appid：%d, channelID:%d.  (two U+2014 dashes, a full-width colon)
  return formatWide(L"\u83b7\u53d6\u5230\u7684\u62c9\u6d3b\u5305\u2014\u2014appid\uff1a%d, channelID:%d.\r\n",
                    int(appId), int(channelId));
}

std::wstring headerFailureTraceLine(std::string_view step, uint32_t code, std::wstring_view systemText) {
  return failedCallTraceLine(L"its own header could not be read", step, code, systemText);
}

std::wstring systemFunctionFailureTraceLine(std::string_view call, uint32_t code, std::wstring_view systemText) {
  return failedCallTraceLine(L"a system function is missing", call, code, systemText);
}

std::wstring failureTraceLine(std::string_view what) {
  return L"launcher stopped: " + widen(what) + L"\r\n";
}
