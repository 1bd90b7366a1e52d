// A file system in memory for the tests of the file owner. It behaves as the disk does
// (folders, a missing file, two spellings of one file, a linked folder, a device, another
// user's file in a folder that lets only its owner move it) and can fail each operation the
// disk can: a write (a full disk), opening a file for writing, a read, a move, a removal, a
// resize, a flush of a file or of a folder, a listing, a folder's lock. Several runs share one
// folder (`another_run`), each holding folders as the lock files would, and a run can be
// killed between any two of its steps (`kill_after`): the step throws Killed, every later
// one does nothing, and the folders it held are free again, as the kernel would make them.
//
// It keeps what the disk holds beside what the runs see, as a disk that writes in its own
// order does: a file's characters reach the disk when the file is flushed, and a change of
// the names in a folder (a file created, moved or removed) when the folder is flushed.
// What the tests `put` is on the disk at once. The power can go with a run's death, or
// between runs (`lose_power`); the folders are then what the disk held, as `Cut` says.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "series/files/file_system.h"
#include "series/files/folder_lock.h"

namespace dendro::test {

// Thrown by the step at which a run is killed; no handler of the programs catches it.
struct Killed {};

// What a run's death does to what the disk holds.
enum class Cut {
  process,  // only the process dies: the folders keep all they were told
  // The power goes: each file holds its characters of its last flush (or what the test put,
  // or none), but every change of names reached the disk.
  characters,
  // As `characters`, and the changes of names since their folder's last flush are lost,
  // but for the last change of all: the disk wrote the last and none of those before.
  names_but_last,
  // As `characters`, and every change of names since its folder's last flush is lost.
  names,
};

class MemoryFiles final : public FileSystem {
 public:
  // The operations that can be made to fail, each for the paths named.
  enum class Op { create, read, rename, remove, resize, flush, flush_folder, list, hold };

  MemoryFiles() : world_(std::make_shared<World>()), pid_(++world_->last_pid) {}
  // Another run in the same folders.
  std::unique_ptr<MemoryFiles> another_run() const {
    return std::unique_ptr<MemoryFiles>(new MemoryFiles(world_));
  }
  // A run with this run's process id: a later one (after a reboot), or one in another pid
  // namespace (a container) alive beside it.
  std::unique_ptr<MemoryFiles> same_pid_run() const {
    auto run = another_run();
    run->pid_ = pid_;
    return run;
  }

  bool full = false;  // every write to a file opened from now on fails
  // Fails `op` on `path` (the source of a move; "" is the working folder), for every run,
  // once it has held `after` more times: `times` times, or from then on (-1).
  // `meanwhile`, when given, runs as the operation first fails, as another process acting
  // just then would.
  void fail(Op op, const std::string& path, int after = 0, int times = -1,
            std::function<void()> meanwhile = {}) {
    world_->failing[{op, where(path)}] = {after, times};
    world_->meanwhile = std::move(meanwhile);
  }
  void heal() { world_->failing.clear(); }
  void add_folder(const std::string& path) { world_->folders.insert(where(path)); }
  void add_device(const std::string& path) { world_->devices.insert(where(path)); }
  // `path` belongs to another user, in a folder that lets only a file's owner move it.
  void add_foreign(const std::string& path) { world_->foreign.insert(where(path)); }
  // `path` cannot be read by this user.
  void add_unreadable(const std::string& path) { world_->unreadable.insert(where(path)); }
  // The lock file of `folder` removed and made anew by hand: a run that held the folder
  // holds it no more.
  void replace_lock_file(const std::string& folder) {
    const std::filesystem::path lock = world_->on_disk(where(folder)) / kLockFileName;
    std::filesystem::remove(lock);
    std::ofstream{lock};
  }
  std::uint64_t files_open_at_most = 1 << 20;  // the run's limit of open files
  // `path` is a folder that links to the folder `target`.
  void link_folder(const std::string& path, const std::string& target) {
    world_->links[where(path)] = where(target);
  }
  // The run dies at its `steps`-th step from now (0: the next one), and the power with it
  // as `cut` says: a step is any change of the folder or a flush, and the step that dies
  // does nothing. -1: the run lives on.
  void kill_after(int steps, Cut cut = Cut::process) {
    steps_left_ = steps;
    cut_ = cut;
  }
  // The power goes now, while no run takes a step: every folder becomes what the disk
  // holds (see Cut). Runs alive keep their locks.
  void lose_power(Cut cut) {
    std::lock_guard<std::mutex> guard(world_->mutex);
    lose_power_held(cut);
  }
  bool killed() const { return dead_; }
  // How many steps the run has taken.
  int steps() const { return steps_; }

  // A file on the disk, name and characters.
  void put(const std::string& path, const std::string& text) {
    const std::string at = where(path);
    const auto content = std::make_shared<std::stringbuf>(text);
    world_->files[at] = content;
    world_->inodes[content.get()] = ++world_->last_inode;
    world_->flushed[content] = text;
    for (NameChange& change : world_->unflushed) change.before.erase(at);
  }
  std::string text(const std::string& path) const { return world_->files.at(where(path))->str(); }
  // Every file, as its path from the working folder, in name order.
  std::vector<std::string> all() const {
    std::vector<std::string> names;
    for (const auto& [path, b] : world_->files) {
      names.push_back(std::filesystem::path(path).lexically_relative(kHere).string());
    }
    return names;
  }

  Opened open(const std::string& path, Open how) override {
    const std::string at = where(path);
    const bool writing = how == Open::create || how == Open::create_shared || how == Open::rewrite;
    if (writing && !step()) return {nullptr, "killed"};
    if (writing && (fails(Op::create, at) || !is_folder(parent(at)))) {
      return {nullptr, "Permission denied"};
    }
    if (!writing && world_->unreadable.count(at) != 0) return {nullptr, "Permission denied"};
    if (how == Open::create || how == Open::create_shared) {
      if (node(path) != Node::none) return {nullptr, "File exists"};
      changed({{at, nullptr}});
      world_->files[at] = std::make_shared<std::stringbuf>();
      world_->inodes[world_->files[at].get()] = ++world_->last_inode;
    }
    if (world_->files.count(at) == 0) return {nullptr, "No such file or directory"};
    if (how == Open::rewrite) world_->files[at]->str("");  // its name stays as it is
    auto s = std::make_unique<Stream>(writing ? world_->files[at]
                                              : std::make_shared<std::stringbuf>(text(path)));
    if ((full && writing) || (!writing && fails(Op::read, at))) s->setstate(std::ios::badbit);
    return {std::move(s), ""};
  }
  Status status(const std::string& path) const override {
    const std::string at = where(path);
    const auto it = world_->files.find(at);
    if (it != world_->files.end()) {
      return {
          Node::file, {0, world_->inodes.at(it->second.get()), it->second->str().size(), 0}, ""};
    }
    if (at == kHere || world_->folders.count(at) != 0) return {Node::folder, {}, ""};
    return {world_->devices.count(at) != 0 ? Node::other : Node::none, {}, ""};
  }
  Status target_status(const std::string& path) const override {
    Status s = status(path);
    if (world_->unreadable.count(where(path)) != 0) s.failure = "Permission denied";
    return s;
  }
  Outcome rename(const std::string& from, const std::string& to, Replace how) override {
    const std::string a = where(from), b = where(to);
    if (!step()) return {"killed"};
    if (world_->files.count(a) == 0) return {"No such file or directory"};
    if (fails(Op::rename, a) || !is_folder(parent(b))) return {"Input/output error"};
    if (a == b) return {};
    const auto it = world_->files.find(b);
    if (how == Replace::no && it != world_->files.end()) return {"File exists"};
    const auto moved = world_->files[a];
    changed({{a, moved}, {b, it == world_->files.end() ? nullptr : it->second}});
    world_->files.erase(a);
    world_->files[b] = moved;
    return {};
  }
  Outcome remove(const std::string& path) override {
    if (!step()) return {"killed"};
    if (fails(Op::remove, where(path))) return {"Operation not permitted"};
    const auto it = world_->files.find(where(path));
    if (it == world_->files.end()) return {};
    changed({{it->first, it->second}});
    world_->files.erase(it);
    return {};
  }
  Outcome resize(const std::string& path, std::uintmax_t size) override {
    if (!step()) return {"killed"};
    const auto it = world_->files.find(where(path));
    if (it == world_->files.end() || fails(Op::resize, it->first)) return {"Input/output error"};
    it->second->str(it->second->str().substr(0, size));
    return {};
  }
  Outcome flush(const std::string& path) override {
    // Runs side by side with other flushes: the step and what it flushes are one.
    std::lock_guard<std::mutex> guard(world_->mutex);
    if (!step_held()) return {"killed"};
    const auto it = world_->files.find(where(path));
    if (it == world_->files.end() || fails(Op::flush, it->first)) return {"Input/output error"};
    world_->flushed[it->second] = it->second->str();
    return {};
  }
  Outcome flush_folder(const std::string& folder) override {
    if (!step()) return {"killed"};
    if (!is_folder(folder) || fails(Op::flush_folder, where(folder))) {
      return {"Input/output error"};
    }
    // The folder's names as they are now are on the disk.
    const std::string at = where(folder);
    for (NameChange& change : world_->unflushed) {
      std::erase_if(change.before, [&](const auto& name) { return parent(name.first) == at; });
    }
    std::erase_if(world_->unflushed, [](const NameChange& c) { return c.before.empty(); });
    return {};
  }
  Listing files_in(const std::string& folder) const override {
    if (fails(Op::list, where(folder))) return {{}, "Permission denied"};
    Listing listing;
    for (const auto& [path, b] : world_->files) {
      if (parent(path) == where(folder)) {
        listing.names.push_back(std::filesystem::path(path).filename());
      }
    }
    return listing;
  }
  std::string why_not_movable(const std::string& path) const override {
    if (world_->foreign.count(where(path)) == 0) return "";
    return "it belongs to user other, and its folder lets only a file's owner move or remove it";
  }
  std::string owner_of(const std::string& path) const override {
    return world_->foreign.count(where(path)) != 0 ? "other" : "";
  }
  std::uint64_t open_file_limit() const override { return files_open_at_most; }
  std::string identity(const std::string& path) const override { return where(path); }
  std::string target(const std::string& path) const override { return where(path); }
  int process_id() const override { return pid_; }
  FolderHold hold(const std::string& folder) override {
    std::lock_guard<std::mutex> guard(world_->mutex);
    const std::string at = where(folder);
    FolderHold hold;
    if (fails(Op::hold, at)) {
      hold.failure = "cannot lock " + folder + "/.dendro.lock: No locks available";
      return hold;
    }
    if (!is_folder(folder)) {
      hold.failure = "there is no folder " + folder;
      return hold;
    }
    return locks().hold(world_->on_disk(at).string());
  }
  Outcome give_back(const std::string& folder) override {
    std::lock_guard<std::mutex> guard(world_->mutex);
    return locks().give_back(world_->on_disk(where(folder)).string());
  }
  Outcome still_held(const std::string& folder) override {
    std::lock_guard<std::mutex> guard(world_->mutex);
    return locks().still_held(world_->on_disk(where(folder)).string());
  }
  ~MemoryFiles() override { end_of_process(); }

 private:
  using Content = std::shared_ptr<std::stringbuf>;
  // A change of names not yet on the disk: what each name it changed held before (nothing
  // when no file had the name). A name leaves it when its folder is flushed.
  struct NameChange {
    int number = 0;  // the how-manieth change of names of the world
    std::map<std::string, Content> before;
  };
  struct World {
    std::map<std::string, std::shared_ptr<std::stringbuf>> files;
    std::set<std::string> folders, devices, foreign, unreadable;
    std::map<std::string, std::string> links;
    // Each with the times it holds first, then the times it fails (-1: from then on).
    std::map<std::pair<Op, std::string>, std::pair<int, int>> failing;
    std::function<void()> meanwhile;
    std::map<const std::stringbuf*, std::uint64_t> inodes;  // of each file's characters
    std::uint64_t last_inode = 0;

    // What the disk holds: each file's characters, and the changes of names not on it yet,
    // oldest first.
    std::map<Content, std::string> flushed;
    std::vector<NameChange> unflushed;
    int name_changes = 0;
    int last_pid = 100;
    std::mutex mutex;  // file flushes run side by side

    // The folder of the disk that stands for the folder `at`, where runs hold it by its lock
    // file; made when first asked for, in the test's own temporary folder, which goes with
    // the test.
    std::filesystem::path on_disk(const std::string& at) {
      if (disk.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "held_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no folder for locks");
        disk = pattern;
      }
      const std::filesystem::path folder = disk / std::filesystem::path(at).relative_path();
      std::filesystem::create_directories(folder);
      return folder;
    }
    std::filesystem::path disk;
  };
  // A stream that keeps its file's characters alive.
  struct Stream : FileStream {
    explicit Stream(std::shared_ptr<std::stringbuf> b) : FileStream(b.get()), buffer(b) {}
    std::string write_failure() const override { return bad() ? "No space left on device" : ""; }
    std::shared_ptr<std::stringbuf> buffer;
  };
  static constexpr const char* kHere = "/work";

  explicit MemoryFiles(std::shared_ptr<World> world) : world_(std::move(world)) {
    pid_ = ++world_->last_pid;
  }

  // Counts a step; false once the run is dead. The step that kills it throws.
  bool step() {
    std::lock_guard<std::mutex> guard(world_->mutex);
    return step_held();
  }
  // The same, with the world's mutex held.
  bool step_held() {
    if (dead_) return false;
    ++steps_;
    if (steps_left_ < 0 || steps_left_-- > 0) return true;
    dead_ = true;
    let_go_held();
    lose_power_held(cut_);
    throw Killed{};
  }
  void changed(std::map<std::string, Content> before) {
    world_->unflushed.push_back({++world_->name_changes, std::move(before)});
  }
  // The changes of names the cut loses are undone, newest first (a name that the change
  // kept shares with an earlier one lost ends as it was before that one); then every file
  // holds its characters on the disk, as a new object, so that no stream of a dead run
  // reaches it.
  void lose_power_held(Cut cut) {
    if (cut == Cut::process) return;
    World& w = *world_;
    for (auto change = w.unflushed.rbegin(); change != w.unflushed.rend(); ++change) {
      if (cut == Cut::characters) break;
      if (cut == Cut::names_but_last && change->number == w.name_changes) continue;
      for (const auto& [name, content] : change->before) {
        if (content) {
          w.files[name] = content;
        } else {
          w.files.erase(name);
        }
      }
    }
    w.unflushed.clear();
    std::map<Content, std::string> flushed;
    std::map<Content, Content> revived;
    for (auto& [name, content] : w.files) {
      Content& fresh = revived[content];
      if (!fresh) {
        const auto disk = w.flushed.find(content);
        fresh = std::make_shared<std::stringbuf>(disk == w.flushed.end() ? "" : disk->second);
        flushed[fresh] = fresh->str();
        w.inodes[fresh.get()] = w.inodes[content.get()];  // a file keeps its inode
      }
      content = fresh;
    }
    w.flushed = std::move(flushed);
  }
  void end_of_process() {
    std::lock_guard<std::mutex> guard(world_->mutex);
    let_go_held();
  }
  // The folders this run holds are free again.
  void let_go_held() { locks_.reset(); }
  // This run's locks, which show the folders of the disk as the folders they stand for.
  FolderLocks& locks() {
    if (!locks_) {
      const std::string disk = world_->on_disk(kHere).parent_path().string();
      locks_ = std::make_unique<FolderLocks>([disk](const std::string& path) {
        return path.starts_with(disk) ? path.substr(disk.size()) : path;
      });
    }
    return *locks_;
  }

  // The full path of `path` with "." and ".." resolved and linked folders followed.
  std::string where(const std::string& path) const {
    std::filesystem::path full = (std::filesystem::path(kHere) / path).lexically_normal();
    for (const auto& [link, target] : world_->links) {
      const std::string text = full.string();
      if (text == link || text.starts_with(link + "/")) full = target + text.substr(link.size());
    }
    std::string text = full.string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
  }
  static std::string parent(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
  }
  bool is_folder(const std::string& path) const { return node(path) == Node::folder; }
  bool fails(Op op, const std::string& at) const {
    const auto it = world_->failing.find({op, at});
    if (it == world_->failing.end()) return false;
    auto& [holds, fails] = it->second;
    if (holds > 0) return --holds, false;
    if (fails == 0) return false;
    if (fails > 0) --fails;
    if (const std::function<void()> act = std::exchange(world_->meanwhile, {})) act();
    return true;
  }

  std::shared_ptr<World> world_;
  int pid_ = 0;
  std::unique_ptr<FolderLocks> locks_;  // the folders this run holds
  int steps_left_ = -1;                 // steps before death; -1 lives on
  Cut cut_ = Cut::process;
  int steps_ = 0;
  bool dead_ = false;
};

}  // namespace dendro::test
