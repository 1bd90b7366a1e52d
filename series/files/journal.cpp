#include "series/files/journal.h"

#include <charconv>
#include <random>
#include <string_view>

#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

const std::string kJournalStart(kOwnFilesStart);
const std::string kJournalEnd = ".journal";
const std::string kTemporarySuffix = ".part";
const std::string kSetAsideSuffix = ".prev";

const char* const kHeader = "dendro journal 2";
const char* const kHeaderOne = "dendro journal 1";
const char* const kPart = "part";
const char* const kMove = "move";
constexpr std::size_t kChecksumLength = 16;
// The longest name a file system takes (NAME_MAX).
constexpr std::size_t kLongestName = 255;

std::string with_pid(const std::string& name, int pid, const std::string& suffix) {
  return name + "." + std::to_string(pid) + suffix;
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

// A number of a file's identity: all of `text`, in decimal.
template <class Number>
bool field_of(const std::string& text, Number& value) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && at == end && !text.empty();
}

bool plain_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The process id in the name of a journal of the earlier versions; 0 when `file` has none.
int pid_in_name(const std::string& file) {
  if (!journal_form(file)) return 0;
  const long long pid = whole_number(
      file.substr(kJournalStart.size(), file.size() - kJournalStart.size() - kJournalEnd.size()));
  return pid > 0 && pid <= 0x7fffffff ? static_cast<int>(pid) : 0;
}

// The header of a journal of these programs: its version, process id and token; version -1
// when `line` is none.
struct Header {
  int version = -1;
  int pid = 0;
  std::string token;
  std::string folder;  // its folder's device and inode, "<device>:<inode>" (version 2)
};

std::string folder_id(const FileId& id) {
  return std::to_string(id.device) + ":" + std::to_string(id.inode);
}

Header header_of(const std::string& line) {
  const std::vector<std::string> f = fields_of(line, 4);
  Header h;
  const int version = f.empty() ? 0 : f[0] == kHeader ? 2 : f[0] == kHeaderOne ? 1 : 0;
  const std::size_t fields = version == 2 ? 5 : 4;
  if (version == 0 || f.size() != fields || f[2].empty()) return h;
  const std::string text = line.substr(0, line.size() - f.back().size() - 1);
  const long long pid = whole_number(f[1]);
  if (pid <= 0 || pid > 0x7fffffff || f.back() != checksum_of(text)) return h;
  return {version, static_cast<int>(pid), f[2], version == 2 ? f[3] : ""};
}

std::string header_line(int pid, const std::string& token, const FileId& folder) {
  const std::string text =
      std::string(kHeader) + "\t" + std::to_string(pid) + "\t" + token + "\t" + folder_id(folder);
  return text + "\t" + checksum_of(text);
}

// Reads a journal's records into `r`; a record it cannot take is passed over, one that
// proves the journal is not whole sets `r.foreign`.
class Reader {
 public:
  Reader(Recorded& r, std::string token, std::string folder)
      : r_(r), token_(std::move(token)), folder_(std::move(folder)) {}

  void line(const std::string& line) {
    std::string text = line;
    if (r_.version > 0 && !text_of(token_, line, text)) return;  // cut short or damaged
    const std::string key = text.substr(0, text.find('\t'));
    if (key == kPart) {
      part(fields_of(text, 1));
    } else if (key == kMove) {
      move(fields_of(text, kMoveFields[r_.version]));
    } else if (key == kBack || key == kDone || key == kEnd) {
      decision(key, fields_of(text, key == kEnd || r_.version == 0 ? 1 : 2));
    }
  }

 private:
  // The fields of a move before its name, by version.
  static constexpr std::size_t kMoveFields[] = {4, 5, 8};

  void part(const std::vector<std::string>& f) {
    std::string name;
    if (f.size() == 2 && named(f[1], name)) r_.parts.push_back(name);
  }
  void move(const std::vector<std::string>& f) {
    const std::size_t fields = kMoveFields[r_.version];
    std::string name;
    if (f.size() != fields + 1 || whole_number(f[1]) < 0 || !named(f[fields], name)) return;
    Move m{name, f[2] == "1", f[3] == "1", {}, 0};
    if (r_.version == 1) m.version.size = static_cast<std::uint64_t>(whole_number(f[4]));
    if (r_.version == 2 &&
        !(field_of(f[4], m.version.inode) && field_of(f[5], m.version.size) &&
          field_of(f[6], m.version.modified) && field_of(f[7], m.earlier_inode))) {
      return;
    }
    Group& group = r_.groups[static_cast<int>(whole_number(f[1]))];
    if (!group.decision.empty()) {
      foreign("a move of its group " + f[1] + " stands after the group's decision");
      return;
    }
    group.moves.push_back(m);
  }
  void decision(const std::string& key, const std::vector<std::string>& f) {
    if (f.size() < 2 || whole_number(f[1]) < 0) return;
    Group& group = r_.groups[static_cast<int>(whole_number(f[1]))];
    const bool counted = key == kEnd || r_.version == 0;
    if (!counted &&
        (f.size() != 3 || whole_number(f[2]) != static_cast<long long>(group.moves.size()))) {
      foreign("the decision of its group " + f[1] + " does not count the group's moves");
      return;
    }
    group.decision = key;
  }
  // The name of a file of the journal's own folder in `name`; a journal that names another
  // is foreign.
  bool named(const std::string& field, std::string& name) {
    // The first version named files by full paths.
    const bool full = r_.version == 0;
    name = full ? std::string(own_name(field)) : field;
    if (plain_name(name) && (!full || folder_of(field) == folder_)) return true;
    foreign("it names \"" + field + "\", which is no file of its own folder");
    return false;
  }
  void foreign(const std::string& why) {
    if (r_.foreign.empty()) r_.foreign = why;
  }

  Recorded& r_;
  std::string token_;
  std::string folder_;
};

}  // namespace

std::string temporary_name(const std::string& name, int pid) {
  return with_pid(name, pid, kTemporarySuffix);
}

std::string set_aside_name(const std::string& name, int pid) {
  return with_pid(name, pid, kSetAsideSuffix);
}

bool too_long_for_temporary(const std::string& file, int pid) {
  return temporary_name(file, pid).size() > kLongestName;
}

bool temporary_form(const std::string& name) {
  return name.ends_with(kTemporarySuffix) || name.ends_with(kSetAsideSuffix);
}

std::string temporary_of(const std::string& file) {
  if (!file.ends_with(kTemporarySuffix)) return "";
  const std::string rest = file.substr(0, file.size() - kTemporarySuffix.size());
  const std::size_t dot = rest.rfind('.');
  if (dot == std::string::npos || dot == 0 || whole_number(rest.substr(dot + 1)) <= 0) return "";
  return rest.substr(0, dot);
}

bool journal_form(const std::string& file) {
  return file.size() > kJournalStart.size() + kJournalEnd.size() &&
         file.starts_with(kJournalStart) && file.ends_with(kJournalEnd);
}

Journal::Journal(FileSystem& fs, const std::string& folder)
    : fs_(fs), folder_(folder), token_(new_token()) {
  const std::string pid = std::to_string(fs_.process_id());
  // A journal left as it was may have this run's name: the next free one serves.
  Opened opened;
  for (int k = 1; !opened.stream && k < 100; ++k) {
    path_ = in_folder(folder,
                      kJournalStart + pid + (k > 1 ? "-" + std::to_string(k) : "") + kJournalEnd);
    opened = fs_.open(path_, Open::create_shared);
    if (!opened.stream && fs_.exists(path_)) continue;
    break;
  }
  if (opened.stream) {
    out_ = std::move(opened.stream);
    // The journal's name is on the disk too before any move it records.
    Outcome o = write(header_line(fs_.process_id(), token_, fs_.status(folder_).id), true);
    if (o.ok() && !(o = fs_.flush_folder(folder_)).ok()) o.failure = cannot_write(o.failure);
    if (o.ok()) return;
    throw Stop("*** " + o.failure, kFailureStatus);
  }
  throw Stop("*** " + cannot_write(opened.failure), kFailureStatus);
}

std::string Journal::cannot_write(const std::string& why) const {
  return "cannot write the journal " + shown(fs_, path_) + " of this run: " + why;
}

Outcome Journal::write(const std::string& text, bool flush) {
  if (!(*out_ << text << '\n').flush()) {
    const std::string why = out_->write_failure();
    return {cannot_write(why.empty() ? "a write failed" : why)};
  }
  if (!flush) return {};
  const Outcome o = fs_.flush(path_);
  return {o.ok() ? "" : cannot_write(o.failure)};
}

Outcome Journal::record_temporary(const std::string& name) {
  return write(line_of(token_, std::string(kPart) + "\t" + name), false);
}

Outcome Journal::begin_group(int group, const std::vector<Move>& moves) {
  const std::string g = std::to_string(group);
  for (const Move& m : moves) {
    const std::string record =
        std::string(kMove) + "\t" + g + "\t" + (m.earlier ? "1" : "0") + "\t" +
        (m.none ? "1" : "0") + "\t" + std::to_string(m.version.inode) + "\t" +
        std::to_string(m.version.size) + "\t" + std::to_string(m.version.modified) + "\t" +
        std::to_string(m.earlier_inode) + "\t" + m.name;
    if (const Outcome o = write(line_of(token_, record), false); !o.ok()) return o;
  }
  moves_[group] = moves.size();
  return decide(kBack, group);
}

Outcome Journal::decide(std::string_view decision, int group) {
  return write(line_of(token_, std::string(decision) + "\t" + std::to_string(group) + "\t" +
                                   std::to_string(moves_[group])),
               true);
}

Outcome Journal::done(int group) { return decide(kDone, group); }

Outcome Journal::back(int group) { return decide(kBack, group); }

Outcome Journal::end(int group) {
  return write(line_of(token_, std::string(kEnd) + "\t" + std::to_string(group)), false);
}

Outcome Journal::remove() {
  out_.reset();
  return fs_.remove(path_);
}

Recorded read_journal(FileSystem& fs, const std::string& path, const std::string& folder) {
  Recorded r;
  Opened in = fs.open(path, Open::read_own);
  if (!in.stream) {
    r.failure = in.failure.empty() ? "it cannot be opened" : in.failure;
    return r;
  }
  std::string line;
  // Cut short before its first line was whole: its run had begun no file. A line that could
  // not be read says nothing of that.
  if (!std::getline(*in.stream, line) || in.stream->eof()) {
    if (in.stream->bad()) r.failure = "its first line could not be read";
    return r;
  }
  const Header header = header_of(line);
  r.version = header.version < 0 ? 0 : header.version;
  r.pid = r.version == 2 ? header.pid : pid_in_name(std::string(own_name(path)));
  if (r.version == 1 && header.pid != r.pid) {
    r.foreign = "its header names another process than its name";
    return r;
  }
  if (r.pid == 0) {
    r.foreign = "it does not begin as a journal of these programs";
    return r;
  }
  // A folder copied whole holds other files than those the journal recorded.
  r.copied = r.version == 2 && header.folder != folder_id(fs.status(folder).id);
  Reader reader(r, header.token, folder);
  if (r.version == 0) reader.line(line);
  for (std::size_t count = 1; std::getline(*in.stream, line); ++count) {
    stop_if_interrupted_at(count);
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

bool is_new_version(const Recorded& r, const Move& m, const Status& now) {
  if (now.node != Node::file) return false;
  if (r.version == 2 && !r.copied) {
    return now.id.inode == m.version.inode && now.id.size == m.version.size &&
           now.id.modified == m.version.modified;
  }
  return r.version == 0 || now.id.size == m.version.size;
}

bool is_earlier_file(const Recorded& r, const Move& m, const Status& now) {
  if (now.node == Node::none) return false;
  return r.version < 2 || r.copied || now.id.inode == m.earlier_inode;
}

}  // namespace dendro
