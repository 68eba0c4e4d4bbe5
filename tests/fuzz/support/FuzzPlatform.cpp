#include "support/FuzzPlatform.h"

#include "plugin/Entry.h"
#include "ui/ParameterDialog.h"

std::function<bool(PluginGlobals*)> fuzzDialog;

void ShowAbout(const AboutRecord*, void*, int) {}

bool RunParameterDialog(PluginGlobals* globals) {
  return fuzzDialog ? fuzzDialog(globals) : true;
}
