// The in-process server: class factory, unloading, and self-registration
// of the control class, its ProgID and its type library.
#include <windows.h>
#include <olectl.h>

#include <new>
#include <string>

#include "control/com_server.h"
#include "control/marlinbar_control.h"
#include "control/module.h"
#include "control/resource_ids.h"

namespace marlinbar {

namespace {

class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    ObjectCreated();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    ObjectDestroyed();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    return Marlinbar::Create(outer, iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    LockModule(lock != FALSE);
    return S_OK;
  }
};

// One factory for the module; its references count as live objects.
ClassFactory g_factory;

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = L"";
  StringFromGUID2(guid, text, ARRAYSIZE(text));
  return text;
}

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = L"";
  DWORD length = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  return std::wstring(path, length < MAX_PATH ? length : 0);
}

LONG SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY handle = nullptr;
  LONG rc = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
  return rc;
}

}  // namespace

const wchar_t kProgId[] = L"MarlinbarLib.Marlinbar";

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_Marlinbar) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

HRESULT CanUnloadNow() { return ModuleInUse() ? S_FALSE : S_OK; }

HRESULT RegisterServer() {
  std::wstring path = ModulePath();
  if (path.empty()) return SELFREG_E_CLASS;
  std::wstring clsid = GuidText(CLSID_Marlinbar);
  std::wstring key = L"CLSID\\" + clsid;
  const wchar_t kName[] = L"Marlinbar Control";
  LONG rc = ERROR_SUCCESS;
  auto set = [&rc](HKEY root, const std::wstring& k, const wchar_t* name, const std::wstring& value) {
    if (rc == ERROR_SUCCESS) rc = SetValue(root, k, name, value);
  };
  set(HKEY_CLASSES_ROOT, key, nullptr, kName);
  set(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", nullptr, path);
  set(HKEY_CLASSES_ROOT, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  set(HKEY_CLASSES_ROOT, key + L"\\ProgID", nullptr, kProgId);
  set(HKEY_CLASSES_ROOT, key + L"\\Control", nullptr, L"");
  set(HKEY_CLASSES_ROOT, key + L"\\MiscStatus", nullptr, L"0");
  set(HKEY_CLASSES_ROOT, key + L"\\MiscStatus\\1", nullptr, std::to_wstring(MarlinbarMiscStatus()));
  set(HKEY_CLASSES_ROOT, key + L"\\ToolboxBitmap32", nullptr, path + L", " + std::to_wstring(IDB_TOOLBOX));
  set(HKEY_CLASSES_ROOT, key + L"\\Version", nullptr, L"1.0");
  set(HKEY_CLASSES_ROOT, key + L"\\TypeLib", nullptr, GuidText(LIBID_MarlinbarLib));
  set(HKEY_CLASSES_ROOT, kProgId, nullptr, kName);
  set(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, clsid);
  if (rc != ERROR_SUCCESS) {
    UnregisterServer();
    return SELFREG_E_CLASS;
  }
  ITypeLib* typelib = nullptr;
  HRESULT hr = LoadLibraryTypeLib(&typelib);
  if (SUCCEEDED(hr)) {
    hr = RegisterTypeLib(typelib, path.data(), nullptr);
    typelib->Release();
  }
  if (FAILED(hr)) {
    UnregisterServer();
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

HRESULT UnregisterServer() {
  std::wstring clsid = GuidText(CLSID_Marlinbar);
  LONG rcClass = RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str());
  LONG rcProgId = RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  // Removes the type library's key and its interfaces' keys, as
  // RegisterTypeLib wrote them.
  HRESULT hr = UnRegisterTypeLib(LIBID_MarlinbarLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
#ifdef _WIN64
  HRESULT hr64 = UnRegisterTypeLib(LIBID_MarlinbarLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
  if (SUCCEEDED(hr64)) hr = hr64;
#endif
  bool gone = (rcClass == ERROR_SUCCESS || rcClass == ERROR_FILE_NOT_FOUND) &&
              (rcProgId == ERROR_SUCCESS || rcProgId == ERROR_FILE_NOT_FOUND);
  (void)hr;  // a type library that was never registered is not an error here
  return gone ? S_OK : SELFREG_E_CLASS;
}

}  // namespace marlinbar
