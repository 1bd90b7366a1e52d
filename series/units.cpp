#include "series/units.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "series/layout.h"
#include "series/stop.h"

namespace dendro {

Units::~Units() { close_all(); }

Units::File* Units::open(int unit, const std::string& name, std::ios::openmode mode) {
  if (is_open(unit)) close(unit);
  auto f = std::make_unique<File>();
  f->name = name;
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

void Units::close(int unit, bool remove) {
  auto it = files_.find(unit);
  if (it == files_.end()) return;
  std::unique_ptr<File> f = std::move(it->second);
  files_.erase(it);
  bool failed = false;
  if (f->output) {
    f->stream.flush();
    failed = f->stream.fail();
  }
  f->stream.close();
  if (remove) {
    std::remove(f->name.c_str());
  } else if (failed) {
    throw Stop("*** could not write file " + f->name + " (disk full?)", kFailureStatus);
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
  if (!is_open(unit)) return;
  const std::string name = file(unit).name;
  close(unit);
  std::error_code ec;
  std::filesystem::resize_file(name, static_cast<std::uintmax_t>(std::max<std::streamoff>(size, 0)),
                               ec);
}

void Units::close_all() noexcept {
  for (auto& [unit, f] : files_) {
    if (f->stream.is_open()) f->stream.close();
  }
  files_.clear();
}

}  // namespace dendro
