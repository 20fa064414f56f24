#include "control/module.h"

#include "hooks/thunk_memory.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace marlinbar {
namespace {
// Everything of the library runs on apartment threads, but several
// apartments may create objects at once: the counts are interlocked.
volatile LONG g_objects = 0;
volatile LONG g_locks = 0;
}  // namespace

HMODULE ThisModule() { return reinterpret_cast<HMODULE>(&__ImageBase); }

void ObjectCreated() { InterlockedIncrement(&g_objects); }
void ObjectDestroyed() { InterlockedDecrement(&g_objects); }
long LiveObjects() { return g_objects; }

void LockModule(bool lock) {
  if (lock) {
    InterlockedIncrement(&g_locks);
  } else {
    InterlockedDecrement(&g_locks);
  }
}
long ModuleLocks() { return g_locks; }

bool ModuleInUse() { return g_objects != 0 || g_locks != 0 || LiveThunkBlocks() != 0; }

namespace {
int g_colourBitsOverride = 0;
}

int DisplayColourBits() {
  if (g_colourBitsOverride) return g_colourBitsOverride;
  HWND desktop = GetDesktopWindow();
  HDC dc = GetDC(desktop);
  int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
  ReleaseDC(desktop, dc);
  return bits;
}

void OverrideDisplayColourBits(int bits) { g_colourBitsOverride = bits; }

HRESULT LoadLibraryTypeLib(ITypeLib** typelib) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(ThisModule(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
  return LoadTypeLibEx(path, REGKIND_NONE, typelib);
}

HRESULT LoadLibraryTypeInfo(REFGUID guid, ITypeInfo** info) {
  ITypeLib* typelib = nullptr;
  HRESULT hr = LoadLibraryTypeLib(&typelib);
  if (FAILED(hr)) return hr;
  hr = typelib->GetTypeInfoOfGuid(guid, info);
  typelib->Release();
  return hr;
}

}  // namespace marlinbar
