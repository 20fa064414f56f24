// Marlinbar: the ActiveX control. It sits invisibly on a form of the host,
// attaches itself to that form (Init), keeps the colours, style, font and
// per-item bitmaps of the owner-drawn menus, and persists them with the
// form through a property bag or a stream.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <memory>
#include <string>
#include <vector>

#include "control/com_ptr.h"
#include "control/connection_points.h"
#include "control/typed_dispatch.h"
#include "drawing/mem_dc.h"
#include "hooks/subclassing_thunk.h"
#include "marlinbar_h.h"

namespace marlinbar {

class cMenuHook;

// A picture for one menu item: the picture, its transparent colour and the
// key "#" + menu key of the item.
struct BitmapRecord {
  ComPtr<IPictureDisp> Picture;
  LONG MaskColor = 0;
  std::wstring Key;
};

// A converted menu item: its menu, text and type flags before conversion,
// whether it is on the menu bar, and its command identifier. Its 1-based
// position in m_colItems is the item data of the menu item.
struct ItemRecord {
  HMENU menu = nullptr;
  std::wstring caption;
  UINT type = 0;
  bool bar = false;
  UINT id = 0;
};

// The colour properties, in the order of the property bag.
enum class Colour {
  MenuBarStar,
  MenuBarEnd,
  MainHoveStar,
  MainHoveEnd,
  MenuPopupBack2003,
  SelMenuBack2003,
  CheckBack2003,
  SelCheckBack2003,
  MenuBorder2003,
  MenuShadow2003,
  MenuShadow,
  MainSeprator,
  SelMenuBorder,
  SelMenuFore,
  SelMenuBack,
  CheckBack,
  CheckFore,
  SelCheckBack,
  MenuBorder,
  MenuBack,
  MenuFore,
  DisabledMenuBorder,
  DisabledMenuBack,
  DisabledMenuFore,
  MenuBarBack,
  MenuPopupBack,
  Count
};
constexpr int kColourCount = static_cast<int>(Colour::Count);
// The property bag key of a colour (also the property's name).
const wchar_t* ColourKey(Colour colour);

// The control's OLEMISC status bits, as registered and as GetMiscStatus
// reports them.
DWORD MarlinbarMiscStatus();

// OLE colours of system colours.
constexpr OLE_COLOR SysColour(int index) { return 0x80000000u | static_cast<OLE_COLOR>(index); }

class Marlinbar final : public _Marlinbar,
                        public IOleObject,
                        public IOleControl,
                        public IOleInPlaceObject,
                        public IOleInPlaceActiveObject,
                        public IViewObject2,
                        public IPersistPropertyBag,
                        public IPersistStreamInit,
                        public IProvideClassInfo2,
                        public IConnectionPointContainer,
                        public ISpecifyPropertyPages {
 public:
  static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

  // Library-wide: the control that last ran pvInitMenu (not counted).
  static Marlinbar* m_oCurrent;
  // Control instances alive in the process.
  static long Instances();

  // ---- IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ---- IDispatch (through the type library)
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

  // ---- _Marlinbar
#define MARLINBAR_COLOUR_PROPERTY(name)                                               \
  HRESULT STDMETHODCALLTYPE get_##name(OLE_COLOR* Value) override {                   \
    return GetColour(Colour::name, Value);                                            \
  }                                                                                   \
  HRESULT STDMETHODCALLTYPE put_##name(OLE_COLOR Value) override {                    \
    return PutColour(Colour::name, Value);                                            \
  }
  MARLINBAR_COLOUR_PROPERTY(MainSeprator)
  MARLINBAR_COLOUR_PROPERTY(SelMenuBorder)
  MARLINBAR_COLOUR_PROPERTY(SelMenuFore)
  MARLINBAR_COLOUR_PROPERTY(SelMenuBack)
  MARLINBAR_COLOUR_PROPERTY(CheckBack)
  MARLINBAR_COLOUR_PROPERTY(CheckFore)
  MARLINBAR_COLOUR_PROPERTY(SelCheckBack)
  MARLINBAR_COLOUR_PROPERTY(MenuBorder)
  MARLINBAR_COLOUR_PROPERTY(MenuBack)
  MARLINBAR_COLOUR_PROPERTY(MenuFore)
  MARLINBAR_COLOUR_PROPERTY(DisabledMenuBorder)
  MARLINBAR_COLOUR_PROPERTY(DisabledMenuBack)
  MARLINBAR_COLOUR_PROPERTY(DisabledMenuFore)
  MARLINBAR_COLOUR_PROPERTY(MenuBarBack)
  MARLINBAR_COLOUR_PROPERTY(MenuPopupBack)
  MARLINBAR_COLOUR_PROPERTY(MenuBarStar)
  MARLINBAR_COLOUR_PROPERTY(MenuBarEnd)
  MARLINBAR_COLOUR_PROPERTY(MainHoveStar)
  MARLINBAR_COLOUR_PROPERTY(MainHoveEnd)
  MARLINBAR_COLOUR_PROPERTY(MenuPopupBack2003)
  MARLINBAR_COLOUR_PROPERTY(SelMenuBack2003)
  MARLINBAR_COLOUR_PROPERTY(CheckBack2003)
  MARLINBAR_COLOUR_PROPERTY(SelCheckBack2003)
  MARLINBAR_COLOUR_PROPERTY(MenuBorder2003)
  MARLINBAR_COLOUR_PROPERTY(MenuShadow)
  MARLINBAR_COLOUR_PROPERTY(MenuShadow2003)
#undef MARLINBAR_COLOUR_PROPERTY
  HRESULT STDMETHODCALLTYPE get_SelectDisabled(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_SelectDisabled(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_BitmapSize(LONG* Value) override;
  HRESULT STDMETHODCALLTYPE put_BitmapSize(LONG Value) override;
  HRESULT STDMETHODCALLTYPE get_UseSystemFont(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_UseSystemFont(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** Value) override;
  HRESULT STDMETHODCALLTYPE putref_Font(IFontDisp* oSrc) override;
  HRESULT STDMETHODCALLTYPE Init(LONG_PTR* hwnd) override;
  HRESULT STDMETHODCALLTYPE SetBitmap(IDispatch* Menu, IPictureDisp** Pic, OLE_COLOR MaskColor) override;
  HRESULT STDMETHODCALLTYPE SetBitmapByCaption(BSTR sCtlName, IPictureDisp** Pic, OLE_COLOR MaskColor) override;
  HRESULT STDMETHODCALLTYPE ShowAboutBox() override;
  HRESULT STDMETHODCALLTYPE get_UseOfice2003Style(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_UseOfice2003Style(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_MenuControls(IKeyedCollection** Value) override;
  HRESULT STDMETHODCALLTYPE get_BitmapList(IKeyedCollection** Value) override;
  HRESULT STDMETHODCALLTYPE putref_BitmapList(IDispatch* Value) override;

  // ---- IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                                   LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

  // ---- IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID id) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

  // ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT pos, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

  // ---- IViewObject2
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                 HDC targetDC, HDC drawDC, LPCRECTL bounds, LPCRECTL wBounds,
                                 BOOL(STDMETHODCALLTYPE* cont)(ULONG_PTR), ULONG_PTR contArg) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                                        HDC targetDC, LOGPALETTE** colors) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

  // ---- IPersist, IPersistPropertyBag, IPersistStreamInit
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

  // ---- IProvideClassInfo2
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override;

  // ---- IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // ---- ISpecifyPropertyPages
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

  // ---- what the other parts of the library use
  // The subclass sink's entry points (the form, its MDI client, pop-ups).
  void Before(VARIANT_BOOL* bHandled, LONG_PTR* lReturn, LONG_PTR* hwnd, long* uMsg, LONG_PTR* wParam,
              LONG_PTR* lParam);
  void After(LONG_PTR* lReturn, LONG_PTR* hwnd, long* uMsg, LONG_PTR* wParam, LONG_PTR* lParam);
  // A new pop-up menu window (from cMenuHook).
  void pvHookPopup(HWND hwnd);

  // Support routines shared with the menu drawing.
  static OLE_COLOR pvBlendColor(OLE_COLOR a, OLE_COLOR b, long w);
  static long pvBrightness(OLE_COLOR c);
  long pvWinVersion();
  bool pvIsNT();
  static bool pvFlatMenus();
  HWND pvActiveMdiChild();
  void pvRefreshMetrics();
  void pvInitMenu(HMENU menu, bool bar);
  void pvRestoreMenu(HMENU menu);

  // State the tests and the menu drawing read.
  HWND m_hWnd = nullptr;
  HMENU m_hMenu = nullptr;
  std::unique_ptr<cSubclassingThunk> m_oFormSubclass;
  std::unique_ptr<cSubclassingThunk> m_oClientSubclass;
  std::vector<BitmapRecord> m_colBitmaps;
  std::vector<ItemRecord> m_colItems;
  // Pop-up menu windows taken over, and their frame images, by "#" and the
  // window handle in decimal.
  std::vector<std::pair<std::wstring, std::unique_ptr<cSubclassingThunk>>> m_colPopups;
  std::vector<std::pair<std::wstring, std::unique_ptr<cMemDC>>> m_colFrames;
  ComPtr<IFont> m_oFont;
  HFONT m_hFont = nullptr;
  HFONT m_hSysFont = nullptr;
  long m_lEdge = 0;
  long m_lFrame = 0;
  bool m_bLowColor = false;
  long m_lTextHeight = 0;
  long m_lItemHeight = 0;
  UINT m_lInitMenuMsg = 0;
  long m_lHotItem = -1;
  // The window-menu glyphs, silver (192, 192, 192) being transparent.
  ComPtr<IPictureDisp> ImgMinimize, ImgMaximize, ImgNext, ImgClose, ImgRestore;
  bool m_bInMenuLoop = false;

  // The window of the container that the control sits on, and the form.
  HWND ContainerWindow() const;
  static HWND HostFormOf(HWND window);
  bool UserMode() const { return m_bUserMode; }
  HWND ControlWindow() const { return m_hWndControl; }
  // A colour's default for a new control, by m_bLowColor; menuBack is the
  // MenuBack value that DisabledMenuBack is blended from.
  OLE_COLOR DefaultColour(Colour colour, OLE_COLOR menuBack) const;
  // The fixed size of the control at design time, in pixels.
  static long DesignSize();

 private:
  class SinkImpl;
  class FontNotify;

  Marlinbar();
  ~Marlinbar();
  void Initialize();
  void Terminate();
  // pvRefreshMetrics steps 1 and 2: edge and frame sizes, low colour.
  void RefreshDisplayMetrics();

  HRESULT GetColour(Colour colour, OLE_COLOR* value);
  HRESULT PutColour(Colour colour, OLE_COLOR value);
  void PropertyChanged(DISPID id);
  void MakeSysFont();
  void RefreshControlFont();
  void OnFontChanged();
  HRESULT AmbientProperty(DISPID id, VARIANT* value) const;
  void ReadAmbientUserMode();
  ComPtr<IFontDisp> AmbientFont() const;
  bool SameFont(IFont* a, IFont* b) const;
  void CopyFontInto(IFont* from);

  // Persistence.
  void InitProperties();
  void ReadProperties(IPropertyBag* bag);
  void WriteProperties(IPropertyBag* bag);
  void InitWithContainer();
  Variant pvSaveIcon(IPictureDisp* picture);
  ComPtr<IPictureDisp> pvLoadIcon(const VARIANT& value);

  // The control's window (in-place active).
  HRESULT InPlaceActivate();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void PaintDesign(HDC dc, const RECT& rc);

  LONG refs_ = 1;
  TypedDispatch dispatch_;
  ComPtr<IOleClientSite> site_;
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleAdviseHolder> adviseHolder_;
  ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;
  cConnectionPoint eventsPoint_;
  cConnectionPoint notifyPoint_;
  SinkImpl* sink_ = nullptr;
  FontNotify* fontNotify_ = nullptr;
  DWORD fontCookie_ = 0;
  bool fontQuiet_ = false;
  bool dirty_ = false;
  bool initPending_ = false;
  bool m_bUserMode = true;
  HWND m_hWndControl = nullptr;
  bool inPlaceActive_ = false;
  RECT posRect_{};

  // Properties.
  OLE_COLOR colours_[kColourCount] = {};
  VARIANT_BOOL m_bSelectDisabled = VARIANT_TRUE;
  LONG m_lBitmapSize = 16;
  VARIANT_BOOL m_bUseSystemFont = VARIANT_TRUE;
  VARIANT_BOOL m_bUseOfice2003Style = VARIANT_TRUE;

  // Version cache.
  long winVersion_ = -1;
  long platformId_ = -1;

  std::shared_ptr<cMenuHook> menuHook_;
};

}  // namespace marlinbar
