#include "GuardedMemory.h"

#include <cstring>
#include <utility>

GuardedBlock::GuardedBlock(std::size_t size) : size_(size) {
  data_ = AllocateGuarded(size, &base_);
  if (data_ != nullptr)
    std::memset(data_, 0, size);
  else
    size_ = 0;
}

GuardedBlock::~GuardedBlock() {
  Release();
}

GuardedBlock::GuardedBlock(GuardedBlock&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)), data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

GuardedBlock& GuardedBlock::operator=(GuardedBlock&& other) noexcept {
  if (this != &other) {
    Release();
    base_ = std::exchange(other.base_, nullptr);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void GuardedBlock::Release() {
  if (base_ != nullptr) ReleaseGuarded(base_);
  base_ = nullptr;
  data_ = nullptr;
  size_ = 0;
}
