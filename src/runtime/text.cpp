#include "runtime/text.h"

#include <cstdint>

namespace runtime {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point starting at text[pos]; returns false (and advances by one byte)
// on a malformed sequence.
bool DecodeOne(std::string_view text, std::size_t& pos, char32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    codePoint = lead;
    ++pos;
    return true;
  }
  int trailCount;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trailCount = 1, minimum = 0x80, codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailCount = 2, minimum = 0x800, codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailCount = 3, minimum = 0x10000, codePoint = lead & 0x07;
  } else {
    ++pos;
    return false;
  }
  if (text.size() - pos <= static_cast<std::size_t>(trailCount)) {
    ++pos;
    return false;
  }
  for (int i = 1; i <= trailCount; ++i) {
    const auto trail = static_cast<unsigned char>(text[pos + i]);
    if ((trail & 0xC0) != 0x80) {
      ++pos;
      return false;
    }
    codePoint = (codePoint << 6) | (trail & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    ++pos;
    return false;
  }
  pos += trailCount + 1;
  return true;
}

// Writes a code point as one or two UTF-16 code units; returns the position after them.
char16_t* WriteUtf16(char32_t codePoint, char16_t* next) {
  if (codePoint < 0x10000) {
    *next++ = static_cast<char16_t>(codePoint);
  } else {
    codePoint -= 0x10000;
    *next++ = static_cast<char16_t>(0xD800 + (codePoint >> 10));
    *next++ = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  }
  return next;
}

}  // namespace

std::optional<std::u16string> DecodeUtf8(std::string_view utf8) {
  std::u16string out;
  if (!DecodeUtf8(utf8, out)) return std::nullopt;
  return out;
}

bool DecodeUtf8(std::string_view utf8, std::u16string& out) {
  // A byte gives at most one code unit (four give two), so the text fits from the start.
  out.resize(utf8.size());
  char16_t* next = out.data();
  for (std::size_t pos = 0; pos < utf8.size();) {
    const auto byte = static_cast<unsigned char>(utf8[pos]);
    if (byte < 0x80) {
      *next++ = byte;
      ++pos;
      continue;
    }
    char32_t codePoint;
    if (!DecodeOne(utf8, pos, codePoint)) {
      out.clear();
      return false;
    }
    next = WriteUtf16(codePoint, next);
  }
  out.resize(static_cast<std::size_t>(next - out.data()));
  return true;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out(utf8.size(), u'\0');
  char16_t* next = out.data();
  for (std::size_t pos = 0; pos < utf8.size();) {
    char32_t codePoint;
    next = WriteUtf16(DecodeOne(utf8, pos, codePoint) ? codePoint : kReplacement, next);
  }
  out.resize(static_cast<std::size_t>(next - out.data()));
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t codePoint = utf16[i];
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < utf16.size() &&
        utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (codePoint >= 0xD800 && codePoint <= 0xDFFF) {
      codePoint = kReplacement;
    }
    if (codePoint < 0x80) {
      out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
      out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
      out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
      out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
  }
  return out;
}

}  // namespace runtime
