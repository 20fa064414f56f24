// Checks the chain the Windows tests stand on: a MinGW-built GoogleTest
// program starts under Wine through tools/wine-run, has a display to create
// windows on, keeps Chinese text intact through the "W" window functions, and
// finds fonts that draw Chinese under every face name our dialogs ask for
// (the runner maps them onto WenQuanYi Micro Hei in the prefix).
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

// A top-level window of a class of our own, destroyed with the test.
class ScratchWindow {
 public:
  ScratchWindow() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when a previous test registered it
    hwnd_ = CreateWindowExW(0, kClassName, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                            320, 200, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~ScratchWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  ScratchWindow(const ScratchWindow&) = delete;
  ScratchWindow& operator=(const ScratchWindow&) = delete;

  HWND get() const { return hwnd_; }

 private:
  static constexpr const wchar_t* kClassName = L"TarnWineSmokeWindow";
  HWND hwnd_ = nullptr;
};

// A memory DC over a 32-bit top-down DIB section, with a font selected; frees
// everything it made.
class TextCanvas {
 public:
  TextCanvas(const wchar_t* face, int width, int height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                               nullptr, 0);
    old_bitmap_ = SelectObject(dc_, bitmap_);
    font_ = CreateFontW(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                        DEFAULT_PITCH, face);
    old_font_ = SelectObject(dc_, font_);
  }
  ~TextCanvas() {
    SelectObject(dc_, old_font_);
    SelectObject(dc_, old_bitmap_);
    DeleteObject(font_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  TextCanvas(const TextCanvas&) = delete;
  TextCanvas& operator=(const TextCanvas&) = delete;

  bool ok() const { return dc_ && bitmap_ && bits_ && font_; }
  HDC dc() const { return dc_; }

  std::wstring face_in_use() const {
    std::array<wchar_t, LF_FACESIZE> name{};
    GetTextFaceW(dc_, static_cast<int>(name.size()), name.data());
    return name.data();
  }

  // Draws `text` black on white and returns the pixels.
  std::vector<DWORD> render(const std::wstring& text) {
    RECT all{0, 0, width_, height_};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc_, RGB(0, 0, 0));
    SetBkMode(dc_, TRANSPARENT);
    TextOutW(dc_, 2, 2, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();
    return std::vector<DWORD>(bits_, bits_ + width_ * height_);
  }

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  DWORD* bits_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ old_font_ = nullptr;
};

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one match is enough
}

bool FontFamilyInstalled(const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// "Programmer: download succeeded", with a full-width colon: CJK ideographs
// and CJK punctuation, as the program's captions and messages have.
const std::wstring kChineseCaption = L"编程器：下载成功";

TEST(WineSmoke, ChineseWindowTextRoundTrips) {
  ScratchWindow window;
  ASSERT_NE(window.get(), nullptr) << "CreateWindowExW failed, error " << GetLastError();

  ASSERT_TRUE(SetWindowTextW(window.get(), kChineseCaption.c_str()));
  ASSERT_EQ(GetWindowTextLengthW(window.get()), static_cast<int>(kChineseCaption.size()));

  std::array<wchar_t, 64> read_back{};
  int length = GetWindowTextW(window.get(), read_back.data(), static_cast<int>(read_back.size()));
  EXPECT_EQ(std::wstring(read_back.data(), length), kChineseCaption);
}

TEST(WineSmoke, ChineseFontIsInstalled) {
  EXPECT_TRUE(FontFamilyInstalled(L"WenQuanYi Micro Hei"))
      << "install the Debian package fonts-wqy-microhei";
}

// Every face name the user interface may ask for must end up at a font with
// Chinese glyphs; Wine's own stand-ins for them have none.
class ReplacedFace : public testing::TestWithParam<const wchar_t*> {};

TEST_P(ReplacedFace, HasChineseGlyphs) {
  TextCanvas canvas(GetParam(), 64, 40);
  ASSERT_TRUE(canvas.ok());

  std::array<WORD, 2> glyphs{};
  ASSERT_EQ(GetGlyphIndicesW(canvas.dc(), L"中文", 2, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS),
            2u);
  EXPECT_NE(glyphs[0], 0xFFFF) << "no glyph for U+4E2D";
  EXPECT_NE(glyphs[1], 0xFFFF) << "no glyph for U+6587";
}

INSTANTIATE_TEST_SUITE_P(DialogFaces, ReplacedFace,
                         testing::Values(L"Tahoma", L"MS Shell Dlg", L"MS Shell Dlg 2", L"Segoe UI",
                                         L"MS Sans Serif", L"SimSun", L"Microsoft YaHei",
                                         L"Microsoft YaHei UI"));

// Drawn, not merely mapped: two different ideographs leave different ink.
// A font without them would draw the same "missing glyph" box for both.
TEST(WineSmoke, ChineseTextDrawsDistinctGlyphs) {
  TextCanvas canvas(L"MS Shell Dlg", 64, 40);
  ASSERT_TRUE(canvas.ok());

  std::vector<DWORD> middle = canvas.render(L"中");
  std::vector<DWORD> text = canvas.render(L"文");
  std::vector<DWORD> blank = canvas.render(L"");

  // Compared as booleans: a failure should not print thousands of pixels.
  EXPECT_TRUE(middle != blank) << "nothing drawn with face "
                               << testing::PrintToString(canvas.face_in_use());
  EXPECT_TRUE(text != blank);
  EXPECT_TRUE(middle != text);
}

// Used only by the runner's own check (tests/win/CMakeLists.txt): a failing
// program must make the run fail.
TEST(WineRunner, DISABLED_FailsOnPurpose) {
  FAIL() << "deliberate failure to check that the exit code reaches CTest";
}

}  // namespace
