#include "hooks/menu_hook.h"

#include <new>

#include "control/marlinbar_control.h"
#include "control/module.h"
#include "control/typed_dispatch.h"

namespace marlinbar {
namespace {
std::weak_ptr<cMenuHook> g_hook;
}

// The IHookingSink that the hook holds; it forwards to its cMenuHook while
// that lives.
class cMenuHook::Sink final : public DualObject<IHookingSink, IID_IHookingSink> {
 public:
  explicit Sink(cMenuHook* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  HRESULT STDMETHODCALLTYPE After(LONG_PTR* lReturn, LONG nCode, LONG_PTR wParam, LONG_PTR lParam) override {
    if (owner_) owner_->After(lReturn, nCode, static_cast<WPARAM>(wParam), lParam);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Before(VARIANT_BOOL* bHandled, LONG_PTR* lReturn, LONG nCode, LONG_PTR wParam,
                                   LONG_PTR lParam) override {
    if (owner_) owner_->Before(bHandled, lReturn, nCode, static_cast<WPARAM>(wParam), lParam);
    return S_OK;
  }

 private:
  cMenuHook* owner_;
};

std::shared_ptr<cMenuHook> cMenuHook::Acquire() {
  std::shared_ptr<cMenuHook> hook = g_hook.lock();
  if (!hook) {
    hook = std::make_shared<cMenuHook>();
    g_hook = hook;
  }
  return hook;
}

std::shared_ptr<cMenuHook> cMenuHook::Current() { return g_hook.lock(); }

cMenuHook::cMenuHook() : sink_(new (std::nothrow) Sink(this)) {
  if (sink_) m_oHook.Hook(WH_CALLWNDPROC, sink_);
}

cMenuHook::~cMenuHook() {
  m_oHook.Unhook();
  if (sink_) {
    sink_->Detach();
    sink_->Release();
  }
}

void cMenuHook::Before(VARIANT_BOOL*, LONG_PTR*, int, WPARAM, LPARAM) {}

void cMenuHook::After(LONG_PTR*, int nCode, WPARAM, LPARAM lParam) {
  Marlinbar* current = Marlinbar::m_oCurrent;
  if (!current || nCode != HC_ACTION) return;
  ::CWPSTRUCT cwp = m_oHook.CWPSTRUCT(lParam);
  wchar_t name[128];
  int length = GetClassNameW(cwp.hwnd, name, ARRAYSIZE(name));
  if (length <= 0) return;
  // 0x01E2: sent to a pop-up menu window when the system reuses it.
  if (lstrcmpW(name, L"#32768") == 0 && (cwp.message == WM_CREATE || cwp.message == 0x01E2)) {
    current->pvHookPopup(cwp.hwnd);
  }
}

}  // namespace marlinbar
