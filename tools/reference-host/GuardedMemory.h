// Memory for the records and buffers that the host hands to a plug-in, placed so
// that its last byte is followed by an inaccessible page where the system allows
// it: a plug-in that reads or writes past what it was given faults at once.
#pragma once

#include <cstddef>
#include <cstdint>

class GuardedBlock {
public:
  GuardedBlock() = default;
  explicit GuardedBlock(std::size_t size); // zero-filled
  ~GuardedBlock();
  GuardedBlock(GuardedBlock&& other) noexcept;
  GuardedBlock& operator=(GuardedBlock&& other) noexcept;
  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;

  uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

private:
  void Release();
  void* base_ = nullptr;
  uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Platform halves: reserve size bytes ending at a guard page (base is what to free).
uint8_t* AllocateGuarded(std::size_t size, void** base);
void ReleaseGuarded(void* base);
