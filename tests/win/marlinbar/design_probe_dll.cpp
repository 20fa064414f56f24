// A stand-in for the runtime module of a development environment: it
// exports the run-mode query EbMode, whose answer the tests set.
#include <windows.h>

namespace {
volatile LONG g_mode = 1;  // run mode
volatile LONG g_calls = 0;
}  // namespace

extern "C" int __stdcall EbMode() {
  InterlockedIncrement(&g_calls);
  return g_mode;
}

extern "C" void __stdcall SetEbMode(int mode) { InterlockedExchange(&g_mode, mode); }

extern "C" int __stdcall EbModeCalls() { return g_calls; }
