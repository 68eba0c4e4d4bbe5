#include "ui/ParameterDialog.h"

// The dialog has not been built yet: it reports that it could not be created.
bool RunParameterDialog(PluginGlobals* /*globals*/) {
  return false;
}
