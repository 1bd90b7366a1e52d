#include "series/journal.h"

#include <filesystem>
#include <map>

#include "series/stop.h"

namespace dendro {
namespace {

const char* const kJournalStart = ".dendro.";
const char* const kJournalEnd = ".journal";
const char* const kTemporarySuffix = ".part";
const char* const kAsideSuffix = ".prev";

// The journal's records, one a line: the key, fields separated by tabs, and last the full
// path of the file concerned, which may itself hold tabs or blanks.
const char* const kPart = "part";    // part <name>
const char* const kGroup = "group";  // group <g>
const char* const kMove = "move";    // move <g> <earlier 0/1> <none 0/1> <name>
const char* const kBack = "back";    // back <g>: a run cut short is rolled back
const char* const kDone = "done";    // done <g>: every new file has its name
const char* const kEnd = "end";      // end <g>: nothing left to do

std::string with_pid(const std::string& name, int pid, const char* suffix) {
  return name + "." + std::to_string(pid) + suffix;
}

std::string journal_path(const std::string& folder, int pid) {
  return (std::filesystem::path(folder) / (kJournalStart + std::to_string(pid) + kJournalEnd))
      .string();
}

// A record cut into its fields: the first `fields` tab-separated ones, then the rest.
std::vector<std::string> fields_of(const std::string& line, std::size_t fields) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (parts.size() < fields) {
    const std::size_t tab = line.find('\t', at);
    if (tab == std::string::npos) break;
    parts.push_back(line.substr(at, tab - at));
    at = tab + 1;
  }
  parts.push_back(line.substr(at));
  return parts;
}

int number(const std::string& text) {
  try {
    return std::stoi(text);
  } catch (const std::exception&) {
    return -1;
  }
}

struct Group {
  std::vector<Move> moves;
  std::string decision;  // the last one written: "" (none yet), back, done or end
};

// What a journal holds. A record the run was writing when it died is passed over.
struct Record {
  int pid = 0;
  std::vector<std::string> parts;
  std::map<int, Group> groups;
};

void read_line(Record& r, const std::string& line) {
  const std::string key = line.substr(0, line.find('\t'));
  if (key == kPart) {
    const std::vector<std::string> f = fields_of(line, 1);
    if (f.size() == 2) r.parts.push_back(f[1]);
  } else if (key == kMove) {
    const std::vector<std::string> f = fields_of(line, 4);
    if (f.size() == 5 && number(f[1]) >= 0) {
      r.groups[number(f[1])].moves.push_back({f[4], f[2] == "1", f[3] == "1"});
    }
  } else if (key == kBack || key == kDone || key == kEnd) {
    const std::vector<std::string> f = fields_of(line, 1);
    if (f.size() == 2 && number(f[1]) >= 0) r.groups[number(f[1])].decision = key;
  }
}

Record read_record(FileSystem& fs, const std::string& path) {
  Record r;
  r.pid = journal_pid(std::filesystem::path(path).filename().string());
  const Opened in = fs.open(path, std::ios::in | std::ios::binary);
  if (!in.stream) return r;
  for (std::string line; std::getline(*in.stream, line);) read_line(r, line);
  return r;
}

// A full path as the console shows it: from the working folder when it lies below it.
std::string shown(FileSystem& fs, const std::string& full) {
  const std::filesystem::path relative =
      std::filesystem::path(full).lexically_relative(fs.identity("."));
  const std::string text = relative.string();
  return text.empty() || text.starts_with("..") ? full : text;
}

// Follows one journal: collects what it did, and the failures.
class Follower {
 public:
  Follower(FileSystem& fs, const Record& r, Mended& mended) : fs_(fs), r_(r), mended_(mended) {}

  // Rolls a group back or finishes it; true when every step held.
  void group(const Group& g) {
    if (g.decision == kEnd) return;
    for (const Move& m : g.moves) {
      if (g.decision == kDone) {
        finish(m);
      } else {
        roll_back(m);
      }
    }
  }
  void temporary(const std::string& name) {
    const std::string temp = temporary_name(name, r_.pid);
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
  // The earlier file goes back under its name (over the new one, when that had its name);
  // a new file that had no earlier one goes, once it has its name.
  void roll_back(const Move& m) {
    const std::string aside = aside_name(m.name, r_.pid);
    if (m.earlier) {
      if (!fs_.exists(aside)) return;  // never moved, or back already
      if (note(fs_.rename(aside, m.name), "could not put back the earlier " + shown(fs_, m.name) +
                                              ", which stays as " + shown(fs_, aside) +
                                              " for a later run to put back")) {
        mended_.put_back.push_back(shown(fs_, m.name));
      }
    } else if (!m.none && !fs_.exists(temporary_name(m.name, r_.pid)) && fs_.exists(m.name)) {
      if (note(fs_.remove(m.name),
               "could not remove " + shown(fs_, m.name) + ", a new file of a group rolled back")) {
        mended_.undone.push_back(shown(fs_, m.name));
      }
    }
  }
  void finish(const Move& m) {
    const std::string aside = aside_name(m.name, r_.pid);
    if (!fs_.exists(aside)) return;
    if (note(fs_.remove(aside), "could not remove the earlier " + shown(fs_, m.name) + " left as " +
                                    shown(fs_, aside))) {
      mended_.finished.push_back(shown(fs_, m.name));
    }
  }

  FileSystem& fs_;
  const Record& r_;
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

Journal::Journal(FileSystem& fs, const std::string& folder,
                 const std::function<void(const std::string&)>& follow_earlier)
    : fs_(fs), folder_(folder), path_(journal_path(folder, fs.process_id())) {
  const Claim claim = fs_.lock(path_);
  if (claim.taken() && fs_.exists(path_)) follow_earlier(path_);
  Opened opened = claim.taken() ? fs_.open(path_, std::ios::out | std::ios::trunc) : Opened{};
  if (!opened.stream) {
    throw Stop("*** cannot write the journal " + path_ +
                   " of this run: " + (claim.failure.empty() ? opened.failure : claim.failure),
               kFailureStatus);
  }
  out_ = std::move(opened.stream);
}

Outcome Journal::write(const std::string& line, bool flush) {
  if (!(*out_ << line << '\n').flush()) {
    const std::string why = out_->write_failure();
    return {"cannot write its journal " + path_ + ": " + (why.empty() ? "a write failed" : why)};
  }
  return flush ? fs_.flush(path_) : Outcome{};
}

Outcome Journal::note_part(const std::string& name) {
  return write(std::string(kPart) + "\t" + name, false);
}

Outcome Journal::begin_group(int group, const std::vector<Move>& moves) {
  const std::string g = std::to_string(group);
  Outcome done = write(std::string(kGroup) + "\t" + g, false);
  for (const Move& m : moves) {
    if (!done.ok()) return done;
    done = write(std::string(kMove) + "\t" + g + "\t" + (m.earlier ? "1" : "0") + "\t" +
                     (m.none ? "1" : "0") + "\t" + m.name,
                 false);
  }
  return done.ok() ? write(std::string(kBack) + "\t" + g, true) : done;
}

Outcome Journal::done(int group) {
  return write(std::string(kDone) + "\t" + std::to_string(group), true);
}

void Journal::end(int group) { write(std::string(kEnd) + "\t" + std::to_string(group), false); }

Outcome Journal::remove() {
  out_.reset();
  const Outcome removed = fs_.remove(path_);
  fs_.unlock(path_);
  return removed;
}

int journal_pid(const std::string& file) {
  const std::string start = kJournalStart, end = kJournalEnd;
  if (!file.starts_with(start) || !file.ends_with(end) ||
      file.size() <= start.size() + end.size()) {
    return 0;
  }
  const std::string digits = file.substr(start.size(), file.size() - start.size() - end.size());
  if (digits.find_first_not_of("0123456789") != std::string::npos) return 0;
  return std::max(number(digits), 0);
}

std::vector<std::string> journal_names(FileSystem& fs, const std::string& path) {
  const Record r = read_record(fs, path);
  std::vector<std::string> names = r.parts;
  for (const auto& [g, group] : r.groups) {
    for (const Move& m : group.moves) names.push_back(m.name);
  }
  return names;
}

void follow_journal(FileSystem& fs, const std::string& path, Mended& mended) {
  const Record r = read_record(fs, path);
  Follower follow(fs, r, mended);
  // The groups first: whether a new file had its name shows by its temporary file.
  for (const auto& [g, group] : r.groups) follow.group(group);
  for (const std::string& name : r.parts) follow.temporary(name);
  const std::string folder = std::filesystem::path(path).parent_path().string();
  follow.note(fs.flush_folder(folder), "could not flush the folder " + shown(fs, folder));
  // A step that failed leaves the journal, for a later run to follow again.
  if (!follow.failed()) follow.note(fs.remove(path), "could not remove " + shown(fs, path));
}

}  // namespace dendro
