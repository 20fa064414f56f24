// cMenuHook: the one WH_CALLWNDPROC hook of the library, which tells the
// control that last converted a menu about every new pop-up menu window.
// It lives while any control instance lives on the thread that made it.
#pragma once

#include <windows.h>

#include <memory>

#include "hooks/hooking_thunk.h"

namespace marlinbar {

class cMenuHook {
 public:
  // The hook of the process, made on first request.
  static std::shared_ptr<cMenuHook> Acquire();
  // The hook while any control holds it, else nullptr.
  static std::shared_ptr<cMenuHook> Current();

  cMenuHook();
  ~cMenuHook();
  cMenuHook(const cMenuHook&) = delete;
  cMenuHook& operator=(const cMenuHook&) = delete;

  bool IsHooked() const { return m_oHook.IsHooked(); }
  HOOKPROC ThunkAddress() { return m_oHook.ThunkAddress(); }

  // The sink's halves.
  void Before(VARIANT_BOOL* bHandled, LONG_PTR* lReturn, int nCode, WPARAM wParam, LPARAM lParam);
  void After(LONG_PTR* lReturn, int nCode, WPARAM wParam, LPARAM lParam);

 private:
  class Sink;
  cHookingThunk m_oHook;
  Sink* sink_ = nullptr;
};

}  // namespace marlinbar
