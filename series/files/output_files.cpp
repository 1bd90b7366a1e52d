#include "series/files/output_files.h"

#include <algorithm>

#include "series/files/placing.h"
#include "series/files/stop.h"
#include "series/text.h"

namespace dendro {
std::vector<std::string> settled_lines(const Settled& settled) {
  std::vector<std::string> lines;
  add_name_list(lines,
                " *** earlier files this run had replaced before it ended:", settled.replaced);
  add_name_list(lines, " *** earlier files kept as they were, as this run did not complete them:",
                settled.kept_earlier);
  add_name_list(
      lines, " *** files of this run kept, as no earlier file had their names:", settled.kept_new);
  add_name_list(lines, " *** new files of this run removed, as their set was not put in place:",
                settled.removed);
  lines.insert(lines.end(), settled.failures.begin(), settled.failures.end());
  return lines;
}

std::string joined_lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return text;
}

std::string stars_line(const std::string& message) {
  const std::size_t text = message.find_first_not_of(" *");
  return " *** " + (text == std::string::npos ? std::string() : message.substr(text));
}

void name_earlier_files(const OutputFiles& files, const std::string& prefix,
                        const std::function<void(const std::string&)>& say) {
  const Listing left = files.left_from_earlier(prefix);
  std::vector<std::string> lines =
      name_list(" *** files left from an earlier run, which this run did not write:", left.names);
  if (!left.failure.empty()) {
    const std::string folder = folder_of(prefix);
    lines.push_back(" *** could not list the folder " + (folder.empty() ? "." : folder) +
                    " for files left from an earlier run: " + left.failure);
  }
  if (lines.empty()) return;
  say("");
  for (const std::string& line : lines) say(line);
}

OutputFiles::OutputFiles(std::unique_ptr<FileSystem> fs, Forms forms)
    : fs_(std::move(fs)), forms_(forms) {}

OutputFiles::~OutputFiles() {
  for (const Version& v : versions_) drop_temporary(v);
  close_journals();
}

const std::string& OutputFiles::identity(const std::string& name) const {
  const auto [it, fresh] = ids_.try_emplace(name);
  if (fresh) it->second = fs_->identity(name);
  return it->second;
}

std::vector<std::string> OutputFiles::close_journals() {
  std::vector<std::string> lines;
  for (auto& [folder, journal] : journals_) {
    // A journal that still names a file to remove or put back stays for the next run.
    if (unfinished_.count(folder) != 0) continue;
    if (const Outcome o = journal->remove(); !o.ok()) {
      lines.push_back(" *** could not remove this run's journal " + shown(*fs_, journal->path()) +
                      ": " + o.failure);
    }
  }
  journals_.clear();
  return lines;
}

Journal& OutputFiles::journal(const std::string& folder) {
  auto it = journals_.find(folder);
  if (it == journals_.end()) {
    it = journals_.emplace(folder, std::make_unique<Journal>(*fs_, folder)).first;
  }
  return *it->second;
}

Begun OutputFiles::begin(const std::string& name, Commit group) {
  check_name(name);
  const std::string id = identity(name);
  for (const Version& v : take_file(id)) drop_temporary(v);
  const auto refused = [&name](const std::string& why) {
    return Stop("*** cannot create file: " + name + ": " + why, kFailureStatus);
  };
  // The journal names the temporary file before it is made.
  const Outcome recorded = journal(folder_of(id)).record_temporary(std::string(own_name(id)));
  if (!recorded.ok()) throw refused(recorded.failure);
  const std::string temp = temporary_name(id, fs_->process_id());
  Opened opened = fs_->open(temp, Open::create);
  if (!opened.stream) {
    throw refused(fs_->exists(temp) ? shown(*fs_, temp) + " is in the way of its temporary file (" +
                                          opened.failure + "): remove it, then run again"
                                    : opened.failure);
  }
  versions_.push_back({name, id, temp, group});
  return {temp, std::move(opened.stream)};
}

void OutputFiles::complete(const std::string& name) { finish(name, false); }

void OutputFiles::leave_none(const std::string& name) { finish(name, true); }

void OutputFiles::finish(const std::string& name, bool none) {
  const std::string& id = identity(name);
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
  for (const Version& v : take_file(identity(name))) drop_temporary(v);
}

bool OutputFiles::drop_temporary(const Version& v) {
  if (remove_temporary(*fs_, v.temp, notes_)) return true;
  unfinished_.insert(folder_of(v.id));
  return false;
}

std::vector<std::string> OutputFiles::commit(Commit group) {
  std::vector<Version> versions = take_if([group](const Version& v) { return v.group == group; });
  std::vector<Version> whole;
  for (Version& v : versions) {
    if (v.complete) {
      whole.push_back(std::move(v));
    } else {
      drop_temporary(v);
    }
  }
  std::vector<std::string> taken_away;
  put_in_place(std::move(whole), &taken_away);
  return taken_away;
}

void OutputFiles::put_in_place(std::vector<Version> versions,
                               std::vector<std::string>* taken_away) {
  // Each folder's files are put in place together: a group's moves are all or none where
  // one journal records them.
  std::map<std::string, std::vector<Placement>> by_folder;
  for (const Version& v : versions) {
    by_folder[folder_of(v.id)].push_back({v.name, v.id, v.temp, v.none});
  }
  // A run writes only where it holds the folder: its lock file may have been removed or
  // replaced by hand since, and another run may then hold the folder.
  for (const auto& [folder, placements] : by_folder) {
    if (const Outcome held = fs_->still_held(folder); !held.ok()) {
      for (const Version& v : versions) drop_temporary(v);
      throw Stop("*** could not put the new " + placements.front().name +
                     " in place: " + held.failure +
                     "; none of the files that would take their names with it is written",
                 kFailureStatus);
    }
  }
  for (const auto& [folder, placements] : by_folder) {
    try {
      const Placed placed = placements.size() == 1
                                ? place_one(*fs_, placements.front())
                                : place_group(*fs_, journal(folder), ++groups_, placements);
      for (const std::string& name : placed.replaced) {
        if (written_.count(identity(name)) == 0) mark_replaced(name);  // not this run's own
      }
      if (taken_away != nullptr) {
        taken_away->insert(taken_away->end(), placed.taken_away.begin(), placed.taken_away.end());
      }
      notes_.insert(notes_.end(), placed.notes.begin(), placed.notes.end());
      if (placed.unfinished) unfinished_.insert(folder);
    } catch (const PlacingFailed& failed) {
      if (failed.unfinished) unfinished_.insert(folder);
      throw;
    }
    for (const Version& v : versions) {
      if (folder_of(v.id) == folder) mark_written(v);
    }
  }
}

Settled OutputFiles::settle(const std::string& kept) {
  Settled settled;
  settled.replaced = replaced_;
  const std::string kept_id = kept.empty() ? "" : identity(kept);
  for (Version& v : versions_) {
    if (written_.count(v.id) != 0) {
      // The file of the name is one this run put in place before: it stays.
      drop_temporary(v);
      if (std::find(replaced_.begin(), replaced_.end(), v.name) == replaced_.end()) {
        settled.kept_new.push_back(v.name);
      }
    } else if (fs_->exists(v.id)) {
      drop_temporary(v);
      settled.kept_earlier.push_back(v.name);  // never touched by this run
    } else if (v.none) {
      drop_temporary(v);  // no file before, none after
    } else if (v.complete && v.id == kept_id) {
      keep(v, settled);
    } else if (drop_temporary(v)) {
      settled.removed.push_back(v.name);
    }
  }
  versions_.clear();
  const std::vector<std::string> notes = take_notes();
  settled.failures.insert(settled.failures.begin(), notes.begin(), notes.end());
  const std::vector<std::string> journals = close_journals();
  settled.failures.insert(settled.failures.end(), journals.begin(), journals.end());
  return settled;
}

void OutputFiles::keep(const Version& v, Settled& settled) {
  // Kept only where the run still holds the folder, as a group is put in place.
  Outcome o = fs_->still_held(folder_of(v.id));
  if (o.ok()) o = fs_->flush(v.temp);
  if (o.ok() && (o = fs_->rename(v.temp, v.id, Replace::no)).ok()) {
    o = fs_->flush_folder(folder_of(v.id));
    settled.kept_new.push_back(v.name);
    mark_written(v);
  } else if (drop_temporary(v)) {
    settled.removed.push_back(v.name);
  }
  if (!o.ok())
    settled.failures.push_back(" *** could not keep the new " + v.name + ": " + o.failure);
}

std::vector<std::string> OutputFiles::take_notes() {
  std::vector<std::string> notes;
  notes.swap(notes_);
  return notes;
}

std::string OutputFiles::read_path(const std::string& name) const {
  const Version* v = pending(name);
  return v != nullptr && v->complete ? v->temp : name;
}

std::string OutputFiles::creation_failure(const std::string& name) {
  if (pending(name) != nullptr) return "";
  const std::string probe = temporary_name(identity(name), fs_->process_id());
  const Opened opened = fs_->open(probe, Open::create);
  if (!opened.stream) return opened.failure.empty() ? "cannot be created" : opened.failure;
  remove_temporary(*fs_, probe, notes_);
  return "";
}

void OutputFiles::mark_read(const std::string& name) { read_.insert(identity(name)); }

void OutputFiles::reserve_prefix(const std::string& prefix) {
  reserved_prefixes_.push_back(identity(prefix));
}

void OutputFiles::reserve_name(const std::string& name) { reserved_names_.insert(identity(name)); }

bool OutputFiles::is_reserved(const std::string& id) const {
  return reserved_names_.count(id) != 0 ||
         std::any_of(reserved_prefixes_.begin(), reserved_prefixes_.end(),
                     [&id](const std::string& start) { return id.starts_with(start); });
}

bool OutputFiles::of_this_run(const std::string& name) const {
  const std::string id = identity(name);
  if (temporary_form(name) || temporary_form(id) || own_name(id).starts_with(kOwnFilesStart)) {
    return true;
  }
  if (read_.count(id) != 0 || inputs_.count(id) != 0 || is_reserved(id)) return true;
  if (written_.count(id) != 0) return pages_.count(id) == 0;
  const Version* v = pending(name);
  return v != nullptr && v->group != Commit::on_save;
}

Listing OutputFiles::left_from_earlier(const std::string& prefix) const {
  const std::string folder = folder_of(prefix);
  const std::string start(own_name(prefix + "x"));
  Listing listing = fs_->files_in(folder);
  std::vector<std::string> left;
  for (const std::string& file : listing.names) {
    if (!file.starts_with(start.substr(0, start.size() - 1)) || temporary_form(file)) continue;
    const std::string name = in_folder(folder, file);
    const std::string id = identity(name);
    if (read_.count(id) != 0 || written_.count(id) != 0 || pending(name) != nullptr) continue;
    left.push_back(name);
  }
  std::sort(left.begin(), left.end());
  listing.names = std::move(left);
  return listing;
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

void OutputFiles::mark_written(const Version& v) {
  written_.insert(v.id);
  if (v.group == Commit::on_save) {
    pages_.insert(v.id);
  } else {
    pages_.erase(v.id);
  }
}

void OutputFiles::mark_replaced(const std::string& name) {
  if (std::find(replaced_.begin(), replaced_.end(), name) == replaced_.end()) {
    replaced_.push_back(name);
  }
}

}  // namespace dendro
