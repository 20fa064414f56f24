// cSubclassingThunk: replaces the window procedure of one window by a
// message filter of its own and offers selected messages to an
// ISubclassingSink before and/or after the previous procedure runs.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <optional>
#include <vector>

#include "control/com_ptr.h"
#include "marlinbar_h.h"

namespace marlinbar {

struct SubclassFilter;

class cSubclassingThunk {
 public:
  cSubclassingThunk();
  ~cSubclassingThunk();
  cSubclassingThunk(const cSubclassingThunk&) = delete;
  cSubclassingThunk& operator=(const cSubclassingThunk&) = delete;

  // False, changing nothing, while a window is subclassed.
  bool Subclass(HWND hwnd, ISubclassingSink* Sink, bool WeakReference, bool DontFree);
  // False when idle.
  bool Unsubclass();

  // Each number is appended unless already listed; true only if every one
  // was new.
  bool AddBeforeMsgs(std::initializer_list<UINT> uMsgs);
  bool AddAfterMsgs(std::initializer_list<UINT> uMsgs);
  bool RemoveBeforeMsg(UINT uMsg);
  bool RemoveAfterMsg(UINT uMsg);
  // Answer from the lists only; the all-flags are not consulted.
  bool HasBeforeMsgs(UINT uMsg) const;
  bool HasAfterMsgs(UINT uMsg) const;

  bool AllBeforeMsgs() const { return m_bAllBefore; }
  void AllBeforeMsgs(bool value);
  bool AllAfterMsgs() const { return m_bAllAfter; }
  void AllAfterMsgs(bool value);

  // The previous procedure's answer; empty while idle.
  std::optional<LRESULT> CallOrigWndProc(UINT uMsg, WPARAM wParam, LPARAM lParam);

  // The subclassed window, 0 while idle (after the window's WM_NCDESTROY it
  // still reads the old handle until Unsubclass).
  HWND hwnd() const { return m_hWnd; }

  // A free slot for the owner: a copy of a plain value, or a reference to
  // an object.
  void Tag(const VARIANT& vValue);
  void Tag(VARIANT* copy) const;

  // The entry procedure installed as the window procedure; the filter is
  // made on first request.
  WNDPROC ThunkAddress();

 private:
  friend struct SubclassFilter;
  void Rebuild();
  void ForgetFilter();

  HWND m_hWnd = nullptr;
  WNDPROC m_pPrevious = nullptr;
  ComPtr<ISubclassingSink> m_oSink;    // counted unless WeakReference
  ISubclassingSink* m_pSink = nullptr;  // what the filter dispatches to
  std::vector<UINT> m_colBefore;
  std::vector<UINT> m_colAfter;
  bool m_bAllBefore = false;
  bool m_bAllAfter = false;
  bool m_bDontFree = false;
  Variant m_vTag;
  SubclassFilter* m_pFilter = nullptr;
};

}  // namespace marlinbar
