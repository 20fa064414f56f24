#include "hooks/subclassing_thunk.h"

#include <algorithm>
#include <new>

#include "hooks/design_probe.h"
#include "hooks/thunk_memory.h"

namespace marlinbar {

// The filter's storage: its entry code first, then what it dispatches with.
// It outlives its object when the window still calls it (a pass-through
// under another subclasser, or while one of its own calls is running) and
// frees itself when the window is destroyed or its last call returns.
struct SubclassFilter {
  alignas(16) unsigned char code[kStubSize];
  HWND hwnd = nullptr;
  WNDPROC previous = nullptr;
  ISubclassingSink* sink = nullptr;
  // The before list followed by the after list.
  std::vector<UINT> table;
  std::size_t before_size = 0;
  // -1 every message, 0 none, n the first n (before) or next n (after)
  // entries of the table.
  long before_count = 0;
  long after_count = 0;
  EbModeProc probe = nullptr;
  // Calls of this filter in progress on the stack; the storage is released
  // only when none is.
  int depth = 0;
  bool release_pending = false;
  // The object that owns the filter, nullptr once it has forgotten it.
  cSubclassingThunk* owner = nullptr;

  static SubclassFilter* Create(cSubclassingThunk* owner);
  void Release();
  static LRESULT CALLBACK Entry(SubclassFilter* self, UINT uMsg, WPARAM wParam, LPARAM lParam);
  bool Qualifies(UINT uMsg, bool before) const;
};

SubclassFilter* SubclassFilter::Create(cSubclassingThunk* owner) {
  void* block = AllocateThunkBlock(sizeof(SubclassFilter));
  if (!block) return nullptr;
  auto* filter = new (block) SubclassFilter;
  filter->owner = owner;
  WriteWindowProcStub(filter->code, filter, reinterpret_cast<const void*>(&SubclassFilter::Entry));
  return filter;
}

void SubclassFilter::Release() {
  if (depth > 0) {
    release_pending = true;
    return;
  }
  if (owner) owner->ForgetFilter();
  this->~SubclassFilter();
  FreeThunkBlock(this);
}

bool SubclassFilter::Qualifies(UINT uMsg, bool before) const {
  long count = before ? before_count : after_count;
  if (count == -1) return true;
  if (count <= 0) return false;
  auto first = table.begin() + (before ? 0 : static_cast<std::ptrdiff_t>(before_size));
  return std::find(first, first + count, uMsg) != first + count;
}

LRESULT CALLBACK SubclassFilter::Entry(SubclassFilter* self, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  ++self->depth;
  LONG_PTR hwnd = reinterpret_cast<LONG_PTR>(self->hwnd);
  long msg = static_cast<long>(uMsg);
  LONG_PTR wp = static_cast<LONG_PTR>(wParam);
  LONG_PTR lp = lParam;
  VARIANT_BOOL bHandled = VARIANT_FALSE;
  LONG_PTR lReturn = 0;
  bool skipPrevious = false;

  if (self->Qualifies(uMsg, true)) {
    if (self->probe && self->probe() == kEbBreakMode) {
      // The environment cannot run the sink's code now: let the window work
      // on and skip the after stage.
      bHandled = VARIANT_TRUE;
    } else if (self->sink) {
      self->sink->Before(&bHandled, &lReturn, &hwnd, &msg, &wp, &lp);
      skipPrevious = bHandled != VARIANT_FALSE;
    }
  }
  if (!skipPrevious) {
    lReturn = CallWindowProcW(self->previous, reinterpret_cast<HWND>(hwnd), static_cast<UINT>(msg),
                              static_cast<WPARAM>(wp), lp);
    if (bHandled == VARIANT_FALSE && self->Qualifies(static_cast<UINT>(msg), false) && self->sink &&
        !(self->probe && self->probe() == kEbBreakMode)) {
      self->sink->After(&lReturn, &hwnd, &msg, &wp, &lp);
    }
  }

  --self->depth;
  if (uMsg == WM_NCDESTROY && !self->release_pending) {
    // The window is gone after this message: detach from it for good. The
    // window procedure is not restored; nothing will call it again.
    self->hwnd = nullptr;
    self->sink = nullptr;
    self->release_pending = true;
  }
  if (self->release_pending && self->depth == 0) {
    self->release_pending = false;
    self->Release();
  }
  return lReturn;
}

cSubclassingThunk::cSubclassingThunk() = default;

cSubclassingThunk::~cSubclassingThunk() {
  Unsubclass();
  if (m_pFilter) {
    // Made by ThunkAddress but never installed.
    SubclassFilter* filter = m_pFilter;
    filter->owner = nullptr;
    m_pFilter = nullptr;
    filter->Release();
  }
}

WNDPROC cSubclassingThunk::ThunkAddress() {
  if (!m_pFilter) m_pFilter = SubclassFilter::Create(this);
  return m_pFilter ? reinterpret_cast<WNDPROC>(static_cast<void*>(m_pFilter->code)) : nullptr;
}

bool cSubclassingThunk::Subclass(HWND hwnd, ISubclassingSink* Sink, bool WeakReference, bool DontFree) {
  if (m_hWnd) return false;
  m_bDontFree = DontFree;
  m_pSink = Sink;
  if (WeakReference) {
    m_oSink = nullptr;
  } else {
    m_oSink = ComPtr<ISubclassingSink>(Sink);
  }
  WNDPROC entry = ThunkAddress();
  if (!entry) return false;
  m_pFilter->probe = FindDesignEnvironmentProbe();
  m_hWnd = hwnd;
  // The filter must know where to pass messages before the window can call
  // it, so the previous procedure is read first and checked after.
  m_pFilter->hwnd = hwnd;
  m_pFilter->previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
  Rebuild();
  LONG_PTR previous = SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(entry));
  m_pPrevious = reinterpret_cast<WNDPROC>(previous);
  if (m_pFilter) m_pFilter->previous = m_pPrevious;
  return true;
}

bool cSubclassingThunk::Unsubclass() {
  if (!m_hWnd) return false;
  m_oSink = nullptr;
  m_pSink = nullptr;
  if (SubclassFilter* filter = m_pFilter) {
    filter->sink = nullptr;
    filter->table.clear();
    filter->before_size = 0;
    filter->before_count = 0;
    filter->after_count = 0;
    bool windowAlive = filter->hwnd && IsWindow(filter->hwnd);
    bool ours = windowAlive && GetWindowLongPtrW(filter->hwnd, GWLP_WNDPROC) ==
                                   reinterpret_cast<LONG_PTR>(static_cast<void*>(filter->code));
    if (ours) SetWindowLongPtrW(filter->hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pPrevious));
    // Another procedure above this one still calls the filter: it stays as
    // a pure pass-through and releases itself with the window. Otherwise it
    // is out of every chain and goes now, or when its running call returns
    // (DontFree: Unsubclass from inside the window's own message).
    filter->owner = nullptr;
    m_pFilter = nullptr;
    if (!(windowAlive && !ours)) filter->Release();
  }
  m_hWnd = nullptr;
  m_pPrevious = nullptr;
  return true;
}

void cSubclassingThunk::ForgetFilter() {
  m_pFilter = nullptr;
}

void cSubclassingThunk::Rebuild() {
  if (!m_pFilter) return;
  SubclassFilter* f = m_pFilter;
  if (!m_hWnd) {
    // Lists and flags wait for the next Subclass.
    return;
  }
  f->sink = m_pSink;
  f->table = m_colBefore;
  f->table.insert(f->table.end(), m_colAfter.begin(), m_colAfter.end());
  f->before_size = m_colBefore.size();
  f->before_count = m_bAllBefore ? -1 : static_cast<long>(m_colBefore.size());
  f->after_count = m_bAllAfter ? -1 : static_cast<long>(m_colAfter.size());
}

namespace {
bool AddTo(std::vector<UINT>& list, std::initializer_list<UINT> numbers, cSubclassingThunk* self,
           void (cSubclassingThunk::*rebuild)()) {
  bool all = true;
  for (UINT n : numbers) {
    if (std::find(list.begin(), list.end(), n) != list.end()) {
      all = false;
      continue;
    }
    list.push_back(n);
    (self->*rebuild)();
  }
  return all;
}

bool RemoveFrom(std::vector<UINT>& list, UINT n) {
  auto it = std::find(list.begin(), list.end(), n);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}
}  // namespace

bool cSubclassingThunk::AddBeforeMsgs(std::initializer_list<UINT> uMsgs) {
  return AddTo(m_colBefore, uMsgs, this, &cSubclassingThunk::Rebuild);
}

bool cSubclassingThunk::AddAfterMsgs(std::initializer_list<UINT> uMsgs) {
  return AddTo(m_colAfter, uMsgs, this, &cSubclassingThunk::Rebuild);
}

bool cSubclassingThunk::RemoveBeforeMsg(UINT uMsg) {
  if (!RemoveFrom(m_colBefore, uMsg)) return false;
  Rebuild();
  return true;
}

bool cSubclassingThunk::RemoveAfterMsg(UINT uMsg) {
  if (!RemoveFrom(m_colAfter, uMsg)) return false;
  Rebuild();
  return true;
}

bool cSubclassingThunk::HasBeforeMsgs(UINT uMsg) const {
  return std::find(m_colBefore.begin(), m_colBefore.end(), uMsg) != m_colBefore.end();
}

bool cSubclassingThunk::HasAfterMsgs(UINT uMsg) const {
  return std::find(m_colAfter.begin(), m_colAfter.end(), uMsg) != m_colAfter.end();
}

void cSubclassingThunk::AllBeforeMsgs(bool value) {
  m_bAllBefore = value;
  Rebuild();
}

void cSubclassingThunk::AllAfterMsgs(bool value) {
  m_bAllAfter = value;
  Rebuild();
}

std::optional<LRESULT> cSubclassingThunk::CallOrigWndProc(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (!m_hWnd) return std::nullopt;
  return CallWindowProcW(m_pPrevious, m_hWnd, uMsg, wParam, lParam);
}

void cSubclassingThunk::Tag(const VARIANT& vValue) {
  CopyVariant(&m_vTag, &vValue);
}

void cSubclassingThunk::Tag(VARIANT* copy) const {
  if (!copy) return;
  VariantInit(copy);
  CopyVariant(copy, &m_vTag);
}

}  // namespace marlinbar
