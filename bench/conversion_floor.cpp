// The floor the whole conversion is measured against: reading the bytes of the legacy
// files (from the page cache) and writing as many bytes as the conversion wrote, plainly,
// through buffered writes into one file that is then closed without fsync, as the
// converter closes its files. Also counts the legacy records (from the tables' headers).
//
//   conversion_floor LEGACY_DIR OUTPUT_BYTES SCRATCH_DIR
//
// Prints one line of key=value pairs for bench/conversion_bench.sh:
//   legacy_bytes= legacy_records= read_s= write_s= floor_s= floor_cpu_s=

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool EndsWithIgnoringCase(const std::string& name, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (name.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    const char a = name[name.size() - n + i];
    const char b = suffix[i];
    if ((a | 0x20) != (b | 0x20)) return false;
  }
  return true;
}

std::vector<std::string> PlainFiles(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) return names;
  while (dirent* entry = readdir(d)) {
    if (entry->d_name[0] == '.') continue;
    names.push_back(dir + "/" + entry->d_name);
  }
  closedir(d);
  return names;
}

constexpr size_t kChunk = 1 << 20;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: conversion_floor LEGACY_DIR OUTPUT_BYTES SCRATCH_DIR\n");
    return 2;
  }
  const std::string legacy = argv[1];
  const uint64_t output_bytes = std::strtoull(argv[2], nullptr, 10);
  const std::string scratch = std::string(argv[3]) + "/floor.bin";
  std::vector<char> buffer(kChunk, 'x');

  // Record counts from the headers of the .DB files (32-bit count at offset 6).
  uint64_t records = 0;
  const std::vector<std::string> files = PlainFiles(legacy);
  for (const std::string& path : files) {
    if (!EndsWithIgnoringCase(path, ".db")) continue;
    const int fd = open(path.c_str(), O_RDONLY);
    unsigned char header[10] = {};
    if (fd >= 0 && pread(fd, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header)) {
      records += header[6] | header[7] << 8 | header[8] << 16 | static_cast<uint32_t>(header[9]) << 24;
    }
    if (fd >= 0) close(fd);
  }

  const double cpu_start = CpuSeconds();
  const Clock::time_point read_start = Clock::now();
  uint64_t legacy_bytes = 0;
  for (const std::string& path : files) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) continue;
    ssize_t n;
    while ((n = read(fd, buffer.data(), buffer.size())) > 0) legacy_bytes += static_cast<uint64_t>(n);
    close(fd);
  }
  const double read_s = Seconds(read_start);

  const Clock::time_point write_start = Clock::now();
  const int out = open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) {
    std::perror(scratch.c_str());
    return 1;
  }
  for (uint64_t left = output_bytes; left > 0;) {
    const size_t n = left < kChunk ? static_cast<size_t>(left) : kChunk;
    if (write(out, buffer.data(), n) != static_cast<ssize_t>(n)) {
      std::perror(scratch.c_str());
      return 1;
    }
    left -= n;
  }
  close(out);
  const double write_s = Seconds(write_start);
  const double cpu_s = CpuSeconds() - cpu_start;
  unlink(scratch.c_str());

  std::printf("legacy_bytes=%llu legacy_records=%llu read_s=%.3f write_s=%.3f floor_s=%.3f floor_cpu_s=%.3f\n",
              static_cast<unsigned long long>(legacy_bytes), static_cast<unsigned long long>(records), read_s,
              write_s, read_s + write_s, cpu_s);
  return 0;
}
