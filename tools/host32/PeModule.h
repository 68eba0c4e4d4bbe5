// A 32-bit Windows library loaded into this process by hand, as the Windows
// loader would: sections mapped at their relative addresses, base relocations
// applied, imports bound by a resolver, thread-local storage set up, the TLS
// callbacks and the entry point (DllMain) run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "PeFile.h"

// The address that an import of dll!name (or of the ordinal when name is empty)
// is bound to; never 0 (a resolver binds what it cannot serve to a trap).
using ImportResolver =
    std::function<uint32_t(const std::string& dll, const std::string& name, uint16_t ordinal)>;

class PeModule {
public:
  PeModule() = default;
  PeModule(const PeModule&) = delete;
  PeModule& operator=(const PeModule&) = delete;
  ~PeModule();

  // Maps and binds the file; nothing of it runs yet. False with a reason.
  bool Map(const std::string& path, const ImportResolver& resolve, std::string& error);
  // Runs the TLS callbacks and DllMain for process attach; false when DllMain says so.
  bool Attach(std::string& error);
  // Process detach (when attached), then unmaps.
  void Unload();

  // The address of an exported function, null when the file does not export it.
  void* Export(const std::string& name) const;
  const PeFile& File() const { return file_; }
  const std::string& Path() const { return path_; }
  uint32_t Base() const { return uint32_t(reinterpret_cast<uintptr_t>(base_)); }
  uint32_t Delta() const { return Base() - file_.ImageBase(); }
  bool Contains(uint32_t address) const { return address - Base() < size_; }

private:
  bool Relocate(std::string& error);
  bool BindImports(const ImportResolver& resolve, std::string& error);
  bool SetUpTls(std::string& error);
  void RunTlsCallbacks(uint32_t reason);
  // Checked access to the mapped image by relative address.
  bool InImage(uint32_t rva, uint32_t size) const { return rva <= size_ && size <= size_ - rva; }
  uint32_t& U32(uint32_t rva) { return *reinterpret_cast<uint32_t*>(base_ + rva); }
  std::string CString(uint32_t rva) const;

  PeFile file_;
  std::string path_;
  uint8_t* base_ = nullptr;
  uint32_t size_ = 0;
  bool attached_ = false;
  void* tlsBlock_ = nullptr;
  uint32_t tlsPointers_[1] = {};
};
