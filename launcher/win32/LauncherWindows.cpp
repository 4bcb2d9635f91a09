#include "launcher/win32/LauncherWindows.h"

#include "launcher/Unit1.h"
#include "launcher/win32/WideText.h"

namespace vantro {
namespace {

constexpr wchar_t kApplicationClass[] = L"TApplication";
constexpr wchar_t kMainClass[] = L"TForm1";

template <class T>
T* Owner(HWND window) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void RegisterClassOnce(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hIcon = LoadIconW(instance, L"MAINICON");
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  RegisterClassExW(&windowClass);
}

}  // namespace

Win32Gui::Win32Gui(HINSTANCE instance) : instance_(instance) {
  RegisterClassOnce(instance_, kApplicationClass, ApplicationProc);
  RegisterClassOnce(instance_, kMainClass, MainProc);
  application_ =
      CreateWindowExW(0, kApplicationClass, L"vantro",
                      WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                      0, 0, nullptr, nullptr, instance_, nullptr);
  SetWindowLongPtrW(application_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Gui::~Win32Gui() {
  if (application_ != nullptr) DestroyWindow(application_);
}

void Win32Gui::SetApplicationTitle(const std::string& titleUtf8) {
  SetWindowTextW(application_, Utf8ToWide(titleUtf8).c_str());
}

void Win32Gui::RunMainWindow(TForm1& form) {
  main_ = CreateMainWindow(instance_, application_, kMainClass);
  form.AttachWindow(reinterpret_cast<WindowHandle>(main_.window),
                    reinterpret_cast<WindowHandle>(main_.edit1),
                    reinterpret_cast<WindowHandle>(main_.web));
  SetWindowLongPtrW(main_.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&form));
  form.Application().Protect(form.Handle(), [&] { form.FormCreate(); });

  ShowWindow(main_.window, SW_SHOWNORMAL);
  UpdateWindow(main_.window);
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
  Win32Gui* gui = Owner<Win32Gui>(window);
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
  TForm1* form = Owner<TForm1>(window);
  if (form != nullptr && message == WM_COMMAND && LOWORD(wParam) == kButton1Id &&
      HIWORD(wParam) == BN_CLICKED) {
    form->Application().Protect(form->Handle(), [&] { form->Button1Click(); });
    return 0;
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
