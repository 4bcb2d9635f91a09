#include "launcher/win32/LauncherWindows.h"

#include <objbase.h>

#include "launcher/LauncherErrors.h"
#include "launcher/StartupTrace.h"
#include "launcher/Unit1.h"
#include "launcher/win32/WebBrowserHost.h"
#include "launcher/win32/WideText.h"

namespace vantro {
namespace {

struct Apartment {
  const HRESULT entered = CoInitialize(nullptr);
  ~Apartment() {
    if (SUCCEEDED(entered)) CoUninitialize();
  }
};

constexpr wchar_t kApplicationClass[] = L"TApplication";
constexpr wchar_t kMainClass[] = L"TForm1";  // kMainWindowClass: second starts look for it

template <class T>
T* Owner(HWND window) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The object given as CreateWindowExW's last parameter is bound to the window
// at WM_NCCREATE, the first message it gets, so that no message is missed
// (as the platform's own samples do it).
template <class T>
T* Bound(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return Owner<T>(window);
}

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hIcon = LoadIconW(instance, L"MAINICON");
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  return RegisterClassExW(&windowClass) != 0;
}

}  // namespace

Win32Gui::Win32Gui(HINSTANCE instance, Platform& platform)
    : instance_(instance), platform_(platform) {
  if (!RegisterWindowClass(instance_, kApplicationClass, ApplicationProc) ||
      !RegisterWindowClass(instance_, kMainClass, MainProc)) {
    throw LastOSError(platform_);
  }
}

WindowHandle Win32Gui::ApplicationWindow() {
  if (application_ == nullptr) {
    application_ =
        CreateWindowExW(0, kApplicationClass, L"vantro",
                        WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                        0, 0, nullptr, nullptr, instance_, this);
    if (application_ == nullptr) throw LastOSError(platform_);
    TraceStep("application-window");
  }
  return reinterpret_cast<WindowHandle>(application_);
}

Win32Gui::~Win32Gui() {
  if (application_ != nullptr) DestroyWindow(application_);
}

void Win32Gui::SetApplicationTitle(const std::string& titleUtf8) {
  SetWindowTextW(reinterpret_cast<HWND>(ApplicationWindow()), Utf8ToWide(titleUtf8).c_str());
}

void Win32Gui::RunMainWindow(TForm1& form) {
  // The web browser control needs a single-threaded apartment, and the shell
  // wants COM before it starts anything. Only the first instance enters one:
  // a second start that hands its link over has no use for it, and under Wine
  // it costs tens of milliseconds of that hand-off.
  const Apartment apartment;
  TraceStep("com");
  main_ =
      CreateMainWindow(instance_, reinterpret_cast<HWND>(ApplicationWindow()), kMainClass, &form);
  if (main_.window == nullptr) throw LastOSError(platform_);
  form.AttachWindow(reinterpret_cast<WindowHandle>(main_.window),
                    reinterpret_cast<WindowHandle>(main_.edit1),
                    reinterpret_cast<WindowHandle>(main_.web));
  form.Application().Protect(form.Handle(), [&] { form.FormCreate(); });
  // FormCreate asks for the client page only after the launch; a build
  // without a site asks for none, and still shows the control.
  OpenWebBrowser(main_.web);

  ShowWindow(main_.window, SW_SHOWNORMAL);
  UpdateWindow(main_.window);
  TraceStep("shown");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(main_.window, &message)) continue;  // Tab moves between the controls
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  DeleteObject(main_.font);
  main_ = MainWindowControls{};
}

LRESULT CALLBACK Win32Gui::ApplicationProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  Win32Gui* gui = Bound<Win32Gui>(window, message, lParam);
  if (gui != nullptr && message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE) {
    const HWND mainWindow = gui->main_.window;
    if (mainWindow != nullptr && IsIconic(mainWindow)) {
      ShowWindow(mainWindow, SW_RESTORE);
      SetForegroundWindow(mainWindow);
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK Win32Gui::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  // The application window owns the main window and knows its controls.
  Win32Gui* gui = Owner<Win32Gui>(GetWindow(window, GW_OWNER));
  if (gui != nullptr && gui->main_.window == window &&
      RescaleOnDpiChange(gui->main_, message, wParam, lParam)) {
    return 0;
  }
  TForm1* form = Bound<TForm1>(window, message, lParam);
  if (form != nullptr && message == WM_COMMAND && LOWORD(wParam) == kButton1Id &&
      HIWORD(wParam) == BN_CLICKED) {
    form->Application().Protect(form->Handle(), [&] { form->Button1Click(); });
    return 0;
  }
  if (form != nullptr && message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const auto* bytes = static_cast<const char*>(copy->lpData);
    return form->CopyData(copy->dwData,
                          bytes != nullptr ? std::string(bytes, copy->cbData) : std::string());
  }
  if (form != nullptr) {
    // A hand-off whose launch raised was still a hand-off: not passed on.
    bool handled = true;
    form->Application().Protect(form->Handle(),
                                [&] { handled = form->MainWindowProc(message, wParam, lParam); });
    if (handled) return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace vantro
