// Conversions between UTF-8 and the UTF-16 code units texts are made of.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace runtime {

// Strict UTF-8 to UTF-16: nullopt for malformed input (invalid or overlong sequences,
// encoded surrogates, code points above U+10FFFF).
std::optional<std::u16string> DecodeUtf8(std::string_view utf8);
// The same into `out`, whose storage is reused; false (and `out` emptied) for malformed input.
bool DecodeUtf8(std::string_view utf8, std::u16string& out);

// UTF-8 to UTF-16 that replaces each malformed sequence with U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace runtime
