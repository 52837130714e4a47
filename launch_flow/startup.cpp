#include "launch_flow/startup.h"

#include "common/ascii_text.h"
#include "common/decimal_text.h"

namespace {

// "launcher stopped: <why>, <call> failed with error <code>", the system's text
// in parentheses when there is one, and CR LF.
std::u16string failedCallTraceLine(std::u16string_view why, std::u16string_view call, uint32_t code,
                                   std::u16string_view systemText) {
  std::u16string line = u"launcher stopped: ";
  line += why;
  line += u", ";
  line += call;
  line += u" failed with error " + decimalText(code);
  if (!systemText.empty()) {
    line += u" (";
    line += systemText;
    line += u")";
  }
  return line + u"\r\n";
}

}  // namespace

std::u16string startupTraceLine(int32_t appId, int32_t channelId) {
  // 获取到的拉活包——appid：  (two U+2014 dashes, a full-width colon)
  return u"\u83b7\u53d6\u5230\u7684\u62c9\u6d3b\u5305\u2014\u2014appid\uff1a" + decimalText(appId) +
         u", channelID:" + decimalText(channelId) + u".\r\n";
}

std::u16string headerFailureTraceLine(std::string_view step, uint32_t code, std::u16string_view systemText) {
  return failedCallTraceLine(u"its own header could not be read", widenAscii(step), code, systemText);
}

std::u16string systemFunctionFailureTraceLine(std::u16string_view call, uint32_t code,
                                              std::u16string_view systemText) {
  return failedCallTraceLine(u"a system function is missing", call, code, systemText);
}

std::u16string failureTraceLine(std::string_view what) { return u"launcher stopped: " + widenAscii(what) + u"\r\n"; }
