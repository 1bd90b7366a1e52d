#include "series/text.h"

#include <gtest/gtest.h>

namespace dendro {
namespace {

std::string justified(std::string answer, int* width) {
  *width = intfrm(answer);
  return answer;
}

TEST(text, blank_clears_the_first_n_characters) {
  std::string f = "abcdef";
  blank(f, 0);
  EXPECT_EQ(f, "abcdef");
  blank(f, -3);
  EXPECT_EQ(f, "abcdef");
  blank(f, 2);
  EXPECT_EQ(f, "  cdef");
  blank(f, 99);
  EXPECT_EQ(f, "      ");
}

TEST(text, intfrm_left_justifies_and_counts) {
  int w = -1;
  EXPECT_EQ(justified(" 12     ", &w), "12      ");
  EXPECT_EQ(w, 2);
  EXPECT_EQ(justified("-5      ", &w), "-5      ");
  EXPECT_EQ(w, 2);
  EXPECT_EQ(justified("        ", &w), "        ");
  EXPECT_EQ(w, 0);
  EXPECT_EQ(justified("  7     ", &w), "7       ");
  EXPECT_EQ(w, 1);
  EXPECT_EQ(justified("1234567890", &w), "1234567890");
  EXPECT_EQ(w, 10);
  EXPECT_EQ(justified(" 1 2", &w), "1   ");  // two characters copied from the first digit
  EXPECT_EQ(w, 2);
}

TEST(text, intfrm1_widths) {
  EXPECT_EQ(intfrm1(0), "(i1)");
  EXPECT_EQ(intfrm1(9), "(i1)");
  EXPECT_EQ(intfrm1(-1), "(i2)");
  EXPECT_EQ(intfrm1(99), "(i2)");
  EXPECT_EQ(intfrm1(-100), "(i4)");
  EXPECT_EQ(intfrm1(5000), "(i4)");
  EXPECT_EQ(intfrm1(-999999), "(i7)");
  EXPECT_EQ(intfrm1(999999), "(i6)");
  EXPECT_EQ(intfrm1(1000000), "");
  EXPECT_EQ(intfrm1(-1000000), "");
}

TEST(text, csr_modes) {
  EXPECT_EQ(csr("abc     ", 2), 3);
  EXPECT_EQ(csr("        ", 2), 0);
  EXPECT_EQ(csr("abc.txt ", 3), 3);
  EXPECT_EQ(csr(".txt", 3), 0);
  EXPECT_EQ(csr("abcd", 3), 4);
  EXPECT_EQ(csr("ab cd", 1), 2);
  EXPECT_EQ(csr(" abc", 1), 0);
  EXPECT_EQ(csr("abc", 1), 3);
  EXPECT_EQ(csr("ab cd", 7), 2);  // unknown modes work as mode 1
}

TEST(text, stringclean_and_header) {
  std::string t = "a b c ";
  stringclean(t);
  EXPECT_EQ(t, "abc   ");
  std::string none = "abc";
  stringclean(none);
  EXPECT_EQ(none, "abc");
  std::string blanks = "   ";
  stringclean(blanks);
  EXPECT_EQ(blanks, "   ");
  std::string h = header(80);
  EXPECT_EQ(h.substr(0, 12), "year\tncores\t");
  EXPECT_EQ(h.find_last_not_of(' '), 78u);  // 79 characters of titles, then blanks
}

TEST(text, output_prefix_drops_blanks_and_lower_case_txt) {
  EXPECT_EQ(output_prefix("site1.txt"), "site1");
  EXPECT_EQ(output_prefix("site1.txt   "), "site1");
  EXPECT_EQ(output_prefix("site1.TXT"), "site1.TXT");
  EXPECT_EQ(output_prefix("site1"), "site1");
  EXPECT_EQ(output_prefix("oak1.rwl"), "oak1.rwl");
  EXPECT_EQ(output_prefix(".txt"), "");
  const std::string long_name(60, 'a');
  EXPECT_EQ(output_prefix(long_name + ".txt"), long_name);  // never cut to 40 characters
}

}  // namespace
}  // namespace dendro
