// A strict host for fuzzing: a 6.0-era FilterRecord allocated at exactly its size,
// handles and input and output buffers allocated at exactly the size asked for, so
// that any access outside them is caught. Its handle suite may or may not tell
// sizes, may hand out a handle without data, and may keep a parameter record of
// any size. A request that reaches past the filter rectangle, where that lies in
// the image, ends the run as a finding.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <map>

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
  std::map<Handle, int32> handles_; // live handles and their sizes
  bool sizesKnown_ = false;         // getSizeProc answers the size; otherwise 0
  int newCalls_ = 0;
  int nullDataAt_ = -1; // this newProc call (from 1) gives a handle without data
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
  // Ends the run as a finding when a request reaches past the host's filter
  // rectangle while that rectangle lies in the image.
  void RefuseOverhang(const Rect& request, Fixed rate) const;

  Rect hostFilterRect_{}; // the filter rectangle as the host handed it over
};
