// What a run finds in a folder before it writes there: its inputs among the names it would
// write, another run that holds the folder, and what dead runs left (journals, temporary
// files), which is input too, checked before it is acted on.
#include <algorithm>
#include <optional>

#include "series/files/interrupts.h"
#include "series/files/output_files.h"
#include "series/files/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

const char* const kTooLong =
    "too long a name: its temporary file's name would pass the 255 characters a file system "
    "takes";

// "the folder site", or "the working folder".
std::string folder_words(const FileSystem& fs, const std::string& folder) {
  return folder_named(shown(fs, folder));
}

// The ends of the lines that refuse a list of names: before any folder is held, and once
// the run has held some, whose lock files it may have made.
const char* const kListEnds = ": this run ends here, before it writes any file";
const char* const kListEndsHeld =
    ": this run ends here, before it writes any file but the lock files (.dendro.lock) of the "
    "folders it looked at";
// The files a run keeps open in each folder it writes into: the lock file and the journal.
constexpr std::uint64_t kFilesEachFolder = 2;
// The files a run keeps open beside them, at most: the standard input, output and error
// and the stand-in input an ending signal switches to (4); the unit table, one file a unit
// number at most (kalder has 21, pelliform 8); PLplot's (6: a page it saves, that page's
// buffer, the folder of its drivers and the driver file it reads as it starts the page, and
// a screen page's buffer and display); and a file the owner opens for a moment: a flush, a
// folder listed, a journal or an earlier result read (3). strace of the runs counts fewer:
// kalder of one data file 12 beside its folder's two, 14 as it saves a plot page, of three
// data files in three folders 22; pelliform of one data file 11.
constexpr std::uint64_t kFilesBeside = 4 + 21 + 6 + 3;

// Who holds a folder, as far as its lock file tells.
std::string holder_words(const FolderHold& hold) {
  return "another run (" +
         (hold.holder.empty() ? std::string("its lock file does not say which") : hold.holder) +
         ")";
}

// Another run holds `folder`, or its lock file, which a copy made with hard links shares.
NotHeld held_by_another(const FileSystem& fs, const std::string& folder, const FolderHold& why) {
  const std::string who = holder_words(why), where = folder_words(fs, folder);
  NotHeld refused;
  if (why.shared.empty()) {
    refused.list.push_back(" *** " + who + " is writing in " + where +
                           ": it holds the folder until it ends, at its last Return;");
    refused.later = who + " is writing in " + where;
  } else {
    refused.later = shown(fs, in_folder(folder, std::string(kLockFileName))) + " has " +
                    why.shared + " names: a copy of " + where +
                    " made with hard links shares it, and " + who + " holds it";
    refused.list.push_back(" *** " + refused.later + ": that run may be writing in " + where +
                           " or in the copy, until it ends, at its last Return;");
  }
  refused.later += ": wait until that run has ended, or use another folder";
  refused.list.push_back(" *** wait until that run has ended, or run in another folder" +
                         std::string(kListEndsHeld));
  return refused;
}

// The folder cannot be held: `failure` says why and what to do.
NotHeld cannot_hold(const std::string& failure) { return {{" *** " + failure}, failure}; }

// A journal in `folder` that cannot be read names what nobody can know: the run writes
// nothing there.
NotHeld journal_unread(const FileSystem& fs, const std::string& folder, const std::string& path,
                       const std::string& failure) {
  const std::string owner = fs.owner_of(path), where = folder_words(fs, folder);
  const std::string journal = shown(fs, path) + ", the journal of a run" +
                              (owner.empty() ? "" : " of user " + owner) +
                              " cut short, cannot be read (" + failure + ")";
  const std::string remedy = owner.empty() ? "make it readable, or run in another folder"
                                           : "run again as user " + owner + ", or ask " + owner +
                                                 " to run these programs once in " + where +
                                                 ", or run in another folder";
  return {{" *** " + journal + ": what it names cannot be known, so this run writes nothing in " +
               where + ";",
           " *** " + remedy + kListEndsHeld},
          journal + ": " + remedy};
}

// The files a run that writes into `folders` folders keeps open at once.
std::uint64_t files_kept_open(std::size_t folders) {
  return kFilesBeside + kFilesEachFolder * folders;
}

// The folders would take more files open than the system lets the run have.
NotHeld too_many_folders(std::size_t folders, std::uint64_t limit) {
  const std::string count = "this run would write into " + std::to_string(folders) +
                            (folders == 1 ? " folder" : " folders") + " and keep " +
                            std::to_string(files_kept_open(folders)) +
                            " files open at once, two for each folder and " +
                            std::to_string(kFilesBeside) + " for its own work: more than the " +
                            std::to_string(limit) + " this system lets it have open";
  // A run of one folder has no data files to put in fewer.
  const std::string fewer = folders > 1 ? ", or put the data files in fewer folders" : "";
  return {{" *** " + count + ";", " *** raise the limit (ulimit -n)" + fewer + kListEnds},
          count + ": raise the limit (ulimit -n), or use a folder this run writes into already"};
}

// The console lines of a journal left as it is, read as `r`: what it is, `why` it is left,
// and how the earlier files it set aside come back.
void leave(Mended& mended, const std::string& journal, const std::string& why, const Recorded& r) {
  const int pid = r.pid;
  const std::string set_aside = set_aside_name("NAME", pid);
  const char* earlier = r.version < 2 && r.pid > 0 ? "a journal of an earlier version: " : "";
  mended.left.push_back(" *** " + journal + " is no journal this program follows (" + earlier +
                        why +
                        "): it stays as it is, and this run writes none of the files it names;");
  mended.left.push_back(
      " *** to get back the earlier files a run cut short set aside, rename each " +
      (pid > 0 ? set_aside : std::string("NAME.<pid>.prev")) +
      " in its folder to NAME, then remove " + journal);
}

}  // namespace

void OutputFiles::protect(const std::string& name, const std::string& what) {
  inputs_.emplace(identity(name), what);
  inputs_.emplace(fs_->target(name), what);  // the file read through a link
  mark_read(name);
}

std::vector<std::string> OutputFiles::check(const std::vector<Wanted>& wanted) const {
  std::vector<std::string> lines;
  std::map<std::string, std::string> writers;            // by identity
  std::map<std::string, std::vector<std::string>> kept;  // names another user keeps, by user
  for (std::size_t k = 0; k < wanted.size(); ++k) {
    stop_if_interrupted_at(k);
    const Wanted& w = wanted[k];
    const std::string& id = identity(w.name);
    if (const auto input = inputs_.find(id); input != inputs_.end()) {
      lines.push_back(" *** " + w.name + " is " + input->second +
                      ", which this run would write over with " + w.what);
      lines.push_back(" *** rename or move " + w.name + ", then run again with its new name");
      continue;
    }
    if (const auto left = unwritten_.find(id); left != unwritten_.end()) {
      lines.push_back(" *** " + w.name + " is named by " + left->second +
                      ", a journal this run leaves as it is: this run does not write it");
    }
    if (too_long_for_temporary(std::string(own_name(id)), fs_->process_id())) {
      lines.push_back(" *** " + w.name + ", which this run would write as " + w.what + ", is " +
                      kTooLong + "; rename or move its data file");
    }
    const auto [known, fresh] = writers.try_emplace(id, w.what);
    if (!fresh && known->second != w.what) {
      lines.push_back(" *** " + w.name + " would be written both as " + known->second + " and as " +
                      w.what + ": rename or move one of their data files");
    }
    const Node node = fs_->node(w.name);
    if (node == Node::other || node == Node::folder) {
      lines.push_back(" *** " + w.name + " is " + node_words(node) +
                      ", which this run would write as " + w.what + ": rename or move it");
    } else if (node != Node::none && !fs_->why_not_movable(w.name).empty()) {
      kept[fs_->owner_of(w.name)].push_back(w.name);
    }
  }
  for (const auto& [owner, names] : kept) {
    add_name_list(lines,
                  " *** files this run would replace, which belong to user " + owner +
                      " in a folder that lets only a file's owner replace them:",
                  names);
    lines.push_back(" *** ask " + owner + " to move them, or run in another folder");
  }
  return lines;
}

Holding OutputFiles::hold(const std::vector<std::string>& names) {
  std::set<std::string> folders;
  for (std::size_t k = 0; k < names.size(); ++k) {
    stop_if_interrupted_at(k);
    folders.insert(folder_of(identity(names[k])));
  }
  Holding holding;
  NotHeld why;
  if (!hold_folders(folders, holding.mended, why)) holding.refusal = std::move(why.list);
  return holding;
}

bool OutputFiles::hold_folders(const std::set<std::string>& folders, Mended& mended, NotHeld& why) {
  std::vector<std::string> wanted;
  for (const std::string& folder : folders) {
    if (held_.count(folder) == 0) wanted.push_back(folder);
  }
  if (wanted.empty()) return true;
  // Counted before any lock file is made.
  const std::size_t count = held_.size() + wanted.size();
  if (const std::uint64_t limit = fs_->open_file_limit(); files_kept_open(count) > limit) {
    why = too_many_folders(count, limit);
    return false;
  }
  // Every folder first, none waited for: a run refused gives back what it took and mends
  // nothing.
  std::vector<std::string> fresh;
  const auto refuse = [&](NotHeld refused) {
    for (const std::string& taken : fresh) give_back(taken, mended);
    why = std::move(refused);
    return false;
  };
  for (const std::string& folder : wanted) {
    const FolderHold hold = fs_->hold(folder);
    if (!hold.held) {
      return refuse(hold.failure.empty() ? held_by_another(*fs_, folder, hold)
                                         : cannot_hold(hold.failure));
    }
    fresh.push_back(folder);
  }
  // What dead runs left is all read before any of it is acted on: where what a journal
  // names cannot be known, the run writes nothing.
  std::vector<Found> found;
  for (const std::string& folder : fresh) {
    found.push_back(survey(folder));
    if (std::optional<NotHeld> unknown = unknowable(found.back())) return refuse(*unknown);
  }
  for (const Found& f : found) {
    held_.insert(f.folder);
    mend_folder(f, mended);
  }
  return true;
}

void OutputFiles::give_back(const std::string& folder, Mended& mended) {
  if (const Outcome o = fs_->give_back(folder); !o.ok()) {
    mended.failures.push_back(" *** could not give back " + folder_words(*fs_, folder) + ": " +
                              o.failure);
  }
}

void OutputFiles::give_back_folder_of(const std::string& name) {
  const std::string folder = folder_of(identity(name));
  if (held_.count(folder) == 0 || journals_.count(folder) != 0) return;
  const auto in_it = [&folder](const std::string& id) { return folder_of(id) == folder; };
  if (std::any_of(written_.begin(), written_.end(), in_it) ||
      std::any_of(versions_.begin(), versions_.end(),
                  [&in_it](const Version& v) { return in_it(v.id); })) {
    return;
  }
  Mended mended;
  give_back(folder, mended);
  held_.erase(folder);
  std::erase_if(unwritten_, [&in_it](const auto& named) { return in_it(named.first); });
  const std::vector<std::string> lines = mended_lines(mended);
  notes_.insert(notes_.end(), lines.begin(), lines.end());
}

std::optional<NotHeld> OutputFiles::unknowable(const Found& found) const {
  if (!found.failure.empty()) {
    return cannot_hold("cannot list " + folder_words(*fs_, found.folder) +
                       " for what runs cut short left there: " + found.failure +
                       "; make it readable, or run in another folder");
  }
  for (const auto& [path, r] : found.journals) {
    if (!r.failure.empty()) return journal_unread(*fs_, found.folder, path, r.failure);
  }
  return std::nullopt;
}

OutputFiles::Found OutputFiles::survey(const std::string& folder) const {
  Found found{folder, {}, {}, {}};
  Listing listing = fs_->files_in(folder);
  found.failure = std::move(listing.failure);
  found.names = std::move(listing.names);
  for (std::size_t k = 0; k < found.names.size(); ++k) {
    stop_if_interrupted_at(k);
    if (!journal_form(found.names[k])) continue;
    const std::string path = in_folder(folder, found.names[k]);
    found.journals.emplace_back(path, read_journal(*fs_, path, folder));
  }
  return found;
}

void OutputFiles::mend_folder(const Found& found, Mended& mended) {
  // The temporary files the journals name, each followed or left with its journal.
  std::set<std::string> named;
  for (const auto& [path, r] : found.journals) mend_journal(found.folder, path, r, mended, named);
  // Every other temporary file is a dead run's, whose record of it was lost.
  for (std::size_t k = 0; k < found.names.size(); ++k) {
    stop_if_interrupted_at(k);
    const std::string& file = found.names[k];
    const std::string of = temporary_of(file);
    if (of.empty() || named.count(file) != 0) continue;
    const std::string path = in_folder(found.folder, file);
    if (!forms_(of)) {
      mended.left.push_back(" *** " + shown(*fs_, path) +
                            " has the form of a temporary file, but no journal names it: it "
                            "stays as it is");
    } else {
      remove_temporary(*fs_, path, mended.failures, &mended.removed);
    }
  }
}

void OutputFiles::mend_journal(const std::string& folder, const std::string& path,
                               const Recorded& r, Mended& mended, std::set<std::string>& named) {
  const std::string journal = shown(*fs_, path);
  for (const std::string& part : r.parts) named.insert(temporary_name(part, r.pid));
  // What a journal not followed to its end names stays as it is: this run writes none of it.
  const auto block = [&] {
    for (const std::string& name : names_in(r))
      unwritten_.emplace(identity(in_folder(folder, name)), journal);
  };
  std::string why = r.foreign.empty() ? why_not_followed(folder, r) : r.foreign;
  if (!why.empty()) {
    leave(mended, journal, why, r);
    return block();
  }
  if (const std::string cannot = why_not_movable(*fs_, folder, r); !cannot.empty()) {
    mended.left.push_back(" *** " + journal +
                          ", the journal of a run cut short, is not followed: " + cannot + ";");
    mended.left.push_back(
        " *** it stays as it is, and this run writes none of the files it "
        "names: run again as the user whose files they are, or in another "
        "folder");
    return block();
  }
  if (!follow_journal(*fs_, path, folder, r, mended)) {
    mended.left.push_back(" *** " + journal +
                          ", the journal of a run cut short, stays whole for a later run, as a "
                          "step of following it failed: this run writes none of the files it "
                          "names");
    block();
  }
}

std::string OutputFiles::why_not_followed(const std::string& folder, const Recorded& r) const {
  std::size_t k = 0;
  for (const auto& [g, group] : r.groups) {
    for (const Move& m : group.moves) {
      stop_if_interrupted_at(k++);
      const auto input = inputs_.find(identity(in_folder(folder, m.name)));
      if (input != inputs_.end()) return "it names " + m.name + ", which is " + input->second;
      if (!forms_(m.name)) {
        return "it names " + m.name + ", which is no name these programs write";
      }
    }
  }
  return "";
}

void OutputFiles::check_name(const std::string& name) {
  const Status status = fs_->status(name);
  if (!status.failure.empty()) {
    throw Stop("*** cannot create file: " + name + ": " + status.failure, kFailureStatus);
  }
  if (status.node == Node::folder) {
    throw Stop("*** cannot create file: " + name + " (a folder has that name)", kFailureStatus);
  }
  if (status.node == Node::other) {
    throw Stop("*** " + name + " is " + node_words(Node::other) + ": it is not written over",
               kFailureStatus);
  }
  const std::string& id = identity(name);
  if (const auto input = inputs_.find(id); input != inputs_.end()) {
    throw Stop("*** " + name + " is " + input->second + ": this run does not write over it",
               kFailureStatus);
  }
  if (const std::string why = why_not_written(name); !why.empty()) {
    throw Stop("*** cannot create file: " + name + ": " + why, kFailureStatus);
  }
}

std::string OutputFiles::why_not_written(const std::string& name) {
  const std::string& id = identity(name);
  if (too_long_for_temporary(std::string(own_name(id)), fs_->process_id())) {
    return name + " is " + kTooLong;
  }
  Mended mended;
  NotHeld why;
  if (!hold_folders({folder_of(id)}, mended, why)) return why.later;
  const std::vector<std::string> lines = mended_lines(mended);
  notes_.insert(notes_.end(), lines.begin(), lines.end());
  if (const auto left = unwritten_.find(id); left != unwritten_.end()) {
    return name + " is named by " + left->second + ", a journal this run leaves as it is";
  }
  if (const std::string owner = fs_->why_not_movable(name); !owner.empty()) {
    return name + ": " + owner + "; ask that user to move it, or use another name";
  }
  return "";
}

}  // namespace dendro
