// What the whole library shares: its module handle, the counts that decide
// whether COM may unload it, and its type library.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace marlinbar {

// The module that holds the library's code and resources (Marlinbar.ocx, or
// the program the library is linked into).
HMODULE ThisModule();

// Live COM objects of the library and LockServer locks. DllCanUnloadNow
// answers S_OK only when both are 0 and no subclass filter or hook procedure
// of the library is still reachable from a window or hook chain.
void ObjectCreated();
void ObjectDestroyed();
long LiveObjects();
void LockModule(bool lock);
long ModuleLocks();
bool ModuleInUse();

// The type library embedded in the module (resource 1 of type TYPELIB).
HRESULT LoadLibraryTypeLib(ITypeLib** typelib);
HRESULT LoadLibraryTypeInfo(REFGUID guid, ITypeInfo** info);

// Bits per pixel times planes of the display (the desktop window's DC).
int DisplayColourBits();
// For tests: pretend the display has this many colour bits (0: the real
// display again).
void OverrideDisplayColourBits(int bits);

}  // namespace marlinbar
