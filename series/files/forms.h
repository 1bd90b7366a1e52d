// The forms of the names of the files kalder and pelliform write: the pieces both programs
// build their names from, and the test of whether a name found on disk is of such a form.
#pragma once

#include <string_view>

#include "series/blocks.h"

namespace dendro {

// Both programs name a data file's spectra so, and end every name so.
inline constexpr char kSpectraSuffix[] = "_spectra.txt";
inline constexpr char kTextEnd[] = ".txt";

namespace kalder_names {

// Which options make kalder write one of a data file's outputs.
enum class When {
  always,
  core_save,    // option 18 saves the series of each stage
  curves,       // the curve files: saved with the series, or removed for the summary plots
  transformed,  // option 3
  bootstrap,    // option 12's bootstrap limits
  common_period,
  spectra,  // a chronology that is detrended
};

struct Output {
  const char* suffix;
  When when;
};

// A data file's outputs: its output prefix followed by one of these suffixes.
inline constexpr Output kOutputs[] = {
    {"_out.txt", When::always},           {"_tabs.txt", When::always},
    {"_crns.txt", When::always},          {"_errs.txt", When::always},
    {"_log.txt", When::always},           {"_detail.txt", When::always},
    {kSpectraSuffix, When::spectra},      {"_raw_rbar.txt", When::always},
    {"_ind_rbar.txt", When::always},      {"_res_rbar.txt", When::always},
    {"_trn_rbar.txt", When::transformed}, {"_raw.txt", When::core_save},
    {"_gap.txt", When::core_save},        {"_trn.txt", When::core_save},
    {"_ind1.txt", When::core_save},       {"_ind2.txt", When::core_save},
    {"_res.txt", When::core_save},        {"_raw_wgts.txt", When::core_save},
    {"_ind_wgts.txt", When::core_save},   {"_res_wgts.txt", When::core_save},
    {"_rcs_wgts.txt", When::core_save},   {"_auto_outs.txt", When::core_save},
    {"_endo_outs.txt", When::core_save},  {"_rcs_raw.txt", When::core_save},
    {"_rcs_ind1.txt", When::core_save},   {"_rcs_ind2.txt", When::core_save},
    {"_crv1.txt", When::curves},          {"_crv2.txt", When::curves},
    {"_raw_95%cl.txt", When::bootstrap},  {"_std_95%cl.txt", When::bootstrap},
    {"_res_95%cl.txt", When::bootstrap},  {"_kld_95%cl.txt", When::bootstrap},
    {"_rcs_95%cl.txt", When::bootstrap},
};
// The first ones of kOutputs, written whatever the options.
inline constexpr int kFixedOutputs = 6;

// The principal component files, written under When::common_period: the output prefix,
// each kind of file, each stage's series, kTextEnd.
inline constexpr const char* kComponentFiles[] = {"_pcloads_", "_pcscores_", "_vfloads_",
                                                  "_vfscores_"};
inline constexpr const char* kComponentStages[] = {"raw", "trn", "det", "res"};

// The chronology files of a whole run, each on its unit.
struct RunWideFile {
  int unit;
  const char* name;
};
inline constexpr RunWideFile kRunWideFiles[] = {
    {unit::crns_raw, "crns_raw.txt"},    {unit::crns_std, "crns_std.txt"},
    {unit::crns_res, "crns_res.txt"},    {unit::crns_kld, "crns_kld.txt"},
    {unit::crns_rcs, "crns_rcs.txt"},    {unit::err_raw, "crns_raw_err.txt"},
    {unit::err_std, "crns_std_err.txt"}, {unit::err_res, "crns_res_err.txt"},
    {unit::err_kld, "crns_kld_err.txt"}, {unit::err_rcs, "crns_rcs_err.txt"},
};

// The list of the data file names typed at the console.
inline constexpr char kTypedNamesFile[] = "kalder_files.txt";

}  // namespace kalder_names

namespace pelliform_names {

inline constexpr char kVersion[] = "43ptr08";

// The report: the stem, kReportTag, kVersion, kTextEnd, every blank squeezed out. The
// spectra: the spectra stem and kSpectraSuffix.
inline constexpr char kReportTag[] = "_out_v";

// A censored set: the stem, one of kCensoredTags, the values of the reduction (digits,
// blanks and "-"), then kTextEnd.
inline constexpr char kMinimumLengthTag[] = "_mnsl=";
inline constexpr char kMaximumStartTag[] = "_mxsy=";
inline constexpr char kMinimumStartTag[] = "_mnsy=";
inline constexpr char kTruncatedBeforeTag[] = "_trunb=";
inline constexpr char kTruncatedAfterTag[] = "_truna=";
inline constexpr char kCommonPeriodTag[] = "_comm=";
inline constexpr const char* kCensoredTags[] = {kMinimumLengthTag,  kMaximumStartTag,
                                                kMinimumStartTag,   kTruncatedBeforeTag,
                                                kTruncatedAfterTag, kCommonPeriodTag};

// The other files a run may write: the stem followed by one of kStemSuffixes, or one of
// the engine's series files below.
inline constexpr char kChronologyColumns[] = "_crns_col.txt";
inline constexpr char kChronologyTucson[] = "_crns_tuc.txt";
inline constexpr char kSignalFreeRbar[] = "_Ssf_RBAR.txt";
inline constexpr char kRawRbar[] = "_Raw_RBAR.txt";
inline constexpr char kStandardRbar[] = "_Std_RBAR.txt";
inline constexpr char kRegionalCurves[] = "_RCScurves.txt";
inline constexpr const char* kStemSuffixes[] = {kChronologyColumns, kChronologyTucson,
                                                kSignalFreeRbar,    kRawRbar,
                                                kStandardRbar,      kRegionalCurves};

// The engine's series files: the stem, the pass, the scale, then the contents.
inline constexpr char kStandardPass[] = "_STD_";
inline constexpr char kSignalFreePass[] = "_SSF_";
inline constexpr char kRawScale[] = "RAW_";
inline constexpr char kTransformedScale[] = "PTR_";  // power-transformed residuals
inline constexpr char kDataContents[] = "Data.txt";
inline constexpr char kCurvesContents[] = "Curves.txt";
inline constexpr char kRatiosContents[] = "Ratios.txt";
inline constexpr char kResidualsContents[] = "Resids.txt";

}  // namespace pelliform_names

// True when `file` (a file's own name, without any folder part) has the form of a name
// kalder or pelliform writes: a data file's output (a non-empty output prefix or stem
// followed by one of either program's suffixes), one of kalder's run-wide chronology
// files, kalder's typed list of data file names, or one of pelliform's censored sets.
bool of_either_programs_form(std::string_view file);

}  // namespace dendro
