#include "HandleSuite.h"

#include <cstdlib>
#include <cstring>

#include "GuardedMemory.h"
#include "Trace.h"

namespace {

// New handle memory is filled with this byte rather than zero: hosts promise no
// content, and a plug-in that relies on zeroed memory shows its fault here.
constexpr uint8_t kFreshHandleFill = 0xA5;

Handle NewProc(int32 size) {
  Handle handle = HandleSuite::Instance().New(size, HandleSuite::Owner::Plugin);
  HostTrace().Line("newHandle size=%d -> %s", size, handle ? "handle" : "null");
  return handle;
}

void DisposeProc(Handle handle) {
  HandleSuite& suite = HandleSuite::Instance();
  if (suite.Quirks().sizeUnknown && suite.IsLive(handle)) {
    // This host's disposal of its own handles does nothing.
    suite.MarkHostOwned(handle);
    HostTrace().Line("disposeHandle -> ignored");
    return;
  }
  bool ok = HandleSuite::Instance().Dispose(handle);
  HostTrace().Line("disposeHandle%s", ok ? "" : " -> not a live handle");
}

int32 GetSizeProc(Handle handle) {
  HandleSuite& suite = HandleSuite::Instance();
  const int32 size = suite.Quirks().sizeUnknown ? 0 : suite.Size(handle);
  HostTrace().Line("getHandleSize%s -> %d", suite.IsLive(handle) ? "" : " of no live handle", size);
  return size;
}

OSErr SetSizeProc(Handle handle, int32 size) {
  if (HandleSuite::Instance().Quirks().sizeUnknown && HandleSuite::Instance().IsLive(handle)) {
    HostTrace().Line("setHandleSize size=%d -> 0 (ignored)", size);
    return noErr;
  }
  bool ok = HandleSuite::Instance().SetSize(handle, size);
  HostTrace().Line("setHandleSize size=%d -> %d", size, ok ? 0 : memFullErr);
  return ok ? noErr : memFullErr;
}

Ptr LockProc(Handle handle, Boolean moveHigh) {
  Ptr data = HandleSuite::Instance().Lock(handle);
  HostTrace().Line("lockHandle moveHigh=%d -> %s", moveHigh, data ? "data" : "null");
  return data;
}

void UnlockProc(Handle handle) {
  HandleSuite::Instance().Unlock(handle);
  HostTrace().Line("unlockHandle");
}

void RecoverSpaceProc(int32 size) {
  HostTrace().Line("recoverSpace size=%d", size);
}

void DisposeRegularHandleProc(Handle handle) {
  // Only the operating system's handles are disposed of here; ours are not.
  bool ours = HandleSuite::Instance().IsLive(handle);
  HostTrace().Line("disposeRegularHandle%s", ours ? " -> a host handle, ignored" : "");
}

HandleProcs procs = {kCurrentHandleProcsVersion,
                     kCurrentHandleProcsCount,
                     NewProc,
                     DisposeProc,
                     GetSizeProc,
                     SetSizeProc,
                     LockProc,
                     UnlockProc,
                     RecoverSpaceProc,
                     DisposeRegularHandleProc};

} // namespace

HandleProcs* HandleSuite::Procs() {
  return &procs;
}

HandleSuite& HandleSuite::Instance() {
  static HandleSuite suite;
  return suite;
}

bool HandleSuite::AllocateData(Block& block, int32 size) {
  block.guardBase = nullptr;
  if (!guarded_) {
    block.data = static_cast<char*>(std::malloc(std::size_t(size) + 1));
    return block.data != nullptr;
  }
  // The guarded allocation places a multiple of four bytes against the guard page;
  // the data sits at the end of it, so that its last byte is the page's neighbour.
  const std::size_t rounded = (std::size_t(size) + 3) & ~std::size_t(3);
  uint8_t* memory = AllocateGuarded(rounded, &block.guardBase);
  if (memory == nullptr) return false;
  block.data = reinterpret_cast<char*>(memory + (rounded - std::size_t(size)));
  return true;
}

void HandleSuite::FreeData(Block& block) {
  if (block.guardBase != nullptr) {
    ReleaseGuarded(block.guardBase);
  } else {
    std::free(block.data);
  }
  block.data = nullptr;
  block.guardBase = nullptr;
}

Handle HandleSuite::New(int32 size, Owner owner) {
  if (size < 0) return nullptr;
  auto block = std::make_unique<Block>();
  if (!AllocateData(*block, size)) return nullptr;
  std::memset(block->data, kFreshHandleFill, std::size_t(size));
  if (size == 0 && quirks_.zeroSizeLocksNull) {
    // An allocation of nothing gives a null master pointer, which locks to null.
    FreeData(*block);
  }
  block->size = size;
  block->owner = owner;
  block->id = nextId_++;
  Handle handle = &block->data;
  blocks_[handle] = std::move(block);
  return handle;
}

bool HandleSuite::Dispose(Handle handle) {
  auto it = blocks_.find(handle);
  if (it == blocks_.end()) {
    ++badDisposes_;
    return false;
  }
  FreeData(*it->second);
  if (it->second->keepAddress) retired_.push_back(std::move(it->second));
  blocks_.erase(it);
  return true;
}

bool HandleSuite::IsLive(Handle handle) const {
  return blocks_.count(handle) != 0;
}

int32 HandleSuite::Size(Handle handle) const {
  auto it = blocks_.find(handle);
  return it == blocks_.end() ? 0 : it->second->size;
}

bool HandleSuite::SetSize(Handle handle, int32 size) {
  auto it = blocks_.find(handle);
  if (it == blocks_.end() || size < 0) return false;
  Block& block = *it->second;
  Block moved;
  if (!AllocateData(moved, size)) return false;
  const int32 kept = size < block.size ? size : block.size;
  std::memcpy(moved.data, block.data, std::size_t(kept));
  if (size > kept) std::memset(moved.data + kept, kFreshHandleFill, std::size_t(size - kept));
  FreeData(block);
  // The master pointer stays where it is (it is the handle); only its data moves.
  block.data = moved.data;
  block.guardBase = moved.guardBase;
  block.size = size;
  return true;
}

Ptr HandleSuite::Lock(Handle handle) {
  auto it = blocks_.find(handle);
  if (it == blocks_.end()) return nullptr;
  ++it->second->locks;
  return it->second->data;
}

void HandleSuite::Unlock(Handle handle) {
  auto it = blocks_.find(handle);
  if (it != blocks_.end() && it->second->locks > 0) --it->second->locks;
}

std::vector<Handle> HandleSuite::PluginHandlesExcept(const std::vector<Handle>& kept) const {
  std::vector<Handle> left;
  for (const auto& [handle, block] : blocks_) {
    if (block->owner != Owner::Plugin) continue;
    bool isKept = false;
    for (Handle k : kept)
      isKept = isKept || k == handle;
    if (!isKept) left.push_back(handle);
  }
  return left;
}

void HandleSuite::KeepAddressAfterDispose(Handle handle) {
  auto it = blocks_.find(handle);
  if (it != blocks_.end()) it->second->keepAddress = true;
}

void HandleSuite::MarkHostOwned(Handle handle) {
  auto it = blocks_.find(handle);
  if (it != blocks_.end()) it->second->owner = Owner::Host;
}

void HandleSuite::Reset() {
  for (auto& [handle, block] : blocks_)
    FreeData(*block);
  blocks_.clear();
  retired_.clear();
  badDisposes_ = 0;
  quirks_ = HandleQuirks{};
}
