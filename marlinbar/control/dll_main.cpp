// Exports of Marlinbar.ocx.
#include <windows.h>

#include "control/com_server.h"
#include "hooks/thunk_memory.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  // Unloaded by FreeLibrary (not at process exit): COM agreed that nothing
  // of the library is in use, so no entry procedure is left.
  if (reason == DLL_PROCESS_DETACH && !reserved) marlinbar::ReleaseThunkHeap();
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  return marlinbar::GetClassObject(clsid, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return marlinbar::CanUnloadNow(); }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return marlinbar::RegisterServer(); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return marlinbar::UnregisterServer(); }
