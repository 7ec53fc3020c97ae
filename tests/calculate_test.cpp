#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "calculate/calculate.h"
#include "calculate/text_calculate_view.h"
#include "runtime/runtime_error.h"
#include "test_support.h"

namespace calculate {

// Readable failure messages for what a view recorded.
void PrintTo(const TextCalculateView::Event& event, std::ostream* out) {
  constexpr const char* kWhat[] = {"message: ", "Result=", "result2="};
  *out << kWhat[static_cast<int>(event.what)] << Printable(event.text);
}

}  // namespace calculate

namespace {

using calculate::Calculate;
using View = calculate::TextCalculateView;
using Shown = View::Shown;

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
    View view(click.person1, click.person2);
    Calculate(view, text);
    EXPECT_EQ(Printable(view.result2), click.result2) << Printable(click.person1);
    EXPECT_EQ(Printable(view.result), click.result) << Printable(click.person1);
    EXPECT_EQ(view.events.size(), 3u) << "no message box for two names";
  }
}

TEST(Calculate, WarnsForEachEmptyNameInOrderAndStillCalculates) {
  const runtime::PortableTextServices text;
  View both;
  Calculate(both, text);
  EXPECT_EQ(both.events, (std::vector<View::Event>{{Shown::kMessage, u"Enter Your Name!!!"},
                                                   {Shown::kMessage, u"Enter Her Name!!!"},
                                                   {Shown::kResult, u"1"},
                                                   {Shown::kResult2, u"1"},
                                                   {Shown::kResult, u"100%"}}));

  View firstEmpty(u"", u"SITA");
  Calculate(firstEmpty, text);
  EXPECT_EQ(firstEmpty.events, (std::vector<View::Event>{{Shown::kMessage, u"Enter Your Name!!!"},
                                                         {Shown::kResult, u"0"},
                                                         {Shown::kResult2, u"0"},
                                                         {Shown::kResult, u"0%"}}));

  View secondEmpty(u"RAM", u"");
  Calculate(secondEmpty, text);
  EXPECT_EQ(secondEmpty.events.front(), (View::Event{Shown::kMessage, u"Enter Her Name!!!"}));
  EXPECT_EQ(Printable(secondEmpty.result), "0%");
}

// Each name is read twice: for its check, and again for the score once the warnings are gone,
// so the score is of the names as they are then.
TEST(Calculate, ScoresTheNamesAsTheyAreAfterTheWarnings) {
  class ChangedDuringTheBox : public View {
   public:
    void ShowMessage(std::u16string_view prompt) override {
      View::ShowMessage(prompt);
      person1 = u"JOHN";
      person2 = u"JANE";
    }
  };
  const runtime::PortableTextServices text;
  ChangedDuringTheBox view;
  int reads = 0;
  view.fails = [&](View::Call call) {
    reads += call == View::Call::kPerson1Text || call == View::Call::kPerson2Text;
    return false;
  };
  Calculate(view, text);
  EXPECT_EQ(view.Messages(), std::vector<std::u16string>{u"Enter Your Name!!!"});
  EXPECT_EQ(Printable(view.result), "125%");
  EXPECT_EQ(reads, 4);
}

TEST(Calculate, UsesTheLocaleDecimalSeparatorBothWays) {
  const runtime::PortableTextServices comma(u",");
  View view(u"JOHN", u"JANE");
  Calculate(view, comma);
  EXPECT_EQ(Printable(view.result2), "1,25");
  EXPECT_EQ(Printable(view.result), "125%");
}

TEST(Calculate, RuntimeErrorLeavesTheWindowAsItWas) {
  const DoubleByteTextServices dbcs;
  View view(u"ABC", u"ABD");
  Calculate(view, dbcs);
  // Two bytes in the double-byte code page. (Built from a count: assigning the one-character
  // literal trips a false -Wrestrict warning in MinGW's GCC 12.)
  view.person2 = std::u16string(1, u'\u3042');
  view.events.clear();
  try {
    Calculate(view, dbcs);
    FAIL() << "expected the overflow error";
  } catch (const runtime::RuntimeError& error) {
    EXPECT_EQ(error.Kind(), runtime::ErrorKind::kOverflow);
  }
  EXPECT_EQ(Printable(view.result2), "1.66666666666667");
  EXPECT_EQ(Printable(view.result), "166%");
  EXPECT_TRUE(view.events.empty()) << "failing before any caption was written writes none";
  EXPECT_TRUE(Module1::Codes1.IsEmpty());
  EXPECT_TRUE(Module1::Codes2.IsEmpty());

  // An error after a caption was written puts back exactly the captions written, as they were.
  using Call = View::Call;
  const struct {
    Call failing;  // its first call once Result has been written
    std::vector<View::Event> after;
  } failures[] = {
      // Between Result and result2: only Result was written, and only Result goes back.
      {Call::kResultCaption, {{Shown::kResult, u"1.25"}, {Shown::kResult, u"old"}}},
      {Call::kSetResult2Caption, {{Shown::kResult, u"1.25"}, {Shown::kResult, u"old"}}},
      // After both.
      {Call::kResult2Caption,
       {{Shown::kResult, u"1.25"},
        {Shown::kResult2, u"1.25"},
        {Shown::kResult, u"old"},
        {Shown::kResult2, u"older"}}},
      {Call::kSetResultCaption,
       {{Shown::kResult, u"1.25"},
        {Shown::kResult2, u"1.25"},
        {Shown::kResult, u"old"},
        {Shown::kResult2, u"older"}}},
  };
  for (const auto& failure : failures) {
    View broken(u"JOHN", u"JANE");
    broken.result = u"old";
    broken.result2 = u"older";
    bool failed = false;
    broken.fails = [&](Call call) {
      if (failed || call != failure.failing || broken.events.empty()) return false;
      return failed = true;
    };
    EXPECT_THROW(Calculate(broken, dbcs), runtime::RuntimeError);
    EXPECT_EQ(broken.events, failure.after) << static_cast<int>(failure.failing);
    EXPECT_EQ(Printable(broken.result), "old");
    EXPECT_EQ(Printable(broken.result2), "older");
  }
}

}  // namespace
