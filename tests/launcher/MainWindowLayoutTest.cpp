// The main window laid out by the real window calls, in this process: where
// it opens, and its layout again when the system reports a new resolution.
// Wine keeps every monitor at the system's resolution and never sends
// WM_DPICHANGED, and a message sent from another process would carry a
// pointer to a rectangle there, so the message is sent here.
#include "launcher/win32/MainWindowLayout.h"

#include <ole2.h>

#include <gtest/gtest.h>

#include "launcher/WindowPlacement.h"
#include "launcher/win32/WebBrowserHost.h"

namespace vantro {
namespace {

constexpr wchar_t kTestClass[] = L"VantroLayoutTest";
MainWindowControls* shown = nullptr;

LRESULT CALLBACK TestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (shown != nullptr && shown->window == window &&
      RescaleOnDpiChange(*shown, message, wParam, lParam)) {
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

Place WindowPlace(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// A control's place in its parent's client area.
Place ControlPlace(HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

SIZE ClientSize(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  return {rect.right, rect.bottom};
}

int FontHeight(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font.lfHeight;
}

int ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

class MainWindowLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OleInitialize(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = TestProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kTestClass;
    RegisterClassExW(&windowClass);
    main_ = CreateMainWindow(GetModuleHandleW(nullptr), nullptr, kTestClass);
    shown = &main_;
    ASSERT_NE(main_.window, nullptr);
    // The window layer opens the control once the set-up has launched the game.
    OpenWebBrowser(main_.web);
  }
  void TearDown() override {
    shown = nullptr;
    DestroyWindow(main_.window);
    DeleteObject(main_.font);
    OleUninitialize();
  }

  // The browser control inside the area (Wine has one) follows the area: one
  // of the two new resolutions differs from the one it opened at.
  void ExpectBrowserFillsItsArea() {
    const HWND browser = GetWindow(main_.web, GW_CHILD);
    ASSERT_NE(browser, nullptr);
    const SIZE area = ClientSize(main_.web);
    const Place inside = ControlPlace(browser);
    EXPECT_EQ(inside.width, area.cx);
    EXPECT_EQ(inside.height, area.cy);
  }

  MainWindowControls main_;
};

TEST_F(MainWindowLayoutTest, OpensAtTheScreensResolutionInsideTheWorkArea) {
  const int dpi = ScreenDpi();
  const SIZE client = ClientSize(main_.window);
  EXPECT_EQ(client.cx, ScaleToDpi(351, dpi));
  EXPECT_EQ(client.cy, ScaleToDpi(492, dpi));
  EXPECT_EQ(ControlPlace(main_.edit1), ScaleToDpi(Place{96, 11, 161, 21}, dpi));
  EXPECT_EQ(FontHeight(main_.label1), -ScaleToDpi(11, dpi));

  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(main_.window, MONITOR_DEFAULTTONEAREST), &monitor);
  const Place window = WindowPlace(main_.window);
  EXPECT_LE(window.left + window.width, monitor.rcWork.right);
  EXPECT_LE(window.top + window.height, monitor.rcWork.bottom);
  EXPECT_GE(window.left, monitor.rcWork.left);
  EXPECT_GE(window.top, monitor.rcWork.top);
}

TEST_F(MainWindowLayoutTest, ANewResolutionScalesControlsAndFontAndTakesTheSuggestedRectangle) {
  RECT suggested{100, 60, 100 + 533, 60 + 772};
  const HFONT before = main_.font;
  EXPECT_EQ(SendMessageW(main_.window, WM_DPICHANGED, MAKEWPARAM(144, 144),
                         reinterpret_cast<LPARAM>(&suggested)),
            0);
  EXPECT_EQ(WindowPlace(main_.window), (Place{100, 60, 533, 772}));
  EXPECT_EQ(ControlPlace(main_.edit1), (Place{144, 17, 242, 32}));
  EXPECT_EQ(ControlPlace(main_.button1), (Place{396, 12, 122, 38}));
  EXPECT_EQ(ControlPlace(main_.label1), (Place{12, 24, 182, 20}));
  EXPECT_EQ(ControlPlace(main_.web), (Place{0, 60, 525, 675}));
  EXPECT_NE(main_.font, before);
  for (HWND control : {main_.edit1, main_.button1, main_.label1}) {
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), main_.font);
  }
  EXPECT_EQ(FontHeight(main_.edit1), -17);

  ExpectBrowserFillsItsArea();

  // And back: the design's own layout again.
  suggested = {100, 60, 100 + 357, 60 + 517};
  SendMessageW(main_.window, WM_DPICHANGED, MAKEWPARAM(kDesignDpi, kDesignDpi),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(ControlPlace(main_.web), (Place{0, 40, 350, 450}));
  EXPECT_EQ(FontHeight(main_.label1), -11);
  ExpectBrowserFillsItsArea();
}

}  // namespace
}  // namespace vantro
