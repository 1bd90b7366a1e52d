#include "options/menu.h"

#include <string>

#include "options/defaults.h"
#include "options/labels.h"
#include "options/query.h"
#include "series/console.h"
#include "series/fit_codes.h"
#include "series/layout.h"
#include "series/stop.h"

namespace dendro {

std::string menu_text(const Icommands& ic, const Commands& commands) {
  auto label = [&](int item) { return option_label(item, ic); };
  std::string lines[25];
  lines[0] = Layout(
                 "(/1x,'|************** kalder run time menu and ',"
                 "'current options settings **************|'/)")
                 .write();
  lines[1] = Layout("(28x,'opt          plt')").write();
  lines[2] = Layout("(t2,' [1] tree-ring data type',t26,i5,t47,a)")
                 .write(ic[opt::data_type], label(1));
  lines[3] = Layout("(t2,' [2] missing data in gaps',t26,i5,i13,t47,a)")
                 .write(ic[opt::missing_data], ic[opt::missing_data_plots], label(2));
  lines[4] = Layout("(t2,' [3] data transformation',t26,i5,i13,t47,a)")
                 .write(ic[opt::transformation], ic[opt::transformation_plots], label(3));
  lines[5] = Layout("(t2,' [4] first detrending',t26,i5,i7,i6,t47,a)")
                 .write(ic[opt::first_detrending], ic[opt::first_detrending_parameter],
                        ic[opt::first_detrending_plots], label(4));
  // Under regional curve standardization the second detrending is the curve of the
  // age-aligned mean and has no plot flag of its own on this line.
  if (ic[opt::first_detrending] == fit::regional_curve) {
    lines[6] = Layout("(t2,' [5] rcs detrending',t26,i5,i13,t47,a)")
                   .write(ic[opt::second_detrending], ic[opt::second_detrending_parameter],
                          detrending_label(5, ic[opt::second_detrending], "rcs-"));
  } else {
    lines[6] = Layout("(t2,' [5] second detrending',t26,i5,i7,i6,t47,a)")
                   .write(ic[opt::second_detrending], ic[opt::second_detrending_parameter],
                          ic[opt::second_detrending_plots], label(5));
  }
  lines[7] = Layout("(t2,' [6] robust detrending',t26,i5,t47,a)")
                 .write(ic[opt::robust_detrending], label(6));
  lines[8] = Layout("(t2,' [7] interactive detrend',t26,i5,t47,a)")
                 .write(ic[opt::interactive], label(7));
  lines[9] = Layout("(t2,' [8] index calculation',t26,i5,t47,a)")
                 .write(ic[opt::index_calculation], label(8));
  lines[10] = Layout("(t2,' [9] ar modeling method',t26,i5,i13,t47,a)")
                  .write(ic[opt::ar_method], ic[opt::ar_method_plots], label(9));
  lines[11] = Layout("(t2,'[10] pooled ar order',t26,i5,i13,t47,a39)")
                  .write(ic[opt::pooled_ar_order], ic[opt::pooled_ar_plots], label(10));
  lines[12] = Layout("(t2,'[11] series ar order',t26,i5,t47,a)")
                  .write(ic[opt::series_ar_order], label(11));
  lines[13] = Layout("(t2,'[12] mean chronology',t27,2i4,i5,i4,t47,a)")
                  .write(ic[opt::mean_chronology], ic[opt::bootstrap_limits],
                         ic[opt::bootstrap_spline], ic[opt::bootstrap_plots], label(12));
  lines[14] = Layout("(t2,'[13] stabilize variance',t26,i5,t47,a)")
                  .write(ic[opt::stabilisation], label(13));
  lines[15] = Layout("(t2,'[14] common period years',t27,3x,2i5,t47,a)")
                  .write(ic[opt::common_period_first], ic[opt::common_period_last], label(14));
  lines[16] =
      Layout("(t2,'[15] site-tree-core mask',t27,6x,a,t47,a)").write(commands.mask(), label(15));
  lines[17] = Layout("(t2,'[16] running rbar',t26,4x,2i5,i4,t47,a)")
                  .write(ic[opt::running_rbar_window], ic[opt::running_rbar_overlap],
                         ic[opt::running_rbar_plots], label(16));
  lines[18] = Layout("(t2,'[17] printout option',t26,i5,t47,a)")
                  .write(ic[opt::printout], label(17));
  lines[19] = Layout("(t2,'[18] core series save',t26,i5,t47,a)")
                  .write(ic[opt::core_series_save], label(18));
  lines[20] = Layout("(t2,'[19] summary plots',t26,i5,t47,a)")
                  .write(ic[opt::summary_plots], label(19));
  lines[21] = Layout("(t2,'[20] stand dynamics stuff',t28,i3,i13,t47,a)")
                  .write(ic[opt::stand_dynamics], ic[opt::stand_dynamics_plots], label(20));
  lines[22] = Layout("(t7,'running mean window',t28,i3,t47,a)")
                  .write(ic[opt::release_window], label(21));
  lines[23] = Layout("(t7,'percent growth change',t28,i3,t47,a)")
                  .write(ic[opt::release_threshold], label(22));
  lines[24] = Layout("(t7,'std error threshold',t28,i3,t47,a)")
                  .write(ic[opt::release_error_limit], label(23));
  std::string text = lines[0];
  for (int k = 1; k < 25; ++k) text += "\n" + lines[k];
  return text;
}

void menu(Icommands& icommands, Commands& commands, Console& con) {
  reset_options(icommands, commands);
  con.say(menu_text(icommands, commands));
  // Each answer either ends the menu, opens an option or asks again; end of input stops
  // the program inside the console.
  for (;;) {
    con.say("");
    Answer a = con.ask(" enter the option to change (<ret> = go)", 8);
    if (a.blank()) return;
    if (a.quit()) throw Stop("", 0);
    std::optional<long long> k = a.integer();
    if (!k || *k < 0) continue;
    if (*k == 0) return;
    query(static_cast<int>(std::min<long long>(*k, kNoOption)), icommands, commands, con);
    con.say(menu_text(icommands, commands));
  }
}

}  // namespace dendro
