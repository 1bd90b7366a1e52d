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
      : fs_(fs), journal_(journal), group_(group), versions_(versions) {
    for (const Placement& v : versions_) {
      moves_.push_back(
          {std::string(own_name(v.id)), fs_.exists(v.id), v.none, v.none ? 0 : fs_.size(v.temp)});
    }
  }

  Placed run() {
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
  std::string aside(const Placement& v) const { return aside_name(v.id, fs_.process_id()); }

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
      if (const Outcome o = fs_.rename(v.id, aside(v)); !o.ok()) undo(v.name, o.failure);
      set_aside_.push_back(&v);
    }
  }
  void take_names() {
    for (const Placement& v : versions_) {
      if (v.none) continue;
      if (const Outcome o = fs_.rename(v.temp, v.id); !o.ok()) undo(v.name, o.failure);
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
      if (v.none) remove_temporary(v);
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
    if (!placed_.unfinished) journal_.end(group_);
  }

  void remove_temporary(const Placement& v) {
    if (const Outcome o = fs_.remove(v.temp); !o.ok()) {
      note(temporary_left(shown(fs_, v.temp), o.failure));
    }
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
    for (const Placement& v : versions_) remove_temporary(v);
    throw_stop(not_in_place(name, why, {}));
  }
  // Puts every earlier file back and removes every new one, then throws what the folder
  // holds.
  [[noreturn]] void undo(const std::string& name, const std::string& why) {
    std::vector<std::string> left;
    for (const Placement* v : placed_names_) {
      if (moves_[static_cast<std::size_t>(v - versions_.data())].earlier) continue;
      if (const Outcome o = fs_.remove(v->id); !o.ok()) {
        left.push_back(v->name + " (a new file: " + o.failure + ")");
      }
    }
    for (const Placement* v : set_aside_) {
      if (const Outcome o = fs_.rename(aside(*v), v->id); !o.ok()) {
        left.push_back(v->name + " (left as " + shown(fs_, aside(*v)) + ": " + o.failure + ")");
      }
    }
    for (const Placement& v : versions_) remove_temporary(v);
    flush_folder_or_note();
    if (!left.empty()) placed_.unfinished = true;
    if (!placed_.unfinished) journal_.end(group_);
    throw_stop(not_in_place(name, why, left));
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

std::string temporary_left(const std::string& temp, const std::string& failure) {
  return " *** could not remove the temporary file " + temp + ": " + failure +
         "; the next run of these files removes it";
}

PlacingFailed::PlacingFailed(const std::string& message, bool journal_unfinished)
    : Stop(message, kFailureStatus), unfinished(journal_unfinished) {}

Placed place_one(FileSystem& fs, const Placement& v) {
  const bool earlier = fs.exists(v.id);
  Placed placed;
  const auto failed = [&](const std::string& why) {
    std::string why_left;
    if (const Outcome o = fs.remove(v.temp); !o.ok()) {
      why_left = temporary_left(shown(fs, v.temp), o.failure);
    }
    throw PlacingFailed("*** could not put the new " + v.name + " in place: " + why +
                            (earlier ? "; the earlier file is kept as it was" : "") +
                            (why_left.empty() ? "" : "\n" + why_left),
                        !why_left.empty());
  };
  if (v.none) {
    if (const Outcome o = fs.remove(v.temp); !o.ok()) {
      placed.notes.push_back(temporary_left(shown(fs, v.temp), o.failure));
      placed.unfinished = true;
    }
    if (!earlier) return placed;
    if (const Outcome o = fs.remove(v.id); !o.ok()) failed(o.failure);
    placed.taken_away.push_back(v.name);
  } else {
    if (const Outcome o = fs.flush(v.temp); !o.ok()) failed(o.failure);
    if (const Outcome o = fs.rename(v.temp, v.id); !o.ok()) failed(o.failure);
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
