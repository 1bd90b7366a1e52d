#include "series/files/forms.h"

#include <span>

namespace dendro {
namespace {

namespace kn = kalder_names;
namespace pn = pelliform_names;

// The choices of one piece of a suffix; a form is a run of pieces, one choice of each.
using Choices = std::span<const char* const>;
using Form = std::span<const Choices>;

constexpr const char* kTextEnds[] = {kTextEnd};
constexpr const char* kReportTags[] = {pn::kReportTag};
constexpr const char* kVersions[] = {pn::kVersion};
constexpr const char* kSpectraSuffixes[] = {kSpectraSuffix};
constexpr const char* kPasses[] = {pn::kStandardPass, pn::kSignalFreePass};
constexpr const char* kScales[] = {pn::kRawScale, pn::kTransformedScale};
constexpr const char* kContents[] = {pn::kDataContents, pn::kCurvesContents, pn::kRatiosContents,
                                     pn::kResidualsContents};

constexpr Choices kComponentForm[] = {kn::kComponentFiles, kn::kComponentStages, kTextEnds};
constexpr Choices kSpectraForm[] = {kSpectraSuffixes};
constexpr Choices kStemForm[] = {pn::kStemSuffixes};
constexpr Choices kReportForm[] = {kReportTags, kVersions, kTextEnds};
constexpr Choices kSeriesForm[] = {kPasses, kScales, kContents};
constexpr Form kForms[] = {kComponentForm, kSpectraForm, kStemForm, kReportForm, kSeriesForm};

// Every suffix begins with "_" and ends with kTextEnd, which the search below relies on.
constexpr bool bounded(std::string_view first, std::string_view last) {
  return first.starts_with('_') && last.ends_with(kTextEnd);
}
constexpr bool all_bounded() {
  for (const kn::Output& out : kn::kOutputs) {
    if (!bounded(out.suffix, out.suffix)) return false;
  }
  for (const Form form : kForms) {
    for (const std::string_view first : form.front()) {
      for (const std::string_view last : form.back()) {
        if (!bounded(first, last)) return false;
      }
    }
  }
  return true;
}
static_assert(all_bounded());

// Whether `tail` is one choice of each of `pieces` in turn.
bool of_pieces(std::string_view tail, Form pieces) {
  if (pieces.empty()) return tail.empty();
  for (const std::string_view choice : pieces.front()) {
    if (tail.starts_with(choice) && of_pieces(tail.substr(choice.size()), pieces.subspan(1))) {
      return true;
    }
  }
  return false;
}

// A censored set's tag and the values of its reduction.
bool a_censored_suffix(std::string_view tail) {
  if (!tail.ends_with(kTextEnd)) return false;
  for (const std::string_view tag : pn::kCensoredTags) {
    if (!tail.starts_with(tag)) continue;
    const std::string_view values =
        tail.substr(tag.size(), tail.size() - tag.size() - std::string_view(kTextEnd).size());
    return !values.empty() && values.find_first_not_of("0123456789 -") == std::string_view::npos;
  }
  return false;
}

bool a_suffix(std::string_view tail) {
  if (a_censored_suffix(tail)) return true;
  for (const kn::Output& out : kn::kOutputs) {
    if (tail == out.suffix) return true;
  }
  for (const Form form : kForms) {
    if (of_pieces(tail, form)) return true;
  }
  return false;
}

bool a_run_wide_name(std::string_view file) {
  if (file == kn::kTypedNamesFile) return true;
  for (const kn::RunWideFile& f : kn::kRunWideFiles) {
    if (file == f.name) return true;
  }
  return false;
}

}  // namespace

bool of_either_programs_form(std::string_view file) {
  if (!file.ends_with(kTextEnd)) return false;
  if (a_run_wide_name(file)) return true;
  // A suffix begins at an "_" after the first character, so that the prefix is not empty.
  for (std::size_t at = file.find('_', 1); at != std::string_view::npos;
       at = file.find('_', at + 1)) {
    if (a_suffix(file.substr(at))) return true;
  }
  return false;
}

}  // namespace dendro
