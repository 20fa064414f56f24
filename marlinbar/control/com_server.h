// The four entry points of the in-process server, callable from the DLL's
// exports and from tests that link the library directly.
#pragma once

#include <windows.h>

namespace marlinbar {

extern const wchar_t kProgId[];

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);
HRESULT CanUnloadNow();
HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace marlinbar
