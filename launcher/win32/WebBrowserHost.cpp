#include "launcher/win32/WebBrowserHost.h"

#include <exdisp.h>
#include <ole2.h>
#include <oleidl.h>

#include "launcher/StartupTrace.h"

namespace vantro {
namespace {

constexpr wchar_t kAreaClass[] = L"VantroWebArea";
// The area's extra window bytes: not 0 once the control was asked for, so a
// system without it is asked only once.
constexpr int kOpenedOffset = 0;

// The container side the control talks to while it is in place: it lives in
// the area window, has no menus, borders, status line or undo, and reacts to
// nothing the page does.
class BrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit BrowserSite(HWND area) : area_(area) {}
  BrowserSite(const BrowserSite&) = delete;
  BrowserSite& operator=(const BrowserSite&) = delete;

  // Creates and in place-activates the control; false leaves the site empty.
  bool Open() {
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&object_)))) {
      object_ = nullptr;
      return false;
    }
    RECT place;
    GetClientRect(area_, &place);
    if (FAILED(object_->SetClientSite(this)) ||
        FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, area_, &place)) ||
        FAILED(object_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_)))) {
      browser_ = nullptr;
      Close();
      return false;
    }
    return true;
  }

  void Close() {
    if (browser_ != nullptr) browser_->Release();
    browser_ = nullptr;
    if (object_ == nullptr) return;
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(
            object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
      inPlace->InPlaceDeactivate();
      inPlace->Release();
    }
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_->Release();
    object_ = nullptr;
  }

  // The control fills the area whatever size the area is given.
  void FitToArea() {
    if (object_ == nullptr) return;
    IOleInPlaceObject* inPlace = nullptr;
    if (FAILED(
            object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
      return;
    }
    RECT place;
    GetClientRect(area_, &place);
    inPlace->SetObjectRects(&place, &place);
    inPlace->Release();
  }

  void Navigate(const std::wstring& url) {
    if (browser_ == nullptr) return;
    BSTR address = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    VARIANT none;
    VariantInit(&none);
    // What the page does, including failing to load, is the site's business.
    browser_->Navigate(address, &none, &none, &none, &none);
    SysFreeString(address);
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow, for the site and the frame alike
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = area_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                             IOleInPlaceUIWindow** document, LPRECT place,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    GetClientRect(area_, place);
    *clip = *place;
    info->fMDIApp = FALSE;
    info->hwndFrame = GetParent(area_);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow and IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override {
    return INPLACE_E_NOTOOLSPACE;
  }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  ~BrowserSite() = default;  // only Release deletes

  long references_ = 1;  // the area's
  HWND area_;
  IOleObject* object_ = nullptr;
  IWebBrowser2* browser_ = nullptr;
};

BrowserSite* SiteOf(HWND area) {
  return reinterpret_cast<BrowserSite*>(GetWindowLongPtrW(area, GWLP_USERDATA));
}

LRESULT CALLBACK AreaProc(HWND area, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE) {
    if (BrowserSite* site = SiteOf(area)) site->FitToArea();
  } else if (message == WM_DESTROY) {
    if (BrowserSite* site = SiteOf(area)) {
      SetWindowLongPtrW(area, GWLP_USERDATA, 0);
      site->Close();
      site->Release();
    }
  }
  return DefWindowProcW(area, message, wParam, lParam);
}

}  // namespace

HWND CreateWebBrowser(HINSTANCE instance, HWND parent, const RECT& place) {
  WNDCLASSEXW areaClass{};
  areaClass.cbSize = sizeof areaClass;
  areaClass.lpfnWndProc = AreaProc;
  areaClass.cbWndExtra = sizeof(LONG_PTR);
  areaClass.hInstance = instance;
  areaClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  areaClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  areaClass.lpszClassName = kAreaClass;
  RegisterClassExW(&areaClass);  // a second window finds the class registered
  const HWND area =
      CreateWindowExW(0, kAreaClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                      place.left, place.top, place.right - place.left, place.bottom - place.top,
                      parent, nullptr, instance, nullptr);
  return area;
}

void OpenWebBrowser(HWND area) {
  if (area == nullptr || GetWindowLongPtrW(area, kOpenedOffset) != 0) return;
  SetWindowLongPtrW(area, kOpenedOffset, 1);
  auto* site = new BrowserSite(area);
  if (site->Open()) {
    SetWindowLongPtrW(area, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(site));
  } else {
    site->Release();
  }
  TraceStep("browser-control");
}

void NavigateWebBrowser(HWND area, const std::wstring& url) {
  OpenWebBrowser(area);
  if (BrowserSite* site = SiteOf(area)) site->Navigate(url);
}

}  // namespace vantro
