#include "kalder/info.h"

#include <initializer_list>
#include <string_view>

#include "options/help.h"
#include "series/console.h"

namespace dendro {
namespace {

void show(Console& con, std::initializer_list<std::string_view> text) { show_text(con, text); }

void welcome(Console& con) {
  show(con, {"***************** welcome to kalder *****************", "",
             "kalder needs a file that lists the names of the tree-ring",
             "data files to process, one name per line. with such a file",
             "the program processes many data sets in sequence without",
             "further questions between them. if you do not have such a",
             "file, just hit return at the next prompt and enter",
             "your data file name(s) interactively. capeche?"});
}

void output_files(Console& con) {
  show(con, {"the names of the output files are built from the name of the",
             "data file, so that they are unique for each data set. for a",
             "data file named myfile the files are:",
             "",
             "myfile_out.txt     the general output file",
             "myfile_crns.txt    the chronologies in decadal format",
             "myfile_tabs.txt    the chronologies, tab-delimited",
             "myfile_log.txt     the log file of interactive commands",
             "myfile_detail.txt  the batch details for the series",
             "",
             "the chronologies of all data sets of a run are also collected",
             "by kind, for convenient use when many data sets are processed:",
             "crns_raw.txt (raw), crns_std.txt (standard), crns_res.txt",
             "(residual), crns_kld.txt (kalder) and, only when regional",
             "curve standardization is done, crns_rcs.txt (regional curve).",
             "",
             "the tab-delimited file also holds the sample size, the mean",
             "tree age, the mean segment length and, if computed, the",
             "negative and positive autoregressive outliers as absolute",
             "numbers and as relative frequencies."});
  con.pause("Hit Return to Continue");
  show(con, {"when running rbar is computed and series are saved, the",
             "running rbar files are made for the raw data, the standard",
             "indices and the autoregressive residuals.", "",
             "when individual series are saved, the series files hold the",
             "raw data, the transformed data, the indices, the first and",
             "second growth-trend values and the residuals. no residual",
             "files are saved when no autoregressive modelling is done.", "",
             "this information helps you. if not, well ..."});
}

void modes(Console& con) {
  show(con, {"an interactive run automatically produces a log file and a",
             "batch detail file for each data set. the log file lists the",
             "control parameters that apply to all series of the data set;",
             "the batch detail file lists the parameters of each series.",
             "after an interactive run the detail file reflects exactly",
             "the commands of the log file.", "",
             "a later batch run can use both files as they are, or edited.",
             "editing the detail file customises the processing of single",
             "series or removes series from the analysis. in batch mode the",
             "values of the detail file override some controls of the log",
             "file: the data transformation and the detrending options.", "",
             "so create your log files interactively first, then you can",
             "run in batch mode. good luck, mr. quarst."});
}

}  // namespace

void info(int page, Console& con) {
  switch (page) {
    case 2:
      return output_files(con);
    case 3:
      return modes(con);
    default:
      return welcome(con);
  }
}

void helpm(int number, Console& con) {
  switch (number) {
    case 2:
      return show(con, {"why a file of data file names? after the first data set",
                        "the program cycles back and opens the next one by itself,",
                        "so that many data sets are processed without the operator.",
                        "without such a file, hit return at the next prompt and",
                        "enter the data file names interactively."});
    case 3:
      return show(con, {"you can enter in a general run title here. it",
                        "will be applied identically to all data sets."});
    case 4:
      return show(con, {"answer y to run the program in batch mode instead of",
                        "interactive mode. run the program once interactively to",
                        "create the log files of batch commands. they can repeat a",
                        "data set with identical settings, be used on further data",
                        "sets, and be edited to change the processing."});
    case 5:
      return show(con, {"with y the same batch commands process every data set",
                        "identically. with n a new set of commands is read in for",
                        "each data set in the file of data set names."});
    case 6:
      return show(con, {"if you only want to create a new set of log files",
                        "for editing or posterity, you may stop now without",
                        "running the program further."});
    case 7:
      return show(con, {"the batch detail file lists the options of each core series.",
                        "it is made automatically in interactive mode, with the",
                        "suffix _detail. in batch mode the program tries to open the",
                        "detail file named after the data file, and asks when it is",
                        "missing: abort and run interactively to create one. editing",
                        "it customises single series, or selects a subset of the",
                        "series to analyse and save."});
    case 8:
      return show(con, {"the optional pith offset file gives, for each series, the",
                        "number of years between the pith and the first year of data.",
                        "regional curve standardization (option -2) uses it to",
                        "estimate the regional curve most precisely. without it a",
                        "zero offset is assumed for all series. the offsets are",
                        "saved in the batch detail file for batch runs."});
    default:
      return show(con, {"for machines with strict limits on file names: answering y",
                        "would truncate the names of the output files. a curse on",
                        "dorv klane, who made such a system."});
  }
}

}  // namespace dendro
