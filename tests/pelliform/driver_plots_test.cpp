#include "pelliform/driver_plots.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "run_fixture.h"

namespace dendro {
namespace {

TEST(spectrum_page, limits_are_the_data_without_margin) {
  const std::vector<float> f{0.0f, 0.25f, 0.5f}, p1{10.0f, 1.0f, 0.1f}, p2{100.0f, -1.0f, 1.0f};
  const SpectrumPage page = spectrum_page(f, p1, p2);
  EXPECT_DOUBLE_EQ(page.x.min, 0.0);
  EXPECT_DOUBLE_EQ(page.x.max, 0.5);
  // log10: 1, 0, -1 and 2, (none), 0.
  EXPECT_NEAR(page.y.min, -1.0, 1e-6);
  EXPECT_NEAR(page.y.max, 2.0, 1e-6);
  ASSERT_EQ(page.x1.size(), 1u);
  ASSERT_EQ(page.x2.size(), 2u);  // the negative power breaks the second line
  EXPECT_EQ(page.x2[1], (std::vector<double>{0.5}));
}

TEST(scatter_page, limits_and_title) {
  PowerTransformResult r;
  r.pooled_level = {0.5f, 1.5f, -0.5f};
  r.pooled_spread = {-1.0f, 0.25f, -2.0f};
  r.pooled = Line{0.75f, -1.25f};
  r.pooled_r = 0.5f;
  const ScatterPage page = scatter_page(r);
  EXPECT_DOUBLE_EQ(page.x.min, -0.5);
  EXPECT_DOUBLE_EQ(page.x.max, 1.5);
  EXPECT_DOUBLE_EQ(page.y.min, -3.0);  // -2 - 1
  EXPECT_DOUBLE_EQ(page.y.max, 1.75);  // 0.25 + 1.5
  EXPECT_EQ(page.title, "Y=  -1.2500 +    0.7500(x)  Rho=    0.5000");
}

class SavedPages : public testing::RunTest {};

TEST_F(SavedPages, both_pages_save_to_fig1b) {
  std::vector<float> f, p1, p2;
  for (int j = 0; j <= 10; ++j) {
    f.push_back(0.05f * static_cast<float>(j));
    p1.push_back(std::exp(-static_cast<float>(j)));
    p2.push_back(1.0f + static_cast<float>(j));
  }
  answers("s\nc\n");
  plt6(run->plots, f, p1, p2, 11, "STD Power Spectrum", "SSF Power Spectrum", "fig1b.ps");
  ASSERT_TRUE(std::filesystem::exists(dir / "fig1b.ps"));
  const auto first = std::filesystem::file_size(dir / "fig1b.ps");
  // Rendered once with ghostscript, so that a broken page fails here.
  const std::string gs =
      "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -sOutputFile=page.png fig1b.ps >gs.log 2>&1";
  EXPECT_EQ(std::system(gs.c_str()), 0);

  PowerTransformResult r;
  r.series.push_back(sf::SpreadLevel{{0.1f, 0.5f, 0.9f}, {-1.0f, -0.5f, 0.1f}, Line{1.3f, -1.1f}});
  r.pooled_level = r.series[0].log_level;
  r.pooled_spread = r.series[0].log_spread;
  // The second save replaces the first only when told to.
  answers("s\n\nx\n");
  scatplt(run->plots, r);
  EXPECT_EQ(std::filesystem::file_size(dir / "fig1b.ps"), first);
  EXPECT_TRUE(
      shows(" fig1b.ps exists: replace it? y/<n>  *** fig1b.ps is not saved: the earlier "
            "file is kept as it was\n"));
  answers("s\ny\nx\n");
  scatplt(run->plots, r);
  EXPECT_NE(std::filesystem::file_size(dir / "fig1b.ps"), first);
  EXPECT_EQ(std::system(gs.c_str()), 0);
}

}  // namespace
}  // namespace dendro
