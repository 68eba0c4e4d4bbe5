// Loading a .8bf file: its property list is read without running the plug-in,
// then the library is loaded and the named entry point looked up.
#pragma once

#include <string>

#include "Pipl.h"
#include "sdk/FilterRecord.h"

class PluginModule {
public:
  ~PluginModule();
  // False with a message that says why the file is not a usable filter plug-in.
  bool Load(const std::string& path, std::string& error);
  void Unload();
  PluginEntryProc Entry() const { return entry_; }
  const PiplInfo& Pipl() const { return pipl_; }
  const std::string& EntryName() const { return entryName_; }

private:
  void* module_ = nullptr;
  PluginEntryProc entry_ = nullptr;
  PiplInfo pipl_;
  std::string entryName_;
};
