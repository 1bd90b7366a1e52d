// What a run finds in a folder before it writes there: its inputs among the names it would
// write, another run that holds the folder, and what dead runs left (journals, temporary
// files), which is input too, checked before it is acted on.
#include <algorithm>

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
  const std::string named = shown(fs, folder);
  return named == "." ? "the working folder" : "the folder " + named;
}

// Who holds a folder, as far as its lock file tells.
std::string holder_words(const FolderHold& hold) {
  return "another run (" +
         (hold.holder.empty() ? std::string("its lock file does not say which") : hold.holder) +
         ")";
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
  std::map<std::string, std::string> writers;  // by identity
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
      lines.push_back(" *** " + w.name + " is " +
                      (node == Node::folder ? std::string("a folder")
                                            : "not a regular file (a device, a FIFO or a socket)") +
                      ", which this run would write as " + w.what + ": rename or move it");
    }
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
  std::string refused;
  FolderHold why;
  if (hold_folders(folders, holding.mended, refused, why)) return holding;
  if (!why.failure.empty()) {
    holding.refusal.push_back(" *** " + why.failure);
    return holding;
  }
  holding.refusal.push_back(" *** " + holder_words(why) + " is writing in " +
                            folder_words(*fs_, refused) +
                            ": it holds the folder until it ends, at its last Return;");
  if (!why.shared.empty()) {
    holding.refusal.push_back(" *** " + shown(*fs_, in_folder(refused, ".dendro.lock")) + " has " +
                              why.shared +
                              " names: a copy of the folder made with hard links shares it, so "
                              "that run may be writing in the copy;");
  }
  holding.refusal.push_back(
      " *** wait until that run has ended, or run in another folder: this run ends here, "
      "before it writes any file");
  return holding;
}

bool OutputFiles::hold_folders(const std::set<std::string>& folders, Mended& mended,
                               std::string& refused, FolderHold& why) {
  // Every folder first, none waited for: a run refused gives back what it took and mends
  // nothing.
  std::vector<std::string> fresh;
  for (const std::string& folder : folders) {
    if (held_.count(folder) != 0) continue;
    why = fs_->hold(folder);
    if (!why.held) {
      refused = folder;
      for (const std::string& taken : fresh) give_back(taken, mended);
      return false;
    }
    fresh.push_back(folder);
  }
  for (const std::string& folder : fresh) {
    held_.insert(folder);
    mend_folder(folder, mended);
  }
  return true;
}

void OutputFiles::give_back(const std::string& folder, Mended& mended) {
  if (const Outcome o = fs_->give_back(folder); !o.ok()) {
    mended.failures.push_back(" *** could not give back " + folder_words(*fs_, folder) + ": " +
                              o.failure);
  }
}

void OutputFiles::mend_folder(const std::string& folder, Mended& mended) {
  const Listing listing = fs_->files_in(folder);
  if (!listing.failure.empty()) {
    mended.failures.push_back(" *** could not list " + folder_words(*fs_, folder) +
                              " for what runs cut short left: " + listing.failure);
  }
  // The temporary files the journals name, each followed or left with its journal.
  std::set<std::string> named;
  for (std::size_t k = 0; k < listing.names.size(); ++k) {
    stop_if_interrupted_at(k);
    if (journal_form(listing.names[k])) mend_journal(folder, listing.names[k], mended, named);
  }
  // Every other temporary file is a dead run's, whose record of it was lost.
  for (std::size_t k = 0; k < listing.names.size(); ++k) {
    stop_if_interrupted_at(k);
    const std::string& file = listing.names[k];
    const std::string of = temporary_of(file);
    if (of.empty() || named.count(file) != 0) continue;
    const std::string path = in_folder(folder, file);
    if (forms_(of)) {
      remove_left_temporary(*fs_, path, mended);
    } else {
      mended.left.push_back(" *** " + shown(*fs_, path) +
                            " has the form of a temporary file, but no journal names it: it "
                            "stays as it is");
    }
  }
}

void OutputFiles::mend_journal(const std::string& folder, const std::string& file, Mended& mended,
                               std::set<std::string>& named) {
  const std::string path = in_folder(folder, file);
  const std::string journal = shown(*fs_, path);
  const Recorded r = read_journal(*fs_, path, folder);
  for (const std::string& part : r.parts) named.insert(temporary_name(part, r.pid));
  if (!r.failure.empty()) {
    mended.failures.push_back(" *** could not read " + journal + ", the journal of a run cut " +
                              "short: " + r.failure + "; it stays for a later run");
    return;
  }
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
  follow_journal(*fs_, path, folder, r, mended);
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

void OutputFiles::claim(const std::string& name) {
  const Status status = fs_->status(name);
  if (!status.failure.empty()) {
    throw Stop("*** cannot create file: " + name + ": " + status.failure, kFailureStatus);
  }
  if (status.node == Node::folder) {
    throw Stop("*** cannot create file: " + name + " (a folder has that name)", kFailureStatus);
  }
  if (status.node == Node::other) {
    throw Stop("*** " + name +
                   " is not a regular file (a device, a FIFO or a socket): it is not written over",
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
  std::string refused;
  FolderHold why;
  if (!hold_folders({folder_of(id)}, mended, refused, why)) {
    if (!why.failure.empty()) return why.failure;
    return holder_words(why) + " is writing in " + folder_words(*fs_, refused) +
           ": wait until that run has ended, or use another folder";
  }
  const std::vector<std::string> lines = mended_lines(mended);
  notes_.insert(notes_.end(), lines.begin(), lines.end());
  if (const auto left = unwritten_.find(id); left != unwritten_.end()) {
    return name + " is named by " + left->second + ", a journal this run leaves as it is";
  }
  return "";
}

}  // namespace dendro
