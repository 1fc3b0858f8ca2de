#include "scan/Masks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TMatchCase {
  const char* Mask;
  const char* Name;
  bool Matches;
};

// Shift-JIS style lead bytes, so the double-byte rules can be shown on a
// system whose code page has none.
bool ShiftJisLead(unsigned char B) { return (B >= 0x81 && B <= 0x9F) || (B >= 0xE0 && B <= 0xFC); }
bool NoLead(unsigned char) { return false; }

TEST(Mask, MatchesByTheRules) {
  const TMatchCase Cases[] = {
        // "*": any run, also none; "*.*" needs a dot
        TMatchCase{"*", "", true}, TMatchCase{"*", "noext", true}, TMatchCase{"*.*", "noext", false},
        TMatchCase{"*.*", "a.b", true}, TMatchCase{"*.*", ".", true}, TMatchCase{"**", "x", true},
        TMatchCase{"*.tmp", "x.tmp", true}, TMatchCase{"*.tmp", "x.tmp.bak", false},
        TMatchCase{"*.tmp", "x.tmpx", false}, TMatchCase{"a*", "a", true}, TMatchCase{"a*", "ba", false},
        TMatchCase{"*a*b*c", "xaxbxc", true}, TMatchCase{"*a*b*c", "xaxcxb", false},
        TMatchCase{"*ab", "aab", true}, TMatchCase{"*aab", "aaab", true},  // retry one byte further
        TMatchCase{"*a?c", "abcadc", true}, TMatchCase{"*a?c", "abcad", false},
        // "?": exactly one byte, never the end; "*?" is "*"
        TMatchCase{"a?c", "abc", true}, TMatchCase{"a?c", "AXC", true}, TMatchCase{"a?c", "ac", false},
        TMatchCase{"a?", "a", false}, TMatchCase{"?", "", false}, TMatchCase{"*?", "", true},
        TMatchCase{"*?", "ab", true}, TMatchCase{"*??", "", true}, TMatchCase{"a*?", "a", true},
        // ASCII folding only
        TMatchCase{"readme.txt", "README.TXT", true}, TMatchCase{"README.TXT", "readme.txt", true},
        TMatchCase{"\xe9t\xe9", "\xc9T\xc9", false}, TMatchCase{"\xe9t\xe9", "\xe9T\xe9", true},
        TMatchCase{"[\xe9]", "\xc9", false},
        // sets
        TMatchCase{"[a-c]x", "Bx", true}, TMatchCase{"[a-c]x", "bX", true}, TMatchCase{"[a-c]x", "dx", false},
        TMatchCase{"[!a-c]x", "dx", true}, TMatchCase{"[!a-c]x", "ax", false},
        TMatchCase{"[!a-c]x", "Ax", false}, TMatchCase{"[!a]", "", false}, TMatchCase{"a[!b]", "a", false},
        TMatchCase{"[z-a]", "z", true}, TMatchCase{"[z-a]", "a", false}, TMatchCase{"[z-a]", "y", false},
        TMatchCase{"[a-c-e]", "d", true},  // both ranges start at A
        TMatchCase{"[a-]x]", "]", true}, TMatchCase{"[a-]x]", "X", true}, TMatchCase{"[a-]x]", "^", false},
        TMatchCase{"[*?]", "*", true}, TMatchCase{"[*?]", "a", false}, TMatchCase{"[ab]", "", false},
        TMatchCase{"[!!]", "!", false}, TMatchCase{"[!!]", "x", true}, TMatchCase{"[a!]", "!", true},
        TMatchCase{"*[0-9]", "file7", true}, TMatchCase{"*[0-9]", "file", false},
        // blanks, commas and tabs are ordinary bytes in a mask
        TMatchCase{"a b*", "a b.txt", true}, TMatchCase{"a b*", "ab.txt", false},
        TMatchCase{"a,b", "a,b", true}, TMatchCase{"a\tb", "a\tb", true}};
  for (const TMatchCase& C : Cases)
    EXPECT_EQ(TMask(C.Mask, NoLead).Matches(C.Name), C.Matches)
        << "mask '" << C.Mask << "' name '" << C.Name << "'";
}

TEST(Mask, DoubleByteCharactersUnderALeadByteCodePage) {
  // Lead 0x82, trail 0x61 ("a"): a trail byte is compared as it is, and a
  // double-byte character is never a member of a set.
  EXPECT_TRUE(TMask("\x82\x61", ShiftJisLead).Matches("\x82\x61"));
  EXPECT_FALSE(TMask("\x82\x61", ShiftJisLead).Matches("\x82\x41"));
  EXPECT_TRUE(TMask("\x82\x61", NoLead).Matches("\x82\x41"));  // single-byte: the "a" folds
  EXPECT_TRUE(TMask("*\x82\x61", ShiftJisLead).Matches("xy\x82\x61"));
  EXPECT_FALSE(TMask("*\x82\x61", ShiftJisLead).Matches("xy\x82"));  // never past the name's end
  EXPECT_TRUE(TMask("*\x82\x61z", ShiftJisLead).Matches("\x82\x61\x82\x61z"));
  EXPECT_FALSE(TMask("\x82\x61", ShiftJisLead).Matches("\x82"));
  EXPECT_TRUE(TMask("[\x82]a]x", ShiftJisLead).Matches("ax"));  // "]" after a lead is its trail byte
  EXPECT_THROW(TMask("[\x82\x61]", ShiftJisLead), Exception);  // no member left
  EXPECT_TRUE(TMask("a\x82", ShiftJisLead).Matches("a\x82"));  // a lone lead at the end is a byte
}

TEST(Mask, ActiveCodePageHasNoLeadBytesUnderUtf8) {
  // The runners carry the program's manifest, so the active code page is UTF-8.
  for (int B = 0; B < 256; ++B) ASSERT_FALSE(ActiveCodePageLeadByte(static_cast<unsigned char>(B))) << B;
  EXPECT_TRUE(TMask("*.TXT").Matches("\xe4\xb8\xad.txt"));
  EXPECT_TRUE(TMask("\xe4\xb8\xad*").Matches("\xe4\xb8\xad.txt"));
}

TEST(Mask, ThirtyStarredStatesCompileAndMatch) {
  std::string Mask, Name;
  for (int I = 0; I < 30; ++I) Mask += "*a";
  for (int I = 0; I < 30; ++I) Name += "xa";
  TMask M(Mask, NoLead);
  EXPECT_TRUE(M.Matches(Name));
  EXPECT_FALSE(M.Matches(Name.substr(0, Name.size() - 1)));
  // Plenty of ways to fail: answered without exponential backtracking.
  std::string Many(250, 'a');
  EXPECT_FALSE(TMask(Mask + "b", NoLead).Matches(Many));
}

struct TErrorCase {
  std::string Mask;
  int Position;
};

std::string Stars(int Count, const std::string& Unit) {
  std::string S;
  for (int I = 0; I < Count; ++I) S += Unit;
  return S;
}

TEST(Mask, InvalidMaskNamesTheMaskAndThePosition) {
  const TErrorCase Cases[] = {
        TErrorCase{"[]", 2}, TErrorCase{"[!]", 3}, TErrorCase{"x[]", 3}, TErrorCase{"[abc", 5},
        TErrorCase{"[", 2}, TErrorCase{"[!", 3}, TErrorCase{"*.[a", 5}, TErrorCase{"[-a]", 2},
        TErrorCase{"[!-a]", 3}, TErrorCase{"[-", 2}, TErrorCase{"[a-", 4}, TErrorCase{"[a-]", 5},
        TErrorCase{"[\x82", 3}, TErrorCase{"[\x82\x61", 4}, TErrorCase{"[\x82]", 4},
        // the 31st starred state: its literal byte, its closing "]", its trail
        // byte, or the end of the text for the end state
        TErrorCase{Stars(31, "*a"), 62}, TErrorCase{Stars(30, "*a") + "*[xy]", 65},
        TErrorCase{Stars(30, "*a") + "*\x82\x61", 63}, TErrorCase{Stars(30, "*a") + "*", 62},
        TErrorCase{Stars(30, "*a") + "**?*", 65}};
  for (const TErrorCase& C : Cases) {
    try {
      TMask M(C.Mask, ShiftJisLead);
      ADD_FAILURE() << "'" << C.Mask << "' compiled";
    } catch (const Exception& E) {
      EXPECT_EQ(E.Message(), "'" + C.Mask + "' is an invalid mask at (" + std::to_string(C.Position) + ")");
      EXPECT_STREQ(E.ClassName(), "Exception");
    }
  }
}

TEST(Mask, StarredLimitCountsStatesNotStars) {
  EXPECT_NO_THROW(TMask(Stars(30, "*a") + "b", NoLead));         // plain states after the 30th
  EXPECT_NO_THROW(TMask(Stars(29, "***?a") + "*", NoLead));       // 30 with the end state
  EXPECT_NO_THROW(TMask(Stars(30, "a") + Stars(30, "*a"), NoLead));
}

TEST(MaskList, SplitsOnSemicolonsAndTrimsBlanks) {
  struct TCase {
    const char* Text;
    std::vector<const char*> Yes, No;
    std::size_t Count;
  };
  const TCase Cases[] = {
      {"*.tmp; *.bak", {"x.BAK", "a.tmp"}, {"x.bak.old"}, 2},
      {"  *.log  ", {"a.log"}, {"a.log  "}, 1},
      {"*.log;", {"a.log"}, {}, 1},
      {"", {}, {"", "a"}, 0},
      {"   ", {}, {"", " "}, 0},
      {";; ;*.a; ;", {"x.a"}, {"x.b"}, 1},  // empty entries are skipped
      {"a b*", {"a b.c"}, {"a", "b"}, 1},
      {"a,b\tc", {"a,b\tc"}, {"a"}, 1},
  };
  for (const TCase& C : Cases) {
    TMaskList List;
    ParseMaskList(List, C.Text, NoLead);
    EXPECT_EQ(List.size(), C.Count) << C.Text;
    for (const char* Name : C.Yes) EXPECT_TRUE(MatchesMaskList(Name, List)) << C.Text << " / " << Name;
    for (const char* Name : C.No) EXPECT_FALSE(MatchesMaskList(Name, List)) << C.Text << " / " << Name;
  }
}

TEST(MaskList, InvalidEntryStopsTheSplittingAndKeepsWhatCameBefore) {
  TMaskList List;
  try {
    ParseMaskList(List, "*.a; [x ;*.b", NoLead);
    FAIL();
  } catch (const Exception& E) {
    EXPECT_EQ(E.Message(), "'[x' is an invalid mask at (3)");  // the entry, trailing blank removed
  }
  ASSERT_EQ(List.size(), 1u);
  EXPECT_TRUE(MatchesMaskList("q.a", List));
  EXPECT_FALSE(MatchesMaskList("q.b", List));
}

}  // namespace
