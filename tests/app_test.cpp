// pairly-calc.exe as built: its resources read back from the file, and the program started
// and driven from outside like a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resource_ids.h"
#include "running_program.h"
#include "window_test_support.h"

namespace {

using namespace window_test;
using running_program::EndsWithCode;
using running_program::MessageBoxOf;
using running_program::ProgramPath;
using running_program::PromptOf;
using running_program::RunningProgram;
using running_program::WindowsPath;

class ProgramFile : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override { FreeLibrary(module_); }
  std::string Resource(LPCWSTR type, int id) const { return Resource(type, MAKEINTRESOURCEW(id)); }
  std::string Resource(LPCWSTR type, LPCWSTR name) const {
    HRSRC found = FindResourceW(module_, name, type);
    if (!found) return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(module_, found)));
    return std::string(data, SizeofResource(module_, found));
  }
  HMODULE module_ = nullptr;
};

TEST_F(ProgramFile, CarriesTheHeartAsIconGroupOneWithSixImages) {
  const std::string group = Resource(RT_GROUP_ICON, PAIRLY_ICON_HEART);
  ASSERT_GE(group.size(), 6u);
  uint16_t count = 0;
  std::memcpy(&count, group.data() + 4, 2);
  EXPECT_EQ(count, 6);
  // 48, 32 and 16 pixels, each at 8 and at 32 bits.
  int sizes[3] = {};
  for (uint16_t i = 0; i < count && group.size() >= 6u + 14u * (i + 1u); ++i) {
    const unsigned char width = static_cast<unsigned char>(group[6 + 14 * i]);
    uint16_t bits = 0;
    std::memcpy(&bits, group.data() + 6 + 14 * i + 6, 2);
    EXPECT_TRUE(bits == 8 || bits == 32);
    if (width == 48) ++sizes[0];
    if (width == 32) ++sizes[1];
    if (width == 16) ++sizes[2];
  }
  EXPECT_EQ(sizes[0], 2);
  EXPECT_EQ(sizes[1], 2);
  EXPECT_EQ(sizes[2], 2);
}

TEST_F(ProgramFile, CarriesItsPicturesAndFonts) {
  EXPECT_EQ(Resource(RT_BITMAP, PAIRLY_BITMAP_CARTOON).size(), 230454u - 14u);
  EXPECT_EQ(Resource(RT_BITMAP, PAIRLY_BITMAP_FILL).size(), 230454u - 14u);
  const std::string jpeg = Resource(RT_RCDATA, PAIRLY_JPEG_SPLASH);
  ASSERT_GT(jpeg.size(), 4u);
  EXPECT_EQ(jpeg.substr(0, 3), "\xFF\xD8\xFF");
  EXPECT_EQ(Resource(RT_RCDATA, PAIRLY_FONT_NAMES).substr(0, 4), "OTTO");
  EXPECT_EQ(Resource(RT_RCDATA, PAIRLY_FONT_PERCENT).substr(0, 4), "OTTO");
}

TEST_F(ProgramFile, ManifestAsksForNoElevationNoCommonControlsAndNoUtf8CodePage) {
  const std::string manifest = Resource(RT_MANIFEST, CREATEPROCESS_MANIFEST_RESOURCE_ID);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  // The classic controls: the common controls library would cost every start.
  EXPECT_EQ(manifest.find("<dependency>"), std::string::npos);
  EXPECT_NE(manifest.find("8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
  EXPECT_EQ(manifest.find("activeCodePage"), std::string::npos);
}

TEST(ProgramVersion, Is100InTheUsEnglishUnicodeBlock) {
  const std::wstring path = ProgramPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  auto text = [&](const wchar_t* name) {
    wchar_t* value = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) {
      return std::wstring(L"(missing)");
    }
    return std::wstring(value);
  };
  EXPECT_EQ(text(L"FileVersion"), L"1.00");
  EXPECT_EQ(text(L"ProductVersion"), L"1.00");
  EXPECT_EQ(text(L"ProductName"), L"PAIRLY Calc");
  EXPECT_FALSE(text(L"CompanyName").empty());
  EXPECT_NE(text(L"Comments"), L"(missing)");
}

TEST_F(RunningProgram, TypedNamesAndAltCShowThePercentageThenAltXEndsIt) {
  EXPECT_EQ(NavyInResult(), 0);
  TypeText(L"JANE");
  for (int i = 0; i < 3; ++i) PressKey(VK_TAB);
  TypeText(L"JOHN");
  PressAlt('C');
  EXPECT_TRUE(PumpUntil([&] { return NavyInResult() > 40; }));
  PressAlt('X');
  EXPECT_TRUE(EndsWithCode(0));
  EXPECT_FALSE(IsWindow(window_));
}

// The splash picture is decoded through COM, which the program starts only when first needed.
TEST_F(RunningProgram, F1ShowsTheSplashWithItsPicture) {
  PressKey(VK_F1);
  HWND splash = nullptr;
  ASSERT_TRUE(PumpUntil([&] {
    splash = FindWindowW(L"frmSplash", nullptr);
    return splash && IsWindowVisible(splash);
  }));
  // Mostly the picture's reds and oranges once drawn, where a missing picture leaves black.
  EXPECT_TRUE(PumpUntil([&] {
    const Picture shown = CaptureClient(splash);
    int red = 0;
    for (COLORREF pixel : shown.pixels) red += GetRValue(pixel) > 128 && GetBValue(pixel) < 96;
    return red > shown.width * shown.height / 4;
  }));
  EXPECT_EQ(MessageBoxOf(process_.dwProcessId), nullptr);
}

TEST_F(RunningProgram, EndsWhenItsOnlyWindowIsClosed) {
  PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(EndsWithCode(0));
}

// The tests' copy of the program, whose start fails as asked (start_failures.cpp): the box
// that says why stays until the user dismisses it, and the program then ends with an error.
TEST(FailedStart, IsShownUntilDismissedThenTheProgramEndsWithAnError) {
  const struct {
    const char* failure;
    std::wstring prompt;  // how it begins
  } starts[] = {
      {"control", L"The main window could not be created: creating the text box 104 ("},
      {"memory", L"Run-time error '7':\n\nOut of memory"},
  };
  for (const auto& start : starts) {
    SCOPED_TRACE(start.failure);
    SetEnvironmentVariableA("PAIRLY_START_FAILURE", start.failure);
    PROCESS_INFORMATION process{};
    const bool started =
        running_program::Start(WindowsPath(PAIRLY_CALC_FAILING_START_EXE), process);
    SetEnvironmentVariableA("PAIRLY_START_FAILURE", nullptr);
    ASSERT_TRUE(started);
    HWND box = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (box = MessageBoxOf(process.dwProcessId)) != nullptr; },
                          nullptr, 10000));
    if (box) {
      EXPECT_EQ(PromptOf(box).substr(0, start.prompt.size()), start.prompt);
      PumpFor(1500);
      EXPECT_TRUE(IsWindowVisible(box)) << "the box closed by itself";
      EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    EXPECT_TRUE(EndsWithCode(process.hProcess, 1));
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

}  // namespace
