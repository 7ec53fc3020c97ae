#include "runtime/text.h"

#include <cstdint>

namespace runtime {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point starting at text[pos]; returns false (and advances by one byte)
// on a malformed sequence.
bool DecodeOne(std::string_view text, std::size_t& pos, char32_t& code_point) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (lead < 0x80) {
    code_point = lead;
    ++pos;
    return true;
  }
  int trail_count;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail_count = 1, minimum = 0x80, code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail_count = 2, minimum = 0x800, code_point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail_count = 3, minimum = 0x10000, code_point = lead & 0x07;
  } else {
    ++pos;
    return false;
  }
  if (text.size() - pos <= static_cast<std::size_t>(trail_count)) {
    ++pos;
    return false;
  }
  for (int i = 1; i <= trail_count; ++i) {
    const auto trail = static_cast<unsigned char>(text[pos + i]);
    if ((trail & 0xC0) != 0x80) {
      ++pos;
      return false;
    }
    code_point = (code_point << 6) | (trail & 0x3F);
  }
  if (code_point < minimum || code_point > 0x10FFFF ||
      (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    ++pos;
    return false;
  }
  pos += trail_count + 1;
  return true;
}

void AppendUtf16(std::u16string& out, char32_t code_point) {
  if (code_point < 0x10000) {
    out.push_back(static_cast<char16_t>(code_point));
  } else {
    code_point -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
  }
}

}  // namespace

std::optional<std::u16string> DecodeUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    char32_t code_point;
    if (!DecodeOne(utf8, pos, code_point)) return std::nullopt;
    AppendUtf16(out, code_point);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    char32_t code_point;
    AppendUtf16(out, DecodeOne(utf8, pos, code_point) ? code_point : kReplacement);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t code_point = utf16[i];
    if (code_point >= 0xD800 && code_point <= 0xDBFF && i + 1 < utf16.size() &&
        utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
      code_point = 0x10000 + ((code_point - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (code_point >= 0xD800 && code_point <= 0xDFFF) {
      code_point = kReplacement;
    }
    if (code_point < 0x80) {
      out.push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
      out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else if (code_point < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code_point >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    }
  }
  return out;
}

}  // namespace runtime
