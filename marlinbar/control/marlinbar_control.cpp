// The control's COM plumbing: identity, siting, in-place activation, the
// design-time view, class information and connection points.
#include "control/marlinbar_control.h"

#include <new>

#include "control/control_sinks.h"
#include "control/module.h"
#include "control/resource_ids.h"
#include "drawing/gdi_tracking.h"
#include "hooks/menu_hook.h"

namespace marlinbar {
namespace {

// OLEMISC bits of the control: sited before it is loaded, invisible at run
// time, activated in place when visible, a control that is no link source.
constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                              OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INVISIBLEATRUNTIME |
                              OLEMISC_SETCLIENTSITEFIRST;

constexpr wchar_t kWindowClass[] = L"MarlinbarControlWindow";
volatile LONG g_instances = 0;

long PixelsToHimetric(long pixels, bool horizontal) {
  HDC screen = GetDC(nullptr);
  int dpi = GetDeviceCaps(screen, horizontal ? LOGPIXELSX : LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi <= 0) dpi = 96;
  return MulDiv(pixels, 2540, dpi);
}

}  // namespace

DWORD MarlinbarMiscStatus() { return kMiscStatus; }

Marlinbar* Marlinbar::m_oCurrent = nullptr;

long Marlinbar::Instances() { return g_instances; }

HRESULT Marlinbar::Create(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* control = new (std::nothrow) Marlinbar();
  if (!control) return E_OUTOFMEMORY;
  HRESULT hr = control->QueryInterface(iid, out);
  control->Release();
  return hr;
}

Marlinbar::Marlinbar()
    : dispatch_(IID__Marlinbar),
      eventsPoint_(this, DIID___Marlinbar),
      notifyPoint_(this, IID_IPropertyNotifySink) {
  ObjectCreated();
  InterlockedIncrement(&g_instances);
  Initialize();
}

Marlinbar::~Marlinbar() {
  Terminate();
  InterlockedDecrement(&g_instances);
  ObjectDestroyed();
}

HRESULT Marlinbar::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  void* p = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Marlinbar) {
    p = static_cast<_Marlinbar*>(this);
  } else if (iid == IID_IOleObject) {
    p = static_cast<IOleObject*>(this);
  } else if (iid == IID_IOleControl) {
    p = static_cast<IOleControl*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
    p = static_cast<IOleInPlaceObject*>(this);
  } else if (iid == IID_IOleInPlaceActiveObject) {
    p = static_cast<IOleInPlaceActiveObject*>(this);
  } else if (iid == IID_IViewObject || iid == IID_IViewObject2) {
    p = static_cast<IViewObject2*>(this);
  } else if (iid == IID_IPersist || iid == IID_IPersistPropertyBag) {
    p = static_cast<IPersistPropertyBag*>(this);
  } else if (iid == IID_IPersistStreamInit) {
    p = static_cast<IPersistStreamInit*>(this);
  } else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
    p = static_cast<IProvideClassInfo2*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    p = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == IID_ISpecifyPropertyPages) {
    p = static_cast<ISpecifyPropertyPages*>(this);
  }
  *out = p;
  if (!p) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG Marlinbar::AddRef() { return InterlockedIncrement(&refs_); }

ULONG Marlinbar::Release() {
  LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return n;
}

// ---- IDispatch

HRESULT Marlinbar::GetTypeInfoCount(UINT* count) { return dispatch_.GetTypeInfoCount(count); }

HRESULT Marlinbar::GetTypeInfo(UINT index, LCID, ITypeInfo** info) { return dispatch_.GetTypeInfo(index, info); }

HRESULT Marlinbar::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return dispatch_.GetIDsOfNames(names, count, ids);
}

HRESULT Marlinbar::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* excep, UINT* argErr) {
  HRESULT hr = dispatch_.Invoke(static_cast<_Marlinbar*>(this), id, flags, params, result, excep, argErr);
  // Hosts that assign the font without "Set" put it by value: the font is
  // an object either way.
  if (hr == DISP_E_MEMBERNOTFOUND && id == 0x68030005 && flags == DISPATCH_PROPERTYPUT) {
    hr = dispatch_.Invoke(static_cast<_Marlinbar*>(this), id, DISPATCH_PROPERTYPUTREF, params, result, excep,
                          argErr);
  }
  return hr;
}

// ---- IOleObject

HRESULT Marlinbar::SetClientSite(IOleClientSite* site) {
  site_ = ComPtr<IOleClientSite>(site);
  inPlaceSite_ = nullptr;
  if (site_) {
    ReadAmbientUserMode();
    if (initPending_) {
      initPending_ = false;
      InitWithContainer();
    }
  }
  return S_OK;
}

HRESULT Marlinbar::GetClientSite(IOleClientSite** site) { return site_.CopyTo(site); }

HRESULT Marlinbar::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

HRESULT Marlinbar::Close(DWORD saveOption) {
  if ((saveOption == OLECLOSE_SAVEIFDIRTY || saveOption == OLECLOSE_PROMPTSAVE) && dirty_ && site_) {
    site_->SaveObject();
  }
  InPlaceDeactivate();
  if (adviseHolder_) adviseHolder_->SendOnClose();
  return S_OK;
}

HRESULT Marlinbar::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT Marlinbar::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT Marlinbar::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT Marlinbar::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT Marlinbar::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT rect) {
  if (site && !site_) SetClientSite(site);
  if (rect) posRect_ = *rect;
  switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
      return InPlaceActivate();
    case OLEIVERB_HIDE:
      return InPlaceDeactivate();
    case OLEIVERB_PROPERTIES:
      return S_OK;
    default:
      return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
  }
}

HRESULT Marlinbar::EnumVerbs(IEnumOLEVERB** verbs) { return OleRegEnumVerbs(CLSID_Marlinbar, verbs); }

HRESULT Marlinbar::Update() { return S_OK; }

HRESULT Marlinbar::IsUpToDate() { return S_OK; }

HRESULT Marlinbar::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

HRESULT Marlinbar::GetUserType(DWORD form, LPOLESTR* type) { return OleRegGetUserType(CLSID_Marlinbar, form, type); }

long Marlinbar::DesignSize() { return GetSystemMetrics(SM_CXEDGE) + 33; }

HRESULT Marlinbar::SetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  // Every resize ends at the fixed square; the container reads it back.
  return S_OK;
}

HRESULT Marlinbar::GetExtent(DWORD aspect, SIZEL* size) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!size) return E_POINTER;
  size->cx = PixelsToHimetric(DesignSize(), true);
  size->cy = PixelsToHimetric(DesignSize(), false);
  return S_OK;
}

HRESULT Marlinbar::Advise(IAdviseSink* sink, DWORD* connection) {
  if (!adviseHolder_) {
    HRESULT hr = CreateOleAdviseHolder(adviseHolder_.Put());
    if (FAILED(hr)) return hr;
  }
  return adviseHolder_->Advise(sink, connection);
}

HRESULT Marlinbar::Unadvise(DWORD connection) {
  if (!adviseHolder_) return OLE_E_NOCONNECTION;
  return adviseHolder_->Unadvise(connection);
}

HRESULT Marlinbar::EnumAdvise(IEnumSTATDATA** advise) {
  if (!advise) return E_POINTER;
  *advise = nullptr;
  if (!adviseHolder_) return S_OK;
  return adviseHolder_->EnumAdvise(advise);
}

HRESULT Marlinbar::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = kMiscStatus;
  return S_OK;
}

HRESULT Marlinbar::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleControl

HRESULT Marlinbar::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->cb = sizeof *info;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT Marlinbar::OnMnemonic(MSG*) { return S_OK; }

HRESULT Marlinbar::OnAmbientPropertyChange(DISPID id) {
  if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) {
    ReadAmbientUserMode();
    if (m_hWndControl) {
      ShowWindow(m_hWndControl, m_bUserMode ? SW_HIDE : SW_SHOWNA);
      InvalidateRect(m_hWndControl, nullptr, TRUE);
    }
  }
  return S_OK;
}

HRESULT Marlinbar::FreezeEvents(BOOL) { return S_OK; }

// ---- in-place activation

HWND Marlinbar::ContainerWindow() const {
  if (inPlaceSite_) {
    HWND hwnd = nullptr;
    if (SUCCEEDED(inPlaceSite_->GetWindow(&hwnd)) && hwnd) return hwnd;
  }
  if (!site_) return nullptr;
  ComPtr<IOleWindow> window = site_.As<IOleWindow>(IID_IOleWindow);
  if (!window) return nullptr;
  HWND hwnd = nullptr;
  window->GetWindow(&hwnd);
  return hwnd;
}

HWND Marlinbar::HostFormOf(HWND window) {
  // The nearest MDI child or top-level window: a control on an MDI child
  // form serves that child, not the MDI frame.
  for (HWND w = window; w && IsWindow(w); w = GetParent(w)) {
    LONG_PTR exStyle = GetWindowLongPtrW(w, GWL_EXSTYLE);
    LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
    if ((exStyle & WS_EX_MDICHILD) || !(style & WS_CHILD)) return w;
  }
  return window;
}

HRESULT Marlinbar::InPlaceActivate() {
  if (inPlaceActive_) return S_OK;
  if (!site_) return E_UNEXPECTED;
  if (!inPlaceSite_) inPlaceSite_ = site_.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
  if (!inPlaceSite_) return E_NOINTERFACE;
  if (inPlaceSite_->CanInPlaceActivate() != S_OK) return E_FAIL;
  inPlaceSite_->OnInPlaceActivate();
  HWND parent = nullptr;
  inPlaceSite_->GetWindow(&parent);
  ComPtr<IOleInPlaceFrame> frame;
  ComPtr<IOleInPlaceUIWindow> doc;
  RECT pos{}, clip{};
  OLEINPLACEFRAMEINFO info{};
  info.cb = sizeof info;
  if (SUCCEEDED(inPlaceSite_->GetWindowContext(frame.Put(), doc.Put(), &pos, &clip, &info))) posRect_ = pos;

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (!GetClassInfoExW(ThisModule(), kWindowClass, &wc)) {
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
  }
  long side = DesignSize();
  m_hWndControl = CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS | (m_bUserMode ? 0 : WS_VISIBLE),
                                  posRect_.left, posRect_.top, side, side, parent, nullptr, ThisModule(), this);
  if (!m_hWndControl) {
    HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
    inPlaceSite_->OnInPlaceDeactivate();
    return hr;
  }
  inPlaceActive_ = true;
  RefreshControlFont();
  return S_OK;
}

HRESULT Marlinbar::InPlaceDeactivate() {
  if (!inPlaceActive_) return S_OK;
  inPlaceActive_ = false;
  if (m_hWndControl) DestroyWindow(m_hWndControl);
  m_hWndControl = nullptr;
  if (inPlaceSite_) inPlaceSite_->OnInPlaceDeactivate();
  return S_OK;
}

HRESULT Marlinbar::GetWindow(HWND* hwnd) {
  if (!hwnd) return E_POINTER;
  *hwnd = m_hWndControl;
  return m_hWndControl ? S_OK : E_FAIL;
}

HRESULT Marlinbar::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT Marlinbar::UIDeactivate() { return S_OK; }

HRESULT Marlinbar::SetObjectRects(LPCRECT pos, LPCRECT) {
  if (!pos) return E_POINTER;
  posRect_ = *pos;
  if (m_hWndControl) {
    long side = DesignSize();
    SetWindowPos(m_hWndControl, nullptr, pos->left, pos->top, side, side, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return S_OK;
}

HRESULT Marlinbar::ReactivateAndUndo() { return E_NOTIMPL; }
HRESULT Marlinbar::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT Marlinbar::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT Marlinbar::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT Marlinbar::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT Marlinbar::EnableModeless(BOOL) { return S_OK; }

LRESULT CALLBACK Marlinbar::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Marlinbar*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
      break;
    }
    case WM_SETFONT:
      SetPropW(hwnd, L"MarlinbarFont", reinterpret_cast<HANDLE>(wParam));
      if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(GetPropW(hwnd, L"MarlinbarFont"));
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      if (self) self->PaintDesign(dc, rc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCDESTROY:
      // Also when the container's window takes it down with itself.
      RemovePropW(hwnd, L"MarlinbarFont");
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      if (self && self->m_hWndControl == hwnd) self->m_hWndControl = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void Marlinbar::PaintDesign(HDC dc, const RECT& rc) {
  // The design-time square: a raised button face with the control's icon.
  RECT face = rc;
  FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &face, EDGE_RAISED, BF_RECT);
  HICON icon = static_cast<HICON>(LoadImageW(ThisModule(), MAKEINTRESOURCEW(IDI_MARLINBAR), IMAGE_ICON, 32, 32, 0));
  if (icon) {
    DrawIconEx(dc, rc.left + (rc.right - rc.left - 32) / 2, rc.top + (rc.bottom - rc.top - 32) / 2, icon, 32, 32, 0,
               nullptr, DI_NORMAL);
    ::DestroyIcon(icon);
  }
}

// ---- IViewObject2

HRESULT Marlinbar::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC drawDC, LPCRECTL bounds, LPCRECTL,
                        BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!drawDC || !bounds) return E_INVALIDARG;
  // Invisible at run time; a square with the icon at design time.
  if (!m_bUserMode) {
    RECT rc{bounds->left, bounds->top, bounds->right, bounds->bottom};
    PaintDesign(drawDC, rc);
  }
  return S_OK;
}

HRESULT Marlinbar::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors) *colors = nullptr;
  return S_FALSE;
}

HRESULT Marlinbar::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
HRESULT Marlinbar::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT Marlinbar::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewAspects_ = aspects;
  viewFlags_ = flags;
  viewSink_ = ComPtr<IAdviseSink>(sink);
  return S_OK;
}

HRESULT Marlinbar::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) viewSink_.CopyTo(sink);
  return S_OK;
}

HRESULT Marlinbar::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

// ---- class information and connection points

HRESULT Marlinbar::GetClassInfo(ITypeInfo** info) {
  if (!info) return E_POINTER;
  return LoadLibraryTypeInfo(CLSID_Marlinbar, info);
}

HRESULT Marlinbar::GetGUID(DWORD kind, GUID* guid) {
  if (!guid) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___Marlinbar;
  return S_OK;
}

HRESULT Marlinbar::EnumConnectionPoints(IEnumConnectionPoints** points) {
  return CreateConnectionPointEnumerator(
      {ComPtr<IConnectionPoint>(&eventsPoint_), ComPtr<IConnectionPoint>(&notifyPoint_)}, points);
}

HRESULT Marlinbar::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (iid == DIID___Marlinbar) {
    *point = &eventsPoint_;
  } else if (iid == IID_IPropertyNotifySink) {
    *point = &notifyPoint_;
  } else {
    return CONNECT_E_NOCONNECTION;
  }
  (*point)->AddRef();
  return S_OK;
}

HRESULT Marlinbar::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  // The bitmap property page is not part of the library yet.
  pages->cElems = 0;
  pages->pElems = nullptr;
  return S_OK;
}

void Marlinbar::PropertyChanged(DISPID id) {
  dirty_ = true;
  for (const ComPtr<IUnknown>& sink : notifyPoint_.Sinks()) {
    static_cast<IPropertyNotifySink*>(sink.Get())->OnChanged(id);
  }
  if (viewSink_) viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
}

}  // namespace marlinbar
