#include "scripting/ScriptParameters.h"

// Scripting has not been built yet: no descriptor suite is used.
bool DescriptorSuitesAvailable(const PIDescriptorParameters* /*descriptorParameters*/) {
  return false;
}
int16 ReadScriptParameters(PluginGlobals* /*globals*/) {
  return noErr;
}
int16 WriteScriptParameters(PluginGlobals* /*globals*/) {
  return noErr;
}
