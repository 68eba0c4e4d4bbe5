// Shared pieces of the engine tests: buffers that end at an inaccessible page, and a
// rig that points a simulated host's record at a parameter record and two buffers.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <ostream>
#include <vector>

#include "SimulatedHost.h"
#include "plugin/PluginGlobals.h"
#include "plugin/TintParameters.h"

// `size` bytes placed so that the byte after the last one lies on a page without
// access: reading or writing one byte too far ends the test run at once.
class GuardedBuffer {
public:
  explicit GuardedBuffer(size_t size) : size_(size) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    mapped_ = (size + page - 1) / page * page + page;
    base_ = static_cast<unsigned char*>(
        mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    mprotect(base_ + mapped_ - page, page, PROT_NONE);
    data_ = base_ + mapped_ - page - size;
  }
  ~GuardedBuffer() { munmap(base_, mapped_); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  unsigned char* data() { return data_; }
  size_t size() const { return size_; }
  std::vector<unsigned char> Bytes() const { return {data_, data_ + size_}; }
  void Fill(unsigned seed) {
    for (size_t i = 0; i < size_; ++i) {
      seed = seed * 1103515245u + 12345u;
      data_[i] = static_cast<unsigned char>(seed >> 16);
    }
  }

private:
  size_t size_;
  size_t mapped_;
  unsigned char* base_;
  unsigned char* data_;
};

// A parameter record owned by the test and reached through the host's record like a
// host-kept one.
struct ParameterRig {
  explicit ParameterRig(FilterRecord& record) {
    std::memset(&params, 0, sizeof params);
    params.stripRows = 1;
    params.zoom = 1;
    params.mode = kDefaultMode;
    pointer = reinterpret_cast<char*>(&params);
    record.parameters = &pointer;
  }
  void Tone(int16 red, int16 green, int16 blue, bool applyRed, bool applyGreen, bool applyBlue) {
    params.toneRed = red;
    params.toneGreen = green;
    params.toneBlue = blue;
    params.applyRed = applyRed;
    params.applyGreen = applyGreen;
    params.applyBlue = applyBlue;
  }
  TintParameters params;
  char* pointer;
};

inline bool operator==(const Rect& a, const Rect& b) {
  return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
}

inline std::ostream& operator<<(std::ostream& os, const Rect& r) {
  return os << "(" << r.top << ", " << r.left << ", " << r.bottom << ", " << r.right << ")";
}
