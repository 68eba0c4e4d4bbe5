#include "HandleSuite.h"

#include <cstdlib>
#include <cstring>

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
  if (HandleSuite::Instance().Quirks().sizeUnknown) return 0;
  return HandleSuite::Instance().Size(handle);
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

Handle HandleSuite::New(int32 size, Owner owner) {
  if (size < 0) return nullptr;
  auto block = std::make_unique<Block>();
  block->data = static_cast<char*>(std::malloc(std::size_t(size) + 1));
  if (block->data == nullptr) return nullptr;
  std::memset(block->data, kFreshHandleFill, std::size_t(size));
  if (size == 0 && quirks_.zeroSizeLocksNull) {
    // An allocation of nothing gives a null master pointer, which locks to null.
    std::free(block->data);
    block->data = nullptr;
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
  std::free(it->second->data);
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
  auto* data = static_cast<char*>(std::realloc(block.data, std::size_t(size) + 1));
  if (data == nullptr) return false;
  if (size > block.size) {
    std::memset(data + block.size, kFreshHandleFill, std::size_t(size - block.size));
  }
  block.data = data;
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

void HandleSuite::MarkHostOwned(Handle handle) {
  auto it = blocks_.find(handle);
  if (it != blocks_.end()) it->second->owner = Owner::Host;
}

void HandleSuite::Reset() {
  for (auto& [handle, block] : blocks_)
    std::free(block->data);
  blocks_.clear();
  badDisposes_ = 0;
  quirks_ = HandleQuirks{};
}
