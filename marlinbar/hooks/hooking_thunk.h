// cHookingThunk: one Windows hook of the current thread whose every call is
// offered to an IHookingSink, plus readers for the records hooks receive.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

#include "control/com_ptr.h"
#include "marlinbar_h.h"

namespace marlinbar {

struct HookFilter;

// CREATESTRUCT with copies of its two texts.
struct CreateStructRecord {
  LONG_PTR lpCreateParams = 0;
  LONG_PTR hInstance = 0;
  LONG_PTR hMenu = 0;
  LONG_PTR hWndParent = 0;
  int cy = 0;
  int cx = 0;
  int Y = 0;
  int X = 0;
  LONG Style = 0;
  std::wstring lpszName;
  std::wstring lpszClass;
  DWORD ExStyle = 0;
};

// CBT_CREATEWND with the CREATESTRUCT it points to.
struct CbtCreateWndRecord {
  CreateStructRecord lpcs;
  LONG_PTR hWndInsertAfter = 0;
};

class cHookingThunk {
 public:
  cHookingThunk();
  ~cHookingThunk();
  cHookingThunk(const cHookingThunk&) = delete;
  cHookingThunk& operator=(const cHookingThunk&) = delete;

  // Installs a hook of type HookType (a WH_ value) for the current thread;
  // false when already hooked or when the system refused.
  bool Hook(int HookType, IHookingSink* Sink);
  bool Unhook();

  int HookType() const { return m_lHookType; }
  bool IsHooked() const { return m_hHook != nullptr; }
  void Tag(const VARIANT& vValue);
  void Tag(VARIANT* copy) const;
  HOOKPROC ThunkAddress();

  // The records hook procedures receive, read from lParam.
  ::CWPSTRUCT CWPSTRUCT(LPARAM lParam) const;
  ::CWPRETSTRUCT CWPRETSTRUCT(LPARAM lParam) const;
  CbtCreateWndRecord CBT_CREATEWND(LPARAM lParam) const;
  CreateStructRecord CREATESTRUCT(LPARAM lParam) const;
  ::MSG MSG(LPARAM lParam) const;
  ::EVENTMSG EVENTMSG(LPARAM lParam) const;
  ::KBDLLHOOKSTRUCT KBDLLHOOKSTRUCT(LPARAM lParam) const;
  ::MOUSEHOOKSTRUCT MOUSEHOOKSTRUCT(LPARAM lParam) const;
  ::MSLLHOOKSTRUCT MSLLHOOKSTRUCT(LPARAM lParam) const;
  ::RECT RECT(LPARAM lParam) const;
  // The zero-terminated text at lpsz; empty for 0.
  std::wstring STR(LPARAM lpsz) const;

 private:
  friend struct HookFilter;
  int m_lHookType = 0;
  HHOOK m_hHook = nullptr;
  Variant m_vTag;
  HookFilter* m_pFilter = nullptr;
};

}  // namespace marlinbar
