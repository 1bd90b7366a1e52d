#include "series/files/output_files.h"

#include <algorithm>
#include <filesystem>

#include "series/files/interrupts.h"
#include "series/files/placing.h"
#include "series/files/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

// Names looked at between two looks for a signal.
constexpr std::size_t kNamesBetweenLooks = 4096;
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
  lines.insert(lines.end(), mended.left.begin(), mended.left.end());
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

void OutputFiles::know_forms(std::vector<std::string> suffixes, std::vector<std::string> names) {
  suffixes_ = std::move(suffixes);
  form_names_ = std::set<std::string>(names.begin(), names.end());
}

bool OutputFiles::of_form(const std::string& file) const {
  return form_names_.count(file) != 0 ||
         std::any_of(suffixes_.begin(), suffixes_.end(), [&file](const std::string& suffix) {
           return file.size() > suffix.size() && file.ends_with(suffix);
         });
}

void OutputFiles::protect(const std::string& name, const std::string& what) {
  inputs_.emplace(identity(name), what);
  note_read(name);
}

std::vector<std::string> OutputFiles::check(const std::vector<Wanted>& wanted) const {
  std::vector<std::string> lines;
  std::map<std::string, std::string> writers;  // by identity
  for (std::size_t k = 0; k < wanted.size(); ++k) {
    if (k % kNamesBetweenLooks == 0) stop_if_interrupted();
    const Wanted& w = wanted[k];
    const std::string& id = identity(w.name);
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

std::vector<std::string> OutputFiles::lock(const std::vector<std::string>& sure,
                                           const std::vector<std::string>& maybe) {
  // The names not held yet, by folder: each file's name there, and the place of the name
  // as the run asked for it.
  struct Asked {
    std::vector<std::string> files;
    std::unordered_map<std::string, std::size_t> place;
  };
  std::map<std::string, Asked> by_folder;
  const std::size_t count = sure.size() + maybe.size();
  const auto name_at = [&](std::size_t k) -> const std::string& {
    return k < sure.size() ? sure[k] : maybe[k - sure.size()];
  };
  for (std::size_t k = 0; k < count; ++k) {
    if (k % kNamesBetweenLooks == 0) stop_if_interrupted();
    const std::string& id = identity(name_at(k));
    if (locked_.count(id) != 0) continue;
    Asked& asked = by_folder[parent(id)];
    const std::string file = own_name_of(id);
    if (asked.place.emplace(file, k).second) asked.files.push_back(file);
  }
  std::vector<std::string> lines;
  std::map<int, std::vector<std::size_t>> held;  // the places of the names each run holds
  for (const auto& [folder, asked] : by_folder) {
    const Claim claim = fs_->hold(folder, asked.files);
    if (!claim.failure.empty()) lines.push_back(" *** " + claim.failure);
    for (const Holder& h : claim.held) held[h.pid].push_back(asked.place.at(h.name));
    if (!claim.taken()) continue;
    for (const std::string& file : asked.files) locked_.insert(in_folder(folder, file));
  }
  for (auto& [pid, places] : held) {
    std::sort(places.begin(), places.end());
    const auto sure_held =
        std::count_if(places.begin(), places.end(), [&](std::size_t k) { return k < sure.size(); });
    const std::string process = "process " + std::to_string(pid);
    lines.push_back(" *** another run (" + process + ") is using " + name_at(places.front()) +
                    (sure_held > 1 ? " and " + std::to_string(sure_held - 1) +
                                         " more of the files this run writes"
                                   : ""));
    lines.push_back(" *** it holds them until it ends, at its last Return: wait until " + process +
                    " has ended, or run in another folder;");
    lines.push_back(" *** this run ends here, before it writes any of them");
  }
  return lines;
}

Mended OutputFiles::mend() {
  Mended mended;
  std::set<std::string> folders;
  for (const std::string& id : locked_) folders.insert(parent(id));
  std::vector<std::string> blocked;
  for (const std::string& folder : folders) mend_folder(folder, mended, blocked);
  if (!blocked.empty()) throw Stop(joined_lines(blocked), kFailureStatus);
  return mended;
}

void OutputFiles::mend_folder(const std::string& folder, Mended& mended,
                              std::vector<std::string>& blocked) {
  const Listing listing = fs_->files_in(folder);
  if (!listing.failure.empty()) {
    mended.failures.push_back(" *** could not list the folder " + shown(*fs_, folder) +
                              " for what runs cut short left: " + listing.failure);
  }
  const LiveRuns live = fs_->live_runs(folder);
  if (!live.failure.empty()) {
    mended.failures.push_back(" *** journals of runs cut short are not looked at: " + live.failure);
    return;
  }
  for (std::size_t k = 0; k < listing.names.size(); ++k) {
    if (k % kNamesBetweenLooks == 0) stop_if_interrupted();
    const int pid = journal_pid(listing.names[k]);
    const std::string path = in_folder(folder, listing.names[k]);
    const auto ours = journals_.find(folder);
    if (pid == 0 || (ours != journals_.end() && ours->second->path() == path)) continue;
    if (pid != fs_->process_id() && live.pids.count(pid) != 0) continue;  // a live run's
    mend_journal(path, pid == fs_->process_id(), mended, blocked);
  }
}

void OutputFiles::mend_journal(const std::string& path, bool any, Mended& mended,
                               std::vector<std::string>& blocked) {
  const std::string folder = parent(path);
  const auto leave = [&](const std::string& why) {
    if (!named_.insert(path).second) return;
    mended.left.push_back(" *** " + shown(*fs_, path) + " is no journal this program follows (" +
                          why + "): it stays as it is;");
    mended.left.push_back(" *** remove it if no run of this folder was cut short");
  };
  const Recorded r = read_journal(*fs_, path);
  if (!r.failure.empty()) {
    mended.failures.push_back(" *** could not read " + shown(*fs_, path) +
                              ", the journal of a run cut short: " + r.failure +
                              "; it stays for a later run");
    return;
  }
  if (!r.foreign.empty()) return leave(r.foreign);
  if (identity(path) != path) return leave("it is a link to another file");
  // A journal that names an input is none of this program's, whatever else it names. One
  // that names no name this run holds is another run's to follow, unless it names no file
  // at all (its run was cut short before it recorded one): that one is only removed.
  const std::vector<std::string> acting = names_to_mend(*fs_, folder, r);
  if (const std::string why = input_named(folder, acting); !why.empty()) return leave(why);
  const std::vector<std::string> names = names_in(r);
  const bool meets = names.empty() || std::any_of(names.begin(), names.end(), [&](const auto& n) {
                       return locked_.count(in_folder(folder, n)) != 0;
                     });
  if (!any && !meets) return;
  if (const std::string why = unwritten_name(folder, acting); !why.empty()) return leave(why);
  std::vector<std::string> borrowed;
  for (const std::string& n : acting) {
    if (locked_.count(in_folder(folder, n)) == 0) borrowed.push_back(n);
  }
  const Claim claim = fs_->hold(folder, borrowed);
  if (!claim.failure.empty()) {
    mended.failures.push_back(" *** " + claim.failure);
  } else if (!claim.held.empty()) {
    blocked.push_back(" *** " + shown(*fs_, in_folder(folder, claim.held.front().name)) +
                      ", which a run cut short was writing, is used by another run (process " +
                      std::to_string(claim.held.front().pid) +
                      "): this run ends here, before it writes any file");
  } else {
    follow_journal(*fs_, path, r, mended);
  }
  fs_->let_go(folder, claim.hold);
}

std::string OutputFiles::input_named(const std::string& folder,
                                     const std::vector<std::string>& names) const {
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k % kNamesBetweenLooks == 0) stop_if_interrupted();
    const auto input = inputs_.find(identity(in_folder(folder, names[k])));
    if (input != inputs_.end()) return "it names " + names[k] + ", which is " + input->second;
  }
  return "";
}

std::string OutputFiles::unwritten_name(const std::string& folder,
                                        const std::vector<std::string>& names) const {
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k % kNamesBetweenLooks == 0) stop_if_interrupted();
    if (locked_.count(identity(in_folder(folder, names[k]))) == 0 && !of_form(names[k])) {
      return "it names " + names[k] + ", which is no name this program writes";
    }
  }
  return "";
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
  const std::string& id = identity(name);
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
  // like any other before this run's takes its name.
  const std::string path = journal_path(folder, fs_->process_id());
  if (fs_->exists(path)) {
    Mended mended;
    std::vector<std::string> blocked;
    mend_journal(path, true, mended, blocked);
    if (!blocked.empty()) throw Stop(joined_lines(blocked), kFailureStatus);
    const std::vector<std::string> lines = mended_lines(mended);
    notes_.insert(notes_.end(), lines.begin(), lines.end());
    if (fs_->exists(path)) {
      throw Stop(joined_lines(lines) + (lines.empty() ? "" : "\n") + "*** " + shown(*fs_, path) +
                     ", the journal of a run cut short that had this run's process id, stays: "
                     "this run ends here, before it writes any file in its folder",
                 kFailureStatus);
    }
  }
  auto created = std::make_unique<Journal>(*fs_, folder);
  return *journals_.emplace(folder, std::move(created)).first->second;
}

std::string OutputFiles::begin(const std::string& name, Commit group) {
  claim(name);
  const std::string id = identity(name);
  for (const Version& v : take_file(id)) remove_temporary(v);
  const Outcome noted = journal(parent(id)).note_part(own_name_of(id));
  if (!noted.ok())
    throw Stop("*** cannot create file: " + name + ": " + noted.failure, kFailureStatus);
  versions_.push_back({name, id, temporary_name(id, fs_->process_id()), group});
  return versions_.back().temp;
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
  for (const Version& v : take_file(identity(name))) remove_temporary(v);
}

Outcome OutputFiles::remove_temporary(const Version& v) {
  const Outcome removed = fs_->remove(v.temp);
  if (!removed.ok()) {
    unfinished_.insert(parent(v.id));
    notes_.push_back(temporary_left(shown(*fs_, v.temp), removed.failure));
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
      if (placed.unfinished) unfinished_.insert(folder);
    } catch (const PlacingFailed& failed) {
      if (failed.unfinished) unfinished_.insert(folder);
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
    if (written_.count(v.id) != 0) {
      // The file of the name is one this run put in place before: it stays.
      remove(v, nullptr);
      if (std::find(replaced_.begin(), replaced_.end(), v.name) == replaced_.end()) {
        settled.kept_new.push_back(v.name);
      }
    } else if (fs_->exists(v.id)) {
      remove(v, nullptr);
      settled.kept_earlier.push_back(v.name);  // never touched by this run
    } else if (v.none) {
      remove(v, nullptr);  // no file before, none after
    } else if (v.complete && fs_->flush(v.temp).ok() && fs_->rename(v.temp, v.id).ok()) {
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
    const std::string folder = parent(v.id);
    if (!flushed.insert(folder).second) continue;
    if (const Outcome o = fs_->flush_folder(folder); !o.ok()) {
      settled.failures.push_back(" *** could not flush the folder " + shown(*fs_, folder) + ": " +
                                 o.failure);
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

Claim OutputFiles::holder_of(const std::string& name) {
  const std::string& id = identity(name);
  if (locked_.count(id) != 0) return {};
  const LiveRuns live = fs_->live_runs(parent(id));
  Claim claim;
  claim.failure = live.failure;
  if (const auto it = live.names.find(own_name_of(id)); it != live.names.end()) {
    claim.held.push_back({name, it->second});
  }
  return claim;
}

std::string OutputFiles::creation_failure(const std::string& name) {
  if (pending(name) != nullptr) return "";
  const std::string probe = temporary_name(identity(name), fs_->process_id());
  const Opened opened = fs_->open(probe, std::ios::out | std::ios::trunc);
  if (!opened.stream) return opened.failure.empty() ? "cannot be created" : opened.failure;
  if (const Outcome o = fs_->remove(probe); !o.ok()) {
    notes_.push_back(temporary_left(shown(*fs_, probe), o.failure));
  }
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
