// The plug-in's exported entry point and the selector table behind it.
#pragma once

#include "plugin/PluginGlobals.h"

#if defined(_WIN32)
#define TINTARA_EXPORT __declspec(dllexport)
#else
#define TINTARA_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TINTARA_EXPORT void ENTRYPOINT(int16 selector, void* paramBlock, intptr_t* data,
                                          int16* result) noexcept;

// The library's module instance handle, kept by DllMain; null in the native build.
extern void* moduleInstance;

// Text ID of the About box; its caption is the string that follows it.
constexpr int kAboutTextId = 16000;

// Shows the About box owned by the host window of the About record.
void ShowAbout(const AboutRecord* about, void* instance, int textId);
