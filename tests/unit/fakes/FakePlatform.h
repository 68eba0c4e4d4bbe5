#pragma once

#include <functional>

#include "plugin/PluginGlobals.h"

struct FakePlatform {
  int aboutCalls = 0;
  const AboutRecord* lastAbout = nullptr;
  void* lastAboutInstance = nullptr;
  int lastAboutTextId = 0;
  std::function<void()> about; // what the About box does besides recording the call

  int dialogCalls = 0;
  std::function<bool(PluginGlobals*)> dialog; // what the dialog does; null: OK at once

  void Reset() { *this = FakePlatform{}; }
};

extern FakePlatform fakePlatform;
