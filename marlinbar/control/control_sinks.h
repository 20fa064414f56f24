// The control's two helper sinks: the subclass sink of its windows and the
// change sink of its font object. Each is an object of its own, so that
// what holds it counted does not keep the control alive; each forwards to
// the control while the control lives.
#pragma once

#include "control/com_object.h"
#include "control/marlinbar_control.h"
#include "control/module.h"
#include "control/typed_dispatch.h"

namespace marlinbar {

class Marlinbar::SinkImpl final : public DualObject<ISubclassingSink, IID_ISubclassingSink> {
 public:
  explicit SinkImpl(Marlinbar* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  HRESULT STDMETHODCALLTYPE After(LONG_PTR* lReturn, LONG_PTR* hwnd, LONG* uMsg, LONG_PTR* wParam,
                                  LONG_PTR* lParam) override {
    if (owner_) owner_->After(lReturn, hwnd, uMsg, wParam, lParam);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Before(VARIANT_BOOL* bHandled, LONG_PTR* lReturn, LONG_PTR* hwnd, LONG* uMsg,
                                   LONG_PTR* wParam, LONG_PTR* lParam) override {
    if (owner_) owner_->Before(bHandled, lReturn, hwnd, uMsg, wParam, lParam);
    return S_OK;
  }

 private:
  Marlinbar* owner_;
};

// Watches the control's font object: any change refreshes the metrics.
class Marlinbar::FontNotify final : public ComObject<IPropertyNotifySink, IID_IPropertyNotifySink> {
 public:
  explicit FontNotify(Marlinbar* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  HRESULT STDMETHODCALLTYPE OnChanged(DISPID) override {
    if (owner_) owner_->OnFontChanged();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }

 private:
  Marlinbar* owner_;
};

}  // namespace marlinbar
