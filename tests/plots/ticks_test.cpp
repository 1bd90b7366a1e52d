#include "plots/ticks.h"

#include <gtest/gtest.h>

namespace dendro {
namespace {

// Expected values by hand from the AS 96 steps (step = (fmax - fmin)/(n - 1), scaled into
// [1, 10), the first preferred unit at or above it, the range centred on a multiple).
TEST(scale, preferred_steps) {
  // fmin = fmax = 5: fmin becomes 0; step 5/9 = 0.556 -> unit 6 -> 0.6; range 5.4.
  auto s = scale(5, 5, 10);
  ASSERT_TRUE(s);
  EXPECT_NEAR(s->valmin, 0.0, 1e-6);
  EXPECT_NEAR(s->step, 0.6, 1e-6);
  EXPECT_NEAR(s->valmax, 5.4, 1e-5);
  // -500..2000: step 277.8 -> unit 3 -> 300; range 2700; centre -1.5 -> j = -2.
  s = scale(-500, 2000, 10);
  ASSERT_TRUE(s);
  EXPECT_NEAR(s->valmin, -600.0, 1e-3);
  EXPECT_NEAR(s->step, 300.0, 1e-3);
  EXPECT_NEAR(s->valmax, 2100.0, 1e-3);
  // -850..-10: all negative and the range 900 covers -fmin: the scale ends at 0.
  s = scale(-850, -10, 10);
  ASSERT_TRUE(s);
  EXPECT_NEAR(s->valmax, 0.0, 1e-6);
  EXPECT_NEAR(s->valmin, -900.0, 1e-3);
  // Refused: reversed extent, too few marks.
  EXPECT_FALSE(scale(2, 1, 10));
  EXPECT_FALSE(scale(0, 1, 1));
}

TEST(ticit, year_axis_by_span) {
  Axis y{0, 1.3f}, z{0, 1.3f};
  const auto x_ticks = [&](float min, float max) {
    Axis x{min, max};
    ticit(x, y, z);
    return std::make_pair(x.major, x.minor);
  };
  EXPECT_EQ(x_ticks(1900, 1950), std::make_pair(10.0f, 10));  // span 50
  EXPECT_EQ(x_ticks(1900, 1920), std::make_pair(10.0f, 10));
  EXPECT_EQ(x_ticks(2000, 1900), std::make_pair(10.0f, 10));   // negative span
  EXPECT_EQ(x_ticks(1900, 1951), std::make_pair(20.0f, 5));    // 51
  EXPECT_EQ(x_ticks(1900, 2000), std::make_pair(20.0f, 5));    // a chronology 1900-1998
  EXPECT_EQ(x_ticks(1800, 2000), std::make_pair(20.0f, 10));   // 200
  EXPECT_EQ(x_ticks(1500, 2000), std::make_pair(50.0f, 5));    // 500
  EXPECT_EQ(x_ticks(1000, 2000), std::make_pair(100.0f, 10));  // 1000
  EXPECT_EQ(x_ticks(0, 2000), std::make_pair(250.0f, 5));      // 2000

  // Over 2000 years the axis is rescaled by AS 96 (see scale above).
  Axis x{-500, 2000};
  ticit(x, y, z);
  EXPECT_NEAR(x.min, -600.0, 1e-3);
  EXPECT_NEAR(x.max, 2100.0, 1e-3);
  EXPECT_NEAR(x.major, 300.0, 1e-3);
  EXPECT_EQ(x.minor, 5);
}

TEST(ticit, value_axes_raise_the_maximum) {
  const auto raised = [](float min, float max) {
    Axis x{1900, 2000}, y{min, max}, z{min, max};
    ticit(x, y, z);
    EXPECT_EQ(y.max, z.max);  // z is treated as y
    return y;
  };
  Axis a = raised(0, 3.62f);  // remainder 0.62 > 0.5: up to 4.0; n = 4
  EXPECT_NEAR(a.max, 4.0, 1e-6);
  EXPECT_EQ(a.major, 1.0f);
  EXPECT_EQ(a.minor, 4);
  a = raised(0, 1.3f);  // up to 1.5; n = 1
  EXPECT_NEAR(a.max, 1.5, 1e-6);
  EXPECT_EQ(a.major, 0.5f);
  EXPECT_EQ(a.minor, 4);
  EXPECT_NEAR(raised(0, 0.0f).max, 0.5, 1e-6);
  EXPECT_NEAR(raised(0, 3.0f).max, 3.5, 1e-6);
  EXPECT_NEAR(raised(0, 3.5f).max, 3.5, 1e-6);  // already on the half step
  EXPECT_NEAR(raised(0, 200.0f).max, 250.0, 1e-3);
  a = raised(0, 42.0f);  // modulus 10: remainder 2 -> 45; n = 45
  EXPECT_NEAR(a.max, 45.0, 1e-4);
  EXPECT_EQ(a.major, 5.0f);
  EXPECT_EQ(a.minor, 5);
  a = raised(0, 87.0f);  // remainder 7 -> 90; n = 90
  EXPECT_EQ(a.major, 10.0f);
  EXPECT_EQ(a.minor, 2);
  a = raised(0, 260.0f);  // -> 300; n = 300
  EXPECT_EQ(a.major, 100.0f);
  EXPECT_EQ(a.minor, 5);
  a = raised(0, 7.0f);  // -> 7.5; n = 7
  EXPECT_EQ(a.major, 2.0f);

  // 0..800 is raised to 850, then AS 96: step 94.4 -> unit 10 -> 100; range 900 from 0.
  a = raised(0, 800.0f);
  EXPECT_NEAR(a.min, 0.0, 1e-6);
  EXPECT_NEAR(a.max, 900.0, 1e-3);
  EXPECT_NEAR(a.major, 100.0, 1e-3);
  EXPECT_EQ(a.minor, 5);
}

TEST(decades, frame_of_a_year_range) {
  EXPECT_EQ(decade_start(1901), 1900);
  EXPECT_EQ(decade_end(1997), 2000);
  EXPECT_EQ(decade_start(1900), 1900);
  EXPECT_EQ(decade_end(2000), 2010);  // an end on a decade gains ten years
  EXPECT_EQ(decade_end(1990), 2000);
  EXPECT_EQ(decade_start(1501), 1500);
  // Negative years go down to their decade, so the first years stay inside the frame.
  EXPECT_EQ(decade_start(-505), -510);
  EXPECT_EQ(decade_end(-1), 0);
  EXPECT_EQ(decade_start(0), 0);
}

}  // namespace
}  // namespace dendro
