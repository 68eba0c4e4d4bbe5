// A simulated host's descriptor services for native tests: read and write
// suites of version 0 (18 and 16 procedures) over in-memory descriptors whose
// handles come from the simulated host's handle suite.
#pragma once

#include <map>
#include <vector>

#include "SimulatedHost.h"

struct DescriptorItem {
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  double number = 0.0;       // unit float
  DescriptorUnitID unit = 0; // unit float
  DescriptorTypeID enumType = 0;
  DescriptorEnumID enumValue = 0;
  Boolean flag = 0;
};

DescriptorItem UnitFloatItem(DescriptorKeyID key, DescriptorUnitID unit, double value);
DescriptorItem EnumItem(DescriptorKeyID key, DescriptorTypeID type, DescriptorEnumID value);
DescriptorItem BooleanItem(DescriptorKeyID key, Boolean value);

class DescriptorHost {
public:
  explicit DescriptorHost(SimulatedHost& host);
  ~DescriptorHost();
  DescriptorHost(const DescriptorHost&) = delete;
  DescriptorHost& operator=(const DescriptorHost&) = delete;

  // A descriptor handle holding the items, made with the host's handle suite.
  Handle NewDescriptor(std::vector<DescriptorItem> items);
  // The items of a descriptor handle that this host made, or null.
  const std::vector<DescriptorItem>* Contents(Handle descriptor) const;

  SimulatedHost& host;
  PIDescriptorParameters parameters{};
  ReadDescriptorProcs readProcs{};
  WriteDescriptorProcs writeProcs{};

  // Behaviour.
  bool openReadFails = false;  // openReadDescriptorProc gives no token
  bool openWriteFails = false; // openWriteDescriptorProc gives no token
  bool closeWriteGivesNothing = false;
  bool pinValues = true;     // the pinned getter brings values into its range
  bool leaveFloats = false;  // the pinned getter does not touch the value
  OSErr stickyError = noErr; // reported by closeReadDescriptorProc besides -1715

  // What happened.
  std::vector<DescriptorKeyID> expectedKeys; // the key list given to the last open
  Handle openedDescriptor = nullptr;
  int openReads = 0, closeReads = 0, getterCalls = 0;
  int openWrites = 0, closeWrites = 0;
  std::vector<std::pair<double, double>> pinRanges;
  std::vector<Handle> disposed; // descriptors the plug-in disposed of, in order
  int closeWritesAtLastDispose = -1;

  std::map<Handle, std::vector<DescriptorItem>> descriptors;
  static DescriptorHost* current;
};
