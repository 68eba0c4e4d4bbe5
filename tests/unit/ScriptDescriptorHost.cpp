#include "ScriptDescriptorHost.h"

#include <algorithm>

DescriptorHost* DescriptorHost::current = nullptr;

DescriptorItem UnitFloatItem(DescriptorKeyID key, DescriptorUnitID unit, double value) {
  DescriptorItem item;
  item.key = key;
  item.type = typeUnitFloat;
  item.unit = unit;
  item.number = value;
  return item;
}
DescriptorItem EnumItem(DescriptorKeyID key, DescriptorTypeID type, DescriptorEnumID value) {
  DescriptorItem item;
  item.key = key;
  item.type = typeEnumerated;
  item.enumType = type;
  item.enumValue = value;
  return item;
}
DescriptorItem BooleanItem(DescriptorKeyID key, Boolean value) {
  DescriptorItem item;
  item.key = key;
  item.type = typeBoolean;
  item.flag = value;
  return item;
}

namespace {

struct Reader {
  std::vector<DescriptorItem> items;
  std::size_t next = 0;
  const DescriptorItem* item = nullptr; // the key last delivered
  DescriptorKeyID* expected = nullptr;
  OSErr sticky = noErr;
};

struct Writer {
  std::vector<DescriptorItem> items;
};

Reader* AsReader(PIReadDescriptor token) {
  return reinterpret_cast<Reader*>(token);
}
Writer* AsWriter(PIWriteDescriptor token) {
  return reinterpret_cast<Writer*>(token);
}

PIReadDescriptor OpenRead(PIDescriptorHandle descriptor, DescriptorKeyID* keys) {
  DescriptorHost* h = DescriptorHost::current;
  h->openReads++;
  h->openedDescriptor = descriptor;
  h->expectedKeys.clear();
  for (DescriptorKeyID* k = keys; k != nullptr && *k != 0; ++k)
    h->expectedKeys.push_back(*k);
  if (h->openReadFails || descriptor == nullptr) return nullptr;
  auto* reader = new Reader;
  if (const auto* items = h->Contents(descriptor)) reader->items = *items;
  reader->expected = keys;
  return reinterpret_cast<PIReadDescriptor>(reader);
}

OSErr CloseRead(PIReadDescriptor token) {
  DescriptorHost* h = DescriptorHost::current;
  h->closeReads++;
  Reader* reader = AsReader(token);
  OSErr result = reader->sticky;
  if (result == noErr && h->stickyError != noErr) result = h->stickyError;
  // Delivered keys are zeroed in place: a nonzero entry of the list given at open
  // is an expected key that was never delivered.
  if (result == noErr) {
    for (std::size_t i = 0; i < h->expectedKeys.size(); ++i)
      if (reader->expected[i] != 0) result = errAEParamMissed;
  }
  delete reader;
  return result;
}

Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32* flags) {
  Reader* reader = AsReader(token);
  if (reader->next >= reader->items.size()) return false;
  reader->item = &reader->items[reader->next++];
  *key = reader->item->key;
  *type = reader->item->type;
  *flags = 0;
  for (std::size_t i = 0; i < DescriptorHost::current->expectedKeys.size(); ++i)
    if (reader->expected[i] == *key) reader->expected[i] = 0;
  return true;
}

OSErr GetPinnedUnitFloat(PIReadDescriptor token, const double* min, const double* max,
                         DescriptorUnitID* unit, double* value) {
  DescriptorHost* h = DescriptorHost::current;
  h->getterCalls++;
  h->pinRanges.emplace_back(*min, *max);
  const DescriptorItem* item = AsReader(token)->item;
  if (h->leaveFloats) return paramErr;
  double v = item->number;
  OSErr err = noErr;
  if (h->pinValues && v < *min) v = *min, err = coercedParamErr;
  if (h->pinValues && v > *max) v = *max, err = coercedParamErr;
  *unit = item->unit;
  *value = v;
  return err;
}

OSErr GetEnumerated(PIReadDescriptor token, DescriptorEnumID* value) {
  DescriptorHost::current->getterCalls++;
  *value = AsReader(token)->item->enumValue;
  return noErr;
}

OSErr GetBoolean(PIReadDescriptor token, Boolean* value) {
  DescriptorHost::current->getterCalls++;
  *value = AsReader(token)->item->flag;
  return noErr;
}

// Getters that this plug-in never calls: present, counted, and failing.
OSErr Unused() {
  DescriptorHost::current->getterCalls++;
  return paramErr;
}

PIWriteDescriptor OpenWrite() {
  DescriptorHost* h = DescriptorHost::current;
  h->openWrites++;
  if (h->openWriteFails) return nullptr;
  return reinterpret_cast<PIWriteDescriptor>(new Writer);
}

OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* descriptor) {
  DescriptorHost* h = DescriptorHost::current;
  h->closeWrites++;
  Writer* writer = AsWriter(token);
  if (!h->closeWriteGivesNothing) *descriptor = h->NewDescriptor(writer->items);
  delete writer;
  return noErr;
}

OSErr PutUnitFloat(PIWriteDescriptor token, DescriptorKeyID key, DescriptorUnitID unit,
                   const double* value) {
  AsWriter(token)->items.push_back(UnitFloatItem(key, unit, *value));
  return noErr;
}
OSErr PutEnumerated(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                    DescriptorEnumID value) {
  AsWriter(token)->items.push_back(EnumItem(key, type, value));
  return noErr;
}
OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean value) {
  AsWriter(token)->items.push_back(BooleanItem(key, value));
  return noErr;
}

DisposePIHandleProc hostDispose = nullptr;

// Forgets a descriptor that the plug-in disposes of, then disposes of it.
void DisposeTracked(Handle handle) {
  if (DescriptorHost* h = DescriptorHost::current; h != nullptr && h->descriptors.count(handle)) {
    h->descriptors.erase(handle);
    h->disposed.push_back(handle);
    h->closeWritesAtLastDispose = h->closeWrites;
  }
  hostDispose(handle);
}

} // namespace

DescriptorHost::DescriptorHost(SimulatedHost& simulatedHost) : host(simulatedHost) {
  current = this;
  readProcs.readDescriptorProcsVersion = kCurrentReadDescriptorProcsVersion;
  readProcs.numReadDescriptorProcs = kCurrentReadDescriptorProcsCount;
  readProcs.openReadDescriptorProc = OpenRead;
  readProcs.closeReadDescriptorProc = CloseRead;
  readProcs.getKeyProc = GetKey;
  readProcs.getIntegerProc = [](PIReadDescriptor, int32*) { return Unused(); };
  readProcs.getFloatProc = [](PIReadDescriptor, double*) { return Unused(); };
  readProcs.getUnitFloatProc = [](PIReadDescriptor, DescriptorUnitID*, double*) {
    return Unused();
  };
  readProcs.getBooleanProc = GetBoolean;
  readProcs.getTextProc = [](PIReadDescriptor, Handle*) { return Unused(); };
  readProcs.getAliasProc = [](PIReadDescriptor, Handle*) { return Unused(); };
  readProcs.getEnumeratedProc = GetEnumerated;
  readProcs.getClassProc = [](PIReadDescriptor, DescriptorTypeID*) { return Unused(); };
  readProcs.getSimpleReferenceProc = [](PIReadDescriptor, PIDescriptorSimpleReference*) {
    return Unused();
  };
  readProcs.getObjectProc = [](PIReadDescriptor, DescriptorTypeID*, PIDescriptorHandle*) {
    return Unused();
  };
  readProcs.getCountProc = [](PIReadDescriptor, uint32*) { return Unused(); };
  readProcs.getStringProc = [](PIReadDescriptor, Str255*) { return Unused(); };
  readProcs.getPinnedIntegerProc = [](PIReadDescriptor, int32, int32, int32*) { return Unused(); };
  readProcs.getPinnedFloatProc = [](PIReadDescriptor, const double*, const double*, double*) {
    return Unused();
  };
  readProcs.getPinnedUnitFloatProc = GetPinnedUnitFloat;

  writeProcs.writeDescriptorProcsVersion = kCurrentWriteDescriptorProcsVersion;
  writeProcs.numWriteDescriptorProcs = kCurrentWriteDescriptorProcsCount;
  writeProcs.openWriteDescriptorProc = OpenWrite;
  writeProcs.closeWriteDescriptorProc = CloseWrite;
  writeProcs.putUnitFloatProc = PutUnitFloat;
  writeProcs.putEnumeratedProc = PutEnumerated;
  writeProcs.putBooleanProc = PutBoolean;
  // The other putters are left null: a plug-in that calls them crashes the test.

  parameters.descriptorParametersVersion = kCurrentDescriptorParametersVersion;
  parameters.playInfo = plugInDialogDontDisplay;
  parameters.recordInfo = plugInDialogNone;
  parameters.readDescriptorProcs = &readProcs;
  parameters.writeDescriptorProcs = &writeProcs;
  host.record.descriptorParameters = &parameters;
  if (host.procs.disposeProc != DisposeTracked) {
    hostDispose = host.procs.disposeProc;
    host.procs.disposeProc = DisposeTracked;
  }
}

DescriptorHost::~DescriptorHost() {
  for (auto& entry : descriptors)
    hostDispose(entry.first);
  descriptors.clear();
  host.procs.disposeProc = hostDispose;
  host.record.descriptorParameters = nullptr;
  if (current == this) current = nullptr;
}

Handle DescriptorHost::NewDescriptor(std::vector<DescriptorItem> items) {
  Handle handle = host.procs.newProc(16);
  descriptors[handle] = std::move(items);
  return handle;
}

const std::vector<DescriptorItem>* DescriptorHost::Contents(Handle descriptor) const {
  auto it = descriptors.find(descriptor);
  return it == descriptors.end() ? nullptr : &it->second;
}
