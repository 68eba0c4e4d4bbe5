// A strict host for fuzzing: a 6.0-era FilterRecord allocated at exactly its size,
// and input and output buffers allocated at exactly the size of the geometry that
// the plug-in asked for, so that any access outside them is caught.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <set>

#include "sdk/FilterRecord.h"

class FuzzHost {
public:
  explicit FuzzHost(FuzzedDataProvider& fuzz);
  ~FuzzHost();
  FuzzHost(const FuzzHost&) = delete;
  FuzzHost& operator=(const FuzzHost&) = delete;

  int16 Call(int16 selector);
  // Delivers buffers for the rectangles and planes that the record asks for, as a
  // host does before Continue and inside advanceState; nonzero when it refuses.
  OSErr Serve();
  bool RectanglesEmpty() const;

  FilterRecord* record;
  static FuzzHost* current;

  int advanceCalls = 0;
  int failAdvanceAt = -1;
  int abortCalls = 0;
  int abortAt = -1;

private:
  HandleProcs procs_{};
  std::set<Handle> handles_;
  intptr_t slot_ = 0;
  int16 result_ = 0;
  unsigned char* in_ = nullptr;
  unsigned char* out_ = nullptr;
  int extraRowBytes_ = 0;
  long servedBytes_ = 0;

  static Handle New(int32 size);
  static void Dispose(Handle h);
  static int32 GetSize(Handle);
  static OSErr SetSize(Handle, int32);
  static Ptr Lock(Handle h, Boolean);
  static void Unlock(Handle);
  static Boolean Abort();
  static void Progress(int32, int32);
  static OSErr Advance();
  static OSErr Display(const PSPixelMap*, const VRect*, int32, int32, void*);
  void FreeBuffers();
};
