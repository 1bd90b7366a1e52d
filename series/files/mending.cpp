#include "series/files/mending.h"

#include "series/files/interrupts.h"
#include "series/files/placing.h"

namespace dendro {
namespace {

// The steps of following one journal: each acts only on the file the journal recorded,
// and says what it did, or why not.
class Follower {
 public:
  Follower(FileSystem& fs, const std::string& folder, const Recorded& r, Mended& mended)
      : fs_(fs), folder_(folder), r_(r), mended_(mended) {}

  // Rolls a group back or finishes it as its decision says.
  void group(const Group& g) {
    if (g.decision == kBack) roll_back(g);
    if (g.decision != kDone) return;
    for (const Move& m : g.moves) {
      if (m.earlier && earlier_there(m)) remove_earlier(m, mended_.finished);
    }
  }
  void temporary(const std::string& name) {
    const std::string temp = temporary_of(name);
    if (!fs_.exists(temp)) return;
    if (!remove_temporary(fs_, temp, mended_.failures, &mended_.removed)) failed_ = true;
  }
  // Says a step that failed; true when it worked.
  bool worked(const Outcome& done, const std::string& what) {
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
  std::string set_aside(const std::string& name) const {
    return set_aside_name(path(name), r_.pid);
  }
  // The set-aside earlier file of `m`, when it is there and is the one recorded.
  bool earlier_there(const Move& m) {
    const Status aside = fs_.status(set_aside(m.name));
    if (aside.node == Node::none) return false;  // never moved, or dealt with already
    if (is_earlier_file(r_, m, aside)) return true;
    worked({"it is not the file its journal set aside"},
           "could not put back or remove the earlier " + shown(fs_, path(m.name)) + " from " +
               shown(fs_, set_aside(m.name)));
    return false;
  }

  // The new versions that took their names go, and once that is on the disk the earlier
  // files come back under their names. A file written since under a name is never touched.
  void roll_back(const Group& g) {
    std::vector<bool> set_aside;
    bool removed = false;
    for (const Move& m : g.moves) {
      set_aside.push_back(m.earlier && earlier_there(m));
      const bool moved = m.earlier ? set_aside.back() : !fs_.exists(temporary_of(m.name));
      if (m.none || !moved || !is_new_version(r_, m, fs_.status(path(m.name)))) continue;
      if (!worked(fs_.remove(path(m.name)), "could not remove " + shown(fs_, path(m.name)) +
                                                ", a new file of a group rolled back")) {
        return;
      }
      if (!m.earlier) mended_.undone.push_back(shown(fs_, path(m.name)));
      removed = true;
    }
    // The new files are gone on the disk before an earlier file takes a name back; a flush
    // that fails is said, and the journal stays.
    if (removed) {
      if (!worked(fs_.flush_folder(folder_), "could not flush the folder " + shown(fs_, folder_) +
                                                 " before putting the earlier files back")) {
        return;
      }
    }
    for (std::size_t k = 0; k < g.moves.size(); ++k) {
      if (set_aside[k]) put_back(g.moves[k]);
    }
  }
  // The earlier file takes its name back, never over a file: a file written there since
  // (by a run that did not follow the journal) is newer, and the earlier one goes.
  void put_back(const Move& m) {
    const std::string name = path(m.name);
    const Outcome o = fs_.rename(set_aside(m.name), name, Replace::no);
    if (o.ok()) {
      mended_.put_back.push_back(shown(fs_, name));
    } else if (fs_.exists(name)) {
      remove_earlier(m, mended_.superseded);
    } else {
      worked(o, "could not put back the earlier " + shown(fs_, name) + ", which stays as " +
                    shown(fs_, set_aside(m.name)));
    }
  }
  void remove_earlier(const Move& m, std::vector<std::string>& said) {
    if (worked(fs_.remove(set_aside(m.name)), "could not remove the earlier " +
                                                  shown(fs_, path(m.name)) + " left as " +
                                                  shown(fs_, set_aside(m.name)))) {
      said.push_back(shown(fs_, path(m.name)));
    }
  }

  FileSystem& fs_;
  const std::string& folder_;
  const Recorded& r_;
  Mended& mended_;
  bool failed_ = false;
};

}  // namespace

std::vector<std::string> mended_lines(const Mended& mended) {
  std::vector<std::string> lines;
  add_name_list(lines, " *** earlier files put back, which a run cut short had moved aside:",
                mended.put_back);
  add_name_list(lines,
                " *** new files of a run cut short removed, as the rest of their group had not "
                "taken their names:",
                mended.undone);
  add_name_list(lines,
                " *** earlier files removed, which a run cut short had replaced with files that "
                "had all taken their names:",
                mended.finished);
  add_name_list(lines,
                " *** earlier files removed, which a run cut short had set aside, as newer files "
                "have taken their names since:",
                mended.superseded);
  add_name_list(lines, " *** temporary files of a run cut short, removed:", mended.removed);
  lines.insert(lines.end(), mended.left.begin(), mended.left.end());
  lines.insert(lines.end(), mended.failures.begin(), mended.failures.end());
  return lines;
}

std::string why_not_movable(const FileSystem& fs, const std::string& folder, const Recorded& r) {
  std::vector<std::string> touched;
  for (const auto& [g, group] : r.groups) {
    if (group.decision != kDone && group.decision != kBack) continue;
    for (const Move& m : group.moves) {
      touched.push_back(in_folder(folder, m.name));
      touched.push_back(set_aside_name(in_folder(folder, m.name), r.pid));
    }
  }
  for (const std::string& name : r.parts) {
    touched.push_back(temporary_name(in_folder(folder, name), r.pid));
  }
  for (std::size_t k = 0; k < touched.size(); ++k) {
    stop_if_interrupted_at(k);
    if (const std::string why = fs.why_not_movable(touched[k]); !why.empty()) {
      return shown(fs, touched[k]) + ": " + why;
    }
  }
  return "";
}

bool follow_journal(FileSystem& fs, const std::string& path, const std::string& folder,
                    const Recorded& r, Mended& mended) {
  Follower follow(fs, folder, r, mended);
  // What the dead run wrote may not have reached the disk: the decision followed must be
  // there before a step acts on it.
  if (!follow.worked(fs.flush(path), "could not flush " + shown(fs, path) +
                                         ", the journal of a run cut short, before following it")) {
    return false;
  }
  // The groups first: whether a new file had its name shows by its temporary file.
  for (const auto& [g, group] : r.groups) {
    stop_if_interrupted();
    follow.group(group);
  }
  for (std::size_t k = 0; k < r.parts.size(); ++k) {
    stop_if_interrupted_at(k);
    follow.temporary(r.parts[k]);
  }
  follow.worked(fs.flush_folder(folder), "could not flush the folder " + shown(fs, folder));
  // A step that failed leaves the journal, for a later run to follow again.
  if (follow.failed()) return false;
  // Followed to its end: a journal that stays names nothing left to do.
  if (const Outcome o = fs.remove(path); !o.ok()) {
    const std::string whose = fs.why_not_movable(path);
    mended.failures.push_back(
        " *** could not remove " + shown(fs, path) +
        ", the journal of a run cut short, which this run followed to its end: " +
        (whose.empty() ? o.failure + "; it does no harm, and a later run removes it"
                       : whose + "; it does no harm: ask that user to remove it"));
  }
  return true;
}

}  // namespace dendro
