#include "series/files/placing.h"

#include "series/files/stop.h"
#include "series/parallel.h"
#include "series/text.h"

namespace dendro {
namespace {

// The message of a group that could not be put in place: what failed and why, then what
// the folder holds.
std::string not_in_place(const std::string& name, const std::string& why,
                         const std::vector<std::string>& left) {
  std::string message = "*** could not put the new " + name + " in place: " + why;
  if (left.empty()) return message + "; the earlier files of its kind are kept as they were";
  message +=
      "\n *** nor could every earlier file be put back: the next run of these files puts them "
      "back";
  for (const std::string& name_left : left) message += "\n" + std::string(kNameIndent) + name_left;
  return message;
}

// The steps of one group's placing, each named; a step that fails before the decision
// "done" undoes the steps before it.
class GroupPlacing {
 public:
  GroupPlacing(FileSystem& fs, Journal& journal, int group, const std::vector<Placement>& versions)
      : fs_(fs), journal_(journal), group_(group), versions_(versions) {}

  Placed run() {
    look_at_files();
    flush_new_files();
    record_moves();
    step_aside();
    take_names();
    flush_folder_or_undo();
    decide_done();
    remove_earlier_files();
    return placed_;
  }

 private:
  const std::string& folder() const { return journal_.folder(); }
  std::string aside(const Placement& v) const { return set_aside_name(v.id, fs_.process_id()); }

  // Which file each move acts on: the new version, and the earlier file of its name.
  void look_at_files() {
    for (const Placement& v : versions_) {
      const Status earlier = fs_.status(v.id);
      const Status version = v.none ? Status{} : fs_.status(v.temp);
      for (const Status* s : {&earlier, &version}) {
        if (!s->failure.empty()) give_up(v.name, s->failure);
      }
      moves_.push_back({std::string(own_name(v.id)), earlier.node != Node::none, v.none, version.id,
                        earlier.id.inode});
    }
  }

  // Every new file is on the disk before any moves: side by side, so that the disk writes
  // them in one go rather than one after another.
  void flush_new_files() {
    std::vector<std::string> failed(versions_.size());
    parallel_for(
        static_cast<int>(versions_.size()),
        [&](int k) {
          const Placement& v = versions_[static_cast<std::size_t>(k)];
          if (!v.none) failed[static_cast<std::size_t>(k)] = fs_.flush(v.temp).failure;
        },
        worker_count());
    for (std::size_t k = 0; k < versions_.size(); ++k) {
      if (!failed[k].empty()) give_up(versions_[k].name, failed[k]);
    }
  }
  // The moves and the decision to roll back are on the disk before the first move.
  void record_moves() {
    const Outcome o = journal_.begin_group(group_, moves_);
    if (!o.ok()) give_up(versions_.front().name, o.failure);
  }
  void step_aside() {
    for (std::size_t k = 0; k < versions_.size(); ++k) {
      if (!moves_[k].earlier) continue;
      const Placement& v = versions_[k];
      if (const Outcome o = fs_.rename(v.id, aside(v), Replace::no); !o.ok()) {
        undo(v.name, o.failure);
      }
      set_aside_.push_back(&v);
    }
  }
  void take_names() {
    for (const Placement& v : versions_) {
      if (v.none) continue;
      if (const Outcome o = fs_.rename(v.temp, v.id, Replace::no); !o.ok()) {
        undo(v.name, o.failure);
      }
      placed_names_.push_back(&v);
    }
  }
  void flush_folder_or_undo() {
    const Outcome o = fs_.flush_folder(folder());
    if (!o.ok()) undo(versions_.front().name, o.failure);
  }
  // "done" may be on the disk although its flush failed: the run goes back on it only once
  // "back" stands after it.
  void decide_done() {
    const Outcome o = journal_.done(group_);
    if (o.ok()) return;
    const Outcome back = journal_.back(group_);
    if (!back.ok()) stand(versions_.front().name, o.failure, back.failure);
    undo(versions_.front().name, o.failure);
  }
  // Every new file has its name for good: the earlier ones go. What cannot be done is a
  // note, and the journal stays for the next run to finish.
  void remove_earlier_files() {
    for (const Placement& v : versions_) {
      if (v.none) drop_temporary(v);
    }
    for (std::size_t k = 0; k < versions_.size(); ++k) {
      const Placement& v = versions_[k];
      if (!moves_[k].earlier) continue;
      if (const Outcome o = fs_.remove(aside(v)); !o.ok()) {
        note(" *** could not remove the earlier " + v.name + ", left as " + shown(fs_, aside(v)) +
             ": " + o.failure + "; the next run of these files removes it");
      } else {
        (v.none ? placed_.taken_away : placed_.replaced).push_back(v.name);
      }
    }
    flush_folder_or_note();
    end_group();
  }
  // Nothing of the group is left to do; a journal that cannot say so stays for the next
  // run, which finds nothing to do.
  void end_group() {
    if (placed_.unfinished) return;
    if (const Outcome o = journal_.end(group_); !o.ok()) note(" *** " + o.failure);
  }

  // A temporary file that cannot be removed stays for the next run, in the journal.
  void drop_temporary(const Placement& v) {
    placed_.unfinished |= !remove_temporary(fs_, v.temp, placed_.notes);
  }
  void flush_folder_or_note() {
    if (const Outcome o = fs_.flush_folder(folder()); !o.ok()) {
      note(" *** could not flush the folder " + shown(fs_, folder()) + ": " + o.failure +
           "; the next run of these files flushes it");
    }
  }
  void note(std::string line) {
    placed_.notes.push_back(std::move(line));
    placed_.unfinished = true;
  }
  // Before any move: the new files go, the earlier ones never moved.
  [[noreturn]] void give_up(const std::string& name, const std::string& why) {
    for (const Placement& v : versions_) drop_temporary(v);
    throw_stop(not_in_place(name, why, {}));
  }
  // Puts every earlier file back and removes every new one, then throws what the folder
  // holds.
  [[noreturn]] void undo(const std::string& name, const std::string& why) {
    std::vector<std::string> left;
    for (const Placement* v : placed_names_) {
      if (const Outcome o = remove_new(*v); !o.ok()) {
        left.push_back(v->name + " (a new file: " + o.failure + ")");
      }
    }
    // The new files are gone on the disk before an earlier file takes a name back.
    if (!placed_names_.empty()) flush_folder_or_note();
    for (const Placement* v : set_aside_) {
      if (const Outcome o = fs_.rename(aside(*v), v->id, Replace::no); !o.ok()) {
        left.push_back(v->name + " (left as " + shown(fs_, aside(*v)) + ": " + o.failure + ")");
      }
    }
    for (const Placement& v : versions_) drop_temporary(v);
    flush_folder_or_note();
    if (!left.empty()) placed_.unfinished = true;
    end_group();
    throw_stop(not_in_place(name, why, left));
  }
  // Removes the new version that took its name in `v`, and only that file.
  Outcome remove_new(const Placement& v) {
    const Move& m = moves_[static_cast<std::size_t>(&v - versions_.data())];
    const Status now = fs_.status(v.id);
    if (now.node == Node::none) return {};
    if (now.id != m.version) return {"a file written since has its name"};
    return fs_.remove(v.id);
  }
  // The journal holds "done" and could not take "back" after it: every file stays where it
  // is, for the next run to settle by the decision the disk holds.
  [[noreturn]] void stand(const std::string& name, const std::string& why,
                          const std::string& back_failure) {
    std::string message = "*** could not put the new " + name + " in place: " + why +
                          "\n *** nor could the journal take back its decision that the group " +
                          "had taken its names (" + back_failure +
                          "): the files stay as they are, and the next run of these files puts "
                          "them in place or back, as the journal on the disk decides:";
    for (const Placement* v : placed_names_) {
      message += "\n" + std::string(kNameIndent) + v->name + " (the new file)";
    }
    for (const Placement* v : set_aside_) {
      message += "\n" + std::string(kNameIndent) + v->name + " (the earlier file, as " +
                 shown(fs_, aside(*v)) + ")";
    }
    placed_.unfinished = true;
    throw_stop(message);
  }
  [[noreturn]] void throw_stop(std::string message) {
    for (const std::string& line : placed_.notes) message += "\n" + line;
    throw PlacingFailed(message, placed_.unfinished);
  }

  FileSystem& fs_;
  Journal& journal_;
  const int group_;
  const std::vector<Placement>& versions_;
  std::vector<Move> moves_;
  std::vector<const Placement*> set_aside_, placed_names_;
  Placed placed_;
};

}  // namespace

std::vector<std::string> name_list(const std::string& head, const std::vector<std::string>& names) {
  std::vector<std::string> lines;
  if (names.empty()) return lines;
  lines.push_back(head);
  for (const std::string& name : names) lines.push_back(kNameIndent + name);
  return lines;
}

void add_name_list(std::vector<std::string>& lines, const std::string& head,
                   const std::vector<std::string>& names) {
  const std::vector<std::string> more = name_list(head, names);
  lines.insert(lines.end(), more.begin(), more.end());
}

bool remove_temporary(FileSystem& fs, const std::string& temp, std::vector<std::string>& failures,
                      std::vector<std::string>* removed) {
  const Outcome o = fs.remove(temp);
  if (!o.ok()) {
    failures.push_back(" *** could not remove the temporary file " + shown(fs, temp) + ": " +
                       o.failure + "; the next run in its folder removes it");
  } else if (removed != nullptr) {
    removed->push_back(shown(fs, temp));
  }
  return o.ok();
}

PlacingFailed::PlacingFailed(const std::string& message, bool journal_unfinished)
    : Stop(message, kFailureStatus), unfinished(journal_unfinished) {}

Placed place_one(FileSystem& fs, const Placement& v) {
  const bool earlier = fs.exists(v.id);
  Placed placed;
  const auto failed = [&](const std::string& why) {
    std::vector<std::string> left;
    const bool removed = remove_temporary(fs, v.temp, left);
    throw PlacingFailed("*** could not put the new " + v.name + " in place: " + why +
                            (earlier ? "; the earlier file is kept as it was" : "") +
                            (removed ? "" : "\n" + left.front()),
                        !removed);
  };
  if (v.none) {
    if (!remove_temporary(fs, v.temp, placed.notes)) placed.unfinished = true;
    if (!earlier) return placed;
    if (const Outcome o = fs.remove(v.id); !o.ok()) failed(o.failure);
    placed.taken_away.push_back(v.name);
  } else {
    if (const Outcome o = fs.flush(v.temp); !o.ok()) failed(o.failure);
    if (const Outcome o = fs.rename(v.temp, v.id, Replace::yes); !o.ok()) failed(o.failure);
    if (earlier) placed.replaced.push_back(v.name);
  }
  if (const Outcome o = fs.flush_folder(folder_of(v.id)); !o.ok()) {
    placed.notes.push_back(" *** " + v.name + " has its name, but its folder could not be " +
                           "flushed to the disk: " + o.failure);
  }
  return placed;
}

Placed place_group(FileSystem& fs, Journal& journal, int group,
                   const std::vector<Placement>& versions) {
  return GroupPlacing(fs, journal, group, versions).run();
}

}  // namespace dendro
