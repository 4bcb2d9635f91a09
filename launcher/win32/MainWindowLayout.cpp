#include "launcher/win32/MainWindowLayout.h"

#include "launcher/LauncherTexts.h"
#include "launcher/StartupTrace.h"
#include "launcher/WindowPlacement.h"
#include "launcher/win32/WebBrowserHost.h"
#include "launcher/win32/WideText.h"

namespace vantro {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW;

constexpr Place kClient{809, 318, 351, 492};  // the window's place and client size
constexpr Place kLabel1{8, 16, 121, 13};
constexpr Place kEdit1{96, 11, 161, 21};
constexpr Place kButton1{264, 8, 81, 25};
constexpr Place kWeb{0, 40, 350, 450};
constexpr int kFontHeight = 11;  // pixels at the design's resolution

struct ControlPlace {
  HWND MainWindowControls::*control;
  Place design;
};
constexpr ControlPlace kControlPlaces[] = {{&MainWindowControls::edit1, kEdit1},
                                           {&MainWindowControls::button1, kButton1},
                                           {&MainWindowControls::label1, kLabel1},
                                           {&MainWindowControls::web, kWeb}};

// GetDpiForMonitor's MDT_EFFECTIVE_DPI: the resolution the user chose for the monitor.
constexpr int kEffectiveDpi = 0;
using GetDpiForMonitorCall = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

template <class Call>
Call Export(HMODULE module, const char* name) {
  return module == nullptr
             ? nullptr
             : reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The monitor's own resolution comes from shcore, Windows 8.1 and later;
// before that every monitor has the screen's.
int MonitorDpi(HMONITOR monitor) {
  const HMODULE shcore = LoadLibraryW(L"shcore.dll");
  const auto getDpi = Export<GetDpiForMonitorCall>(shcore, "GetDpiForMonitor");
  UINT x = 0, y = 0;
  const bool known = getDpi != nullptr && SUCCEEDED(getDpi(monitor, kEffectiveDpi, &x, &y));
  if (shcore != nullptr) FreeLibrary(shcore);
  if (known) return static_cast<int>(y);
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The window's size around its client area at dpi. AdjustWindowRectEx
// measures the border at the system's resolution, which another monitor's
// may differ from; AdjustWindowRectExForDpi exists from Windows 10 1607 on.
SIZE WindowSize(int dpi) {
  RECT frame{0, 0, ScaleToDpi(kClient.width, dpi), ScaleToDpi(kClient.height, dpi)};
  const auto adjustForDpi = Export<AdjustWindowRectExForDpiCall>(GetModuleHandleW(L"user32.dll"),
                                                                 "AdjustWindowRectExForDpi");
  if (adjustForDpi == nullptr ||
      !adjustForDpi(&frame, kStyle, FALSE, kExStyle, static_cast<UINT>(dpi))) {
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

HFONT DesignFont(int dpi) {
  return CreateFontW(-ScaleToDpi(kFontHeight, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
}

HWND Control(const MainWindowControls& main, int dpi, DWORD exStyle, const wchar_t* className,
             const char* textUtf8, DWORD style, const Place& design, int id) {
  const Place place = ScaleToDpi(design, dpi);
  const HWND control =
      CreateWindowExW(exStyle, className, Utf8ToWide(textUtf8).c_str(),
                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, place.left, place.top,
                      place.width, place.height, main.window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(main.font), FALSE);
  return control;
}

}  // namespace

MainWindowControls CreateMainWindow(HINSTANCE instance, HWND owner, const wchar_t* className,
                                    void* creationData) {
  // The design place is in screen pixels and the window is not centred: it
  // opens there unless that would leave part of it off its monitor.
  const HMONITOR monitor = MonitorFromPoint({kClient.left, kClient.top}, MONITOR_DEFAULTTONEAREST);
  const int dpi = MonitorDpi(monitor);
  const SIZE size = WindowSize(dpi);
  Place window{kClient.left, kClient.top, size.cx, size.cy};
  MONITORINFO monitorInfo{};
  monitorInfo.cbSize = sizeof monitorInfo;
  if (GetMonitorInfoW(monitor, &monitorInfo)) {
    const RECT& work = monitorInfo.rcWork;
    window = MoveIntoWorkArea(
        window, {work.left, work.top, work.right - work.left, work.bottom - work.top});
  }
  MainWindowControls main;
  main.window = CreateWindowExW(kExStyle, className, Utf8ToWide(kApplicationTitle).c_str(), kStyle,
                                window.left, window.top, window.width, window.height, owner,
                                nullptr, instance, creationData);
  if (main.window == nullptr) return main;
  TraceStep("main-window");
  main.font = DesignFont(dpi);
  // Siblings created first lie on top and come first in tab order; clipping
  // siblings keeps Label1 from painting over Edit1, which overlaps it.
  main.edit1 = Control(main, dpi, WS_EX_CLIENTEDGE, L"EDIT", "",
                       WS_DISABLED | WS_TABSTOP | ES_AUTOHSCROLL, kEdit1, 0);
  main.button1 = Control(main, dpi, 0, L"BUTTON", "手动查找", WS_TABSTOP | BS_PUSHBUTTON, kButton1,
                         kButton1Id);
  main.label1 =
      Control(main, dpi, 0, L"STATIC", "英雄联盟目录:", SS_LEFT | SS_NOPREFIX, kLabel1, 0);
  TraceStep("controls");
  const Place web = ScaleToDpi(kWeb, dpi);
  main.web = CreateWebBrowser(instance, main.window,
                              {web.left, web.top, web.left + web.width, web.top + web.height});
  TraceStep("browser-area");
  return main;
}

bool RescaleOnDpiChange(MainWindowControls& main, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_DPICHANGED) return false;
  // Windows sends the same resolution for both axes (WM_DPICHANGED's documentation).
  const int dpi = HIWORD(wParam);
  const HFONT font = DesignFont(dpi);
  for (const ControlPlace& control : kControlPlaces) {
    const HWND window = main.*control.control;
    if (window == nullptr) continue;
    const Place place = ScaleToDpi(control.design, dpi);
    SetWindowPos(window, nullptr, place.left, place.top, place.width, place.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (window != main.web) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
  DeleteObject(main.font);
  main.font = font;
  const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
  SetWindowPos(main.window, nullptr, suggested.left, suggested.top,
               suggested.right - suggested.left, suggested.bottom - suggested.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

}  // namespace vantro
