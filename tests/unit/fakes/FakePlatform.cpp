// Native stand-ins for the Windows edges: the About box and the dialog record
// their calls, so that tests can see whether and how they were reached.
#include "FakePlatform.h"

#include "plugin/Entry.h"
#include "ui/ParameterDialog.h"

FakePlatform fakePlatform;

void ShowAbout(const AboutRecord* about, void* instance, int textId) {
  fakePlatform.aboutCalls++;
  fakePlatform.lastAbout = about;
  fakePlatform.lastAboutInstance = instance;
  fakePlatform.lastAboutTextId = textId;
  if (fakePlatform.about) fakePlatform.about();
}

bool RunParameterDialog(PluginGlobals* globals) {
  fakePlatform.dialogCalls++;
  if (fakePlatform.dialog) return fakePlatform.dialog(globals);
  return true;
}
