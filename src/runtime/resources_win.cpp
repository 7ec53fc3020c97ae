#include <windows.h>

#include <wincodec.h>

#include <string>

#include "runtime/resources.h"
#include "runtime/platform_error.h"
#include "runtime/text.h"
#include "runtime/wide_text.h"

namespace runtime {
namespace {

struct ResourceBytes {
  const BYTE* data = nullptr;
  DWORD size = 0;
};

ResourceBytes FindRcData(int id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (!found) return {};
  HGLOBAL loaded = LoadResource(module, found);
  if (!loaded) return {};
  return {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(module, found)};
}

// Decodes with the Windows Imaging Component, straight from the resource's memory.
UniqueBitmap DecodeJpeg(int id) {
  const ResourceBytes bytes = FindRcData(id);
  if (!bytes.data) {
    RaiseLastError([&] { return "finding the JPEG resource " + std::to_string(id); });
  }
  const std::string what = "decoding the JPEG resource " + std::to_string(id);
  const auto check = [&](HRESULT result) { CheckResult(result, what.c_str()); };
  ComPtr<IWICImagingFactory> factory;
  check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                         IID_IWICImagingFactory, factory.PutVoid()));
  ComPtr<IWICStream> stream;
  check(factory->CreateStream(stream.Put()));
  check(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data), bytes.size));
  ComPtr<IWICBitmapDecoder> decoder;
  check(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                         decoder.Put()));
  ComPtr<IWICBitmapFrameDecode> frame;
  check(decoder->GetFrame(0, frame.Put()));
  ComPtr<IWICFormatConverter> converter;
  check(factory->CreateFormatConverter(converter.Put()));
  check(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                              nullptr, 0.0, WICBitmapPaletteTypeCustom));
  UINT width = 0, height = 0;
  check(converter->GetSize(&width, &height));

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, as WIC delivers rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) RaiseLastError([&] { return what; });
  check(converter->CopyPixels(nullptr, width * 4, width * 4 * height, static_cast<BYTE*>(bits)));
  return bitmap;
}

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

}  // namespace

UniqueBitmap LoadPicture(const PictureDescription& picture) {
  switch (picture.format) {
    case PictureFormat::kNone:
      return nullptr;
    case PictureFormat::kBitmap: {
      UniqueBitmap bitmap(static_cast<HBITMAP>(
          LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(picture.resourceId), IMAGE_BITMAP,
                     0, 0, LR_CREATEDIBSECTION)));
      if (!bitmap) {
        RaiseLastError(
            [&] { return "loading the bitmap resource " + std::to_string(picture.resourceId); });
      }
      return bitmap;
    }
    case PictureFormat::kJpeg:
      return DecodeJpeg(picture.resourceId);
  }
  return nullptr;
}

bool IsFontInstalled(std::wstring_view face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = ANSI_CHARSET;
  face.copy(wanted.lfFaceName, LF_FACESIZE - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

UniqueFont CreateDescribedFont(const FontDescription& font) {
  LOGFONTW logical{};
  if (font.face.empty()) {
    // The platform's message font: what dialogs and their buttons show by default.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
      logical = metrics.lfMessageFont;
    } else {
      GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof logical, &logical);
    }
  } else {
    logical.lfHeight = -PointsToPixels(font.centipoints);
    logical.lfWeight = font.weight;
    logical.lfCharSet = ANSI_CHARSET;
    logical.lfOutPrecision = OUT_DEFAULT_PRECIS;
    logical.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    logical.lfQuality = DEFAULT_QUALITY;
    logical.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const bool useFallback = !font.fallbackFace.empty() && !IsFontInstalled(font.face);
    const std::wstring_view face = useFallback ? font.fallbackFace : font.face;
    // Asking for the carried face's own weight picks it even where the system has other
    // weights of the same family.
    if (useFallback && font.fallbackWeight != 0) logical.lfWeight = font.fallbackWeight;
    face.copy(logical.lfFaceName, LF_FACESIZE - 1);
  }
  logical.lfItalic = logical.lfUnderline = logical.lfStrikeOut = FALSE;
  UniqueFont created(CreateFontIndirectW(&logical));
  if (!created) {
    RaiseLastError(
        [&] { return "creating the font " + Utf16ToUtf8(WideToUtf16(logical.lfFaceName)); });
  }
  return created;
}

EmbeddedFonts::EmbeddedFonts(std::initializer_list<int> resourceIds) {
  for (int id : resourceIds) {
    const ResourceBytes bytes = FindRcData(id);
    if (!bytes.data) continue;  // without it the fallback face is whatever the system maps
    DWORD count = 0;
    UniqueMemoryFont font(
        AddFontMemResourceEx(const_cast<BYTE*>(bytes.data), bytes.size, nullptr, &count));
    if (font) fonts_.push_back(std::move(font));
  }
}

}  // namespace runtime
