#include "series/units.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "series/layout.h"
#include "series/stop.h"

namespace dendro {
namespace {

// Beside the file it will replace, so that the move over it stays on one file system.
const char* const kStagedSuffix = ".part";

// Flushes and closes the stream; false when a write failed on the way.
bool shut(std::fstream& stream, bool output) {
  bool whole = true;
  if (output) {
    stream.flush();
    whole = !stream.fail();
  }
  stream.close();
  return whole;
}

}  // namespace

Units::~Units() { close_all(); }

Units::File* Units::open(int unit, const std::string& name, std::ios::openmode mode) {
  if (is_open(unit)) close(unit);
  auto f = std::make_unique<File>();
  f->name = name;
  f->path = name;
  f->output = (mode & std::ios::out) != 0;
  f->stream.open(name, mode);
  if (!f->stream) return nullptr;
  File* opened = f.get();
  files_[unit] = std::move(f);
  return opened;
}

std::ostream& Units::create(int unit, const std::string& name) {
  File* f = open(unit, name, std::ios::out | std::ios::trunc);
  if (f == nullptr) throw Stop("*** cannot create file: " + name, kFailureStatus);
  created_.push_back(name);
  return f->stream;
}

std::ostream& Units::create_staged(int unit, const std::string& name) {
  File* f = open(unit, name + kStagedSuffix, std::ios::out | std::ios::trunc);
  if (f == nullptr) throw Stop("*** cannot create file: " + name, kFailureStatus);
  f->name = name;
  f->staged = true;
  return f->stream;
}

bool Units::open_append(int unit, const std::string& name) {
  return open(unit, name, std::ios::out | std::ios::app) != nullptr;
}

bool Units::open_old(int unit, const std::string& name) {
  return open(unit, name, std::ios::in | std::ios::binary) != nullptr;
}

bool Units::is_open(int unit) const { return files_.count(unit) != 0; }

Units::File& Units::file(int unit) {
  auto it = files_.find(unit);
  if (it == files_.end()) throw std::logic_error("unit " + std::to_string(unit) + " is not open");
  return *it->second;
}

const std::string& Units::name(int unit) const {
  auto it = files_.find(unit);
  if (it == files_.end()) throw std::logic_error("unit " + std::to_string(unit) + " is not open");
  return it->second->name;
}

std::ostream& Units::out(int unit) { return file(unit).stream; }
std::istream& Units::in(int unit) { return file(unit).stream; }

bool Units::read_record(int unit, std::string& record) {
  if (!std::getline(file(unit).stream, record)) return false;
  record = std::string(chomp(record));
  return true;
}

void Units::write(int unit, std::string_view record) { file(unit).stream << record << '\n'; }

void Units::rewind(int unit) {
  File& f = file(unit);
  f.stream.clear();
  f.stream.seekg(0);
  f.stream.seekp(0);
}

std::unique_ptr<Units::File> Units::take(int unit) {
  auto it = files_.find(unit);
  if (it == files_.end()) return nullptr;
  std::unique_ptr<File> f = std::move(it->second);
  files_.erase(it);
  return f;
}

void Units::keep(const File& f, bool whole) {
  if (f.staged) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(f.path, error);
    if (whole && !error && size > 0) {
      std::filesystem::rename(f.path, f.name, error);
      if (!error) return;
    }
    // Nothing written, or not all of it: the earlier file of the name stays as it was.
    std::remove(f.path.c_str());
    if (whole && !error) return;
  } else if (whole) {
    return;
  }
  throw Stop("*** could not write file " + f.name + (whole ? "" : " (disk full?)"), kFailureStatus);
}

void Units::close(int unit, bool remove) {
  std::unique_ptr<File> f = take(unit);
  if (!f) return;
  const bool whole = shut(f->stream, f->output);
  if (remove) {
    std::remove(f->path.c_str());
  } else {
    keep(*f, whole);
  }
}

std::vector<int> Units::output_units() const {
  std::vector<int> units;
  for (const auto& [unit, f] : files_) {
    if (f->output) units.push_back(unit);
  }
  return units;
}

std::streamoff Units::written(int unit) {
  File& f = file(unit);
  f.stream.flush();
  const std::streamoff at = f.stream.tellp();
  return at < 0 ? 0 : at;
}

void Units::close_cut(int unit, std::streamoff size) {
  std::unique_ptr<File> f = take(unit);
  if (!f) return;
  const bool whole = shut(f->stream, f->output);
  std::error_code error;
  std::filesystem::resize_file(
      f->path, static_cast<std::uintmax_t>(std::max<std::streamoff>(size, 0)), error);
  keep(*f, whole);
}

void Units::close_all() noexcept {
  for (auto& [unit, f] : files_) {
    if (f->stream.is_open()) f->stream.close();
    if (f->staged) std::remove(f->path.c_str());
  }
  files_.clear();
}

}  // namespace dendro
