// The hall window test on real windows of this process (Xvfb under Wine):
// class prefixes and case, the visible bit, the monitor test, the size edges.
#include <gtest/gtest.h>

#include <string>

#include "launch_flow/hall_window_win.h"

namespace {

// A top-level popup window of its own class, destroyed (and the class
// unregistered) with the object.
class TestWindow {
 public:
  TestWindow(const std::wstring& className, int x, int y, int width, int height, bool visible = true)
      : className_(className) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className_.c_str();
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, className_.c_str(), L"hall window test", WS_POPUP | (visible ? WS_VISIBLE : 0), x,
                              y, width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
  }
  ~TestWindow() {
    DestroyWindow(window_);
    UnregisterClassW(className_.c_str(), GetModuleHandleW(nullptr));
  }
  HWND handle() const { return window_; }

 private:
  std::wstring className_;
  HWND window_ = nullptr;
};

// Runs the callback on one window; the flag starts at `before`.
struct Verdict {
  BOOL goOn;
  LONG flag;
};
Verdict judge(HWND window, LONG before) {
  LONG flag = before;
  const BOOL goOn = hallWindowEnumProc(window, reinterpret_cast<LPARAM>(&flag));
  return {goOn, flag};
}

// Runs first: the class atom keeps the first spelling registered, so the
// lower-case class must exist while no "GRootViewClass" does.
TEST(HallWindowEnumProc, WrongCaseClassIsNotTheHall) {
  TestWindow window(L"grootviewclass", 0, 0, 1024, 768);
  ASSERT_NE(window.handle(), nullptr);
  wchar_t name[64] = {};
  GetClassNameW(window.handle(), name, 64);
  ASSERT_STREQ(name, L"grootviewclass");
  const Verdict verdict = judge(window.handle(), 7);
  EXPECT_EQ(verdict.goOn, TRUE);
  EXPECT_EQ(verdict.flag, 7);
}

TEST(HallWindowEnumProc, MatchesByClassVisibilityMonitorAndStrictSize) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const struct {
    const wchar_t* className;
    int x, y, width, height;
    bool visible;
    bool match;
  } cases[] = {
      {L"GRootViewClass", 0, 0, 1024, 768, true, true},
      {L"GRootViewClassHost", 10, 10, 1024, 768, true, true},
      {L"GRootViewClas", 0, 0, 1024, 768, true, false},
      {L"XGRootViewClass", 0, 0, 1024, 768, true, false},
      {L"GRootViewClass", 0, 0, 401, 501, true, true},
      {L"GRootViewClass", 0, 0, 400, 501, true, false},
      {L"GRootViewClass", 0, 0, 401, 500, true, false},
      {L"GRootViewClass", 0, 0, 1024, 768, false, false},
      {L"GRootViewClass", screenWidth + 10, screenHeight + 10, 1024, 768, true, false},
      {L"GRootViewClass", -2000, 0, 1024, 768, true, false},
      {L"GRootViewClass", screenWidth - 1, screenHeight - 1, 1024, 768, true, true},  // one pixel on screen
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "class " << std::string(c.className, c.className + wcslen(c.className))
                                    << " at " << c.x << "," << c.y << " size " << c.width << "x" << c.height
                                    << (c.visible ? "" : " hidden"));
    TestWindow window(c.className, c.x, c.y, c.width, c.height, c.visible);
    ASSERT_NE(window.handle(), nullptr);
    const Verdict verdict = judge(window.handle(), c.match ? 0 : 7);
    EXPECT_EQ(verdict.goOn, c.match ? FALSE : TRUE);
    EXPECT_EQ(verdict.flag, c.match ? 1 : 7);
  }
}

TEST(HallWindowEnumProc, WindowThatIsGoneIsNotTheHall) {
  HWND gone = nullptr;
  {
    TestWindow window(L"GRootViewClass", 0, 0, 1024, 768);
    gone = window.handle();
  }
  const Verdict verdict = judge(gone, 7);
  EXPECT_EQ(verdict.goOn, TRUE);
  EXPECT_EQ(verdict.flag, 7);
}

TEST(HallWindowShown, FindsTheHallAmongTheTopLevelWindowsOnlyWhileItIsThere) {
  TestWindow small(L"GRootViewClassSmall", 0, 0, 300, 300);
  TestWindow other(L"SomeOtherClass", 0, 0, 1024, 768);
  EXPECT_FALSE(hallWindowShown());
  {
    TestWindow hall(L"GRootViewClass", 20, 20, 1024, 768);
    EXPECT_TRUE(hallWindowShown());
    ShowWindow(hall.handle(), SW_HIDE);
    EXPECT_FALSE(hallWindowShown());
    ShowWindow(hall.handle(), SW_SHOWNA);
    EXPECT_TRUE(hallWindowShown());
  }
  EXPECT_FALSE(hallWindowShown());
}

}  // namespace
