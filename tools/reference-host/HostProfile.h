// Host profiles: the reference host plays one of the editors that users run
// filters in. A profile is the data that sets up the record, the services and the
// selector sequence the way that editor does, plus a handful of switches for the
// few behaviours that differ; the host loop itself is shared. "strict" (the
// default) is the reference host as it always was: a careful host of the 6.0 era.
#pragma once

#include <string>
#include <vector>

#include "sdk/FilterRecord.h"

// What a repeated run (the editor's "apply again") finds in the parameters handle
// and the data slot.
enum class RepeatKeeps {
  Handles,           // the very handles of the last run, the library kept loaded
  ByteCopies,        // new handles holding byte copies of the parameters and data-slot blocks
  SavedAtParameters, // the parameters' bytes as they were right after Parameters, in a
                     // new handle, and the data slot's raw value from an earlier process
  Nothing,           // parameters null and an empty data slot, every run
};

// How an image with transparency reaches the plug-in.
enum class RgbaAs {
  Planes4,      // four planes, filterCase "editable transparency"
  Planes4Case0, // four planes, filterCase left 0
  FloatingMask, // three planes as a floating selection, with a mask made from alpha
};

struct HandleQuirks {
  bool zeroSizeLocksNull = false; // a handle of size 0 locks to null
  bool sizeUnknown = false;       // get-size answers 0; set-size and dispose do nothing
};

struct HostProfile {
  std::string name;
  OSType hostSig = FourCC("tHst");
  bool currentRecord = false;       // the full current record, not the 6.0-era one
  bool maxSpaceInKilobytes = false; // maxSpace counts kilobytes
  Boolean supportsPadding = 1;
  int16 defaultPadding = plugInWantsEdgeReplication;
  char samplingSupport = 2; // 0 none, 1 integral rates, 2 any rate
  Fixed defaultRate = 65536;
  bool rateIgnored = false;      // buffers are always served at full resolution
  bool zeroColumnBytes = false;  // inColumnBytes and outColumnBytes stay 0
  bool freshBuffers = false;     // new buffers at every request, pixels outside the image
                                 // left as whatever the new memory held
  bool clipRectsInPlace = false; // requested rectangles clipped to the image in the record
  // A request that starts inside the image and reaches past its right or bottom
  // edge gets no padding: the host's read of its surface runs past the end and fails.
  bool overhangFails = false;
  bool ignoreLoPlane = false;           // the first planes of the pixel, whatever inLoPlane says
  bool coloursAsBytes = false;          // RGBColor fields hold 0..255
  bool filterRectShort = false;         // filterRect one pixel short on the right and bottom
  bool workerThread = false;            // the plug-in runs on a worker thread; the window's
                                        // thread keeps pumping messages
  bool noWindow = false;                // platformData's hwnd is 0
  bool noDescriptorSuites = false;      // descriptorParameters is null
  bool descriptorProcsNull = false;     // descriptorParameters present, its procedures null
  bool noErrorString = false;           // errorString is null
  bool emptyRecordAtParameters = false; // no size, planes, rectangles or mode at Parameters
  bool colourServicesInsufficient = false;
  HandleQuirks handles;
  bool loopUntilRightZero = false; // Continue until every rectangle's right edge is 0
  bool finishAfterSuccess = true;
  bool finishAfterContinueError = true;
  bool flushAfterFinish = false;  // the host's own advanceState after Finish
  bool parametersOnRepeat = true; // Parameters is called on repeated runs too
  int16 firstPlayInfo = -1;       // -1: the --play option
  int16 repeatPlayInfo = -1;
  RepeatKeeps repeat = RepeatKeeps::Handles;
  bool reloadEachRun = false; // the library is unloaded and loaded again for every run
  RgbaAs rgba = RgbaAs::Planes4;
};

// The named profile, or null. Names: strict, pdn, pspi, pspihost, irfanview,
// photoplus, modern, modern-reload.
const HostProfile* FindProfile(const std::string& name);
const HostProfile& StrictProfile();
std::vector<std::string> ProfileNames();

// The filter rectangle that the host hands over for the one it means.
Rect ProfileFilterRect(const HostProfile& profile, Rect wanted);
// maxSpace as the profile counts a budget of this many bytes.
int32 ProfileMaxSpace(const HostProfile& profile, int32 bytes);
// Integral-only hosts round the rate (0 counts as 1); hosts that ignore it serve 1.
Fixed ProfileServedRate(const HostProfile& profile, Fixed requested);
// Whether the Continue loop goes on for these rectangles.
bool ProfileLoopContinues(const HostProfile& profile, const FilterRecord& record);
// The playInfo for the first (dialog) run or a repeat; fallback is the --play option.
int16 ProfilePlayInfo(const HostProfile& profile, bool repeat, int16 fallback);
// Fills the record's fields that the profile decides (signature, budget, padding,
// sampling, colours, transparency, descriptor and error-string presence) after the
// host has filled it as the strict host does. `imagePlanes` is the document's.
void ApplyProfile(const HostProfile& profile, FilterRecord& record, int imagePlanes,
                  int32 maxSpaceBytes);
// Fields after the 6.0 set in the current record: big-document data and the 64-bit
// space fields (the big-document block is the caller's, kept alive for the run).
void FillCurrentFields(FilterRecord& record, BigDocumentStruct& big, int32 maxSpaceBytes);
