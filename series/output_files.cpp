#include "series/output_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "series/interrupts.h"
#include "series/stop.h"

namespace dendro {
namespace {

// Beside the file it will replace, so that the move over it stays on one file system.
const char* const kTemporarySuffix = ".part";
// Where an earlier file waits while the new versions of its group take their names.
const char* const kAsideSuffix = ".prev";
const char* const kNameIndent = "       ";

const char* const kKeptEarlierHead =
    " *** earlier files kept as they were, as this run did not complete them:";
const char* const kKeptNewHead = " *** files of this run kept, as no earlier file had their names:";
const char* const kRemovedHead = " *** files of this run removed, being incomplete:";

// The same file however the name was written (./a.txt, a.txt, dir/../a.txt).
std::string key(const std::string& name) {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(name, error);
  return (error ? std::filesystem::path(name) : full).lexically_normal().string();
}

bool ends_with(const std::string& text, const char* tail) {
  const std::size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

std::string aside(const std::string& name) { return name + kAsideSuffix; }

// Writes text on standard output from a signal handler.
void put(const char* text) noexcept {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, text, left);
    if (n <= 0) return;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
}

bool on_disk(const std::string& path) noexcept { return ::access(path.c_str(), F_OK) == 0; }

}  // namespace

std::vector<std::string> name_list(const std::string& head, const std::vector<std::string>& names) {
  std::vector<std::string> lines;
  if (names.empty()) return lines;
  lines.push_back(head);
  for (const std::string& name : names) lines.push_back(kNameIndent + name);
  return lines;
}

std::vector<std::string> settled_lines(const Settled& settled) {
  std::vector<std::string> lines = name_list(kKeptEarlierHead, settled.kept_earlier);
  for (const auto& [head, names] :
       {std::pair{kKeptNewHead, &settled.kept_new}, std::pair{kRemovedHead, &settled.removed}}) {
    const std::vector<std::string> more = name_list(head, *names);
    lines.insert(lines.end(), more.begin(), more.end());
  }
  return lines;
}

std::vector<std::string> earlier_files_note(const OutputFiles& files, const std::string& prefix) {
  return name_list(" *** files left from an earlier run, which this run did not write:",
                   files.left_from_earlier(prefix));
}

OutputFiles::OutputFiles(std::unique_ptr<FileSystem> fs) : fs_(std::move(fs)) {}

OutputFiles::~OutputFiles() {
  const HoldInterrupts hold;
  for (const Version& v : versions_) fs_->remove(v.temp);
  versions_.clear();
}

std::string OutputFiles::begin(const std::string& name, Commit when, bool keep_empty) {
  if (fs_->is_folder(name)) {
    throw Stop("*** cannot create file: " + name + " (a folder has that name)", kFailureStatus);
  }
  const HoldInterrupts hold;
  for (const Version& v : take_name(name)) fs_->remove(v.temp);
  versions_.push_back({name, name + kTemporarySuffix, when, keep_empty, false});
  return versions_.back().temp;
}

void OutputFiles::complete(const std::string& name) { finish(name, false); }

void OutputFiles::leave_none(const std::string& name) { finish(name, true); }

void OutputFiles::finish(const std::string& name, bool none) {
  const HoldInterrupts hold;
  for (Version& v : versions_) {
    if (v.name != name) continue;
    v.complete = true;
    v.none = none;
    const bool waits =
        v.when == Commit::with_run || (v.when == Commit::with_data_file && data_file_);
    if (!waits) put_in_place(take_name(name), nullptr);
    return;
  }
}

void OutputFiles::drop(const std::string& name) {
  const HoldInterrupts hold;
  for (const Version& v : take_name(name)) fs_->remove(v.temp);
}

std::vector<std::string> OutputFiles::commit(Commit group) {
  const HoldInterrupts hold;
  if (group == Commit::with_data_file) data_file_ = false;
  std::vector<Version> versions = take(group);
  std::vector<Version> whole;
  for (Version& v : versions) {
    if (v.complete) {
      whole.push_back(std::move(v));
    } else {
      fs_->remove(v.temp);
    }
  }
  std::vector<std::string> taken_away;
  put_in_place(std::move(whole), &taken_away);
  return taken_away;
}

void OutputFiles::put_in_place(std::vector<Version> versions,
                               std::vector<std::string>* taken_away) {
  // First every earlier file steps aside, then every new version takes its name, so that
  // a move that fails can put every earlier file back.
  std::vector<const Version*> set_aside, placed;
  const auto undo = [&](const std::string& failed) {
    for (const Version* v : placed) fs_->remove(v->name);
    for (const Version* v : set_aside) fs_->rename(aside(v->name), v->name);
    for (const Version& v : versions) fs_->remove(v.temp);
    throw Stop("*** could not put the new " + failed +
                   " in place: the earlier files of its kind are kept as they were",
               kFailureStatus);
  };
  for (const Version& v : versions) {
    if (!fs_->exists(v.name)) continue;
    if (!fs_->rename(v.name, aside(v.name))) undo(v.name);
    set_aside.push_back(&v);
  }
  for (const Version& v : versions) {
    if (v.none || (!v.keep_empty && fs_->size(v.temp) == 0)) {
      fs_->remove(v.temp);
      const bool had_earlier = std::find(set_aside.begin(), set_aside.end(), &v) != set_aside.end();
      if (had_earlier && taken_away != nullptr) taken_away->push_back(v.name);
      continue;
    }
    if (!fs_->rename(v.temp, v.name)) undo(v.name);
    placed.push_back(&v);
  }
  for (const Version* v : set_aside) fs_->remove(aside(v->name));
  for (const Version& v : versions) note_written(v);
}

Settled OutputFiles::settle() {
  const HoldInterrupts hold;
  data_file_ = false;
  Settled settled;
  for (const Version& v : versions_) {
    if (fs_->exists(v.name)) {
      fs_->remove(v.temp);
      settled.kept_earlier.push_back(v.name);
    } else if (v.none) {
      fs_->remove(v.temp);  // no file before, none after
    } else if (v.complete && fs_->rename(v.temp, v.name)) {
      settled.kept_new.push_back(v.name);
      note_written(v);
    } else {
      fs_->remove(v.temp);
      settled.removed.push_back(v.name);
    }
  }
  versions_.clear();
  return settled;
}

std::string OutputFiles::read_path(const std::string& name) const {
  const Version* v = pending(name);
  return v != nullptr && v->complete ? v->temp : name;
}

bool OutputFiles::can_create(const std::string& name) {
  const std::string probe = name + kTemporarySuffix;
  if (pending(name) != nullptr) return true;
  const HoldInterrupts hold;
  const bool opened = fs_->open(probe, std::ios::out | std::ios::trunc) != nullptr;
  if (opened) fs_->remove(probe);
  return opened;
}

void OutputFiles::protect(const std::string& name) { inputs_.insert(key(name)); }

bool OutputFiles::of_this_run(const std::string& name) const {
  const std::string k = key(name);
  if (inputs_.count(k) != 0) return true;
  if (written_.count(k) != 0) return pages_.count(k) == 0;
  const Version* v = pending(name);
  return v != nullptr && v->when != Commit::on_save;
}

std::vector<std::string> OutputFiles::left_from_earlier(const std::string& prefix) const {
  const std::filesystem::path path(prefix);
  const std::string folder = path.parent_path().string();
  const std::string start = path.filename().string();
  std::vector<std::string> left;
  for (const std::string& file : fs_->files_in(folder)) {
    if (file.compare(0, start.size(), start) != 0) continue;
    if (ends_with(file, kTemporarySuffix) || ends_with(file, kAsideSuffix)) continue;
    const std::string name = folder.empty() ? file : (path.parent_path() / file).string();
    const std::string k = key(name);
    if (inputs_.count(k) != 0 || written_.count(k) != 0 || pending(name) != nullptr) continue;
    left.push_back(name);
  }
  std::sort(left.begin(), left.end());
  return left;
}

void OutputFiles::settle_on_signal() const noexcept {
  // Three passes, one for each list; each pass leaves the files that the next passes
  // test as it found them.
  enum class Fate { kept_earlier, kept_new, removed };
  const auto fate = [](const Version& v) {
    if (!on_disk(v.temp)) return std::optional<Fate>();  // already settled in a pass before
    if (on_disk(v.name)) return std::optional(Fate::kept_earlier);
    return std::optional(v.complete ? Fate::kept_new : Fate::removed);
  };
  put("\n *** interrupted: the run ends here\n");
  // A version that takes a file away, or a file of the run-wide set still empty, goes
  // without a word: whatever was there before stays, and nothing of this run is lost.
  for (const Version& v : versions_) {
    struct stat info {};
    const bool empty = ::stat(v.temp.c_str(), &info) == 0 && info.st_size == 0;
    if (v.none || (v.when == Commit::with_run && empty)) ::unlink(v.temp.c_str());
  }
  const std::pair<Fate, const char*> passes[] = {
      {Fate::kept_earlier, kKeptEarlierHead},
      {Fate::kept_new, kKeptNewHead},
      {Fate::removed, kRemovedHead},
  };
  for (const auto& [which, head] : passes) {
    bool any = false;
    for (const Version& v : versions_) any = any || fate(v) == which;
    if (!any) continue;
    put(head);
    put("\n");
    for (const Version& v : versions_) {
      if (fate(v) != which) continue;
      if (which == Fate::kept_new) {
        ::rename(v.temp.c_str(), v.name.c_str());
      } else {
        ::unlink(v.temp.c_str());
      }
      put(kNameIndent);
      put(v.name.c_str());
      put("\n");
    }
  }
}

template <class Which>
std::vector<OutputFiles::Version> OutputFiles::take_if(Which which) {
  std::vector<Version> taken;
  std::vector<Version> kept;
  for (Version& v : versions_) (which(v) ? taken : kept).push_back(std::move(v));
  versions_ = std::move(kept);
  return taken;
}

std::vector<OutputFiles::Version> OutputFiles::take(Commit group) {
  return take_if([group](const Version& v) { return v.when == group; });
}

std::vector<OutputFiles::Version> OutputFiles::take_name(const std::string& name) {
  return take_if([&name](const Version& v) { return v.name == name; });
}

const OutputFiles::Version* OutputFiles::pending(const std::string& name) const {
  for (const Version& v : versions_) {
    if (v.name == name) return &v;
  }
  return nullptr;
}

void OutputFiles::note_written(const Version& v) {
  const std::string k = key(v.name);
  written_.insert(k);
  if (v.when == Commit::on_save) {
    pages_.insert(k);
  } else {
    pages_.erase(k);
  }
}

}  // namespace dendro
