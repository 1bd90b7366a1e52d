#include "series/output_files.h"

#include <algorithm>
#include <filesystem>

#include "series/placing.h"
#include "series/stop.h"

namespace dendro {
namespace {

const char* const kNameIndent = "       ";
// The start of the names of the runs' journals and lock files, which no save may take.
const char* const kOwnFiles = ".dendro.";

std::string parent(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

std::string own_name_of(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

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
  lines.insert(lines.end(), settled.failures.begin(), settled.failures.end());
  return lines;
}

std::vector<std::string> mended_lines(const Mended& mended) {
  std::vector<std::string> lines;
  add_lines(lines,
            " *** earlier files put back, which a run cut short had moved aside:", mended.put_back);
  add_lines(lines,
            " *** new files of a run cut short removed, as the rest of their group had not "
            "taken their names:",
            mended.undone);
  add_lines(lines,
            " *** earlier files removed, which a run cut short had replaced with files that "
            "had all taken their names:",
            mended.finished);
  add_lines(lines, " *** temporary files of a run cut short, removed:", mended.removed);
  lines.insert(lines.end(), mended.failures.begin(), mended.failures.end());
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

OutputFiles::OutputFiles(std::unique_ptr<FileSystem> fs) : fs_(std::move(fs)) {}

OutputFiles::~OutputFiles() {
  for (const Version& v : versions_) remove_temporary(v);
  close_journals();
}

std::vector<std::string> OutputFiles::close_journals() {
  std::vector<std::string> lines;
  for (auto& [folder, journal] : journals_) {
    // A journal that still names a file to remove or put back stays for the next run.
    if (unsettled_.count(folder) != 0) continue;
    if (const Outcome o = journal->remove(); !o.ok()) {
      lines.push_back(" *** could not remove this run's journal " + journal->path() + ": " +
                      o.failure);
    }
  }
  journals_.clear();
  return lines;
}

void OutputFiles::protect(const std::string& name, const std::string& what) {
  inputs_.emplace(identity(name), what);
  note_read(name);
}

std::vector<std::string> OutputFiles::check(const std::vector<Wanted>& wanted) const {
  std::vector<std::string> lines;
  std::map<std::string, std::string> writers;  // by identity
  for (const Wanted& w : wanted) {
    const std::string id = identity(w.name);
    if (const auto input = inputs_.find(id); input != inputs_.end()) {
      lines.push_back(" *** " + w.name + " is " + input->second +
                      ", which this run would write over with " + w.what);
      lines.push_back(" *** rename or move " + w.name + ", then run again with its new name");
      continue;
    }
    const auto [known, fresh] = writers.try_emplace(id, w.what);
    if (!fresh && known->second != w.what) {
      lines.push_back(" *** " + w.name + " would be written both as " + known->second + " and as " +
                      w.what + ": rename or move one of their data files");
    }
    const Node node = fs_->node(w.name);
    if (node == Node::other || node == Node::folder) {
      lines.push_back(" *** " + w.name + " is " +
                      (node == Node::folder ? std::string("a folder")
                                            : "not a regular file (a device, a FIFO or a socket)") +
                      ", which this run would write as " + w.what + ": rename or move it");
    }
  }
  return lines;
}

std::vector<std::string> OutputFiles::lock(const std::vector<std::string>& names) {
  std::map<int, std::vector<std::string>> held;
  std::vector<std::string> lines;
  for (const std::string& name : names) {
    const std::string id = identity(name);
    if (locked_.count(id) != 0) continue;
    const Claim claim = fs_->lock(name);
    if (claim.taken()) {
      locked_.insert(id);
    } else if (claim.holder != 0) {
      held[claim.holder].push_back(name);
    } else {
      lines.push_back(" *** cannot lock " + name + " for this run: " + claim.failure);
    }
  }
  for (const auto& [pid, taken] : held) {
    const std::string more = taken.size() > 1 ? " and " + std::to_string(taken.size() - 1) +
                                                    " more of the names this run would write"
                                              : "";
    lines.push_back(" *** another run (process " + std::to_string(pid) + ") is using " +
                    taken.front() + more + ":");
    lines.push_back(" *** this run ends here, before it writes any of them");
  }
  return lines;
}

Mended OutputFiles::mend() {
  Mended mended = std::move(mended_early_);
  mended_early_ = {};
  std::set<std::string> folders;
  for (const std::string& id : locked_) folders.insert(parent(id));
  std::vector<std::string> blocked;
  for (const std::string& folder : folders) {
    const Listing listing = fs_->files_in(folder);
    if (!listing.failure.empty()) {
      mended.failures.push_back(" *** could not list the folder " + folder +
                                " for what runs cut short left: " + listing.failure);
    }
    for (const std::string& file : listing.names) {
      const std::string path = in_folder(folder, file);
      const auto ours = journals_.find(folder);
      if (journal_pid(file) == 0 || (ours != journals_.end() && ours->second->path() == path)) {
        continue;
      }
      if (!fs_->lock(path).taken()) continue;  // the journal of a run that is alive
      follow(path, false, mended, blocked);
      fs_->unlock(path);
    }
  }
  if (!blocked.empty()) throw Stop(joined_lines(blocked), kFailureStatus);
  return mended;
}

void OutputFiles::follow(const std::string& path, bool any, Mended& mended,
                         std::vector<std::string>& blocked) {
  const std::vector<std::string> names = journal_names(*fs_, path);
  const bool meets = std::any_of(names.begin(), names.end(), [this](const std::string& n) {
    return locked_.count(identity(n)) != 0;
  });
  if (!any && !meets) return;
  std::vector<std::string> borrowed;
  bool free = true;
  for (const std::string& name : names) {
    if (locked_.count(identity(name)) != 0) continue;
    const Claim claim = fs_->lock(name);
    if (!claim.taken()) {
      blocked.push_back(" *** " + name + ", which a run cut short was writing, is used by " +
                        "another run (process " + std::to_string(claim.holder) +
                        "): this run ends here, before it writes any file");
      free = false;
      break;
    }
    borrowed.push_back(name);
  }
  if (free) follow_journal(*fs_, path, mended);
  for (const std::string& name : borrowed) fs_->unlock(name);
}

void OutputFiles::claim(const std::string& name) {
  const Node node = fs_->node(name);
  if (node == Node::folder) {
    throw Stop("*** cannot create file: " + name + " (a folder has that name)", kFailureStatus);
  }
  if (node == Node::other) {
    throw Stop("*** " + name +
                   " is not a regular file (a device, a FIFO or a socket): it is not written over",
               kFailureStatus);
  }
  const std::string id = identity(name);
  if (const auto input = inputs_.find(id); input != inputs_.end()) {
    throw Stop("*** " + name + " is " + input->second + ": this run does not write over it",
               kFailureStatus);
  }
  const std::vector<std::string> refused = lock({name});
  if (!refused.empty()) throw Stop(joined_lines(refused), kFailureStatus);
}

Journal& OutputFiles::journal(const std::string& folder) {
  auto it = journals_.find(folder);
  if (it != journals_.end()) return *it->second;
  // A run cut short long ago may have had this run's process id: its journal is followed
  // before this run's takes its name.
  auto created = std::make_unique<Journal>(*fs_, folder, [this](const std::string& path) {
    std::vector<std::string> blocked;
    follow(path, true, mended_early_, blocked);
    if (!blocked.empty()) throw Stop(joined_lines(blocked), kFailureStatus);
  });
  return *journals_.emplace(folder, std::move(created)).first->second;
}

std::string OutputFiles::begin(const std::string& name, Commit group) {
  claim(name);
  const std::string id = identity(name);
  for (const Version& v : take_file(id)) remove_temporary(v);
  const Outcome noted = journal(parent(id)).note_part(id);
  if (!noted.ok())
    throw Stop("*** cannot create file: " + name + ": " + noted.failure, kFailureStatus);
  versions_.push_back({name, id, temporary_name(name, fs_->process_id()), group});
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
  for (const Version& v : take_file(identity(name))) remove_temporary(v);
}

Outcome OutputFiles::remove_temporary(const Version& v) {
  const Outcome removed = fs_->remove(v.temp);
  if (!removed.ok()) {
    unsettled_.insert(parent(v.id));
    notes_.push_back(temporary_left(v.temp, removed.failure));
  }
  return removed;
}

std::vector<std::string> OutputFiles::commit(Commit group) {
  std::vector<Version> versions = take_if([group](const Version& v) { return v.group == group; });
  std::vector<Version> whole;
  for (Version& v : versions) {
    if (v.complete) {
      whole.push_back(std::move(v));
    } else {
      remove_temporary(v);
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
    by_folder[parent(v.id)].push_back({v.name, v.id, v.temp, v.none});
  }
  for (const auto& [folder, in_folder] : by_folder) {
    try {
      const Placed placed = in_folder.size() == 1
                                ? place_one(*fs_, in_folder.front())
                                : place_group(*fs_, journal(folder), ++groups_, in_folder);
      for (const std::string& name : placed.replaced) note_replaced(name);
      if (taken_away != nullptr) {
        taken_away->insert(taken_away->end(), placed.taken_away.begin(), placed.taken_away.end());
      }
      notes_.insert(notes_.end(), placed.notes.begin(), placed.notes.end());
      if (!placed.settled) unsettled_.insert(folder);
    } catch (const PlacingFailed& failed) {
      if (!failed.settled) unsettled_.insert(folder);
      throw;
    }
    for (const Version& v : versions) {
      if (parent(v.id) == folder) note_written(v);
    }
  }
}

Settled OutputFiles::settle() {
  Settled settled;
  settled.replaced = replaced_;
  std::vector<Version> kept;
  // A temporary file that cannot be removed is said among the notes.
  const auto remove = [&](const Version& v, std::vector<std::string>* named) {
    if (remove_temporary(v).ok() && named != nullptr) named->push_back(v.name);
  };
  for (Version& v : versions_) {
    if (fs_->exists(v.name)) {
      remove(v, nullptr);
      settled.kept_earlier.push_back(v.name);  // never touched by this run
    } else if (v.none) {
      remove(v, nullptr);  // no file before, none after
    } else if (v.complete && fs_->flush(v.temp).ok() && fs_->rename(v.temp, v.name).ok()) {
      settled.kept_new.push_back(v.name);
      kept.push_back(std::move(v));
    } else {
      remove(v, &settled.removed);
    }
  }
  versions_.clear();
  std::set<std::string> flushed;
  for (const Version& v : kept) {
    note_written(v);
    const std::string folder = folder_of(v.name);
    if (!flushed.insert(folder).second) continue;
    if (const Outcome o = fs_->flush_folder(folder); !o.ok()) {
      settled.failures.push_back(" *** could not flush the folder " +
                                 (folder.empty() ? std::string(".") : folder) + ": " + o.failure);
    }
  }
  const std::vector<std::string> notes = take_notes();
  settled.failures.insert(settled.failures.begin(), notes.begin(), notes.end());
  const std::vector<std::string> journals = close_journals();
  settled.failures.insert(settled.failures.end(), journals.begin(), journals.end());
  return settled;
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

int OutputFiles::held_by(const std::string& name) {
  if (locked_.count(identity(name)) != 0) return 0;
  const Claim claim = fs_->lock(name);
  if (claim.taken()) locked_.insert(identity(name));
  return claim.holder;
}

std::string OutputFiles::creation_failure(const std::string& name) {
  if (pending(name) != nullptr) return "";
  const std::string probe = temporary_name(name, fs_->process_id());
  const Opened opened = fs_->open(probe, std::ios::out | std::ios::trunc);
  if (!opened.stream) return opened.failure.empty() ? "cannot be created" : opened.failure;
  fs_->remove(probe);
  return "";
}

void OutputFiles::note_read(const std::string& name) { read_.insert(identity(name)); }

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
  if (temporary_form(name) || temporary_form(id) || own_name_of(id).starts_with(kOwnFiles)) {
    return true;
  }
  if (read_.count(id) != 0 || inputs_.count(id) != 0 || is_reserved(id)) return true;
  if (written_.count(id) != 0) return pages_.count(id) == 0;
  const Version* v = pending(name);
  return v != nullptr && v->group != Commit::on_save;
}

Listing OutputFiles::left_from_earlier(const std::string& prefix) const {
  const std::string folder = folder_of(prefix);
  const std::string start = own_name_of(prefix + "x");
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

void OutputFiles::note_written(const Version& v) {
  written_.insert(v.id);
  if (v.group == Commit::on_save) {
    pages_.insert(v.id);
  } else {
    pages_.erase(v.id);
  }
}

void OutputFiles::note_replaced(const std::string& name) {
  if (std::find(replaced_.begin(), replaced_.end(), name) == replaced_.end()) {
    replaced_.push_back(name);
  }
}

}  // namespace dendro
