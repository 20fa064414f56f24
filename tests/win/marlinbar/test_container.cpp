#include "test_container.h"

#include <cstring>
#include <new>

#include "control/com_server.h"
#include "marlinbar_h.h"

namespace marlinbar::test {
namespace {

const wchar_t kFormClass[] = L"MarlinbarTestForm";
const wchar_t kMdiChildClass[] = L"MarlinbarTestMdiChild";

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND client = reinterpret_cast<HWND>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (client) return DefFrameProcW(hwnd, client, msg, wParam, lParam);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK MdiChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefMDIChildProcW(hwnd, msg, wParam, lParam);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = FormProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
  wc.lpfnWndProc = MdiChildProc;
  wc.lpszClassName = kMdiChildClass;
  RegisterClassExW(&wc);
}

HWND MakePanel(HWND parent) {
  return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 200, 100, parent, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

// IEnumUnknown over a list.
class UnknownEnumerator final : public IEnumUnknown {
 public:
  explicit UnknownEnumerator(std::vector<ComPtr<IUnknown>> items) : items_(std::move(items)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IEnumUnknown) {
      *out = static_cast<IEnumUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IUnknown** out, ULONG* fetched) override {
    ULONG n = 0;
    for (; n < count && next_ < items_.size(); ++n, ++next_) items_[next_].CopyTo(&out[n]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    next_ += count;
    return next_ <= items_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumUnknown**) override { return E_NOTIMPL; }

 private:
  ULONG refs_ = 1;
  std::vector<ComPtr<IUnknown>> items_;
  std::size_t next_ = 0;
};

std::vector<BYTE> SaveObject(IUnknown* object) {
  std::vector<BYTE> bytes;
  ComPtr<IPersistStream> persist;
  object->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(persist.Put()));
  if (!persist) return bytes;
  ComPtr<IStream> stream;
  CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
  if (FAILED(OleSaveToStream(persist.Get(), stream.Get()))) return bytes;
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  bytes.resize(static_cast<std::size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  return bytes;
}

}  // namespace

HMENU BuildTestMenu() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  HMENU recent = CreatePopupMenu();
  AppendMenuW(recent, MF_STRING, 111, L"One");
  AppendMenuW(recent, MF_STRING, 112, L"Two");
  AppendMenuW(file, MF_STRING, 101, L"&Open\tCtrl+O");
  AppendMenuW(file, MF_STRING, 102, L"&Save");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), L"Recent");
  AppendMenuW(file, MF_STRING, 103, L"E&xit");
  HMENU edit = CreatePopupMenu();
  AppendMenuW(edit, MF_STRING, 201, L"Cu&t");
  AppendMenuW(edit, MF_STRING, 202, L"中文菜单");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, 301, L"&About");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"&Edit");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"  Help");
  return bar;
}

TestForm::TestForm(bool withMenu, bool mdi) {
  RegisterClasses();
  menu_ = withMenu ? BuildTestMenu() : nullptr;
  hwnd_ = CreateWindowExW(0, kFormClass, L"Marlinbar test form", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40,
                          480, 320, nullptr, menu_, GetModuleHandleW(nullptr), nullptr);
  if (mdi) {
    CLIENTCREATESTRUCT ccs{};
    ccs.idFirstChild = 50000;
    client_ = CreateWindowExW(0, L"MDIClient", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 400, 240,
                              hwnd_, nullptr, GetModuleHandleW(nullptr), &ccs);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(client_));
  } else {
    panel_ = MakePanel(hwnd_);
  }
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

HWND TestForm::AddMdiChild() {
  MDICREATESTRUCTW mcs{};
  mcs.szClass = kMdiChildClass;
  mcs.szTitle = L"Child";
  mcs.hOwner = GetModuleHandleW(nullptr);
  mcs.x = mcs.y = 0;
  mcs.cx = 300;
  mcs.cy = 200;
  HWND child = reinterpret_cast<HWND>(SendMessageW(client_, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
  panel_ = MakePanel(child);
  return child;
}

void TestForm::Destroy() {
  if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

TestForm::~TestForm() { Destroy(); }

MenuObject::MenuObject(std::wstring name, std::wstring caption, std::optional<int> index, bool isMenu)
    : name_(std::move(name)), caption_(std::move(caption)), index_(index), is_menu_(isMenu) {}

HRESULT MenuObject::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT MenuObject::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT MenuObject::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT MenuObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  static const wchar_t* const kNames[] = {L"Name", L"Caption", L"Index", L"Checked"};
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    for (int n = 0; n < 4; ++n) {
      if (lstrcmpiW(names[i], kNames[n]) == 0) ids[i] = n + 1;
    }
    // Ordinary controls have no check mark.
    if (ids[i] == 4 && !is_menu_) ids[i] = DISPID_UNKNOWN;
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT MenuObject::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
  VariantInit(result);
  switch (id) {
    case 1:
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(name_.c_str());
      return S_OK;
    case 2:
      result->vt = VT_BSTR;
      result->bstrVal = SysAllocString(caption_.c_str());
      return S_OK;
    case 3:
      // Reading Index of a menu outside a control array fails.
      if (!index_) return DISP_E_EXCEPTION;
      result->vt = VT_I2;
      result->iVal = static_cast<SHORT>(*index_);
      return S_OK;
    case 4:
      result->vt = VT_BOOL;
      result->boolVal = VARIANT_FALSE;
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

TestSite::TestSite(HWND window) : window_(window) {
  FONTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.lpstrName = const_cast<LPOLESTR>(L"Arial");
  desc.cySize.int64 = 120000;  // 12 points
  desc.sWeight = FW_BOLD;
  desc.sCharset = DEFAULT_CHARSET;
  OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(ambient_font.Put()));
}

TestSite::~TestSite() = default;

HRESULT TestSite::QueryInterface(REFIID iid, void** out) {
  void* p = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
    p = static_cast<IOleClientSite*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
    p = static_cast<IOleInPlaceSite*>(this);
  } else if (iid == IID_IOleControlSite) {
    p = static_cast<IOleControlSite*>(this);
  } else if (iid == IID_IOleContainer || iid == IID_IParseDisplayName) {
    p = static_cast<IOleContainer*>(this);
  } else if (iid == IID_IDispatch && ambient) {
    p = static_cast<IDispatch*>(this);
  }
  *out = p;
  if (!p) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

HRESULT TestSite::SaveObject() {
  ++save_requests;
  return S_OK;
}

HRESULT TestSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT TestSite::GetContainer(IOleContainer** container) {
  *container = static_cast<IOleContainer*>(this);
  AddRef();
  return S_OK;
}

HRESULT TestSite::GetWindow(HWND* hwnd) {
  *hwnd = window_;
  return S_OK;
}

HRESULT TestSite::OnInPlaceActivate() {
  in_place_active = true;
  return S_OK;
}

HRESULT TestSite::OnInPlaceDeactivate() {
  in_place_active = false;
  return S_OK;
}

HRESULT TestSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                   LPOLEINPLACEFRAMEINFO info) {
  *frame = nullptr;
  *doc = nullptr;
  SetRect(pos, 4, 4, 40, 40);
  SetRect(clip, 0, 0, 200, 100);
  info->fMDIApp = FALSE;
  info->hwndFrame = GetAncestor(window_, GA_ROOT);
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HRESULT TestSite::GetExtendedControl(IDispatch** disp) {
  *disp = nullptr;
  return E_NOTIMPL;
}

HRESULT TestSite::EnumObjects(DWORD, IEnumUnknown** items) {
  *items = new UnknownEnumerator(objects);
  return S_OK;
}

HRESULT TestSite::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT TestSite::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT TestSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return DISP_E_UNKNOWNNAME; }

HRESULT TestSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
  if (!result) return E_POINTER;
  VariantInit(result);
  switch (id) {
    case DISPID_AMBIENT_USERMODE:
      result->vt = VT_BOOL;
      result->boolVal = user_mode ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case DISPID_AMBIENT_FONT:
      if (!ambient_font) return DISP_E_MEMBERNOTFOUND;
      result->vt = VT_DISPATCH;
      result->pdispVal = ambient_font.Get();
      result->pdispVal->AddRef();
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

HRESULT MemoryPropertyBag::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
    *out = static_cast<IPropertyBag*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

int MemoryPropertyBag::Find(const wchar_t* key) const {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (lstrcmpiW(keys[i].c_str(), key) == 0) return static_cast<int>(i);
  }
  return -1;
}

void MemoryPropertyBag::Put(const wchar_t* key, const VARIANT& value) {
  Write(key, const_cast<VARIANT*>(&value));
}

bool MemoryPropertyBag::Has(const wchar_t* key) const { return Find(key) >= 0; }

const VARIANT* MemoryPropertyBag::Get(const wchar_t* key) const {
  int i = Find(key);
  return i < 0 ? nullptr : &values[i];
}

bool MemoryPropertyBag::IsObject(const wchar_t* key) const {
  int i = Find(key);
  return i >= 0 && !objects[i].empty();
}

void MemoryPropertyBag::Clear() {
  keys.clear();
  values.clear();
  objects.clear();
}

HRESULT MemoryPropertyBag::Write(LPCOLESTR name, VARIANT* value) {
  int i = Find(name);
  if (i < 0) {
    keys.emplace_back(name);
    values.emplace_back();
    objects.emplace_back();
    i = static_cast<int>(keys.size()) - 1;
  }
  values[i].Clear();
  objects[i].clear();
  if ((value->vt == VT_DISPATCH || value->vt == VT_UNKNOWN) && value->punkVal) {
    objects[i] = SaveObject(value->punkVal);
    if (objects[i].empty()) return E_FAIL;
  } else {
    CopyVariant(&values[i], value);
  }
  return S_OK;
}

HRESULT MemoryPropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  int i = Find(name);
  if (i < 0) return E_INVALIDARG;
  VARTYPE wanted = value->vt;
  Variant stored;
  if (!objects[i].empty()) {
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    stream->Write(objects[i].data(), static_cast<ULONG>(objects[i].size()), nullptr);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    IDispatch* object = nullptr;
    HRESULT hr = OleLoadFromStream(stream.Get(), IID_IDispatch, reinterpret_cast<void**>(&object));
    if (FAILED(hr)) return hr;
    stored.vt = VT_DISPATCH;
    stored.pdispVal = object;
  } else {
    CopyVariant(&stored, &values[i]);
  }
  VariantInit(value);
  if (wanted == VT_EMPTY || wanted == stored.vt) return CopyVariant(value, &stored);
  return VariantChangeType(value, &stored, 0, wanted);
}

HostedControl HostedControl::Create(TestSite* site, IPropertyBag* bag) {
  HostedControl hosted;
  hosted.object = NewControl();
  if (!hosted.object) return hosted;
  hosted.object->SetClientSite(site);
  if (bag) {
    ComPtr<IPersistPropertyBag> persist = hosted.object.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    persist->Load(bag, nullptr);
  } else {
    ComPtr<IPersistPropertyBag> persist = hosted.object.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
    persist->InitNew();
  }
  RECT rc{4, 4, 40, 40};
  HWND window = nullptr;
  site->GetWindow(&window);
  hosted.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, window, &rc);
  hosted.dispatch = hosted.object.As<IDispatch>(IID_IDispatch);
  return hosted;
}

void HostedControl::Close() {
  if (!object) return;
  object->Close(OLECLOSE_NOSAVE);
  object->SetClientSite(nullptr);
  dispatch = nullptr;
  object = nullptr;
}

HRESULT GetProperty(IDispatch* object, DISPID id, VARIANT* value) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VariantInit(value);
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value, nullptr, nullptr);
}

HRESULT PutProperty(IDispatch* object, DISPID id, const VARIANT& value, WORD flags) {
  DISPID named = DISPID_PROPERTYPUT;
  VARIANT arg = value;
  DISPPARAMS params{&arg, &named, 1, 1};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, nullptr, nullptr, nullptr);
}

HRESULT CallMethod(IDispatch* object, DISPID id, std::vector<Variant> args, VARIANT* result) {
  // Arguments go in reverse order.
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it);
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  Variant ignored;
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result ? result : &ignored,
                        nullptr, nullptr);
}

LONG GetLong(IDispatch* object, DISPID id) {
  Variant v;
  if (FAILED(GetProperty(object, id, &v))) return 0x7EEEEEEE;
  Variant n;
  VariantChangeType(&n, &v, 0, VT_I4);
  return n.lVal;
}

ComPtr<IOleObject> NewControl() {
  ComPtr<IClassFactory> factory;
  GetClassObject(CLSID_Marlinbar, IID_IClassFactory, reinterpret_cast<void**>(factory.Put()));
  ComPtr<IOleObject> object;
  if (factory) factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(object.Put()));
  return object;
}

ComPtr<IPictureDisp> MakeBitmapPicture(int w, int h, COLORREF colour) {
  // A 24-bit DIB section: Wine's picture objects save 32-bit device bitmaps
  // with a header their own loader misreads, and the bag here keeps
  // pictures the way a host's form file does, through the picture.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH brush = CreateSolidBrush(colour);
  RECT rc{0, 0, w, h};
  FillRect(dc, &rc, brush);
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteDC(dc);
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_BITMAP;
  desc.bmp.hbitmap = bitmap;
  ComPtr<IPictureDisp> picture;
  OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(picture.Put()));
  return picture;
}

ComPtr<IPictureDisp> MakeIconPicture(int size, COLORREF colour) {
  HDC screen = GetDC(nullptr);
  HBITMAP colourBmp = CreateCompatibleBitmap(screen, size, size);
  HBITMAP maskBmp = CreateBitmap(size, size, 1, 1, nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, colourBmp);
  // Colour inside, black (leaving the screen as it is) on the outer frame.
  RECT all{0, 0, size, size};
  RECT inner{1, 1, size - 1, size - 1};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &inner, brush);
  DeleteObject(brush);
  // Mask: 1 (transparent) on the outer frame, 0 inside.
  SelectObject(dc, maskBmp);
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FillRect(dc, &inner, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  ICONINFO info{TRUE, 0, 0, maskBmp, colourBmp};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(colourBmp);
  DeleteObject(maskBmp);
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_ICON;
  desc.icon.hicon = icon;
  ComPtr<IPictureDisp> picture;
  OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(picture.Put()));
  return picture;
}

SHORT PictureType(IUnknown* picture) {
  ComPtr<IPicture> pic;
  if (picture) picture->QueryInterface(IID_IPicture, reinterpret_cast<void**>(pic.Put()));
  SHORT type = PICTYPE_UNINITIALIZED;
  if (pic) pic->get_Type(&type);
  return type;
}

OLE_HANDLE PictureHandle(IUnknown* picture) {
  ComPtr<IPicture> pic;
  if (picture) picture->QueryInterface(IID_IPicture, reinterpret_cast<void**>(pic.Put()));
  OLE_HANDLE handle = 0;
  if (pic) pic->get_Handle(&handle);
  return handle;
}

ULONG RefsOf(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace marlinbar::test
