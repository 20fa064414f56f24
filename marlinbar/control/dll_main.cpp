// Exports of Marlinbar.ocx.
#include <windows.h>

#include "control/com_server.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return marlinbar::GetClassObject(clsid, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return marlinbar::CanUnloadNow(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return marlinbar::RegisterServer(); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return marlinbar::UnregisterServer(); }
