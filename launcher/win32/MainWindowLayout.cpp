#include "launcher/win32/MainWindowLayout.h"

#include "launcher/LauncherTexts.h"
#include "launcher/win32/WebBrowserHost.h"
#include "launcher/win32/WideText.h"

namespace vantro {
namespace {

constexpr int kDesignDpi = 96;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

struct Place {
  int left, top, width, height;
};
constexpr Place kClient{809, 318, 351, 492};  // the window's place and client size
constexpr Place kLabel1{8, 16, 121, 13};
constexpr Place kEdit1{96, 11, 161, 21};
constexpr Place kButton1{264, 8, 81, 25};
constexpr Place kWeb{0, 40, 350, 450};

class Scale {
 public:
  Scale() {
    const HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  int operator()(int pixels) const { return MulDiv(pixels, dpi_, kDesignDpi); }

 private:
  int dpi_ = kDesignDpi;
};

HWND Control(const MainWindowControls& main, const Scale& scale, DWORD exStyle,
             const wchar_t* className, const char* textUtf8, DWORD style, const Place& place,
             int id) {
  const HWND control =
      CreateWindowExW(exStyle, className, Utf8ToWide(textUtf8).c_str(),
                      WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, scale(place.left),
                      scale(place.top), scale(place.width), scale(place.height), main.window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(main.font), FALSE);
  return control;
}

}  // namespace

MainWindowControls CreateMainWindow(HINSTANCE instance, HWND owner, const wchar_t* className) {
  const Scale scale;
  MainWindowControls main;
  RECT frame{0, 0, scale(kClient.width), scale(kClient.height)};
  AdjustWindowRectEx(&frame, kStyle, FALSE, WS_EX_APPWINDOW);
  // The place is used as it is, in screen pixels: the window is not centred.
  main.window = CreateWindowExW(WS_EX_APPWINDOW, className, Utf8ToWide(kApplicationTitle).c_str(),
                                kStyle, kClient.left, kClient.top, frame.right - frame.left,
                                frame.bottom - frame.top, owner, nullptr, instance, nullptr);
  main.font = CreateFontW(-scale(11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
  // Siblings created first lie on top and come first in tab order; clipping
  // siblings keeps Label1 from painting over Edit1, which overlaps it.
  main.edit1 = Control(main, scale, WS_EX_CLIENTEDGE, L"EDIT", "",
                       WS_DISABLED | WS_TABSTOP | ES_AUTOHSCROLL, kEdit1, 0);
  main.button1 = Control(main, scale, 0, L"BUTTON", "手动查找", WS_TABSTOP | BS_PUSHBUTTON,
                         kButton1, kButton1Id);
  main.label1 =
      Control(main, scale, 0, L"STATIC", "英雄联盟目录:", SS_LEFT | SS_NOPREFIX, kLabel1, 0);
  const RECT web{scale(kWeb.left), scale(kWeb.top), scale(kWeb.left + kWeb.width),
                 scale(kWeb.top + kWeb.height)};
  main.web = CreateWebBrowser(instance, main.window, web);
  return main;
}

}  // namespace vantro
