// The subclassing and hook services against real windows and hooks: the
// message filter's stages and lists, re-entry, the pass-through under
// another subclasser, windows that die while subclassed, the hook
// procedure, the record readers and the design-environment probe.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "hooks/hooking_thunk.h"
#include "hooks/subclassing_thunk.h"
#include "hooks/thunk_memory.h"
#include "test_container.h"

namespace marlinbar::test {
namespace {

constexpr UINT kProbe = WM_USER + 1;
constexpr UINT kOther = WM_USER + 2;

// What the window's own procedure saw.
struct Seen {
  UINT msg;
  WPARAM wParam;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_USER) {
    g_seen.push_back({msg, wParam});
    return static_cast<LRESULT>(msg) * 10;  // an answer the test can recognise
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MakeWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MarlinbarHooksTest";
    RegisterClassW(&wc);
    registered = true;
  }
  return CreateWindowExW(0, L"MarlinbarHooksTest", L"hooks", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                         nullptr, GetModuleHandleW(nullptr), nullptr);
}

// The IUnknown and IDispatch of a test's sink: its interface, IDispatch and
// IUnknown, counted references, no type information.
template <class Interface, REFIID Iid>
class TestSink : public Interface, public RefCounted {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == Iid) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
};

struct Call {
  bool before;
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LONG_PTR lReturn;
};

// A sink that records its calls and runs what a test asks of it.
class RecordingSink final : public TestSink<ISubclassingSink, IID_ISubclassingSink> {
 public:
  std::vector<Call> calls;
  std::function<void(VARIANT_BOOL*, LONG_PTR*, LONG_PTR*, LONG*, LONG_PTR*, LONG_PTR*)> onBefore;
  std::function<void(LONG_PTR*)> onAfter;

  HRESULT STDMETHODCALLTYPE After(LONG_PTR* lReturn, LONG_PTR* hwnd, LONG* uMsg, LONG_PTR* wParam,
                                  LONG_PTR*) override {
    if (*uMsg >= static_cast<LONG>(WM_USER)) {
      calls.push_back({false, reinterpret_cast<HWND>(*hwnd), static_cast<UINT>(*uMsg),
                       static_cast<WPARAM>(*wParam), *lReturn});
    }
    if (onAfter) onAfter(lReturn);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Before(VARIANT_BOOL* bHandled, LONG_PTR* lReturn, LONG_PTR* hwnd, LONG* uMsg,
                                   LONG_PTR* wParam, LONG_PTR* lParam) override {
    if (*uMsg >= static_cast<LONG>(WM_USER)) {
      calls.push_back({true, reinterpret_cast<HWND>(*hwnd), static_cast<UINT>(*uMsg),
                       static_cast<WPARAM>(*wParam), *lReturn});
    }
    if (onBefore) onBefore(bHandled, lReturn, hwnd, uMsg, wParam, lParam);
    return S_OK;
  }
  int Count(bool before) const {
    int n = 0;
    for (const Call& c : calls) n += c.before == before;
    return n;
  }
};

class Subclassing : public testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    window = MakeWindow();
    ASSERT_NE(window, nullptr);
    blocks = LiveThunkBlocks();
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
  }
  LRESULT Send(UINT msg, WPARAM wParam = 0) { return SendMessageW(window, msg, wParam, 0); }

  HWND window = nullptr;
  long blocks = 0;
  RecordingSink sink;
};

TEST_F(Subclassing, EmptyListsPassEveryMessageStraightThrough) {
  cSubclassingThunk thunk;
  ASSERT_TRUE(thunk.Subclass(window, &sink, false, false));
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)), thunk.ThunkAddress());
  EXPECT_EQ(thunk.hwnd(), window);
  EXPECT_EQ(Send(kProbe, 7), static_cast<LRESULT>(kProbe) * 10);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].wParam, 7u);
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_TRUE(thunk.Unsubclass());
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(RecordingProc));
  EXPECT_EQ(LiveThunkBlocks(), blocks);
}

TEST_F(Subclassing, ListsDecideWhichStageSeesAMessageAndAllFlagsOverrideThem) {
  cSubclassingThunk thunk;
  ASSERT_TRUE(thunk.Subclass(window, &sink, false, false));
  EXPECT_TRUE(thunk.AddBeforeMsgs({kProbe}));
  EXPECT_TRUE(thunk.AddAfterMsgs({kOther}));
  Send(kProbe);
  Send(kOther);
  ASSERT_EQ(sink.calls.size(), 2u);
  EXPECT_TRUE(sink.calls[0].before);
  EXPECT_EQ(sink.calls[0].msg, kProbe);
  EXPECT_FALSE(sink.calls[1].before);
  EXPECT_EQ(sink.calls[1].msg, kOther);
  EXPECT_EQ(sink.calls[1].lReturn, static_cast<LONG_PTR>(kOther) * 10) << "After sees the window's answer";

  sink.calls.clear();
  thunk.AllBeforeMsgs(true);
  Send(kOther);
  EXPECT_EQ(sink.Count(true), 1) << "every message reaches Before";
  EXPECT_FALSE(thunk.HasBeforeMsgs(kOther)) << "the list itself is unchanged";
  EXPECT_TRUE(thunk.HasBeforeMsgs(kProbe));
  EXPECT_TRUE(thunk.AllBeforeMsgs());

  // 43, 44, 43 adds two numbers and reports the repeat.
  EXPECT_FALSE(thunk.AddAfterMsgs({43, 44, 43}));
  EXPECT_TRUE(thunk.HasAfterMsgs(43));
  EXPECT_TRUE(thunk.HasAfterMsgs(44));
  EXPECT_TRUE(thunk.RemoveAfterMsg(43));
  EXPECT_FALSE(thunk.RemoveAfterMsg(43));
  EXPECT_TRUE(thunk.RemoveAfterMsg(44));
  EXPECT_TRUE(thunk.RemoveAfterMsg(kOther));
  EXPECT_FALSE(thunk.HasAfterMsgs(kOther));

  // With the only after entry removed the stage is skipped.
  thunk.AllBeforeMsgs(false);
  sink.calls.clear();
  Send(kOther);
  EXPECT_TRUE(sink.calls.empty());
  thunk.AllAfterMsgs(true);
  Send(kOther);
  EXPECT_EQ(sink.Count(false), 1);
}

TEST_F(Subclassing, BeforeCanChangeWhatThePreviousProcedureAndAfterSee) {
  cSubclassingThunk thunk;
  ASSERT_TRUE(thunk.Subclass(window, &sink, false, false));
  thunk.AddBeforeMsgs({kProbe});
  thunk.AddAfterMsgs({kOther});
  sink.onBefore = [](VARIANT_BOOL*, LONG_PTR*, LONG_PTR*, LONG* uMsg, LONG_PTR* wParam, LONG_PTR*) {
    if (*uMsg == static_cast<LONG>(kProbe)) {
      *uMsg = kOther;
      *wParam = 99;
    }
  };
  EXPECT_EQ(Send(kProbe, 1), static_cast<LRESULT>(kOther) * 10);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].msg, kOther);
  EXPECT_EQ(g_seen[0].wParam, 99u);
  ASSERT_EQ(sink.calls.size(), 2u);
  EXPECT_FALSE(sink.calls[1].before);
  EXPECT_EQ(sink.calls[1].msg, kOther) << "After sees the changed message";
  EXPECT_EQ(sink.calls[1].wParam, 99u);
}

TEST_F(Subclassing, HandledInBeforeSuppressesBothStagesAndAfterCanReplaceTheResult) {
  cSubclassingThunk thunk;
  ASSERT_TRUE(thunk.Subclass(window, &sink, false, false));
  thunk.AddBeforeMsgs({kProbe, kOther});
  thunk.AddAfterMsgs({kProbe, kOther});
  sink.onBefore = [](VARIANT_BOOL* bHandled, LONG_PTR* lReturn, LONG_PTR*, LONG* uMsg, LONG_PTR*, LONG_PTR*) {
    if (*uMsg == static_cast<LONG>(kProbe)) {
      *bHandled = VARIANT_TRUE;
      *lReturn = 1234;
    }
  };
  EXPECT_EQ(Send(kProbe), 1234);
  EXPECT_TRUE(g_seen.empty());
  EXPECT_EQ(sink.Count(false), 0);

  // Handled with the result left alone: 0.
  sink.onBefore = [](VARIANT_BOOL* bHandled, LONG_PTR*, LONG_PTR*, LONG*, LONG_PTR*, LONG_PTR*) {
    *bHandled = VARIANT_TRUE;
  };
  EXPECT_EQ(Send(kOther), 0);
  EXPECT_TRUE(g_seen.empty());

  sink.onBefore = nullptr;
  sink.onAfter = [](LONG_PTR* lReturn) { *lReturn += 5; };
  EXPECT_EQ(Send(kOther), static_cast<LRESULT>(kOther) * 10 + 5);
}

TEST_F(Subclassing, BeforeMayRunThePreviousProcedureItselfAndUnsubclassInsideAMessage) {
  cSubclassingThunk thunk;
  ASSERT_TRUE(thunk.Subclass(window, &sink, false, true));
  thunk.AddBeforeMsgs({kProbe});
  int nested = 0;
  sink.onBefore = [&](VARIANT_BOOL* bHandled, LONG_PTR* lReturn, LONG_PTR*, LONG* uMsg, LONG_PTR*, LONG_PTR*) {
    if (*uMsg != static_cast<LONG>(kProbe)) return;
    // Re-entry through the same window while its message is dispatched.
    if (nested++ == 0) SendMessageW(window, kProbe, 5, 0);
    std::optional<LRESULT> own = thunk.CallOrigWndProc(kOther, 3, 0);
    ASSERT_TRUE(own.has_value());
    *lReturn = *own + 1;
    *bHandled = VARIANT_TRUE;
  };
  EXPECT_EQ(Send(kProbe), static_cast<LRESULT>(kOther) * 10 + 1);
  EXPECT_EQ(g_seen.size(), 2u) << "the window ran once for each CallOrigWndProc";

  // Unsubclassing from inside the filter: this message still reaches the
  // window, and the filter's storage goes when the call returns.
  sink.onBefore = [&](VARIANT_BOOL*, LONG_PTR*, LONG_PTR*, LONG* uMsg, LONG_PTR*, LONG_PTR*) {
    if (*uMsg == static_cast<LONG>(kProbe)) {
      EXPECT_TRUE(thunk.Unsubclass());
    }
  };
  g_seen.clear();
  EXPECT_EQ(Send(kProbe), static_cast<LRESULT>(kProbe) * 10);
  EXPECT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(thunk.hwnd(), nullptr);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(RecordingProc));
  EXPECT_EQ(LiveThunkBlocks(), blocks);
}

TEST_F(Subclassing, AnotherSubclasserOnTopKeepsWorkingAfterUnsubclass) {
  cSubclassingThunk ours, theirs;
  RecordingSink theirSink;
  ASSERT_TRUE(ours.Subclass(window, &sink, false, false));
  ours.AllBeforeMsgs(true);
  ASSERT_TRUE(theirs.Subclass(window, &theirSink, false, false));
  theirs.AddBeforeMsgs({kProbe});

  EXPECT_TRUE(ours.Unsubclass());
  EXPECT_EQ(ours.hwnd(), nullptr);
  EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)), theirs.ThunkAddress());
  EXPECT_EQ(sink.Refs(), 1u) << "our sink is released";

  sink.calls.clear();
  EXPECT_EQ(Send(kProbe), static_cast<LRESULT>(kProbe) * 10) << "through their filter and our pass-through";
  EXPECT_EQ(theirSink.Count(true), 1);
  EXPECT_TRUE(sink.calls.empty());
  EXPECT_EQ(LiveThunkBlocks(), blocks + 2) << "theirs, and ours as a pass-through";

  // A later Subclass of the same object makes a new filter.
  ASSERT_TRUE(ours.Subclass(window, &sink, false, false));
  EXPECT_EQ(LiveThunkBlocks(), blocks + 3);
  Send(kProbe);
  EXPECT_EQ(sink.Count(true), 1);
  EXPECT_TRUE(ours.Unsubclass());

  // The window's end releases the pass-through.
  DestroyWindow(window);
  EXPECT_TRUE(theirs.Unsubclass());
  EXPECT_EQ(LiveThunkBlocks(), blocks);
}

TEST_F(Subclassing, AWindowDestroyedWhileSubclassedReleasesTheFilter) {
  cSubclassingThunk thunk;
  ASSERT_TRUE(thunk.Subclass(window, &sink, false, false));
  thunk.AddBeforeMsgs({WM_NCDESTROY});
  bool sawDestroy = false;
  sink.onBefore = [&](VARIANT_BOOL*, LONG_PTR*, LONG_PTR*, LONG* uMsg, LONG_PTR*, LONG_PTR*) {
    sawDestroy = sawDestroy || *uMsg == WM_NCDESTROY;
  };
  HWND old = window;
  DestroyWindow(window);
  EXPECT_TRUE(sawDestroy);
  EXPECT_EQ(LiveThunkBlocks(), blocks);
  EXPECT_EQ(thunk.hwnd(), old) << "the object still names the window";
  EXPECT_TRUE(thunk.Unsubclass());
  EXPECT_EQ(thunk.hwnd(), nullptr);
  EXPECT_EQ(sink.Refs(), 1u);
}

TEST_F(Subclassing, BusyIdleAndReferenceRules) {
  cSubclassingThunk thunk;
  EXPECT_FALSE(thunk.Unsubclass());
  EXPECT_FALSE(thunk.CallOrigWndProc(kProbe, 0, 0).has_value());
  // Lists set while idle apply at Subclass and survive Unsubclass.
  thunk.AddBeforeMsgs({kProbe});
  ASSERT_TRUE(thunk.Subclass(window, &sink, false, false));
  EXPECT_EQ(sink.Refs(), 2u) << "a counted reference";
  HWND second = MakeWindow();
  EXPECT_FALSE(thunk.Subclass(second, &sink, false, false));
  EXPECT_EQ(thunk.hwnd(), window);
  Send(kProbe);
  EXPECT_EQ(sink.Count(true), 1);
  EXPECT_TRUE(thunk.Unsubclass());
  EXPECT_EQ(sink.Refs(), 1u);

  ASSERT_TRUE(thunk.Subclass(second, &sink, true, false));
  EXPECT_EQ(sink.Refs(), 1u) << "a weak reference is not counted";
  SendMessageW(second, kProbe, 0, 0);
  EXPECT_EQ(sink.Count(true), 2);
  EXPECT_TRUE(thunk.Unsubclass());
  DestroyWindow(second);

  // Each object's filter has an address of its own.
  cSubclassingThunk other;
  EXPECT_NE(other.ThunkAddress(), thunk.ThunkAddress());
  EXPECT_NE(other.ThunkAddress(), nullptr);
}

TEST(SubclassingTag, KeepsACopyOfAValueOrAReferenceToAnObject) {
  cSubclassingThunk thunk;
  Variant value = Variant::Long(42);
  thunk.Tag(value);
  value.lVal = 7;
  Variant copy;
  thunk.Tag(&copy);
  EXPECT_EQ(copy.vt, VT_I4);
  EXPECT_EQ(copy.lVal, 42);

  RecordingSink object;
  Variant ref = Variant::Object(static_cast<ISubclassingSink*>(&object));
  thunk.Tag(ref);
  ref.Clear();
  EXPECT_EQ(object.Refs(), 2u);
  Variant back;
  thunk.Tag(&back);
  EXPECT_EQ(back.punkVal, static_cast<IUnknown*>(static_cast<ISubclassingSink*>(&object)));
  back.Clear();
  thunk.Tag(Variant());
  EXPECT_EQ(object.Refs(), 1u);
}

// ---- hooks

class RecordingHookSink final : public TestSink<IHookingSink, IID_IHookingSink> {
 public:
  struct HookCall {
    bool before;
    int nCode;
    UINT message;
  };
  std::vector<HookCall> calls;
  cHookingThunk* thunk = nullptr;
  bool handle = false;

  HRESULT STDMETHODCALLTYPE After(LONG_PTR*, LONG nCode, LONG_PTR, LONG_PTR lParam) override {
    Record(false, nCode, lParam);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Before(VARIANT_BOOL* bHandled, LONG_PTR* lReturn, LONG nCode, LONG_PTR,
                                   LONG_PTR lParam) override {
    Record(true, nCode, lParam);
    if (handle) {
      *bHandled = VARIANT_TRUE;
      *lReturn = 0;
    }
    return S_OK;
  }

 private:
  void Record(bool before, LONG nCode, LPARAM lParam) {
    ::CWPSTRUCT cwp = thunk->CWPSTRUCT(lParam);
    if (cwp.message == kProbe) calls.push_back({before, static_cast<int>(nCode), cwp.message});
  }
};

TEST(Hooking, ReportsEveryCallBeforeAndAfterTheNextHook) {
  HWND window = MakeWindow();
  cHookingThunk thunk;
  RecordingHookSink sink;
  sink.thunk = &thunk;
  EXPECT_FALSE(thunk.Unhook());
  ASSERT_TRUE(thunk.Hook(WH_CALLWNDPROC, &sink));
  EXPECT_EQ(thunk.HookType(), WH_CALLWNDPROC);
  EXPECT_EQ(sink.Refs(), 2u);
  EXPECT_FALSE(thunk.Hook(WH_CALLWNDPROC, &sink));

  g_seen.clear();
  SendMessageW(window, kProbe, 0, 0);
  ASSERT_EQ(sink.calls.size(), 2u);
  EXPECT_TRUE(sink.calls[0].before);
  EXPECT_EQ(sink.calls[0].nCode, HC_ACTION);
  EXPECT_FALSE(sink.calls[1].before);
  EXPECT_EQ(g_seen.size(), 1u);

  // Handled in Before: no next hook and no After; the message itself is
  // delivered all the same (a WH_CALLWNDPROC hook only watches).
  sink.calls.clear();
  sink.handle = true;
  SendMessageW(window, kProbe, 0, 0);
  ASSERT_EQ(sink.calls.size(), 1u);
  EXPECT_TRUE(sink.calls[0].before);

  EXPECT_TRUE(thunk.Unhook());
  EXPECT_EQ(sink.Refs(), 1u);
  EXPECT_FALSE(thunk.Unhook());
  sink.calls.clear();
  SendMessageW(window, kProbe, 0, 0);
  EXPECT_TRUE(sink.calls.empty());
  DestroyWindow(window);
}

// Reads the records a CBT hook receives when a window is made.
class CbtSink final : public TestSink<IHookingSink, IID_IHookingSink> {
 public:
  cHookingThunk* thunk = nullptr;
  std::vector<CbtCreateWndRecord> created;
  HRESULT STDMETHODCALLTYPE After(LONG_PTR*, LONG, LONG_PTR, LONG_PTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Before(VARIANT_BOOL*, LONG_PTR*, LONG nCode, LONG_PTR, LONG_PTR lParam) override {
    if (nCode == HCBT_CREATEWND) created.push_back(thunk->CBT_CREATEWND(lParam));
    return S_OK;
  }
};

TEST(Hooking, RecordReadersCopyTheStructuresAndTheirTexts) {
  cHookingThunk thunk;
  CbtSink sink;
  sink.thunk = &thunk;
  ASSERT_TRUE(thunk.Hook(WH_CBT, &sink));
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"标题 caption", WS_POPUP, 11, 12, 33, 44, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  thunk.Unhook();
  // The system may make windows of its own meanwhile (an IME window).
  const CreateStructRecord* found = nullptr;
  for (const CbtCreateWndRecord& r : sink.created) {
    if (r.lpcs.lpszClass == L"STATIC") found = &r.lpcs;
  }
  ASSERT_NE(found, nullptr);
  const CreateStructRecord& cs = *found;
  EXPECT_EQ(cs.lpszName, L"标题 caption");
  EXPECT_EQ(cs.lpszClass, L"STATIC");
  EXPECT_EQ(cs.X, 11);
  EXPECT_EQ(cs.Y, 12);
  EXPECT_EQ(cs.cx, 33);
  EXPECT_EQ(cs.cy, 44);
  EXPECT_EQ(static_cast<DWORD>(cs.Style) & WS_POPUP, static_cast<DWORD>(WS_POPUP));
  EXPECT_TRUE(cs.ExStyle & WS_EX_TOOLWINDOW);
  DestroyWindow(window);

  // The plain readers, and the null and atom cases.
  ::RECT rc{1, 2, 3, 4};
  ::RECT back = thunk.RECT(reinterpret_cast<LPARAM>(&rc));
  EXPECT_EQ(back.right, 3);
  ::MSG msg{};
  msg.message = kProbe;
  msg.wParam = 77;
  EXPECT_EQ(thunk.MSG(reinterpret_cast<LPARAM>(&msg)).wParam, 77u);
  EXPECT_EQ(thunk.STR(0), L"");
  EXPECT_EQ(thunk.STR(reinterpret_cast<LPARAM>(L"文字")), L"文字");
  CREATESTRUCTW atomClass{};
  atomClass.lpszClass = MAKEINTATOM(0xC123);
  EXPECT_EQ(thunk.CREATESTRUCT(reinterpret_cast<LPARAM>(&atomClass)).lpszClass, L"#49443");
  EXPECT_EQ(thunk.CREATESTRUCT(reinterpret_cast<LPARAM>(&atomClass)).lpszName, L"");
  EXPECT_EQ(thunk.CWPSTRUCT(0).message, 0u);
}

// ---- the design-environment probe

class DesignProbe : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path);
    p = p.substr(0, p.find_last_of(L"\\/") + 1) + L"design_probe\\vba6.dll";
    module = LoadLibraryW(p.c_str());
    ASSERT_NE(module, nullptr) << "the stand-in environment runtime";
    setMode = reinterpret_cast<void(__stdcall*)(int)>(reinterpret_cast<void*>(GetProcAddress(module, "SetEbMode")));
    ASSERT_NE(setMode, nullptr);
    setMode(1);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
  }
  HMODULE module = nullptr;
  void(__stdcall* setMode)(int) = nullptr;
};

TEST_F(DesignProbe, BreakModeKeepsMessagesFromTheSinkButNotFromTheWindow) {
  HWND window = MakeWindow();
  RecordingSink sink;
  {
    cSubclassingThunk thunk;
    ASSERT_TRUE(thunk.Subclass(window, &sink, false, false));
    thunk.AddBeforeMsgs({kProbe});
    thunk.AddAfterMsgs({kProbe});
    sink.onBefore = [](VARIANT_BOOL* bHandled, LONG_PTR*, LONG_PTR*, LONG*, LONG_PTR*, LONG_PTR*) {
      *bHandled = VARIANT_TRUE;
    };
    g_seen.clear();
    setMode(2);
    EXPECT_EQ(SendMessageW(window, kProbe, 0, 0), static_cast<LRESULT>(kProbe) * 10);
    EXPECT_EQ(g_seen.size(), 1u) << "the window still works";
    EXPECT_TRUE(sink.calls.empty()) << "no sink call in break mode";

    setMode(1);
    EXPECT_EQ(SendMessageW(window, kProbe, 0, 0), 0) << "run mode: the sink handles it";
    EXPECT_EQ(sink.Count(true), 1);
    EXPECT_EQ(sink.Count(false), 0);
  }
  DestroyWindow(window);
}

TEST_F(DesignProbe, HookSkipsTheSinkInBreakModeAndUnhooksInDesignMode) {
  HWND window = MakeWindow();
  cHookingThunk thunk;
  RecordingHookSink sink;
  sink.thunk = &thunk;
  ASSERT_TRUE(thunk.Hook(WH_CALLWNDPROC, &sink));
  setMode(2);
  SendMessageW(window, kProbe, 0, 0);
  EXPECT_TRUE(sink.calls.empty());
  setMode(1);
  SendMessageW(window, kProbe, 0, 0);
  EXPECT_EQ(sink.calls.size(), 2u);
  setMode(0);
  SendMessageW(window, kProbe, 0, 0);
  EXPECT_EQ(sink.calls.size(), 2u) << "design mode: the hook removed itself and dropped the sink";
  EXPECT_EQ(sink.Refs(), 1u);
  setMode(1);
  SendMessageW(window, kProbe, 0, 0);
  EXPECT_EQ(sink.calls.size(), 2u);
  thunk.Unhook();
  DestroyWindow(window);
}

}  // namespace
}  // namespace marlinbar::test
