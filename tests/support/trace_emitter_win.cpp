// Test program: writes a few known debug-trace lines and exits with the code
// given as its only argument.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  OutputDebugStringW(L"\u83b7\u53d6\u5230\u7684\u62c9\u6d3b\u5305\u2014\u2014appid\uff1a1, channelID:2.\r\n");
  OutputDebugStringW(L"\u5df2\u7ecf\u66ff\u6362\u5927\u5385\u6e20\u9053\u53f7");
  OutputDebugStringW(L"plain");
  return argc > 1 ? int(std::wcstol(argv[1], nullptr, 10)) : 0;
}
