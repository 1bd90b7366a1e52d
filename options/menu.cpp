#include "options/menu.h"

#include <initializer_list>
#include <string>

#include "options/defaults.h"
#include "options/labels.h"
#include "options/query.h"
#include "series/console.h"
#include "series/fit_codes.h"
#include "series/layout.h"

namespace dendro {
namespace {

constexpr int kMenuOptions = 20;  // options 1 to 20 are on the menu

}  // namespace

std::string menu_text(const Icommands& ic, const Commands& commands) {
  // The line of option item `item`: the values of `elements`, then the item's label.
  auto line = [&](std::string_view layout, std::initializer_list<OptionElement> elements,
                  int item) { return option_line(layout, ic, elements, option_label(item, ic)); };
  std::string lines[25];
  lines[0] = Layout(
                 "(/1x,'|************** kalder run time menu and ',"
                 "'current options settings **************|'/)")
                 .write();
  lines[1] = Layout("(28x,'opt          plt')").write();
  lines[2] = line("(t2,' [1] tree-ring data type',t26,i5,t47,a)", {opt::data_type}, 1);
  lines[3] = line("(t2,' [2] missing data in gaps',t26,i5,i13,t47,a)",
                  {opt::missing_data, opt::missing_data_plots}, 2);
  lines[4] = line("(t2,' [3] data transformation',t26,i5,i13,t47,a)",
                  {opt::transformation, opt::transformation_plots}, 3);
  lines[5] = line(
      "(t2,' [4] first detrending',t26,i5,i7,i6,t47,a)",
      {opt::first_detrending, opt::first_detrending_parameter, opt::first_detrending_plots}, 4);
  // Under regional curve standardization the second detrending is the curve of the
  // age-aligned mean and has no plot flag of its own on this line.
  if (ic[opt::first_detrending] == fit::regional_curve) {
    lines[6] = option_line("(t2,' [5] rcs detrending',t26,i5,i13,t47,a)", ic,
                           {opt::second_detrending, opt::second_detrending_parameter},
                           detrending_label(5, ic[opt::second_detrending], "rcs-"));
  } else {
    lines[6] = line(
        "(t2,' [5] second detrending',t26,i5,i7,i6,t47,a)",
        {opt::second_detrending, opt::second_detrending_parameter, opt::second_detrending_plots},
        5);
  }
  lines[7] = line("(t2,' [6] robust detrending',t26,i5,t47,a)", {opt::robust_detrending}, 6);
  lines[8] = line("(t2,' [7] interactive detrend',t26,i5,t47,a)", {opt::interactive}, 7);
  lines[9] = line("(t2,' [8] index calculation',t26,i5,t47,a)", {opt::index_calculation}, 8);
  lines[10] = line("(t2,' [9] ar modeling method',t26,i5,i13,t47,a)",
                   {opt::ar_method, opt::ar_method_plots}, 9);
  lines[11] = line("(t2,'[10] pooled ar order',t26,i5,i13,t47,a39)",
                   {opt::pooled_ar_order, opt::pooled_ar_plots}, 10);
  lines[12] = line("(t2,'[11] series ar order',t26,i5,t47,a)", {opt::series_ar_order}, 11);
  lines[13] = line(
      "(t2,'[12] mean chronology',t27,2i4,i5,i4,t47,a)",
      {opt::mean_chronology, opt::bootstrap_limits, opt::bootstrap_spline, opt::bootstrap_plots},
      12);
  lines[14] = line("(t2,'[13] stabilize variance',t26,i5,t47,a)", {opt::stabilisation}, 13);
  lines[15] = common_period_line("[14] common period years", 30, 47, ic);
  lines[16] = Layout("(t2,'[15] site-tree-core mask',t27,6x,a,t47,a)")
                  .write(commands.mask(), option_label(15, ic));
  lines[17] =
      line("(t2,'[16] running rbar',t26,4x,2i5,i4,t47,a)",
           {opt::running_rbar_window, opt::running_rbar_overlap, opt::running_rbar_plots}, 16);
  lines[18] = line("(t2,'[17] printout option',t26,i5,t47,a)", {opt::printout}, 17);
  lines[19] = line("(t2,'[18] core series save',t26,i5,t47,a)", {opt::core_series_save}, 18);
  lines[20] = line("(t2,'[19] summary plots',t26,i5,t47,a)", {opt::summary_plots}, 19);
  lines[21] = line("(t2,'[20] stand dynamics stuff',t28,i3,i13,t47,a)",
                   {opt::stand_dynamics, opt::stand_dynamics_plots}, 20);
  lines[22] = line("(t7,'running mean window',t28,i3,t47,a)", {opt::release_window}, 21);
  lines[23] = line("(t7,'percent growth change',t28,i3,t47,a)", {opt::release_threshold}, 22);
  lines[24] = line("(t7,'std error threshold',t28,i3,t47,a)", {opt::release_error_limit}, 23);
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
    const Answer a = con.ask(" enter the option to change (<ret> = go)", 8).or_quit();
    if (a.blank()) return;
    std::optional<long long> k = a.integer();
    if (k && *k == 0) return;
    if (!k || *k < 0 || *k > kMenuOptions) {
      const std::string wanted = "enter 1 to " + std::to_string(kMenuOptions) + ", or <ret> to go";
      con.say(k ? " *** there is no option " + a.typed + ": " + wanted : refusal(a, wanted));
      con.again();
      continue;
    }
    query(static_cast<int>(*k), icommands, commands, con);
    con.say(menu_text(icommands, commands));
  }
}

}  // namespace dendro
