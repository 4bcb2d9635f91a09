// The main window's web browser: an area of its own holding the system's
// WebBrowser control, in place-activated through a minimal OLE site.
#pragma once

#include <windows.h>

#include <string>

namespace vantro {

// Creates the browser area, a child of parent at place (client pixels),
// still without the control: creating that takes a while, and the game's
// launch need not wait for it.
HWND CreateWebBrowser(HINSTANCE instance, HWND parent, const RECT& place);

// Creates the control inside the area, once, when the system can create one;
// without it the area stays blank. The control follows the area's size; the
// area frees it when it is destroyed. Needs the caller's COM apartment.
void OpenWebBrowser(HWND area);

// Points the area's control (opened first if need be) at url with no further
// arguments; an area without a control ignores it.
void NavigateWebBrowser(HWND area, const std::wstring& url);

}  // namespace vantro
