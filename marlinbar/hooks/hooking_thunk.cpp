#include "hooks/hooking_thunk.h"

#include <new>

#include "control/module.h"
#include "hooks/design_probe.h"
#include "hooks/thunk_memory.h"

namespace marlinbar {

// The hook procedure's storage: entry code, hook handle and sink. Like the
// subclass filter it lives on while one of its calls is running.
struct HookFilter {
  alignas(16) unsigned char code[kStubSize];
  HHOOK hook = nullptr;
  ComPtr<IHookingSink> sink;
  EbModeProc probe = nullptr;
  int depth = 0;
  bool release_pending = false;

  static HookFilter* Create();
  void Release();
  static LRESULT CALLBACK Entry(HookFilter* self, int nCode, WPARAM wParam, LPARAM lParam);
};

HookFilter* HookFilter::Create() {
  void* block = AllocateThunkBlock(sizeof(HookFilter));
  if (!block) return nullptr;
  auto* filter = new (block) HookFilter;
  WriteHookProcStub(filter->code, filter, reinterpret_cast<const void*>(&HookFilter::Entry));
  return filter;
}

void HookFilter::Release() {
  if (depth > 0) {
    release_pending = true;
    return;
  }
  this->~HookFilter();
  FreeThunkBlock(this);
}

LRESULT CALLBACK HookFilter::Entry(HookFilter* self, int nCode, WPARAM wParam, LPARAM lParam) {
  ++self->depth;
  VARIANT_BOOL bHandled = VARIANT_FALSE;
  LONG_PTR lReturn = 0;
  int mode = self->probe ? self->probe() : -1;
  bool breakMode = mode == kEbBreakMode;
  // A counted reference for the call: the sink may unhook and drop itself.
  ComPtr<IHookingSink> sink = self->sink;
  if (breakMode) {
    bHandled = VARIANT_TRUE;
  } else {
    if (mode == kEbDesignMode) {
      // The environment left run mode: the sink's code is gone.
      UnhookWindowsHookEx(self->hook);
      self->sink = nullptr;
      sink = nullptr;
    }
    if (sink) {
      sink->Before(&bHandled, &lReturn, nCode, static_cast<LONG_PTR>(wParam), lParam);
      if (bHandled != VARIANT_FALSE) {
        if (--self->depth == 0 && self->release_pending) self->Release();
        return lReturn;
      }
    }
  }
  lReturn = CallNextHookEx(self->hook, nCode, wParam, lParam);
  if (bHandled == VARIANT_FALSE && sink && !(self->probe && self->probe() == kEbBreakMode)) {
    sink->After(&lReturn, nCode, static_cast<LONG_PTR>(wParam), lParam);
  }
  sink = nullptr;
  if (--self->depth == 0 && self->release_pending) self->Release();
  return lReturn;
}

cHookingThunk::cHookingThunk() = default;

cHookingThunk::~cHookingThunk() {
  Unhook();
  if (m_pFilter) {
    m_pFilter->Release();
    m_pFilter = nullptr;
  }
}

HOOKPROC cHookingThunk::ThunkAddress() {
  if (!m_pFilter) m_pFilter = HookFilter::Create();
  return m_pFilter ? reinterpret_cast<HOOKPROC>(static_cast<void*>(m_pFilter->code)) : nullptr;
}

bool cHookingThunk::Hook(int HookType, IHookingSink* Sink) {
  if (m_hHook) return false;
  HOOKPROC entry = ThunkAddress();
  if (!entry) return false;
  m_lHookType = HookType;
  m_pFilter->sink = ComPtr<IHookingSink>(Sink);
  m_pFilter->probe = FindDesignEnvironmentProbe();
  m_hHook = SetWindowsHookExW(HookType, entry, ThisModule(), GetCurrentThreadId());
  m_pFilter->hook = m_hHook;
  if (!m_hHook) m_pFilter->sink = nullptr;
  return m_hHook != nullptr;
}

bool cHookingThunk::Unhook() {
  if (!m_hHook) return false;
  UnhookWindowsHookEx(m_hHook);
  m_hHook = nullptr;
  if (m_pFilter) {
    m_pFilter->hook = nullptr;
    m_pFilter->sink = nullptr;
  }
  return true;
}

void cHookingThunk::Tag(const VARIANT& vValue) { CopyVariant(&m_vTag, &vValue); }

void cHookingThunk::Tag(VARIANT* copy) const {
  if (!copy) return;
  VariantInit(copy);
  CopyVariant(copy, &m_vTag);
}

namespace {
template <class T>
T ReadRecord(LPARAM lParam) {
  T record{};
  if (lParam) record = *reinterpret_cast<const T*>(lParam);
  return record;
}

// Class and window names may be atoms or resource ordinals rather than
// addresses of texts.
std::wstring NameText(LPCWSTR name) {
  if (!name) return std::wstring();
  if (IS_INTRESOURCE(name)) return L"#" + std::to_wstring(reinterpret_cast<UINT_PTR>(name));
  return std::wstring(name);
}

CreateStructRecord ToRecord(const CREATESTRUCTW& cs) {
  CreateStructRecord r;
  r.lpCreateParams = reinterpret_cast<LONG_PTR>(cs.lpCreateParams);
  r.hInstance = reinterpret_cast<LONG_PTR>(cs.hInstance);
  r.hMenu = reinterpret_cast<LONG_PTR>(cs.hMenu);
  r.hWndParent = reinterpret_cast<LONG_PTR>(cs.hwndParent);
  r.cy = cs.cy;
  r.cx = cs.cx;
  r.Y = cs.y;
  r.X = cs.x;
  r.Style = cs.style;
  r.lpszName = NameText(cs.lpszName);
  r.lpszClass = NameText(cs.lpszClass);
  r.ExStyle = cs.dwExStyle;
  return r;
}
}  // namespace

::CWPSTRUCT cHookingThunk::CWPSTRUCT(LPARAM lParam) const { return ReadRecord<::CWPSTRUCT>(lParam); }
::CWPRETSTRUCT cHookingThunk::CWPRETSTRUCT(LPARAM lParam) const { return ReadRecord<::CWPRETSTRUCT>(lParam); }
::MSG cHookingThunk::MSG(LPARAM lParam) const { return ReadRecord<::MSG>(lParam); }
::EVENTMSG cHookingThunk::EVENTMSG(LPARAM lParam) const { return ReadRecord<::EVENTMSG>(lParam); }
::KBDLLHOOKSTRUCT cHookingThunk::KBDLLHOOKSTRUCT(LPARAM lParam) const {
  return ReadRecord<::KBDLLHOOKSTRUCT>(lParam);
}
::MOUSEHOOKSTRUCT cHookingThunk::MOUSEHOOKSTRUCT(LPARAM lParam) const {
  return ReadRecord<::MOUSEHOOKSTRUCT>(lParam);
}
::MSLLHOOKSTRUCT cHookingThunk::MSLLHOOKSTRUCT(LPARAM lParam) const {
  return ReadRecord<::MSLLHOOKSTRUCT>(lParam);
}
::RECT cHookingThunk::RECT(LPARAM lParam) const { return ReadRecord<::RECT>(lParam); }

CreateStructRecord cHookingThunk::CREATESTRUCT(LPARAM lParam) const {
  if (!lParam) return CreateStructRecord();
  return ToRecord(*reinterpret_cast<const CREATESTRUCTW*>(lParam));
}

CbtCreateWndRecord cHookingThunk::CBT_CREATEWND(LPARAM lParam) const {
  CbtCreateWndRecord r;
  if (!lParam) return r;
  const auto& cbt = *reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
  if (cbt.lpcs) r.lpcs = ToRecord(*cbt.lpcs);
  r.hWndInsertAfter = reinterpret_cast<LONG_PTR>(cbt.hwndInsertAfter);
  return r;
}

std::wstring cHookingThunk::STR(LPARAM lpsz) const {
  if (!lpsz) return std::wstring();
  return std::wstring(reinterpret_cast<const wchar_t*>(lpsz));
}

}  // namespace marlinbar
