#include "series/files/units.h"

#include <istream>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "series/files/stop.h"
#include "series/layout.h"

namespace dendro {

Units::Units(std::unique_ptr<FileSystem> fs, Commit usual_group, Forms forms)
    : files_(std::move(fs), forms), usual_group_(usual_group) {}

Units::~Units() { close_all(); }

std::ostream& Units::create(int unit, const std::string& name, std::optional<Commit> group) {
  if (is_open(unit)) close(unit);
  auto f = std::make_unique<File>();
  f->name = name;
  f->group = group.value_or(usual_group_);
  Begun begun = files_.begin(name, f->group);
  f->path = begun.temp;
  f->output = true;
  f->stream = std::move(begun.stream);
  std::ostream& out = *f->stream;
  units_[unit] = std::move(f);
  return out;
}

namespace {

class MemoryStream final : public FileStream {
 public:
  MemoryStream() : FileStream(&buffer_) {}
  std::string write_failure() const override { return ""; }

 private:
  std::stringbuf buffer_;
};

}  // namespace

std::ostream& Units::create_in_memory(int unit, const std::string& name) {
  if (is_open(unit)) close(unit);
  auto f = std::make_unique<File>();
  f->name = name;
  f->output = true;
  f->in_memory = true;
  f->stream = std::make_unique<MemoryStream>();
  std::ostream& out = *f->stream;
  units_[unit] = std::move(f);
  return out;
}

bool Units::open_old(int unit, const std::string& name) {
  if (is_open(unit)) close(unit);
  auto f = std::make_unique<File>();
  f->name = name;
  f->path = files_.read_path(name);
  // A device or a FIFO is no file to read: opening a FIFO would wait for a writer.
  if (f->path == name && !files_.fs().is_file(name)) return false;
  f->stream = files_.fs().open(f->path, Open::read).stream;
  if (!f->stream) return false;
  files_.mark_read(name);
  units_[unit] = std::move(f);
  return true;
}

bool Units::is_open(int unit) const { return units_.count(unit) != 0; }

Units::File& Units::file(int unit) {
  auto it = units_.find(unit);
  if (it == units_.end()) throw std::logic_error("unit " + std::to_string(unit) + " is not open");
  return *it->second;
}

const std::string& Units::name(int unit) const {
  auto it = units_.find(unit);
  if (it == units_.end()) throw std::logic_error("unit " + std::to_string(unit) + " is not open");
  return it->second->name;
}

std::ostream& Units::out(int unit) { return *file(unit).stream; }
std::istream& Units::in(int unit) { return *file(unit).stream; }

bool Units::read_record(int unit, std::string& record) {
  if (!std::getline(*file(unit).stream, record)) return false;
  record = std::string(chomp(record));
  return true;
}

void Units::write(int unit, std::string_view record) { *file(unit).stream << record << '\n'; }

void Units::rewind(int unit) {
  std::iostream& s = *file(unit).stream;
  s.clear();
  s.seekg(0);
  s.seekp(0);
}

std::unique_ptr<Units::File> Units::take(int unit) {
  auto it = units_.find(unit);
  if (it == units_.end()) return nullptr;
  std::unique_ptr<File> f = std::move(it->second);
  units_.erase(it);
  return f;
}

std::string Units::shut(File& f) {
  std::string failure;
  if (f.output && !f.stream->flush()) {
    failure = f.stream->write_failure();
    if (failure.empty()) failure = "a write failed";
  }
  f.stream.reset();
  return failure;
}

void Units::finish(const File& f, const std::string& failure) {
  if (failure.empty()) {
    files_.complete(f.name);
    return;
  }
  // The version stays incomplete, so that the run's end keeps the earlier file and says so.
  throw Stop("*** could not write file " + f.name + ": " + failure, kFailureStatus);
}

void Units::close(int unit, bool remove) {
  std::unique_ptr<File> f = take(unit);
  if (!f) return;
  const std::string failure = shut(*f);
  if (!f->on_disk()) return;
  if (remove) {
    files_.leave_none(f->name);
  } else {
    finish(*f, failure);
  }
}

void Units::drop(int unit) {
  std::unique_ptr<File> f = take(unit);
  if (!f) return;
  shut(*f);
  if (f->on_disk()) files_.drop(f->name);
}

void Units::close_cut(int unit, std::streamoff size) {
  std::unique_ptr<File> f = take(unit);
  if (!f) return;
  std::string failure = shut(*f);
  if (!f->on_disk()) return;
  if (failure.empty()) {
    failure = files_.fs()
                  .resize(f->path, static_cast<std::uintmax_t>(std::max<std::streamoff>(size, 0)))
                  .failure;
  }
  finish(*f, failure);
}

std::vector<std::string> Units::commit(Commit group) {
  for (int unit : output_units()) {
    if (units_.at(unit)->group == group) close(unit);
  }
  return files_.commit(group);
}

Settled Units::settle(const std::string& kept) {
  for (auto& [unit, f] : units_) shut(*f);
  units_.clear();
  return files_.settle(kept);
}

void Units::close_all() noexcept {
  for (auto& [unit, f] : units_) {
    if (f->on_disk()) files_.drop(f->name);
    f->stream.reset();
  }
  units_.clear();
}

std::vector<int> Units::output_units() const {
  std::vector<int> units;
  for (const auto& [unit, f] : units_) {
    if (f->output) units.push_back(unit);
  }
  return units;
}

std::streamoff Units::written(int unit) {
  std::iostream& s = *file(unit).stream;
  s.flush();
  const std::streamoff at = s.tellp();
  return at < 0 ? 0 : at;
}

}  // namespace dendro
