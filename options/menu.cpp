#include "options/menu.h"

#include <string>

#include "options/defaults.h"
#include "options/labels.h"
#include "options/query.h"
#include "series/console.h"
#include "series/layout.h"

namespace dendro {

std::string menu_text(const Icommands& ic, const Commands& commands) {
  auto label = [&](int item) { return option_label(item, ic); };
  std::string lines[25];
  lines[0] = Layout(
                 "(/1x,'|************** kalder run time menu and ',"
                 "'current options settings **************|'/)")
                 .write();
  lines[1] = Layout("(28x,'opt          plt')").write();
  lines[2] = Layout("(t2,' [1] tree-ring data type',t26,i5,t47,a)").write(ic[1], label(1));
  lines[3] =
      Layout("(t2,' [2] missing data in gaps',t26,i5,i13,t47,a)").write(ic[2], ic[32], label(2));
  lines[4] =
      Layout("(t2,' [3] data transformation',t26,i5,i13,t47,a)").write(ic[3], ic[33], label(3));
  lines[5] = Layout("(t2,' [4] first detrending',t26,i5,i7,i6,t47,a)")
                 .write(ic[4], ic[34], ic[64], label(4));
  // Under regional curve standardization the second detrending is the curve of the
  // age-aligned mean and has no plot flag of its own on this line.
  if (ic[4] == -2) {
    lines[6] = Layout("(t2,' [5] rcs detrending',t26,i5,i13,t47,a)")
                   .write(ic[5], ic[35], detrending_label(5, ic[5], "rcs-"));
  } else {
    lines[6] = Layout("(t2,' [5] second detrending',t26,i5,i7,i6,t47,a)")
                   .write(ic[5], ic[35], ic[65], label(5));
  }
  lines[7] = Layout("(t2,' [6] robust detrending',t26,i5,t47,a)").write(ic[6], label(6));
  lines[8] = Layout("(t2,' [7] interactive detrend',t26,i5,t47,a)").write(ic[7], label(7));
  lines[9] = Layout("(t2,' [8] index calculation',t26,i5,t47,a)").write(ic[8], label(8));
  lines[10] =
      Layout("(t2,' [9] ar modeling method',t26,i5,i13,t47,a)").write(ic[9], ic[39], label(9));
  lines[11] =
      Layout("(t2,'[10] pooled ar order',t26,i5,i13,t47,a39)").write(ic[10], ic[40], label(10));
  lines[12] = Layout("(t2,'[11] series ar order',t26,i5,t47,a)").write(ic[11], label(11));
  lines[13] = Layout("(t2,'[12] mean chronology',t27,2i4,i5,i4,t47,a)")
                  .write(ic[12], ic[72], ic[102], ic[42], label(12));
  lines[14] = Layout("(t2,'[13] stabilize variance',t26,i5,t47,a)").write(ic[13], label(13));
  lines[15] =
      Layout("(t2,'[14] common period years',t27,3x,2i5,t47,a)").write(ic[14], ic[44], label(14));
  lines[16] =
      Layout("(t2,'[15] site-tree-core mask',t27,6x,a,t47,a)").write(commands.mask(), label(15));
  lines[17] = Layout("(t2,'[16] running rbar',t26,4x,2i5,i4,t47,a)")
                  .write(ic[16], ic[46], ic[76], label(16));
  lines[18] = Layout("(t2,'[17] printout option',t26,i5,t47,a)").write(ic[17], label(17));
  lines[19] = Layout("(t2,'[18] core series save',t26,i5,t47,a)").write(ic[18], label(18));
  lines[20] = Layout("(t2,'[19] summary plots',t26,i5,t47,a)").write(ic[19], label(19));
  lines[21] =
      Layout("(t2,'[20] stand dynamics stuff',t28,i3,i13,t47,a)").write(ic[20], ic[140], label(20));
  lines[22] = Layout("(t7,'running mean window',t28,i3,t47,a)").write(ic[50], label(21));
  lines[23] = Layout("(t7,'percent growth change',t28,i3,t47,a)").write(ic[80], label(22));
  lines[24] = Layout("(t7,'std error threshold',t28,i3,t47,a)").write(ic[110], label(23));
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
    if (!k || *k < 0) continue;
    if (*k == 0) return;
    query(static_cast<int>(std::min<long long>(*k, kNoOption)), icommands, commands, con);
    con.say(menu_text(icommands, commands));
  }
}

}  // namespace dendro
