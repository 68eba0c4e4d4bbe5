// The host's handle services: handles are pointers to a master pointer that holds
// the data address, as plug-ins expect. Every live handle is counted so that a run
// can report what a plug-in left behind.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "HostProfile.h"
#include "sdk/HandleProcs.h"

class HandleSuite {
public:
  enum class Owner { Plugin, Host };

  // The procedure table (version 1, eight procedures) bound to this process's suite.
  static HandleProcs* Procs();
  static HandleSuite& Instance();

  Handle New(int32 size, Owner owner);
  // False when the handle is not live (a double or foreign dispose).
  bool Dispose(Handle handle);
  bool IsLive(Handle handle) const;
  int32 Size(Handle handle) const;
  bool SetSize(Handle handle, int32 size);
  Ptr Lock(Handle handle);
  void Unlock(Handle handle);

  // With guarded set, each new handle's data ends exactly at an inaccessible page, so
  // that a plug-in reading or writing past a handle's size faults at once.
  void SetGuarded(bool guarded) { guarded_ = guarded; }
  // How the procedures behave for the profile being played (the class's own
  // methods, which the host uses, are not affected).
  void SetQuirks(const HandleQuirks& quirks) { quirks_ = quirks; }
  const HandleQuirks& Quirks() const { return quirks_; }
  // The host takes over a handle the plug-in handed it (data slot, parameters,
  // or one the plug-in disposed of through a suite that ignores disposal): it is
  // no longer the plug-in's to free.
  void MarkHostOwned(Handle handle);
  // Once the handle is disposed of, its address is given to no new handle before
  // Reset, so that a value the host kept of it names no live handle: what it would
  // be in the other process that saved it. Without this the allocator may hand the
  // same address to the next new handle, and the kept value would name that one.
  void KeepAddressAfterDispose(Handle handle);

  std::size_t LiveCount() const { return blocks_.size(); }
  // Live handles that the plug-in allocated, leaving out the given ones (the data
  // slot and parameters, which the host keeps for the plug-in by design).
  std::vector<Handle> PluginHandlesExcept(const std::vector<Handle>& kept) const;
  int BadDisposes() const { return badDisposes_; }
  // Disposes of every live handle (end of a job).
  void Reset();

private:
  struct Block {
    char* data = nullptr;      // the master pointer; its address is the handle
    void* guardBase = nullptr; // the guarded allocation holding data, when guarded
    int32 size = 0;
    int32 locks = 0;
    Owner owner = Owner::Plugin;
    uint32_t id = 0;
    bool keepAddress = false;
  };
  // Data of size bytes for block (zero-filled), or null; FreeData gives it back.
  bool AllocateData(Block& block, int32 size);
  static void FreeData(Block& block);

  std::map<Handle, std::unique_ptr<Block>> blocks_;
  std::vector<std::unique_ptr<Block>> retired_; // disposed, addresses held until Reset
  bool guarded_ = false;
  uint32_t nextId_ = 1;
  int badDisposes_ = 0;
  HandleQuirks quirks_;
};
