#include "series/files/journal.h"

#include <filesystem>
#include <random>
#include <string_view>

#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

const char* const kJournalStart = ".dendro.";
const char* const kJournalEnd = ".journal";
const char* const kTemporarySuffix = ".part";
const char* const kAsideSuffix = ".prev";

// The journal's lines: the header, then the records, each a key and fields separated by
// tabs, the file's name last (it may hold tabs or blanks itself), and a tab and the
// checksum at the end.
const std::string_view kHeader = "dendro journal 1";  // header <pid> <token>
const char* const kPart = "part";                     // part <name>
const char* const kMove = "move";  // move <g> <earlier 0/1> <none 0/1> <size> <name>
const char* const kBack = "back";  // back <g> <moves>: a run cut short is rolled back
const char* const kDone = "done";  // done <g> <moves>: every new file has its name
const char* const kEnd = "end";    // end <g>: nothing left to do
constexpr std::size_t kChecksumLength = 16;
// Records read or followed between two looks for a signal.
constexpr std::size_t kRecordsBetweenLooks = 4096;

std::string with_pid(const std::string& name, int pid, const char* suffix) {
  return name + "." + std::to_string(pid) + suffix;
}

std::string in_folder(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).string();
}

// A token that tells this run's records from those of any other journal.
std::string new_token() {
  std::random_device device;
  const std::uint64_t value = (static_cast<std::uint64_t>(device()) << 32) ^ device();
  return checksum_of(std::to_string(value));
}

// A line as the journal holds it: the text, a tab and the checksum of `token` and the text.
std::string line_of(const std::string& token, const std::string& text) {
  return text + "\t" + checksum_of(token + "\n" + text);
}

// The text of a whole line of `token`; false when its checksum does not hold.
bool text_of(const std::string& token, const std::string& line, std::string& text) {
  if (line.size() <= kChecksumLength || line[line.size() - kChecksumLength - 1] != '\t') {
    return false;
  }
  text = line.substr(0, line.size() - kChecksumLength - 1);
  return line.substr(line.size() - kChecksumLength) == checksum_of(token + "\n" + text);
}

// A record cut into its fields: the first `fields` tab-separated ones, then the rest.
std::vector<std::string> fields_of(const std::string& text, std::size_t fields) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (parts.size() < fields) {
    const std::size_t tab = text.find('\t', at);
    if (tab == std::string::npos) break;
    parts.push_back(text.substr(at, tab - at));
    at = tab + 1;
  }
  parts.push_back(text.substr(at));
  return parts;
}

bool plain_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Reads a journal's records into `r`; a record it cannot take is passed over, one that
// proves the journal is not whole sets `r.foreign`.
class Reader {
 public:
  Reader(Recorded& r, std::string token) : r_(r), token_(std::move(token)) {}

  void line(const std::string& line) {
    std::string text;
    if (!text_of(token_, line, text)) return;  // cut short, damaged, or not this run's
    const std::string key = text.substr(0, text.find('\t'));
    if (key == kPart) {
      part(fields_of(text, 1));
    } else if (key == kMove) {
      move(fields_of(text, 5));
    } else if (key == kBack || key == kDone || key == kEnd) {
      decision(key, fields_of(text, key == kEnd ? 1 : 2));
    }
  }

 private:
  void part(const std::vector<std::string>& f) {
    if (f.size() == 2 && named(f[1])) r_.parts.push_back(f[1]);
  }
  void move(const std::vector<std::string>& f) {
    if (f.size() != 6 || whole_number(f[1]) < 0 || whole_number(f[4]) < 0 || !named(f[5])) return;
    const int g = static_cast<int>(whole_number(f[1]));
    Group& group = r_.groups[g];
    if (!group.decision.empty()) {
      foreign("a move of its group " + f[1] + " stands after the group's decision");
      return;
    }
    group.moves.push_back(
        {f[5], f[2] == "1", f[3] == "1", static_cast<std::uintmax_t>(whole_number(f[4]))});
  }
  void decision(const std::string& key, const std::vector<std::string>& f) {
    if (f.size() < 2 || whole_number(f[1]) < 0) return;
    Group& group = r_.groups[static_cast<int>(whole_number(f[1]))];
    if (key != kEnd &&
        (f.size() != 3 || whole_number(f[2]) != static_cast<long long>(group.moves.size()))) {
      foreign("the decision of its group " + f[1] + " does not count the group's moves");
      return;
    }
    group.decision = key;
  }
  bool named(const std::string& name) {
    if (plain_name(name)) return true;
    foreign("it names \"" + name + "\", which is no file of its own folder");
    return false;
  }
  void foreign(const std::string& why) {
    if (r_.foreign.empty()) r_.foreign = why;
  }

  Recorded& r_;
  std::string token_;
};

// The token of a whole header of run `pid`; empty when `line` is none.
std::string header_token(const std::string& line, int pid) {
  const std::vector<std::string> f = fields_of(line, 3);
  if (f.size() != 4 || f[0] != kHeader || whole_number(f[1]) != pid || f[2].empty()) return "";
  return f[3] == checksum_of(f[0] + "\t" + f[1] + "\t" + f[2]) ? f[2] : "";
}

std::string header_of(int pid, const std::string& token) {
  const std::string text = std::string(kHeader) + "\t" + std::to_string(pid) + "\t" + token;
  return text + "\t" + checksum_of(text);
}

// Follows one journal: collects what it did, and the failures.
class Follower {
 public:
  Follower(FileSystem& fs, const std::string& folder, const Recorded& r, Mended& mended)
      : fs_(fs), folder_(folder), r_(r), mended_(mended) {}

  // Rolls a group back or finishes it as its decision says.
  void group(const Group& g) {
    for (const Move& m : g.moves) {
      if (g.decision == kDone) finish(m);
      if (g.decision == kBack) roll_back(m);
    }
  }
  void temporary(const std::string& name) {
    const std::string temp = temporary_of(name);
    if (!fs_.exists(temp)) return;
    if (note(fs_.remove(temp), "could not remove the temporary file " + shown(fs_, temp))) {
      mended_.removed.push_back(shown(fs_, temp));
    }
  }
  // Notes a failure; true when the step held.
  bool note(const Outcome& done, const std::string& what) {
    if (done.ok()) return true;
    mended_.failures.push_back(" *** " + what + ": " + done.failure);
    failed_ = true;
    return false;
  }
  bool failed() const { return failed_; }

 private:
  std::string path(const std::string& name) const { return in_folder(folder_, name); }
  std::string temporary_of(const std::string& name) const {
    return temporary_name(path(name), r_.pid);
  }
  std::string aside(const std::string& name) const { return aside_name(path(name), r_.pid); }

  // The earlier file goes back under its name (over the new one, when that had its name);
  // a new file that had no earlier one goes, once it has its name.
  void roll_back(const Move& m) {
    const std::string name = path(m.name);
    if (m.earlier) {
      if (!fs_.exists(aside(m.name))) return;  // never moved, or back already
      if (note(fs_.rename(aside(m.name), name),
               "could not put back the earlier " + shown(fs_, name) + ", which stays as " +
                   shown(fs_, aside(m.name)) + " for a later run to put back")) {
        mended_.put_back.push_back(shown(fs_, name));
      }
    } else if (!m.none && !fs_.exists(temporary_of(m.name)) && fs_.is_file(name) &&
               fs_.size(name) == m.size) {
      if (note(fs_.remove(name),
               "could not remove " + shown(fs_, name) + ", a new file of a group rolled back")) {
        mended_.undone.push_back(shown(fs_, name));
      }
    }
  }
  void finish(const Move& m) {
    if (!fs_.exists(aside(m.name))) return;
    if (note(fs_.remove(aside(m.name)), "could not remove the earlier " + shown(fs_, path(m.name)) +
                                            " left as " + shown(fs_, aside(m.name)))) {
      mended_.finished.push_back(shown(fs_, path(m.name)));
    }
  }

  FileSystem& fs_;
  const std::string& folder_;
  const Recorded& r_;
  Mended& mended_;
  bool failed_ = false;
};

}  // namespace

std::string temporary_name(const std::string& name, int pid) {
  return with_pid(name, pid, kTemporarySuffix);
}

std::string aside_name(const std::string& name, int pid) {
  return with_pid(name, pid, kAsideSuffix);
}

bool temporary_form(const std::string& name) {
  return name.ends_with(kTemporarySuffix) || name.ends_with(kAsideSuffix);
}

Journal::Journal(FileSystem& fs, const std::string& folder)
    : fs_(fs), folder_(folder), path_(journal_path(folder, fs.process_id())), token_(new_token()) {
  Opened opened = fs_.open(path_, std::ios::out | std::ios::trunc | std::ios::binary);
  if (opened.stream) {
    out_ = std::move(opened.stream);
    // The journal's name is on the disk too before any move it records.
    Outcome o = write(header_of(fs_.process_id(), token_), true);
    if (o.ok()) o = fs_.flush_folder(folder_);
    if (o.ok()) return;
    opened.failure = o.failure;
  }
  throw Stop(
      "*** cannot write the journal " + shown(fs_, path_) + " of this run: " + opened.failure,
      kFailureStatus);
}

Outcome Journal::write(const std::string& text, bool flush) {
  if (!(*out_ << text << '\n').flush()) {
    const std::string why = out_->write_failure();
    return {"cannot write its journal " + shown(fs_, path_) + ": " +
            (why.empty() ? "a write failed" : why)};
  }
  return flush ? fs_.flush(path_) : Outcome{};
}

Outcome Journal::note_part(const std::string& name) {
  return write(line_of(token_, std::string(kPart) + "\t" + name), false);
}

Outcome Journal::begin_group(int group, const std::vector<Move>& moves) {
  const std::string g = std::to_string(group);
  for (const Move& m : moves) {
    const Outcome o = write(
        line_of(token_, std::string(kMove) + "\t" + g + "\t" + (m.earlier ? "1" : "0") + "\t" +
                            (m.none ? "1" : "0") + "\t" + std::to_string(m.size) + "\t" + m.name),
        false);
    if (!o.ok()) return o;
  }
  moves_[group] = moves.size();
  return decide(kBack, group);
}

Outcome Journal::decide(const char* decision, int group) {
  return write(line_of(token_, std::string(decision) + "\t" + std::to_string(group) + "\t" +
                                   std::to_string(moves_[group])),
               true);
}

Outcome Journal::done(int group) { return decide(kDone, group); }

Outcome Journal::back(int group) { return decide(kBack, group); }

void Journal::end(int group) {
  write(line_of(token_, std::string(kEnd) + "\t" + std::to_string(group)), false);
}

Outcome Journal::remove() {
  out_.reset();
  return fs_.remove(path_);
}

std::string journal_path(const std::string& folder, int pid) {
  return in_folder(folder, kJournalStart + std::to_string(pid) + kJournalEnd);
}

int journal_pid(const std::string& file) {
  const std::string start = kJournalStart, end = kJournalEnd;
  if (!file.starts_with(start) || !file.ends_with(end) ||
      file.size() <= start.size() + end.size()) {
    return 0;
  }
  const long long pid =
      whole_number(file.substr(start.size(), file.size() - start.size() - end.size()));
  return pid > 0 && pid <= 0x7fffffff ? static_cast<int>(pid) : 0;
}

Recorded read_journal(FileSystem& fs, const std::string& path) {
  Recorded r;
  r.pid = journal_pid(std::filesystem::path(path).filename().string());
  Opened in = fs.open(path, std::ios::in | std::ios::binary);
  if (!in.stream) {
    r.failure = in.failure.empty() ? "it cannot be opened" : in.failure;
    return r;
  }
  std::string line;
  std::string token;
  if (std::getline(*in.stream, line) && !in.stream->eof()) token = header_token(line, r.pid);
  if (token.empty()) {
    r.foreign = "it does not begin as a journal of this program";
    return r;
  }
  Reader reader(r, token);
  for (std::size_t count = 1; std::getline(*in.stream, line); ++count) {
    if (count % kRecordsBetweenLooks == 0) stop_if_interrupted();
    if (!in.stream->eof()) reader.line(line);  // the last line without its end is cut short
  }
  if (in.stream->bad()) r.failure = "it could not be read to its end";
  return r;
}

std::vector<std::string> names_in(const Recorded& r) {
  std::vector<std::string> names = r.parts;
  for (const auto& [g, group] : r.groups) {
    for (const Move& m : group.moves) names.push_back(m.name);
  }
  return names;
}

std::vector<std::string> names_to_mend(FileSystem& fs, const std::string& folder,
                                       const Recorded& r) {
  std::vector<std::string> names;
  for (const auto& [g, group] : r.groups) {
    if (group.decision != kBack && group.decision != kDone) continue;
    for (const Move& m : group.moves) names.push_back(m.name);
  }
  for (std::size_t k = 0; k < r.parts.size(); ++k) {
    if (k % kRecordsBetweenLooks == 0) stop_if_interrupted();
    if (fs.exists(temporary_name(in_folder(folder, r.parts[k]), r.pid)))
      names.push_back(r.parts[k]);
  }
  return names;
}

void follow_journal(FileSystem& fs, const std::string& path, const Recorded& r, Mended& mended) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  Follower follow(fs, folder, r, mended);
  // What the dead run wrote may not have reached the disk: the decision followed must be
  // there before a step acts on it.
  if (!follow.note(fs.flush(path), "could not flush " + shown(fs, path) +
                                       ", the journal of a run cut short, before following it")) {
    return;
  }
  // The groups first: whether a new file had its name shows by its temporary file.
  for (const auto& [g, group] : r.groups) {
    stop_if_interrupted();
    follow.group(group);
  }
  for (std::size_t k = 0; k < r.parts.size(); ++k) {
    if (k % kRecordsBetweenLooks == 0) stop_if_interrupted();
    follow.temporary(r.parts[k]);
  }
  follow.note(fs.flush_folder(folder), "could not flush the folder " + shown(fs, folder));
  // A step that failed leaves the journal, for a later run to follow again.
  if (!follow.failed()) follow.note(fs.remove(path), "could not remove " + shown(fs, path));
}

std::string shown(FileSystem& fs, const std::string& full) {
  return shown_from(fs.identity("."), full);
}

}  // namespace dendro
