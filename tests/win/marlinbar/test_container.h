// A small ActiveX container for the Marlinbar tests: a form window with a
// real menu bar, a site that offers what containers offer (client site,
// in-place site, control site, ambient properties that a test can switch
// off, the form's objects with their menu objects), an in-memory property
// bag that keeps the order of its keys and stores objects as a form file
// would, and menu objects with Name, Index and Caption.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <optional>
#include <string>
#include <vector>

#include "control/com_ptr.h"

namespace marlinbar::test {

// Counts the references of the test's own COM objects.
class RefCounted {
 public:
  ULONG AddRefImpl() { return ++refs_; }
  ULONG ReleaseImpl() { return --refs_; }
  ULONG Refs() const { return refs_; }

 private:
  ULONG refs_ = 1;
};

// A top-level form with the menu bar
//   &File: &Open (101), &Save (102), separator, Recent > (One 111, Two 112), E&xit (103)
//   &Edit: Cu&t (201), 中文菜单 (202)
//   "  Help": &About (301)
// or, with mdi, an MDI frame with its MDI client and the same menu.
class TestForm {
 public:
  explicit TestForm(bool withMenu = true, bool mdi = false);
  ~TestForm();
  TestForm(const TestForm&) = delete;
  TestForm& operator=(const TestForm&) = delete;

  HWND hwnd() const { return hwnd_; }
  HWND client() const { return client_; }
  HMENU menu() const { return menu_; }
  // A child panel of the form, the window the container gives the control.
  HWND panel() const { return panel_; }
  // An MDI child window of the frame, with a panel of its own.
  HWND AddMdiChild();
  void Destroy();

 private:
  HWND hwnd_ = nullptr;
  HWND client_ = nullptr;
  HWND panel_ = nullptr;
  HMENU menu_ = nullptr;
};

HMENU BuildTestMenu();

// A menu object of the host form.
class MenuObject final : public IDispatch, public RefCounted {
 public:
  MenuObject(std::wstring name, std::wstring caption, std::optional<int> index = std::nullopt,
             bool isMenu = true);
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override;

 private:
  std::wstring name_;
  std::wstring caption_;
  std::optional<int> index_;
  bool is_menu_;
};

// The control's site on the form.
class TestSite final : public IOleClientSite,
                       public IOleInPlaceSite,
                       public IOleControlSite,
                       public IOleContainer,
                       public IDispatch,
                       public RefCounted {
 public:
  // `window` is the window the control sits in (a panel of the form).
  explicit TestSite(HWND window);
  ~TestSite();

  // Ambient properties: the site answers IDispatch only while this is set.
  bool ambient = true;
  bool user_mode = true;
  ComPtr<IFontDisp> ambient_font;
  // What IOleContainer::EnumObjects offers.
  std::vector<ComPtr<IUnknown>> objects;
  int save_requests = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow, IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                             LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
  // IOleControlSite
  HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** disp) override;
  HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }
  // IParseDisplayName, IOleContainer
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(DWORD flags, IEnumUnknown** items) override;
  HRESULT STDMETHODCALLTYPE LockContainer(BOOL) override { return S_OK; }
  // IDispatch: the ambient properties
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override;

  bool in_place_active = false;

 private:
  HWND window_;
};

// An in-memory property bag. Objects are saved through their
// IPersistStream when written and made anew when read, as a form file
// keeps them; the order in which keys were first written is kept.
class MemoryPropertyBag final : public IPropertyBag, public RefCounted {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override;
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

  std::vector<std::wstring> keys;
  // A plain value, or an empty variant for a stored object.
  std::vector<Variant> values;
  std::vector<std::vector<BYTE>> objects;
  // For tests that write keys themselves.
  void Put(const wchar_t* key, const VARIANT& value);
  bool Has(const wchar_t* key) const;
  const VARIANT* Get(const wchar_t* key) const;
  bool IsObject(const wchar_t* key) const;
  void Clear();

 private:
  int Find(const wchar_t* key) const;
};

// The control in the container: sited on the form, loaded, activated.
struct HostedControl {
  ComPtr<IOleObject> object;
  ComPtr<IDispatch> dispatch;
  // Sites the control (site first, as its misc status asks), then loads it
  // from `bag` (or as a new control when null) and activates it in place.
  static HostedControl Create(TestSite* site, IPropertyBag* bag = nullptr);
  void Close();
};

// Property access through IDispatch::Invoke, by dispatch id.
HRESULT GetProperty(IDispatch* object, DISPID id, VARIANT* value);
HRESULT PutProperty(IDispatch* object, DISPID id, const VARIANT& value, WORD flags = DISPATCH_PROPERTYPUT);
HRESULT CallMethod(IDispatch* object, DISPID id, std::vector<Variant> args, VARIANT* result = nullptr);
LONG GetLong(IDispatch* object, DISPID id);

// The class factory of the library linked into the test program.
ComPtr<IOleObject> NewControl();

// A GDI bitmap picture w x h filled with colour, and an icon picture with
// a mask (colour where the mask is 0, transparent in a frame of one pixel).
ComPtr<IPictureDisp> MakeBitmapPicture(int w, int h, COLORREF colour);
ComPtr<IPictureDisp> MakeIconPicture(int size, COLORREF colour);
SHORT PictureType(IUnknown* picture);
OLE_HANDLE PictureHandle(IUnknown* picture);

// The reference count of an object (other than the test's own).
ULONG RefsOf(IUnknown* object);

// Sends the messages a real form would process until the queue is empty.
void PumpMessages();

}  // namespace marlinbar::test
