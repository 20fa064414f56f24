#include "hooks/design_probe.h"

#include <windows.h>

namespace marlinbar {

EbModeProc FindDesignEnvironmentProbe() {
  // The runtimes of the Visual Basic 6 and 5 development environments.
  static const wchar_t* const kModules[] = {L"vba6.dll", L"vba5.dll"};
  for (const wchar_t* name : kModules) {
    if (HMODULE module = GetModuleHandleW(name)) {
      if (FARPROC proc = GetProcAddress(module, "EbMode")) {
        return reinterpret_cast<EbModeProc>(reinterpret_cast<void*>(proc));
      }
    }
  }
  return nullptr;
}

}  // namespace marlinbar
