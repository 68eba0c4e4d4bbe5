#include "ui/PreviewState.h"

PreviewState previewState = {};
