// Marlinbar.ocx as a host meets it: registered, created by its ProgID,
// described by its type library, unloadable when unused, and unregistered
// without a trace.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "control/com_ptr.h"
#include "marlinbar_h.h"
#include "test_container.h"

namespace marlinbar::test {
namespace {

std::wstring OcxPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return p.substr(0, p.find_last_of(L"\\/") + 1) + L"Marlinbar.ocx";
}

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

// Every key path below HKEY_CLASSES_ROOT\<root>, recursively.
void CollectKeys(HKEY parent, const std::wstring& path, std::set<std::wstring>* out, int depth) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out->insert(path);
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (depth < 6) CollectKeys(parent, path.empty() ? name : path + L"\\" + name, out, depth + 1);
  }
  RegCloseKey(key);
}

std::set<std::wstring> ClassesSnapshot() {
  std::set<std::wstring> keys;
  // The root itself, one level deep, and the three trees COM servers
  // write to, in full.
  HKEY root = HKEY_CLASSES_ROOT;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumKeyExW(root, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    keys.insert(name);
  }
  for (const wchar_t* tree : {L"CLSID", L"Interface", L"TypeLib"}) CollectKeys(root, tree, &keys, 0);
  return keys;
}

std::wstring ReadValue(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t value[MAX_PATH * 2] = L"";
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return value;
}

class OcxModule {
 public:
  OcxModule() : module_(LoadLibraryW(OcxPath().c_str())) {}
  ~OcxModule() {
    if (module_) FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }
  template <class F>
  F Proc(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

using DllFunction = HRESULT(STDAPICALLTYPE*)();
using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

TEST(Server, RegistersCreatesByProgIdAndUnregistersExactlyWhatItWrote) {
  OcxModule ocx;
  ASSERT_NE(ocx.get(), nullptr) << "Marlinbar.ocx beside the test program";
  auto registerServer = ocx.Proc<DllFunction>("DllRegisterServer");
  auto unregisterServer = ocx.Proc<DllFunction>("DllUnregisterServer");
  ASSERT_NE(registerServer, nullptr);
  ASSERT_NE(unregisterServer, nullptr);
  unregisterServer();  // a left-over of an earlier run would spoil the snapshot

  std::set<std::wstring> before = ClassesSnapshot();
  ASSERT_EQ(registerServer(), S_OK);
  std::set<std::wstring> registered = ClassesSnapshot();

  std::wstring clsid = L"CLSID\\" + GuidText(CLSID_Marlinbar);
  EXPECT_EQ(ReadValue(clsid + L"\\InprocServer32"), OcxPath());
  EXPECT_EQ(ReadValue(clsid + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(ReadValue(clsid + L"\\ProgID"), L"MarlinbarLib.Marlinbar");
  EXPECT_EQ(ReadValue(clsid + L"\\Version"), L"1.0");
  EXPECT_EQ(ReadValue(clsid + L"\\TypeLib"), GuidText(LIBID_MarlinbarLib));
  EXPECT_EQ(ReadValue(clsid + L"\\ToolboxBitmap32"), OcxPath() + L", 1");
  EXPECT_NE(ReadValue(clsid + L"\\Control"), L"<missing>");
  DWORD misc = std::stoul(ReadValue(clsid + L"\\MiscStatus\\1"));
  EXPECT_TRUE(misc & OLEMISC_INVISIBLEATRUNTIME);
  EXPECT_TRUE(misc & OLEMISC_SETCLIENTSITEFIRST);
  EXPECT_EQ(ReadValue(L"MarlinbarLib.Marlinbar\\CLSID"), GuidText(CLSID_Marlinbar));
  EXPECT_TRUE(registered.count(L"TypeLib\\" + GuidText(LIBID_MarlinbarLib) + L"\\1.0"));
  for (REFIID iid : {IID__Marlinbar, IID_ISubclassingSink, IID_IHookingSink}) {
    EXPECT_TRUE(registered.count(L"Interface\\" + GuidText(iid))) << "interface " << GuidText(iid).size();
  }

  CLSID fromProgId{};
  ASSERT_EQ(CLSIDFromProgID(L"MarlinbarLib.Marlinbar", &fromProgId), S_OK);
  EXPECT_TRUE(IsEqualCLSID(fromProgId, CLSID_Marlinbar));
  {
    ComPtr<IDispatch> control;
    ASSERT_EQ(CoCreateInstance(fromProgId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(control.Put())),
              S_OK);
    ComPtr<IOleObject> ole = control.As<IOleObject>(IID_IOleObject);
    ASSERT_TRUE(ole);
    DWORD status = 0;
    EXPECT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &status), S_OK);
    EXPECT_EQ(status, misc);
  }

  ASSERT_EQ(unregisterServer(), S_OK);
  std::set<std::wstring> after = ClassesSnapshot();
  std::vector<std::wstring> left, lost;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(left));
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(lost));
  EXPECT_TRUE(left.empty()) << "left behind: " << left.size();
  EXPECT_TRUE(lost.empty()) << "removed too much: " << lost.size();

  ComPtr<IUnknown> gone;
  EXPECT_EQ(CoCreateInstance(CLSID_Marlinbar, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(gone.Put())),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CLSIDFromProgID(L"MarlinbarLib.Marlinbar", &fromProgId), CO_E_CLASSSTRING);
}

TEST(Server, CanUnloadOnlyWithoutObjectsOrLocks) {
  OcxModule ocx;
  ASSERT_NE(ocx.get(), nullptr);
  auto canUnload = ocx.Proc<DllFunction>("DllCanUnloadNow");
  auto getClassObject = ocx.Proc<GetClassObjectFunction>("DllGetClassObject");
  ASSERT_EQ(canUnload(), S_OK);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(CLSID_Marlinbar, IID_IClassFactory, reinterpret_cast<void**>(factory.Put())), S_OK);
  EXPECT_EQ(canUnload(), S_FALSE) << "a class factory is held";
  ComPtr<IUnknown> wrong;
  EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, reinterpret_cast<void**>(wrong.Put())),
            CLASS_E_CLASSNOTAVAILABLE);

  ComPtr<IOleObject> control;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(control.Put())), S_OK);
  ComPtr<IUnknown> aggregated;
  EXPECT_EQ(factory->CreateInstance(control.Get(), IID_IUnknown, reinterpret_cast<void**>(aggregated.Put())),
            CLASS_E_NOAGGREGATION);
  factory->LockServer(TRUE);
  factory = nullptr;
  EXPECT_EQ(canUnload(), S_FALSE) << "a control and a lock";
  control = nullptr;
  EXPECT_EQ(canUnload(), S_FALSE) << "a lock";
  ASSERT_EQ(getClassObject(CLSID_Marlinbar, IID_IClassFactory, reinterpret_cast<void**>(factory.Put())), S_OK);
  factory->LockServer(FALSE);
  factory = nullptr;
  EXPECT_EQ(canUnload(), S_OK);
}

// ---- the type library

struct Member {
  const wchar_t* name;
  MEMBERID id;
  INVOKEKIND kind;
};

TEST(TypeLibrary, ControlInterfaceHasEveryMemberInSlotOrder) {
  ComPtr<ITypeLib> typelib;
  ASSERT_EQ(LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, typelib.Put()), S_OK);
  Bstr name;
  typelib->GetDocumentation(-1, name.Put(), nullptr, nullptr, nullptr);
  EXPECT_STREQ(name.Get(), L"MarlinbarLib");

  ComPtr<ITypeInfo> info;
  ASSERT_EQ(typelib->GetTypeInfoOfGuid(IID__Marlinbar, info.Put()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
  UINT functions = attr->cFuncs;
  info->ReleaseTypeAttr(attr);

  const INVOKEKIND G = INVOKE_PROPERTYGET, P = INVOKE_PROPERTYPUT, R = INVOKE_PROPERTYPUTREF, F = INVOKE_FUNC;
  std::vector<Member> expected;
  auto colour = [&](const wchar_t* n, MEMBERID id) {
    expected.push_back({n, id, G});
    expected.push_back({n, id, P});
  };
  colour(L"MainSeprator", 0x68030017);
  colour(L"SelMenuBorder", 0x68030016);
  colour(L"SelMenuFore", 0x68030015);
  colour(L"SelMenuBack", 0x68030014);
  colour(L"CheckBack", 0x68030013);
  colour(L"CheckFore", 0x68030012);
  colour(L"SelCheckBack", 0x68030011);
  colour(L"MenuBorder", 0x68030010);
  colour(L"MenuBack", 0x6803000F);
  colour(L"MenuFore", 0x6803000E);
  colour(L"DisabledMenuBorder", 0x6803000D);
  colour(L"DisabledMenuBack", 0x6803000C);
  colour(L"DisabledMenuFore", 0x6803000B);
  colour(L"MenuBarBack", 0x6803000A);
  colour(L"MenuPopupBack", 0x68030009);
  colour(L"SelectDisabled", 0x68030008);
  colour(L"BitmapSize", 0x68030007);
  colour(L"UseSystemFont", 0x68030006);
  expected.push_back({L"Font", 0x68030005, G});
  expected.push_back({L"Font", 0x68030005, R});
  expected.push_back({L"Init", 0x60030018, F});
  expected.push_back({L"SetBitmap", 0x60030019, F});
  expected.push_back({L"SetBitmapByCaption", 0x6003001A, F});
  expected.push_back({L"ShowAboutBox", -552, F});
  colour(L"MenuBarStar", 0x6803002B);
  colour(L"MenuBarEnd", 0x6803002A);
  colour(L"MainHoveStar", 0x68030029);
  colour(L"MainHoveEnd", 0x68030028);
  colour(L"MenuPopupBack2003", 0x68030027);
  colour(L"SelMenuBack2003", 0x68030026);
  colour(L"CheckBack2003", 0x68030025);
  colour(L"SelCheckBack2003", 0x68030024);
  colour(L"MenuBorder2003", 0x68030023);
  colour(L"MenuShadow", 0x68030022);
  colour(L"MenuShadow2003", 0x68030021);
  colour(L"UseOfice2003Style", 0x68030020);
  expected.push_back({L"MenuControls", 0x6803002C, G});
  expected.push_back({L"BitmapList", 0x6803002D, G});
  expected.push_back({L"BitmapList", 0x6803002D, R});

  // The dual interface lists IDispatch's seven methods first.
  ASSERT_EQ(functions, expected.size() + 7);
  for (UINT i = 0; i < expected.size(); ++i) {
    FUNCDESC* desc = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i + 7, &desc), S_OK);
    Bstr member;
    UINT count = 0;
    info->GetNames(desc->memid, member.Put(), 1, &count);
    EXPECT_STREQ(member.Get(), expected[i].name) << "slot " << i;
    EXPECT_EQ(desc->memid, expected[i].id) << "slot " << i;
    EXPECT_EQ(desc->invkind, expected[i].kind) << "slot " << i;
    bool hidden = desc->wFuncFlags & FUNCFLAG_FHIDDEN;
    bool pageOnly = expected[i].id == 0x6803002C || expected[i].id == 0x6803002D;
    EXPECT_EQ(hidden, pageOnly) << "slot " << i;
    if (expected[i].id == 0x60030018) {
      ASSERT_EQ(desc->cParams, 1);
      EXPECT_EQ(desc->lprgelemdescParam[0].paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT),
                PARAMFLAG_FIN | PARAMFLAG_FOUT)
          << "Init takes the window by reference";
    }
    if (expected[i].id == 0x60030019 || expected[i].id == 0x6003001A) {
      ASSERT_EQ(desc->cParams, 3);
      EXPECT_TRUE(desc->lprgelemdescParam[2].paramdesc.wParamFlags & PARAMFLAG_FOPT);
      EXPECT_TRUE(desc->lprgelemdescParam[2].paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT);
      EXPECT_EQ(desc->lprgelemdescParam[2].paramdesc.pparamdescex->varDefaultValue.lVal, 16711935);
    }
    info->ReleaseFuncDesc(desc);
  }

  // The class: a control with the dual interface and the event interface.
  ComPtr<ITypeInfo> coclass;
  ASSERT_EQ(typelib->GetTypeInfoOfGuid(CLSID_Marlinbar, coclass.Put()), S_OK);
  ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCONTROL);
  ASSERT_EQ(attr->cImplTypes, 2);
  coclass->ReleaseTypeAttr(attr);
  for (UINT i = 0; i < 2; ++i) {
    INT flags = 0;
    coclass->GetImplTypeFlags(i, &flags);
    HREFTYPE ref = 0;
    coclass->GetRefTypeOfImplType(i, &ref);
    ComPtr<ITypeInfo> implemented;
    coclass->GetRefTypeInfo(ref, implemented.Put());
    Bstr implName;
    implemented->GetDocumentation(-1, implName.Put(), nullptr, nullptr, nullptr);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    EXPECT_STREQ(implName.Get(), (flags & IMPLTYPEFLAG_FSOURCE) ? L"__Marlinbar" : L"_Marlinbar");
  }
  ComPtr<ITypeInfo> events;
  ASSERT_EQ(typelib->GetTypeInfoOfGuid(DIID___Marlinbar, events.Put()), S_OK);
  ASSERT_EQ(events->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  EXPECT_EQ(attr->cFuncs, 0) << "no events";
  events->ReleaseTypeAttr(attr);
}

// Looks up a type of the library by name.
ComPtr<ITypeInfo> TypeByName(ITypeLib* typelib, const wchar_t* name) {
  ComPtr<ITypeInfo> info;
  MEMBERID id = 0;
  USHORT found = 1;
  std::wstring copy(name);
  typelib->FindName(copy.data(), 0, info.Put(), &id, &found);
  return found ? info : nullptr;
}

TEST(TypeLibrary, EnumerationsCarryTheWin32Values) {
  ComPtr<ITypeLib> typelib;
  ASSERT_EQ(LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, typelib.Put()), S_OK);
  struct Constant {
    const wchar_t* name;
    LONG value;
  };
  struct Enumeration {
    const wchar_t* name;
    std::vector<Constant> constants;
  };
  const Enumeration enums[] = {
      {L"GWLIndex",
       {{L"GWL_WNDPROC", -4}, {L"GWL_HINSTANCE", -6}, {L"GWL_HWNDPARENT", -8}, {L"GWL_STYLE", GWL_STYLE},
        {L"GWL_EXSTYLE", GWL_EXSTYLE}, {L"GWL_USERDATA", -21}, {L"GWL_ID", GWL_ID}}},
      {L"HookCode",
       {{L"HCBT_MOVESIZE", HCBT_MOVESIZE}, {L"HCBT_MINMAX", HCBT_MINMAX}, {L"HCBT_QS", HCBT_QS},
        {L"HCBT_CREATEWND", HCBT_CREATEWND}, {L"HCBT_DESTROYWND", HCBT_DESTROYWND},
        {L"HCBT_ACTIVATE", HCBT_ACTIVATE}, {L"HCBT_CLICKSKIPPED", HCBT_CLICKSKIPPED},
        {L"HCBT_KEYSKIPPED", HCBT_KEYSKIPPED}, {L"HCBT_SYSCOMMAND", HCBT_SYSCOMMAND},
        {L"HCBT_SETFOCUS", HCBT_SETFOCUS}, {L"PM_NOREMOVE", PM_NOREMOVE}, {L"PM_REMOVE", PM_REMOVE},
        {L"PM_NOYIELD", PM_NOYIELD}, {L"HC_ACTION", HC_ACTION}, {L"HC_GETNEXT", HC_GETNEXT},
        {L"HC_SKIP", HC_SKIP}, {L"HC_NOREMOVE", HC_NOREMOVE}, {L"HC_NOREM", HC_NOREM},
        {L"HC_SYSMODALON", HC_SYSMODALON}, {L"HC_SYSMODALOFF", HC_SYSMODALOFF},
        {L"MSGF_DIALOGBOX", MSGF_DIALOGBOX}, {L"MSGF_MESSAGEBOX", MSGF_MESSAGEBOX}, {L"MSGF_MENU", MSGF_MENU},
        {L"MSGF_SCROLLBAR", MSGF_SCROLLBAR}, {L"MSGF_NEXTWINDOW", MSGF_NEXTWINDOW}, {L"MSGF_MAX", MSGF_MAX},
        {L"MSGF_USER", MSGF_USER}, {L"MSGF_DDEMGR", 0x8001 /* ddeml.h */},
        {L"HSHELL_WINDOWCREATED", HSHELL_WINDOWCREATED}, {L"HSHELL_WINDOWDESTROYED", HSHELL_WINDOWDESTROYED},
        {L"HSHELL_ACTIVATESHELLWINDOW", HSHELL_ACTIVATESHELLWINDOW},
        {L"HSHELL_WINDOWACTIVATED", HSHELL_WINDOWACTIVATED}, {L"HSHELL_GETMINRECT", HSHELL_GETMINRECT},
        {L"HSHELL_REDRAW", HSHELL_REDRAW}, {L"HSHELL_TASKMAN", HSHELL_TASKMAN},
        {L"HSHELL_LANGUAGE", HSHELL_LANGUAGE}}},
      {L"HookType",
       {{L"WH_MSGFILTER", WH_MSGFILTER}, {L"WH_JOURNALRECORD", WH_JOURNALRECORD},
        {L"WH_JOURNALPLAYBACK", WH_JOURNALPLAYBACK}, {L"WH_KEYBOARD", WH_KEYBOARD},
        {L"WH_GETMESSAGE", WH_GETMESSAGE}, {L"WH_CALLWNDPROC", WH_CALLWNDPROC}, {L"WH_CBT", WH_CBT},
        {L"WH_SYSMSGFILTER", WH_SYSMSGFILTER}, {L"WH_MOUSE", WH_MOUSE}, {L"WH_HARDWARE", WH_HARDWARE},
        {L"WH_DEBUG", WH_DEBUG}, {L"WH_SHELL", WH_SHELL}, {L"WH_FOREGROUNDIDLE", WH_FOREGROUNDIDLE},
        {L"WH_CALLWNDPROCRET", WH_CALLWNDPROCRET}, {L"WH_KEYBOARD_LL", WH_KEYBOARD_LL},
        {L"WH_MOUSE_LL", WH_MOUSE_LL}}},
  };
  for (const Enumeration& e : enums) {
    ComPtr<ITypeInfo> info = TypeByName(typelib.Get(), e.name);
    ASSERT_TRUE(info) << "enumeration " << e.constants.size();
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    EXPECT_EQ(attr->typekind, TKIND_ENUM);
    ASSERT_EQ(attr->cVars, e.constants.size());
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < e.constants.size(); ++i) {
      VARDESC* var = nullptr;
      info->GetVarDesc(i, &var);
      Bstr name;
      UINT count = 0;
      info->GetNames(var->memid, name.Put(), 1, &count);
      EXPECT_STREQ(name.Get(), e.constants[i].name);
      Variant value;
      VariantChangeType(&value, var->lpvarValue, 0, VT_I4);
      EXPECT_EQ(value.lVal, e.constants[i].value) << "constant " << i;
      info->ReleaseVarDesc(var);
    }
  }
}

TEST(TypeLibrary, RecordsHaveTheirFieldsInOrderWithPointerSizedHandles) {
  ComPtr<ITypeLib> typelib;
  ASSERT_EQ(LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, typelib.Put()), S_OK);
  struct Record {
    const wchar_t* name;
    std::vector<const wchar_t*> fields;
    UINT size;  // the Win32 structure the reader copies from
  };
  const Record records[] = {
      {L"POINTAPI", {L"X", L"Y"}, sizeof(POINT)},
      {L"RECT", {L"Left", L"Top", L"Right", L"Bottom"}, sizeof(::RECT)},
      {L"CREATESTRUCT",
       {L"lpCreateParams", L"hInstance", L"hMenu", L"hWndParent", L"cy", L"cx", L"Y", L"X", L"Style", L"lpszName",
        L"lpszClass", L"ExStyle"},
       sizeof(CREATESTRUCTW)},
      {L"CBT_CREATEWND", {L"lpcs", L"hWndInsertAfter"}, 0},
      {L"CBTACTIVATESTRUCT", {L"fMouse", L"hWndActive"}, sizeof(::CBTACTIVATESTRUCT)},
      {L"CWPSTRUCT", {L"lParam", L"wParam", L"message", L"hwnd"}, sizeof(::CWPSTRUCT)},
      {L"CWPRETSTRUCT", {L"LRESULT", L"lParam", L"wParam", L"message", L"hwnd"}, sizeof(::CWPRETSTRUCT)},
      {L"DEBUGHOOKINFO", {L"idThread", L"idThreadInstaller", L"lParam", L"wParam", L"Code"},
       sizeof(::DEBUGHOOKINFO)},
      {L"EVENTMSG", {L"message", L"paramL", L"paramH", L"time", L"hwnd"}, sizeof(::EVENTMSG)},
      {L"KBDLLHOOKSTRUCT", {L"vkCode", L"scanCode", L"Flags", L"time", L"dwExtraInfo"}, sizeof(::KBDLLHOOKSTRUCT)},
      {L"MOUSEHOOKSTRUCT", {L"pt", L"hwnd", L"wHitTestCode", L"dwExtraInfo"}, sizeof(::MOUSEHOOKSTRUCT)},
      {L"MSG", {L"hwnd", L"message", L"wParam", L"lParam", L"time", L"pt"}, sizeof(::MSG)},
      {L"MSLLHOOKSTRUCT", {L"pt", L"mouseData", L"Flags", L"time", L"dwExtraInfo"}, sizeof(::MSLLHOOKSTRUCT)},
  };
  for (const Record& r : records) {
    ComPtr<ITypeInfo> info = TypeByName(typelib.Get(), r.name);
    ASSERT_TRUE(info) << r.fields.size();
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    EXPECT_EQ(attr->typekind, TKIND_RECORD);
    ASSERT_EQ(attr->cVars, r.fields.size());
    // Same size as the Win32 structure the reader copies (CREATESTRUCT's
    // texts are BSTRs, pointers too).
    if (r.size) {
      EXPECT_EQ(attr->cbSizeInstance, r.size) << r.fields[0];
    }
    info->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < r.fields.size(); ++i) {
      VARDESC* var = nullptr;
      info->GetVarDesc(i, &var);
      Bstr name;
      UINT count = 0;
      info->GetNames(var->memid, name.Put(), 1, &count);
      EXPECT_STREQ(name.Get(), r.fields[i]);
      info->ReleaseVarDesc(var);
    }
  }
}

TEST(TypeLibrary, SinkInterfacesPassParametersAsDeclared) {
  ComPtr<ITypeLib> typelib;
  ASSERT_EQ(LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, typelib.Put()), S_OK);
  struct Sink {
    REFIID iid;
    // After, then Before: by-reference flags of each parameter.
    std::vector<bool> after;
    std::vector<bool> before;
  };
  const Sink sinks[] = {
      {IID_ISubclassingSink, {true, true, true, true, true}, {true, true, true, true, true, true}},
      {IID_IHookingSink, {true, false, false, false}, {true, true, false, false, false}},
  };
  for (const Sink& s : sinks) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(typelib->GetTypeInfoOfGuid(s.iid, info.Put()), S_OK);
    TYPEATTR* attr = nullptr;
    info->GetTypeAttr(&attr);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    ASSERT_EQ(attr->cFuncs, 9);
    info->ReleaseTypeAttr(attr);
    for (UINT slot = 0; slot < 2; ++slot) {
      FUNCDESC* desc = nullptr;
      info->GetFuncDesc(7 + slot, &desc);
      Bstr name;
      UINT count = 0;
      info->GetNames(desc->memid, name.Put(), 1, &count);
      EXPECT_STREQ(name.Get(), slot == 0 ? L"After" : L"Before");
      const std::vector<bool>& byRef = slot == 0 ? s.after : s.before;
      ASSERT_EQ(desc->cParams, static_cast<SHORT>(byRef.size()));
      for (UINT p = 0; p < byRef.size(); ++p) {
        bool isRef = desc->lprgelemdescParam[p].tdesc.vt == VT_PTR;
        EXPECT_EQ(isRef, byRef[p]) << "parameter " << p;
      }
      if (s.iid == IID_IHookingSink) {
        // nCode is a HookCode.
        const TYPEDESC& code = desc->lprgelemdescParam[slot == 0 ? 1 : 2].tdesc;
        ASSERT_EQ(code.vt, VT_USERDEFINED);
        ComPtr<ITypeInfo> codeType;
        info->GetRefTypeInfo(code.hreftype, codeType.Put());
        Bstr codeName;
        codeType->GetDocumentation(-1, codeName.Put(), nullptr, nullptr, nullptr);
        EXPECT_STREQ(codeName.Get(), L"HookCode");
      }
      info->ReleaseFuncDesc(desc);
    }
  }
}

}  // namespace
}  // namespace marlinbar::test
