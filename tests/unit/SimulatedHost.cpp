#include "SimulatedHost.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "plugin/Entry.h"

SimulatedHost* SimulatedHost::current = nullptr;

namespace {

// A host handle: a heap word that points to heap data.
Handle HostNew(int32 size) {
  SimulatedHost* h = SimulatedHost::current;
  h->newCalls++;
  if (h->newCalls == h->throwAtNewCall) throw std::bad_alloc();
  if (h->failNewAfter == 0) return nullptr;
  if (h->failNewAfter > 0) h->failNewAfter--;
  auto handle = static_cast<Handle>(std::malloc(sizeof(char*)));
  if (h->nullDataFromCall > 0 && h->newCalls >= h->nullDataFromCall) {
    *handle = nullptr;
  } else {
    // Exactly the size asked for, so that a sanitizer sees any access past it, and
    // deliberately not zeroed: the host's newProc promises nothing about contents.
    *handle = static_cast<char*>(std::malloc(size > 0 ? size_t(size) : 1));
    std::memset(*handle, 0xA5, size > 0 ? size_t(size) : 1);
  }
  h->liveHandles++;
  h->hostHandles[handle] = size;
  return handle;
}

void HostDispose(Handle handle) {
  SimulatedHost* h = SimulatedHost::current;
  h->disposeCalls++;
  if (handle == nullptr) return;
  h->hostHandles.erase(handle);
  std::free(*handle);
  std::free(handle);
  h->liveHandles--;
}

int32 HostGetSize(Handle handle) {
  SimulatedHost* h = SimulatedHost::current;
  h->getSizeCalls++;
  const auto it = h->hostHandles.find(handle);
  const int32 size = h->reportSizes && it != h->hostHandles.end() ? it->second : 0;
  return h->sizeAnswer ? h->sizeAnswer(handle, size) : size;
}
OSErr HostSetSize(Handle, int32) {
  return memFullErr;
}

Ptr HostLock(Handle handle, Boolean) {
  SimulatedHost* h = SimulatedHost::current;
  h->lockCalls++;
  if (h->failLock) return nullptr;
  return *handle;
}

void HostUnlock(Handle) {
  SimulatedHost::current->unlockCalls++;
}

Boolean HostAbort() {
  SimulatedHost* h = SimulatedHost::current;
  h->abortCalls++;
  return h->abortAtCall > 0 && h->abortCalls >= h->abortAtCall;
}

void HostProgress(int32 done, int32 total) {
  SimulatedHost::current->progress.emplace_back(done, total);
}

OSErr HostAdvanceState() {
  return SimulatedHost::current->onAdvanceState();
}

} // namespace

SimulatedHost::SimulatedHost() {
  current = this;
  procs.handleProcsVersion = 1;
  procs.numHandleProcs = 8;
  procs.newProc = HostNew;
  procs.disposeProc = HostDispose;
  procs.getSizeProc = HostGetSize;
  procs.setSizeProc = HostSetSize;
  procs.lockProc = HostLock;
  procs.unlockProc = HostUnlock;
  record.handleProcs = &procs;
  record.abortProc = HostAbort;
  record.progressProc = HostProgress;
  record.planes = 3;
  record.imageMode = plugInModeRGBColor;
  record.hostSig = kPhotoshopSignature;
}

SimulatedHost::~SimulatedHost() {
  for (const auto& [handle, size] : hostHandles) {
    std::free(*handle);
    std::free(handle);
  }
  if (current == this) current = nullptr;
}

void SimulatedHost::UseAdvanceState(std::function<OSErr()> proc) {
  onAdvanceState = std::move(proc);
  record.advanceState = onAdvanceState ? HostAdvanceState : nullptr;
}

void SimulatedHost::UseHandleProcs(bool use) {
  record.handleProcs = use ? &procs : nullptr;
}

int16 SimulatedHost::Call(int16 selector) {
  current = this;
  ENTRYPOINT(selector, &record, &dataSlot, &result);
  return result;
}
