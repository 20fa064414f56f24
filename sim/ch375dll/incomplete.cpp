// A CH375DLL.dll that lacks most of the library's functions, for testing that
// the program treats such a library as no library at all.
#include <windows.h>

extern "C" __declspec(dllexport) HANDLE WINAPI CH375OpenDevice(ULONG) { return reinterpret_cast<HANDLE>(1); }
