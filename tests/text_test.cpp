#include <gtest/gtest.h>

#include <limits>

#include "runtime/byte_array.h"
#include "runtime/checked_arithmetic.h"
#include "runtime/text.h"
#include "runtime/text_services.h"

namespace {

TEST(Utf8, StrictDecodingRejectsMalformedInput) {
  EXPECT_EQ(runtime::DecodeUtf8("A\xC3\xA9"), u"A\u00E9");
  EXPECT_EQ(runtime::DecodeUtf8("\xF0\x9F\x92\x96"), u"\U0001F496");  // a surrogate pair
  for (const char* bad : {"\x80", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                          "\xF4\x90\x80\x80", "\xFF", "A\xE2\x82"}) {
    EXPECT_FALSE(runtime::DecodeUtf8(bad).has_value()) << bad;
  }
  EXPECT_EQ(runtime::Utf8ToUtf16("A\xFF"
                                 "B"),
            u"A\uFFFDB");
}

TEST(Utf8, EncodingRoundTripsAndReplacesLoneSurrogates) {
  const std::u16string text = u"PAIRLY \u00E9\u4E2D\U0001F496";
  EXPECT_EQ(runtime::DecodeUtf8(runtime::Utf16ToUtf8(text)), text);
  EXPECT_EQ(runtime::Utf16ToUtf8(std::u16string(1, char16_t{0xD800}) + u"A"),
            "\xEF\xBF\xBD"
            "A");
  EXPECT_EQ(runtime::Utf16ToUtf8(std::u16string(1, char16_t{0xDC00})), "\xEF\xBF\xBD");
}

TEST(PortableTextServices, UpperCaseAndWindows1252Codes) {
  const runtime::PortableTextServices text;
  EXPECT_EQ(text.UpperCase(u"anna \u00E9\u00FF\u0161\u0153"), u"ANNA \u00C9\u0178\u0160\u0152");
  EXPECT_EQ(text.UpperCase(u"\u00DF\u00B5\u0131\u03C2"),
            u"\u00DF\u00B5\u0131\u03C2");  // no round trip
  EXPECT_EQ(text.AnsiCode(u'A'), 65);
  EXPECT_EQ(text.AnsiCode(u'\u00C9'), 0xC9);
  EXPECT_EQ(text.AnsiCode(u'\u20AC'), 0x80);
  EXPECT_EQ(text.AnsiCode(u'\u0178'), 0x9F);
  EXPECT_EQ(text.AnsiCode(u'\u0081'), 0x81);
  EXPECT_EQ(text.AnsiCode(u'\u4E2D'), '?');
  EXPECT_EQ(text.AnsiCode(u'\u0080'), '?');
}

TEST(CheckedArithmetic, OverflowAndBounds) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(runtime::CheckedAdd(kMax - 1, 1), kMax);
  EXPECT_THROW(runtime::CheckedAdd(kMax, 1), runtime::RuntimeError);
  EXPECT_THROW(runtime::CheckedByte(256), runtime::RuntimeError);
  EXPECT_THROW(runtime::CheckedByte(-1), runtime::RuntimeError);
  EXPECT_EQ(runtime::CheckedByte(255), 255);

  runtime::ByteArray array;
  EXPECT_THROW(array(1), runtime::RuntimeError);
  array.Redim(3);
  array(3) = 7;
  EXPECT_EQ(array(3), 7);
  EXPECT_THROW(array(0), runtime::RuntimeError);
  EXPECT_THROW(array(4), runtime::RuntimeError);
  array.Erase();
  EXPECT_TRUE(array.IsEmpty());
  EXPECT_EQ(array.Capacity(), 0u);
}

}  // namespace
