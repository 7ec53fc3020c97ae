// The benchmark's inputs: the families that make a longest-common-block recursion slow, at
// a given length per side, and ordinary names. Deterministic, so runs compare.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace bench {

struct Family {
  const char* name;
  const char* description;
};

inline const std::vector<Family>& Families() {
  static const std::vector<Family> families = {
      {"random26", "random over 26 letters"},
      {"random2", "random over 2 letters"},
      {"same_a", "all A against all A"},
      {"longer_a", "all A against one A more"},
      {"ab_ac", "(AB)^n against (AC)^n"},
      {"a_ab", "all A against (AB)^n"},
      {"staircase", "A^t B A^(t-1) B ... against A^t C A^(t-1) C ..."},
      {"edited", "random text against a 2%-edited copy"},
  };
  return families;
}

inline std::string RandomText(std::mt19937& random, std::size_t length, int alphabet) {
  std::string s(length, 'A');
  for (char& c : s)
    c = static_cast<char>('A' + std::uniform_int_distribution<int>(0, alphabet - 1)(random));
  return s;
}

// About 2% of positions changed: a third substituted, a third deleted, a third followed by
// an inserted letter.
inline std::string EditedCopy(std::mt19937& random, const std::string& s) {
  std::string out;
  std::uniform_int_distribution<int> roll(0, 149), letter(0, 25);
  for (char c : s) {
    const int r = roll(random);
    if (r == 0) continue;
    if (r == 1) c = static_cast<char>('A' + letter(random));
    out += c;
    if (r == 2) out += static_cast<char>('A' + letter(random));
  }
  return out;
}

inline std::string Staircase(std::size_t length, char separator) {
  std::size_t steps = 1;
  while ((steps + 1) * (steps + 2) / 2 + steps + 1 <= length) ++steps;
  std::string s;
  for (std::size_t t = steps; t >= 1; --t) s += std::string(t, 'A') + separator;
  return s;
}

inline std::string Repeat(const char* unit, std::size_t times) {
  std::string s;
  for (std::size_t i = 0; i < times; ++i) s += unit;
  return s;
}

inline std::pair<std::string, std::string> FamilyInput(const std::string& family, std::size_t n) {
  std::mt19937 random(static_cast<uint32_t>(n) * 7919u + static_cast<uint32_t>(family.size()));
  if (family == "random26") {
    std::string a = RandomText(random, n, 26);
    return {a, RandomText(random, n, 26)};
  }
  if (family == "random2") {
    std::string a = RandomText(random, n, 2);
    return {a, RandomText(random, n, 2)};
  }
  if (family == "same_a") return {std::string(n, 'A'), std::string(n, 'A')};
  if (family == "longer_a") return {std::string(n, 'A'), std::string(n + 1, 'A')};
  if (family == "ab_ac") return {Repeat("AB", n / 2), Repeat("AC", n / 2)};
  if (family == "a_ab") return {std::string(n, 'A'), Repeat("AB", n / 2)};
  if (family == "staircase") return {Staircase(n, 'B'), Staircase(n, 'C')};
  std::string a = RandomText(random, n, 26);
  return {a, EditedCopy(random, a)};
}

// Name-like pairs of 3 to 20 letters, mixed case, some sharing a part.
inline std::vector<std::pair<std::u16string, std::u16string>> OrdinaryNames(std::size_t count) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> length(3, 20), letter(0, 25), coin(0, 3);
  const auto name = [&] {
    std::u16string s(static_cast<std::size_t>(length(random)), u'a');
    for (std::size_t i = 0; i < s.size(); ++i) {
      s[i] = static_cast<char16_t>((i == 0 ? u'A' : u'a') + letter(random));
    }
    return s;
  };
  std::vector<std::pair<std::u16string, std::u16string>> pairs;
  for (std::size_t i = 0; i < count; ++i) {
    std::u16string a = name(), b = name();
    if (coin(random) == 0) b = a.substr(0, a.size() / 2) + b.substr(b.size() / 2);
    pairs.emplace_back(a, b);
  }
  return pairs;
}

}  // namespace bench
