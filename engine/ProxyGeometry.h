// The reduced, centred and offset source area of the dialog's preview.
#pragma once

#include "plugin/PluginGlobals.h"

// Replaces each coordinate c by (c * num) / den, truncating toward zero.
void ScaleRect(Rect* rect, int16 num, int16 den);

// Fits the source area to previewRect at the record's zoom and offsets, asks the
// host for it through advanceState and leaves the host's answer in the result.
void ComputeProxy(PluginGlobals* globals);

// Whether the last ComputeProxy of this Start call got buffers from the host: false
// before the first one, after a failed advanceState, and on a host without
// advanceState. Only then do the current buffers hold the proxy.
bool ProxyBuffersDelivered();

// Marks the proxy buffers as not delivered; Start calls it before the dialog opens.
void ForgetProxyBuffers();
