#include "series/layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace dendro {
namespace {

template <class... Args>
std::string written(std::string_view layout, const Args&... args) {
  return Layout(layout).write(args...);
}

// Expected lines come from gfortran 12 writing the same layouts and values
// (gfortran l.f90 && ./l, one write statement per line below).
TEST(layout_write, fields_overflow_and_rounding) {
  EXPECT_EQ(written("(a8,i4,2i6)", "SITE0101", 1950, 123, 45), "SITE01011950   123    45");
  EXPECT_EQ(written("(i4)", 12345), "****");
  EXPECT_EQ(written("(f6.3)", -12.5), "******");
  EXPECT_EQ(written("(f8.3)", 0.0025), "   0.003");   // the double lies just above the half
  EXPECT_EQ(written("(f8.3)", 0.0025f), "   0.002");  // the float lies just below it
  EXPECT_EQ(written("(i4,1x,f6.2)", -5, 3.14159), "  -5   3.14");
  EXPECT_EQ(written("(f10.4)", 1234.56789), " 1234.5679");
  EXPECT_EQ(written("(f6.1)", -0.04), "  -0.0");
  EXPECT_EQ(written("(i1)", -1), "*");
  EXPECT_EQ(written("(i3.2)", -5), "-05");
  EXPECT_EQ(written("(i5.0)", 0), "     ");
  EXPECT_EQ(written("(i0)", -42), "-42");
}

TEST(layout_write, leading_zero_and_zero_decimals) {
  EXPECT_EQ(written("(f5.3)", 0.5), "0.500");
  EXPECT_EQ(written("(f5.3)", -0.5), "-.500");  // the zero goes when the field is narrow
  EXPECT_EQ(written("(f4.3)", -0.5), "****");
  EXPECT_EQ(written("(f7.0)", 12.5), "    12.");  // exact tie: to even
  EXPECT_EQ(written("(f4.0)", 3.7), "  4.");
  EXPECT_EQ(written("(f5.2)", 0.125), " 0.12");
}

TEST(layout_write, exponent_fields) {
  EXPECT_EQ(written("(e10.3)", 0.0), " 0.000E+00");
  EXPECT_EQ(written("(e10.3e3)", 1.0e-150), "0.100E-149");
  EXPECT_EQ(written("(e11.4)", 6.02e23), " 0.6020E+24");
  EXPECT_EQ(written("(e12.4)", -0.000123456), " -0.1235E-03");
}

TEST(layout_write, text_fields_and_literals) {
  EXPECT_EQ(written("(a3)", "abcdef"), "abc");
  EXPECT_EQ(written("(a8,'|')", "abc"), "     abc|");
  EXPECT_EQ(written("('it''s')"), "it's");
  EXPECT_EQ(written("(\"say \"\"hi\"\"\")"), "say \"hi\"");
  EXPECT_EQ(written("(a,a)", 'x', std::string("yz")), "xyz");
  EXPECT_EQ(written("(' ')"), " ");
  EXPECT_EQ(written("(3hab )"), "ab ");
}

TEST(layout_write, positioning_never_pads_the_end) {
  EXPECT_EQ(written("(t5,a,t2,a)", "xyz", "Q"), " Q  xyz");
  EXPECT_EQ(written("(a,tl2,a)", "abcd", "Z"), "abZd");
  EXPECT_EQ(written("(a,tr3,a)", "ab", "c"), "ab   c");
  EXPECT_EQ(written("(a,2x)", "ab"), "ab");
  EXPECT_EQ(written("(a,t10)", "ab"), "ab");
  EXPECT_EQ(written("(a,t10,a)", "abcdefghijkl", "X"), "abcdefghiXkl");
  EXPECT_EQ(written("(a,t45,'==> ')", "question"), "question" + std::string(36, ' ') + "==> ");
}

TEST(layout_write, records_groups_and_reversion) {
  EXPECT_EQ(written("(a/a)", "l1", "l2"), "l1\nl2");
  EXPECT_EQ(written("(/a)", "after"), "\nafter");
  EXPECT_EQ(written("(a//)", "x"), "x\n\n");
  EXPECT_EQ(written("(2i4)", 1, 2, 3, 4, 5), "   1   2\n   3   4\n   5");
  EXPECT_EQ(written("(i3,2(i2,1x))", 1, 2, 3, 4, 5, 6), "  1 2  3\n 4  5\n 6");
  EXPECT_EQ(written("(a,3(a,i2))", "x", "a", 1, "b", 2, "c", 3, "d", 4), "xa 1b 2c 3\nd 4");
  EXPECT_EQ(written("(i2,2(1x,i2))", 1, 2, 3, 4, 5, 6, 7), " 1  2  3\n  4  5\n  6  7");
  EXPECT_EQ(written("(2(i2,1x),a)", 1, 2, "end"), " 1  2 end");
  // Literals after the last value are written; the walk stops at the next field.
  EXPECT_EQ(written("(i4,' years')", 12), "  12 years");
  EXPECT_EQ(written("(3i3,'|')", 1, 2), "  1  2");
  EXPECT_EQ(written("(3i3,:,'|')", 1, 2, 3), "  1  2  3");  // ':' stops: no value left
  EXPECT_EQ(written("(i4)"), "");
  // Nested repeats, and nesting deeper than the usual few levels, each round of a group
  // and each record after reversion in turn (by hand).
  EXPECT_EQ(written("(2(2(i1,1x)))", 1, 2, 3, 4, 5), "1 2 3 4\n5");
  EXPECT_EQ(written("(3(1(1(1(1(1(1(1(1(1(1(i1))))))))))))", 1, 2, 3, 4), "123\n4");
  EXPECT_EQ(written("(a,2(1(1(1(1(1(1(1(1(1(i1,'|')))))))))),a)", "<", 1, 2, ">", 3, 4, "!"),
            "<1|2|>\n3|4|!");
  const std::vector<float> decade{1.0f, 0.5f, 2.25f};
  EXPECT_EQ(written("(i6,10f6.2)", 1950, decade), "  1950  1.00  0.50  2.25");
}

// Expected lines from gfortran 12 as above (write(*,'(i6.4)') -12, ...), except Iw.m with
// m above w, which gfortran refuses at run time: here it overflows to '*' like any field.
TEST(layout_write, signs_digits_and_overwrites) {
  EXPECT_EQ(written("(i6.4)", -12), " -0012");
  EXPECT_EQ(written("(i3.5)", 7), "***");
  EXPECT_EQ(written("(i0.4)", 7), "0007");
  EXPECT_EQ(written("(i20)", -9223372036854775807LL - 1), "-9223372036854775808");
  // A field that runs past the end of what TL went back over extends the record.
  EXPECT_EQ(written("(a,tl2,a)", "abcd", "XYZ"), "abXYZ");
  EXPECT_EQ(written("(f0.2)", 1.0e20), "100000000000000000000.00");  // 10^20 is exact
}

TEST(layout_write, records_longer_than_a_line) {
  // 30 fields of 6 columns: 180 columns in one record, then the same again after reversion.
  std::vector<int> values(60);
  std::string expected;
  for (int k = 0; k < 60; ++k) {
    values[static_cast<std::size_t>(k)] = 1000 * k;
    const std::string number = std::to_string(1000 * k);
    if (k == 30) expected += '\n';
    expected += std::string(6 - number.size(), ' ') + number;
  }
  EXPECT_EQ(written("(30i6)", values), expected);
}

// F fields give the C library's "%.*f" text of the exact binary value (rounded to even on
// a tie), with the zero before the point dropped only when the field is one column short.
TEST(layout_write, fixed_fields_agree_with_printf) {
  std::uint64_t state = 5;
  for (int k = 0; k < 20000; ++k) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const int decimals = k % 7;
    const double scale = std::pow(10.0, static_cast<int>(state >> 60) % 8 - 3);
    double v = (static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5) * scale;
    if (k % 3 == 0) v = static_cast<float>(v);
    if (k % 5 == 0) v = std::ldexp(std::round(std::ldexp(v, 6)), -6);  // ties at 1/64
    char text[64];
    std::snprintf(text, sizeof text, decimals == 0 ? "%#.*f" : "%.*f", decimals, v);
    const std::string layout = "(f30." + std::to_string(decimals) + ")";
    EXPECT_EQ(written(layout, v), std::string(30 - std::strlen(text), ' ') + text) << v;
  }
}

// Values a float holds take a path of their own (exact scaled integers): the same text as
// printf over magnitudes up to 1e10 and beyond, 0 to 8 decimals and beyond, exact ties at
// every decimal, and zeros and tiny values of either sign.
TEST(layout_write, fixed_fields_of_floats_agree_with_printf) {
  std::uint64_t state = 17;
  std::vector<float> values{0.0f,    -0.0f,     -1e-9f,     1e-9f,    0.5f,
                            -0.5f,   2.5f,      1e10f,      -9.99e9f, 16777216.0f,
                            0.0625f, -0.03125f, 9.9999995f, 123456.5f};
  for (int k = 0; k < 20000; ++k) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const double scale = std::pow(10.0, static_cast<int>(state >> 59) % 14 - 4);
    float v = static_cast<float>((static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5) * scale);
    // Few bits after the point make exact ties at some number of decimals.
    if (k % 4 == 0) v = std::ldexp(std::round(std::ldexp(v, 9)), -9);
    values.push_back(v);
  }
  for (std::size_t k = 0; k < values.size(); ++k) {
    const int decimals = static_cast<int>(k % 10);
    const double v = values[k];
    char text[80];
    std::snprintf(text, sizeof text, decimals == 0 ? "%#.*f" : "%.*f", decimals, v);
    const std::string layout = "(f40." + std::to_string(decimals) + ")";
    EXPECT_EQ(written(layout, values[k]), std::string(40 - std::strlen(text), ' ') + text)
        << v << " with " << decimals << " decimals";
  }
}

// Spaced fields keep a blank before every value: fewer decimals first, then a wider field
// that moves the fields after it. Expected texts by hand from the value's decimal digits.
TEST(layout_write, spaced_fields) {
  EXPECT_EQ(written("(i2,f8.3+,i2)", 1, 1.25, 7), " 1   1.250 7");  // as f8.3
  EXPECT_EQ(written("(f8.3+)", -99.999), " -99.999");
  EXPECT_EQ(written("(f8.3+)", -999.0), " -999.00");  // f8.3 would fill all 8
  EXPECT_EQ(written("(f7.3+)", -99.0), " -99.00");
  EXPECT_EQ(written("(f8.3+)", 20000.0), " 20000.0");
  EXPECT_EQ(written("(f8.3+,i3)", 1234567.0, 5), " 1234567.  5");  // wider than 8
  EXPECT_EQ(written("(2f6.2+)", -123456.78, 1.0), " -123457.  1.00");
  EXPECT_EQ(written("(f4.3+)", 0.5), " 0.5");  // f4.3 would drop the zero: ".500"
  // Rounding at each number of decimals: 99.9996 is 100.000 at three, 100.00 at two; the
  // double of 999.995 lies above the half, so two decimals give 1000.00 and one 1000.0.
  EXPECT_EQ(written("(f7.3+)", 99.9996), " 100.00");
  EXPECT_EQ(written("(f6.2+)", 999.995), " 1000.");
  EXPECT_EQ(written("(f8.3+)", 0.0025), "   0.003");   // the double lies just above the half
  EXPECT_EQ(written("(f8.3+)", 0.0025f), "   0.002");  // the float lies just below it
  EXPECT_EQ(written("(f8.3+)", std::nan("")), "     NaN");
  EXPECT_EQ(written("(f8.3+)", finite_or(std::nan(""), -999.0)), " -999.00");
  EXPECT_EQ(written("(f8.3+)", finite_or(INFINITY, -99.9)), " -99.900");
  EXPECT_EQ(written("(i6+,i6+)", 12345, -12345), " 12345 -12345");
  EXPECT_EQ(written("(i3,i3+,i4.3+)", 999, 1000, 7), "999 1000 007");
  EXPECT_THROW(Layout("(f0.3+)"), FormatError);
  EXPECT_THROW(Layout("(e10.3+)"), FormatError);
  EXPECT_THROW(Layout("(a8+)"), FormatError);
  EXPECT_THROW(Layout("(f8.3+)").read("   1.250", 1), FormatError);
}

TEST(layout_write, errors) {
  EXPECT_THROW(Layout("i4"), FormatError);
  EXPECT_THROW(Layout("(i4"), FormatError);
  EXPECT_THROW(Layout("(q4)"), FormatError);
  EXPECT_THROW(Layout("(f8)"), FormatError);
  EXPECT_THROW(Layout("('open)"), FormatError);
  EXPECT_THROW(written("('no fields')", 1), FormatError);
  EXPECT_THROW(written("(i4)", 1.5), FormatError);
  EXPECT_THROW(written("(a4)", 7), FormatError);
  EXPECT_EQ(written("(f6.1)", 7), "   7.0");  // an integer may fill a real field
}

TEST(layout_read, integer_fields) {
  const Layout year_and_values("(a8,i4,3i6)");
  auto f = year_and_values.read("SITE0101195012345    -9   9 9", 5);
  EXPECT_EQ(f[0].text, "SITE0101");
  EXPECT_EQ(f[1].integer, 1950);
  EXPECT_EQ(f[2].integer, 12345);
  EXPECT_EQ(f[3].integer, -9);
  EXPECT_EQ(f[4].integer, 99);  // blanks inside a number field are ignored
  auto short_line = year_and_values.read("ab", 5);
  EXPECT_EQ(short_line[0].text, "ab      ");  // the record is padded with blanks
  EXPECT_EQ(short_line[4].integer, 0);        // a blank field reads as 0
  EXPECT_EQ(Layout("(i4)").read("  -7\r", 1)[0].integer, -7);
}

TEST(layout_read, real_fields_and_implied_decimals) {
  EXPECT_DOUBLE_EQ(Layout("(f8.3)").read("   1.500", 1)[0].real, 1.5);
  EXPECT_DOUBLE_EQ(Layout("(f8.3)").read("    1500", 1)[0].real, 1.5);  // implied decimals
  EXPECT_DOUBLE_EQ(Layout("(f8.3)").read("      -5", 1)[0].real, -0.005);
  EXPECT_DOUBLE_EQ(Layout("(f8.3)").read(" 1.5e2  ", 1)[0].real, 150.0);
  EXPECT_DOUBLE_EQ(Layout("(f8.0)").read("  12    ", 1)[0].real, 12.0);
  EXPECT_FLOAT_EQ(Layout("(f6.4)").read("0.1   ", 1)[0].real_single, 0.1f);
  auto fields = Layout("(6x,3f8.4)").read("  1950  0.1234  1.5000", 3);
  EXPECT_DOUBLE_EQ(fields[0].real, 0.1234);
  EXPECT_DOUBLE_EQ(fields[2].real, 0.0);
}

TEST(layout_read, positions_records_and_errors) {
  auto f = Layout("(t5,i2,tl4,i2)").read("1234567", 2);
  EXPECT_EQ(f[0].integer, 56);
  EXPECT_EQ(f[1].integer, 34);
  std::vector<std::string> lines{"  10", "  20", "  30"};
  std::size_t next = 0;
  std::function<std::optional<std::string>()> source = [&]() -> std::optional<std::string> {
    if (next == lines.size()) return std::nullopt;
    return lines[next++];
  };
  auto both = Layout("(i4)").read(source, 2);  // reversion reads a second record
  EXPECT_EQ(both[1].integer, 20);
  try {
    Layout("(a4,i4)").read("abcd12x4", 2);
    FAIL() << "expected a read error";
  } catch (const ReadError& e) {
    EXPECT_EQ(e.record, 1);
    EXPECT_EQ(e.column, 5);
  }
  EXPECT_THROW(Layout("(i2/i2)").read("12", 2), ReadError);
  EXPECT_THROW(Layout("(f6.2)").read("1.2.3 ", 1), ReadError);
  EXPECT_THROW(Layout("(i20)").read("99999999999999999999", 1), ReadError);
}

TEST(read_list_integers, values_and_failures) {
  EXPECT_EQ(read_list_integers("  2     0      !label 5", 2), (std::vector<long long>{2, 0}));
  EXPECT_EQ(read_list_integers("-6,10, 3", 3), (std::vector<long long>{-6, 10, 3}));
  EXPECT_THROW(read_list_integers("1 2", 3), ReadError);
  EXPECT_THROW(read_list_integers("1 x", 2), ReadError);
  EXPECT_THROW(read_list_integers("1 / 2", 2), ReadError);
  EXPECT_THROW(read_list_integers("-100  1", 3), ReadError);
}

// A value carried through an F field keeps the decimals the field prints, rounded as write
// rounds them (by hand: 0.8145f is 0.814499974..., 0.03125 is an exact tie, -9.99f comes back
// as the float nearest -9.99).
TEST(as_written, keeps_the_field_decimals) {
  EXPECT_EQ(as_written(0.99964379f, 4), 0.9996f);
  EXPECT_EQ(as_written(0.8145f, 4), 0.8145f);
  EXPECT_EQ(as_written(0.8144999f, 4), 0.8145f);
  EXPECT_EQ(as_written(0.03125f, 4), 0.0312f);  // tie to even, as "(f8.4)" writes "  0.0312"
  EXPECT_EQ(as_written(0.03135f, 4), 0.0314f);  // 0.03135f lies just above the half
  EXPECT_EQ(as_written(0.0025f, 3), 0.002f);    // 0.0025f lies just below it
  EXPECT_EQ(as_written(-9.99f, 4), -9.99f);
  EXPECT_EQ(as_written(-0.00004f, 4), 0.0f);
  EXPECT_EQ(as_written(2.5f, 0), 2.0f);
  EXPECT_EQ(as_written(1234.56789f, 2), 1234.57f);
  // The same as the layout writes and reads back.
  for (float v : {0.12345f, 0.87577550f, 1.0f, -0.4999f, 3.14159f}) {
    const std::string text = Layout("(f8.4)").write(v);
    EXPECT_EQ(as_written(v, 4), Layout("(f8.4)").read(text, 1)[0].real_single) << text;
  }
  EXPECT_THROW(as_written(1.0f, 9), std::invalid_argument);
}

}  // namespace
}  // namespace dendro
