#include "PeModule.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "StackCall.h"
#include "ThreadBlock.h"
#include "Trace.h"

namespace {

constexpr int kExportDirectory = 0, kImportDirectory = 1, kRelocationDirectory = 5,
              kTlsDirectory = 9;
constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint32_t kDllProcessDetach = 0, kDllProcessAttach = 1;
constexpr uint32_t kPage = 4096;

} // namespace

PeModule::~PeModule() {
  Unload();
}

std::string PeModule::CString(uint32_t rva) const {
  std::string text;
  while (rva < size_ && base_[rva] != 0 && text.size() < 512)
    text += char(base_[rva++]);
  return text;
}

bool PeModule::Map(const std::string& path, const ImportResolver& resolve, std::string& error) {
  Unload();
  path_ = path;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open";
    return false;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  std::string reason;
  if (!file_.Parse(std::move(bytes), reason)) {
    error = path + ": " + reason;
    return false;
  }
  if (!file_.Is32() || file_.Machine() != kMachineI386) {
    error = path + ": not a 32-bit x86 library (this host runs 32-bit plug-ins)";
    return false;
  }
  size_ = (file_.SizeOfImage() + kPage - 1) & ~(kPage - 1);
  if (size_ == 0 || file_.SizeOfHeaders() > size_ || file_.SizeOfHeaders() > file_.Bytes().size()) {
    error = path + ": image size out of range";
    return false;
  }
  // Wherever the system puts it, as Windows places a library with relocations
  // (address space layout randomisation); a file without them only at its
  // preferred address.
  const bool movable = file_.DirectoryAddress(kRelocationDirectory) != 0;
  void* want = movable ? nullptr : reinterpret_cast<void*>(uintptr_t(file_.ImageBase()));
  void* mapped = mmap(want, size_, PROT_READ | PROT_WRITE | PROT_EXEC,
                      MAP_PRIVATE | MAP_ANONYMOUS | (movable ? 0 : MAP_FIXED_NOREPLACE), -1, 0);
  if (mapped == MAP_FAILED) {
    error = path + ": cannot reserve memory for the image";
    return false;
  }
  base_ = static_cast<uint8_t*>(mapped);
  std::memcpy(base_, file_.Bytes().data(), file_.SizeOfHeaders());
  for (const PeSection& s : file_.Sections()) {
    uint32_t stored = s.rawSize < s.virtualSize || s.virtualSize == 0 ? s.rawSize : s.virtualSize;
    if (!InImage(s.virtualAddress, std::max(stored, s.virtualSize))) {
      error = path + ": a section lies outside the image";
      Unload();
      return false;
    }
    std::memcpy(base_ + s.virtualAddress, file_.Bytes().data() + s.rawOffset, stored);
  }
  if (!Relocate(error) || !BindImports(resolve, error)) {
    error = path + ": " + error;
    Unload();
    return false;
  }
  HostTrace().Line("loaded %s at 0x%08x (preferred 0x%08x) size=0x%x", path.c_str(), Base(),
                   file_.ImageBase(), size_);
  return true;
}

bool PeModule::Relocate(std::string& error) {
  const uint32_t delta = Delta();
  if (delta == 0) return true;
  uint32_t at = file_.DirectoryAddress(kRelocationDirectory);
  const uint32_t end = at + file_.DirectorySize(kRelocationDirectory);
  if (at == 0 || !InImage(at, end - at)) {
    error = "the image cannot move from its preferred address: it has no relocations";
    return false;
  }
  while (at + 8 <= end) {
    const uint32_t page = U32(at), blockSize = U32(at + 4);
    if (blockSize < 8 || blockSize > end - at) {
      error = "malformed base relocation block";
      return false;
    }
    for (uint32_t entry = at + 8; entry + 2 <= at + blockSize; entry += 2) {
      const uint16_t value = uint16_t(base_[entry] | (base_[entry + 1] << 8));
      const uint32_t type = value >> 12, target = page + (value & 0xFFF);
      if (type == 0) continue; // padding
      if (type != 3 || !InImage(target, 4)) {
        error = "unsupported base relocation type " + std::to_string(type);
        return false;
      }
      U32(target) += delta;
    }
    at += blockSize;
  }
  return true;
}

bool PeModule::BindImports(const ImportResolver& resolve, std::string& error) {
  uint32_t at = file_.DirectoryAddress(kImportDirectory);
  if (at == 0) return true;
  for (;; at += 20) {
    if (!InImage(at, 20)) {
      error = "import directory outside the image";
      return false;
    }
    const uint32_t lookup = U32(at), nameRva = U32(at + 12), thunks = U32(at + 16);
    if (nameRva == 0 && thunks == 0) return true;
    const std::string dll = CString(nameRva);
    for (uint32_t i = 0;; ++i) {
      const uint32_t slot = thunks + 4 * i, hintSlot = (lookup ? lookup : thunks) + 4 * i;
      if (!InImage(slot, 4) || !InImage(hintSlot, 4)) {
        error = "import table of " + dll + " outside the image";
        return false;
      }
      const uint32_t hint = U32(hintSlot);
      if (hint == 0) break;
      std::string name;
      uint16_t ordinal = 0;
      if (hint & 0x80000000u) {
        ordinal = uint16_t(hint);
      } else {
        name = CString(hint + 2);
      }
      U32(slot) = resolve(dll, name, ordinal);
    }
  }
}

bool PeModule::SetUpTls(std::string& error) {
  const uint32_t at = file_.DirectoryAddress(kTlsDirectory);
  if (at == 0) return true;
  if (!InImage(at, 24)) {
    error = "TLS directory outside the image";
    return false;
  }
  // The directory holds addresses (already relocated), not relative ones.
  const uint32_t start = U32(at), end = U32(at + 4), index = U32(at + 8), zeroFill = U32(at + 16);
  if (end < start || !Contains(start) || (end != start && !Contains(end - 1)) || !Contains(index)) {
    error = "TLS directory points outside the image";
    return false;
  }
  const uint32_t size = end - start + zeroFill;
  tlsBlock_ = std::calloc(size ? size : 1, 1);
  std::memcpy(tlsBlock_, reinterpret_cast<void*>(uintptr_t(start)), end - start);
  tlsPointers_[0] = uint32_t(reinterpret_cast<uintptr_t>(tlsBlock_));
  *reinterpret_cast<uint32_t*>(uintptr_t(index)) = 0;
  TebField(kTebTlsPointer) = uint32_t(reinterpret_cast<uintptr_t>(tlsPointers_));
  return true;
}

void PeModule::RunTlsCallbacks(uint32_t reason) {
  const uint32_t at = file_.DirectoryAddress(kTlsDirectory);
  if (at == 0 || !InImage(at, 24)) return;
  uint32_t list = U32(at + 12);
  while (list != 0 && Contains(list) && Contains(list + 3)) {
    const uint32_t callback = *reinterpret_cast<uint32_t*>(uintptr_t(list));
    if (callback == 0 || !Contains(callback)) break;
    const uint32_t args[3] = {Base(), reason, 0};
    CallAtStackOffset(reinterpret_cast<void*>(uintptr_t(callback)), LoaderStackOffset(), 3, args);
    list += 4;
  }
}

bool PeModule::Attach(std::string& error) {
  if (!SetUpTls(error)) return false;
  RunTlsCallbacks(kDllProcessAttach);
  attached_ = true;
  if (file_.EntryPoint() == 0) return true;
  const uint32_t args[3] = {Base(), kDllProcessAttach, 0};
  const uint32_t ok = CallAtStackOffset(base_ + file_.EntryPoint(), LoaderStackOffset(), 3, args);
  if (ok == 0) {
    error = path_ + ": DllMain refused to attach";
    return false;
  }
  return true;
}

void PeModule::Unload() {
  if (attached_) {
    attached_ = false;
    if (file_.EntryPoint() != 0) {
      const uint32_t args[3] = {Base(), kDllProcessDetach, 0};
      CallAtStackOffset(base_ + file_.EntryPoint(), LoaderStackOffset(), 3, args);
    }
    RunTlsCallbacks(kDllProcessDetach);
  }
  if (base_ != nullptr) munmap(base_, size_);
  base_ = nullptr;
  size_ = 0;
  std::free(tlsBlock_);
  tlsBlock_ = nullptr;
}

void* PeModule::Export(const std::string& name) const {
  const uint32_t at = file_.DirectoryAddress(kExportDirectory);
  if (at == 0 || !InImage(at, 40)) return nullptr;
  auto u32 = [this](uint32_t rva) { return *reinterpret_cast<const uint32_t*>(base_ + rva); };
  const uint32_t functions = u32(at + 28), names = u32(at + 32), ordinals = u32(at + 36);
  const uint32_t functionCount = u32(at + 20), nameCount = u32(at + 24);
  for (uint32_t i = 0; i < nameCount; ++i) {
    if (!InImage(names + 4 * i, 4) || !InImage(ordinals + 2 * i, 2)) return nullptr;
    if (CString(u32(names + 4 * i)) != name) continue;
    const uint16_t index = *reinterpret_cast<const uint16_t*>(base_ + ordinals + 2 * i);
    if (index >= functionCount || !InImage(functions + 4 * index, 4)) return nullptr;
    const uint32_t rva = u32(functions + 4 * index);
    return InImage(rva, 1) ? base_ + rva : nullptr;
  }
  return nullptr;
}
