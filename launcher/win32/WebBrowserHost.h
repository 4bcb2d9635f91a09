// The main window's web browser: an area of its own holding the system's
// WebBrowser control, in place-activated through a minimal OLE site.
#pragma once

#include <windows.h>

#include <string>

namespace vantro {

// Creates the browser area, a child of parent at place (client pixels), and
// the control inside it when the system can create one; without it the area
// stays blank. The control follows the area's size; the area frees it when
// it is destroyed.
HWND CreateWebBrowser(HINSTANCE instance, HWND parent, const RECT& place);

// Points the area's control at url with no further arguments; an area
// without a control ignores it.
void NavigateWebBrowser(HWND area, const std::wstring& url);

}  // namespace vantro
