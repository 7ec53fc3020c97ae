#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main_window/calculate_command.h"
#include "runtime/runtime_error.h"
#include "test_support.h"

namespace {

using main_window::Calculate;

// The window as the command sees it, recording every message box and caption write.
class FakeView : public main_window::CalculateView {
 public:
  std::u16string person1, person2, result, result2;
  std::vector<std::string> events;

  std::u16string Person1Text() override { return person1; }
  std::u16string Person2Text() override { return person2; }
  std::u16string ResultCaption() override { return result; }
  void SetResultCaption(std::u16string_view caption) override {
    result = caption;
    events.push_back("Result=" + Printable(caption));
  }
  std::u16string Result2Caption() override { return result2; }
  void SetResult2Caption(std::u16string_view caption) override {
    result2 = caption;
    events.push_back("result2=" + Printable(caption));
  }
  void ShowMessage(std::u16string_view prompt) override {
    events.push_back("message: " + Printable(prompt));
  }
};

struct Click {
  std::u16string person1, person2;
  std::string result2, result;
};

TEST(Calculate, CaptionsOfTheWorkedExamples) {
  const runtime::PortableTextServices text;
  const std::vector<Click> clicks = {
      {u"ABC", u"ABD", "1.66666666666667", "166%"},
      {u"JOHN", u"JANE", "1.25", "125%"},
      {u"RAM", u"SITA", "0.714285714285714", "71%"},
      {u"ABCD", u"ABCE", "1.875", "187%"},
      {u"anna", u"ANNA", "1", "100%"},
      {u"ab", u"abc", "2", "200%"},
      {u"ROM", u"JULI", "0", "0%"},
      // The percentage is read back from "2.3", not from 2.3000000000000003: 229, not 230.
      {std::u16string(23, u'A') + u"BB", std::u16string(23, u'A') + u"CC", "2.3", "229%"},
      {u"   ", u" ", "1.25", "125%"},  // blanks only: not empty, and matched like letters
  };
  for (const auto& click : clicks) {
    FakeView view;
    view.person1 = click.person1;
    view.person2 = click.person2;
    Calculate(view, text);
    EXPECT_EQ(Printable(view.result2), click.result2) << Printable(click.person1);
    EXPECT_EQ(Printable(view.result), click.result) << Printable(click.person1);
    EXPECT_EQ(view.events.size(), 3u) << "no message box for two names";
  }
}

TEST(Calculate, WarnsForEachEmptyNameInOrderAndStillCalculates) {
  const runtime::PortableTextServices text;
  FakeView both;
  Calculate(both, text);
  EXPECT_EQ(both.events,
            (std::vector<std::string>{"message: Enter Your Name!!!", "message: Enter Her Name!!!",
                                      "Result=1", "result2=1", "Result=100%"}));

  FakeView first_empty;
  first_empty.person2 = u"SITA";
  Calculate(first_empty, text);
  EXPECT_EQ(first_empty.events, (std::vector<std::string>{"message: Enter Your Name!!!", "Result=0",
                                                          "result2=0", "Result=0%"}));

  FakeView second_empty;
  second_empty.person1 = u"RAM";
  Calculate(second_empty, text);
  EXPECT_EQ(second_empty.events.front(), "message: Enter Her Name!!!");
  EXPECT_EQ(Printable(second_empty.result), "0%");
}

TEST(Calculate, UsesTheLocaleDecimalSeparatorBothWays) {
  const runtime::PortableTextServices comma(u",");
  FakeView view;
  view.person1 = u"JOHN";
  view.person2 = u"JANE";
  Calculate(view, comma);
  EXPECT_EQ(Printable(view.result2), "1,25");
  EXPECT_EQ(Printable(view.result), "125%");
}

TEST(Calculate, RuntimeErrorLeavesTheWindowAsItWas) {
  const DoubleByteTextServices dbcs;
  FakeView view;
  view.person1 = u"ABC";
  view.person2 = u"ABD";
  Calculate(view, dbcs);
  view.person2 = u"\u3042";  // two bytes in the double-byte code page
  view.events.clear();
  try {
    Calculate(view, dbcs);
    FAIL() << "expected the overflow error";
  } catch (const runtime::RuntimeError& error) {
    EXPECT_EQ(error.kind(), runtime::ErrorKind::kOverflow);
  }
  EXPECT_EQ(Printable(view.result2), "1.66666666666667");
  EXPECT_EQ(Printable(view.result), "166%");
  EXPECT_TRUE(Module1::Codes1.empty());
  EXPECT_TRUE(Module1::Codes2.empty());

  // An error after the captions were written (result2 cannot be read back) restores them.
  class UnreadableResult2 : public FakeView {
    std::u16string Result2Caption() override { return events.empty() ? result2 : u"#"; }
  } broken;
  broken.person1 = u"JOHN";
  broken.person2 = u"JANE";
  broken.result = u"old";
  broken.result2 = u"older";
  EXPECT_THROW(Calculate(broken, dbcs), runtime::RuntimeError);
  EXPECT_EQ(Printable(broken.result), "old");
  EXPECT_EQ(Printable(broken.result2), "older");
}

}  // namespace
