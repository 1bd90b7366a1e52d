#include "series/output_files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "series/parallel.h"
#include "series/stop.h"

namespace dendro {
namespace {

// Beside the file it will replace, so that the move over it stays on one file system.
const char* const kTemporarySuffix = ".part";
// Where an earlier file waits while the new versions of its group take their names.
const char* const kAsideSuffix = ".prev";
const char* const kNameIndent = "       ";

bool ends_with(const std::string& text, const char* tail) {
  const std::size_t n = std::strlen(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

bool starts_with(const std::string& text, const std::string& head) {
  return text.compare(0, head.size(), head) == 0;
}

// One of the owner's own temporary names.
bool temporary_name(const std::string& name) {
  return ends_with(name, kTemporarySuffix) || ends_with(name, kAsideSuffix);
}

// The name a temporary name stands for.
std::string without_suffix(const std::string& name) {
  return name.substr(0, name.size() - std::strlen(kTemporarySuffix));
}

std::string aside(const std::string& name) { return name + kAsideSuffix; }

std::string in_folder(const std::string& folder, const std::string& file) {
  return folder.empty() ? file : (std::filesystem::path(folder) / file).string();
}

void add_lines(std::vector<std::string>& lines, const std::string& head,
               const std::vector<std::string>& names) {
  const std::vector<std::string> more = name_list(head, names);
  lines.insert(lines.end(), more.begin(), more.end());
}

}  // namespace

std::vector<std::string> name_list(const std::string& head, const std::vector<std::string>& names) {
  std::vector<std::string> lines;
  if (names.empty()) return lines;
  lines.push_back(head);
  for (const std::string& name : names) lines.push_back(kNameIndent + name);
  return lines;
}

std::vector<std::string> settled_lines(const Settled& settled) {
  std::vector<std::string> lines;
  add_lines(lines, " *** earlier files this run had replaced before it ended:", settled.replaced);
  add_lines(lines, " *** earlier files kept as they were, as this run did not complete them:",
            settled.kept_earlier);
  add_lines(lines,
            " *** files of this run kept, as no earlier file had their names:", settled.kept_new);
  add_lines(lines, " *** files of this run removed, being incomplete:", settled.removed);
  return lines;
}

std::vector<std::string> mended_lines(const Mended& mended) {
  std::vector<std::string> lines;
  add_lines(lines,
            " *** earlier files put back, which a run cut short had moved aside:", mended.put_back);
  add_lines(lines, " *** temporary files of a run cut short, removed:", mended.removed);
  return lines;
}

std::string stars_line(const std::string& message) {
  const std::size_t text = message.find_first_not_of(" *");
  return " *** " + (text == std::string::npos ? std::string() : message.substr(text));
}

void name_earlier_files(const OutputFiles& files, const std::string& prefix,
                        const std::function<void(const std::string&)>& say) {
  const std::vector<std::string> lines =
      name_list(" *** files left from an earlier run, which this run did not write:",
                files.left_from_earlier(prefix));
  if (lines.empty()) return;
  say("");
  for (const std::string& line : lines) say(line);
}

OutputFiles::OutputFiles(std::unique_ptr<FileSystem> fs) : fs_(std::move(fs)) {}

OutputFiles::~OutputFiles() {
  for (const Version& v : versions_) fs_->remove(v.temp);
}

std::string OutputFiles::begin(const std::string& name, Commit group) {
  if (fs_->is_folder(name)) {
    throw Stop("*** cannot create file: " + name + " (a folder has that name)", kFailureStatus);
  }
  const std::string id = identity(name);
  for (const Version& v : take_file(id)) fs_->remove(v.temp);
  versions_.push_back({name, id, name + kTemporarySuffix, group});
  return versions_.back().temp;
}

void OutputFiles::complete(const std::string& name) { finish(name, false); }

void OutputFiles::leave_none(const std::string& name) { finish(name, true); }

void OutputFiles::finish(const std::string& name, bool none) {
  const std::string id = identity(name);
  for (Version& v : versions_) {
    if (v.id != id) continue;
    v.complete = true;
    v.none = none;
    if (v.group == Commit::on_close || v.group == Commit::on_save) {
      put_in_place(take_file(id), nullptr);
    }
    return;
  }
}

void OutputFiles::drop(const std::string& name) {
  for (const Version& v : take_file(identity(name))) fs_->remove(v.temp);
}

std::vector<std::string> OutputFiles::commit(Commit group) {
  std::vector<Version> versions = take_if([group](const Version& v) { return v.group == group; });
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

const OutputFiles::Version* OutputFiles::unflushed(const std::vector<Version>& versions) {
  // Side by side, so that the disk writes them in one go rather than one after another.
  std::vector<char> failed(versions.size(), 0);
  parallel_for(
      static_cast<int>(versions.size()),
      [&](int k) {
        const Version& v = versions[static_cast<std::size_t>(k)];
        failed[static_cast<std::size_t>(k)] = !v.none && !fs_->flush(v.temp);
      },
      worker_count());
  const auto first = std::find(failed.begin(), failed.end(), 1);
  return first == failed.end() ? nullptr
                               : &versions[static_cast<std::size_t>(first - failed.begin())];
}

const OutputFiles::Version* OutputFiles::unflushed_folder(const std::vector<Version>& versions) {
  std::set<std::string> flushed;
  for (const Version& v : versions) {
    const std::string folder = folder_of(v.name);
    if (flushed.count(folder) != 0) continue;
    if (!fs_->flush_folder(folder)) return &v;
    flushed.insert(folder);
  }
  return nullptr;
}

void OutputFiles::put_in_place(std::vector<Version> versions,
                               std::vector<std::string>* taken_away) {
  // Every new file is on the disk first; then every earlier file steps aside, and every
  // new version takes its name, so that a step that fails can put every earlier file back.
  std::vector<const Version*> set_aside, placed;
  const auto undo = [&](const std::string& failed) {
    for (const Version* v : placed) fs_->remove(v->name);
    for (const Version* v : set_aside) fs_->rename(aside(v->name), v->name);
    for (const Version& v : versions) fs_->remove(v.temp);
    throw Stop("*** could not put the new " + failed +
                   " in place: the earlier files of its kind are kept as they were",
               kFailureStatus);
  };
  if (const Version* v = unflushed(versions)) undo(v->name);
  for (const Version& v : versions) {
    if (!fs_->exists(v.name)) continue;
    if (!fs_->rename(v.name, aside(v.name))) undo(v.name);
    set_aside.push_back(&v);
  }
  for (const Version& v : versions) {
    if (v.none) {
      fs_->remove(v.temp);
      continue;
    }
    if (!fs_->rename(v.temp, v.name)) undo(v.name);
    placed.push_back(&v);
  }
  if (const Version* v = unflushed_folder(versions)) undo(v->name);
  for (const Version* v : set_aside) {
    fs_->remove(aside(v->name));
    if (!v->none) {
      if (std::find(replaced_.begin(), replaced_.end(), v->name) == replaced_.end()) {
        replaced_.push_back(v->name);
      }
    } else if (taken_away != nullptr) {
      taken_away->push_back(v->name);
    }
  }
  for (const Version& v : versions) note_written(v);
}

Settled OutputFiles::settle() {
  Settled settled;
  settled.replaced = replaced_;
  std::vector<Version> kept;
  for (Version& v : versions_) {
    if (fs_->exists(v.name)) {
      fs_->remove(v.temp);
      settled.kept_earlier.push_back(v.name);
    } else if (v.none) {
      fs_->remove(v.temp);  // no file before, none after
    } else if (v.complete && fs_->flush(v.temp) && fs_->rename(v.temp, v.name)) {
      settled.kept_new.push_back(v.name);
      kept.push_back(std::move(v));
    } else {
      fs_->remove(v.temp);
      settled.removed.push_back(v.name);
    }
  }
  versions_.clear();
  unflushed_folder(kept);  // what is kept stays kept, its names lasting or not
  for (const Version& v : kept) note_written(v);
  return settled;
}

std::string OutputFiles::read_path(const std::string& name) const {
  const Version* v = pending(name);
  return v != nullptr && v->complete ? v->temp : name;
}

bool OutputFiles::can_create(const std::string& name) {
  const std::string probe = name + kTemporarySuffix;
  if (pending(name) != nullptr) return true;
  const bool opened = fs_->open(probe, std::ios::out | std::ios::trunc) != nullptr;
  if (opened) fs_->remove(probe);
  return opened;
}

void OutputFiles::protect(const std::string& name) { inputs_.insert(identity(name)); }

void OutputFiles::reserve_prefix(const std::string& prefix) { reserve(prefix, false); }

void OutputFiles::reserve_name(const std::string& name) { reserve(name, true); }

void OutputFiles::reserve(const std::string& name, bool whole) {
  const std::filesystem::path path(name);
  reserved_.push_back(
      {path.parent_path().string(), path.filename().string(), identity(name), whole});
}

bool OutputFiles::is_reserved(const std::string& id) const {
  return std::any_of(reserved_.begin(), reserved_.end(), [&id](const Reserved& r) {
    return r.whole ? id == r.id : starts_with(id, r.id);
  });
}

bool OutputFiles::of_this_run(const std::string& name) const {
  const std::string id = identity(name);
  if (temporary_name(name) || temporary_name(id)) return true;
  if (inputs_.count(id) != 0 || is_reserved(id)) return true;
  if (written_.count(id) != 0) return pages_.count(id) == 0;
  const Version* v = pending(name);
  return v != nullptr && v->group != Commit::on_save;
}

std::vector<std::string> OutputFiles::left_from_earlier(const std::string& prefix) const {
  const std::filesystem::path path(prefix);
  const std::string folder = path.parent_path().string();
  const std::string start = path.filename().string();
  std::vector<std::string> left;
  for (const std::string& file : fs_->files_in(folder)) {
    if (!starts_with(file, start) || temporary_name(file)) continue;
    const std::string name = in_folder(folder, file);
    const std::string id = identity(name);
    if (inputs_.count(id) != 0 || written_.count(id) != 0 || pending(name) != nullptr) continue;
    left.push_back(name);
  }
  std::sort(left.begin(), left.end());
  return left;
}

std::vector<std::string> OutputFiles::leftovers() const {
  std::set<std::string> found;
  for (const Reserved& r : reserved_) {
    for (const std::string& file : fs_->files_in(r.folder)) {
      if (!temporary_name(file)) continue;
      const std::string stands_for = without_suffix(file);
      if (pending(in_folder(r.folder, stands_for)) != nullptr) continue;  // this run's own
      if (r.whole ? stands_for == r.start : starts_with(stands_for, r.start)) {
        found.insert(in_folder(r.folder, file));
      }
    }
  }
  return {found.begin(), found.end()};
}

Mended OutputFiles::mend() {
  const std::vector<std::string> found = leftovers();
  // A move cut short while the new files took their names leaves an earlier file aside
  // without its name; then every earlier file of it goes back, as a failed move would
  // have done. Otherwise every new file had its name, and the earlier ones were to go.
  const bool cut_short = std::any_of(found.begin(), found.end(), [this](const std::string& f) {
    return ends_with(f, kAsideSuffix) && !fs_->exists(without_suffix(f));
  });
  Mended mended;
  for (const std::string& file : found) {
    // A file this run has written already (the typed list) stays this run's.
    const bool back = cut_short && ends_with(file, kAsideSuffix) &&
                      written_.count(identity(without_suffix(file))) == 0;
    if (back && fs_->rename(file, without_suffix(file))) {
      mended.put_back.push_back(without_suffix(file));
    } else if (fs_->remove(file)) {
      mended.removed.push_back(file);
    }
  }
  for (const Reserved& r : reserved_) fs_->flush_folder(r.folder);
  return mended;
}

template <class Which>
std::vector<OutputFiles::Version> OutputFiles::take_if(Which which) {
  std::vector<Version> taken;
  std::vector<Version> kept;
  for (Version& v : versions_) (which(v) ? taken : kept).push_back(std::move(v));
  versions_ = std::move(kept);
  return taken;
}

std::vector<OutputFiles::Version> OutputFiles::take_file(const std::string& id) {
  return take_if([&id](const Version& v) { return v.id == id; });
}

const OutputFiles::Version* OutputFiles::pending(const std::string& name) const {
  const std::string id = identity(name);
  for (const Version& v : versions_) {
    if (v.id == id) return &v;
  }
  return nullptr;
}

void OutputFiles::note_written(const Version& v) {
  written_.insert(v.id);
  if (v.group == Commit::on_save) {
    pages_.insert(v.id);
  } else {
    pages_.erase(v.id);
  }
}

}  // namespace dendro
