#include <cstring>

#include "TestFilter.h"

namespace {

bool SuitesPresent(const FilterRecord* record) {
  const PIDescriptorParameters* d = record->descriptorParameters;
  return d != nullptr && d->readDescriptorProcs != nullptr && d->writeDescriptorProcs != nullptr &&
         d->readDescriptorProcs->numReadDescriptorProcs >= kCurrentReadDescriptorProcsCount &&
         d->writeDescriptorProcs->numWriteDescriptorProcs >= kCurrentWriteDescriptorProcsCount;
}

std::string HandleText(FilterRecord* record, Handle handle) {
  if (handle == nullptr || record->handleProcs == nullptr) return {};
  int32 size = record->handleProcs->getSizeProc(handle);
  std::string text(*handle, std::size_t(size));
  record->handleProcs->disposeProc(handle);
  return text;
}

} // namespace

void ReadTestConfig(FilterRecord* record) {
  if (!SuitesPresent(record) || record->descriptorParameters->descriptor == nullptr) return;
  ReadDescriptorProcs* read = record->descriptorParameters->readDescriptorProcs;
  PIReadDescriptor token =
      read->openReadDescriptorProc(record->descriptorParameters->descriptor, nullptr);
  if (token == nullptr) return;
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  int32 flags = 0;
  TestConfig& c = testState.config;
  while (read->getKeyProc(token, &key, &type, &flags)) {
    Boolean flag = 0;
    int32 number = 0;
    DescriptorEnumID value = 0;
    if (key == FourCC("path") && read->getEnumeratedProc(token, &value) == noErr) {
      c.advancePath = value == FourCC("advs");
    } else if (key == FourCC("rows") && read->getIntegerProc(token, &number) == noErr) {
      c.rows = number;
    } else if (key == FourCC("over") && read->getIntegerProc(token, &number) == noErr) {
      c.over = number;
    } else if (key == FourCC("chks") && read->getBooleanProc(token, &flag) == noErr) {
      c.checks = flag != 0;
    } else if (key == FourCC("leak") && read->getBooleanProc(token, &flag) == noErr) {
      c.leak = flag != 0;
    } else if (key == FourCC("dlg ") && read->getBooleanProc(token, &flag) == noErr) {
      c.dialog = flag != 0;
    } else if (key == FourCC("stck") && read->getBooleanProc(token, &flag) == noErr) {
      c.stuck = flag != 0;
    } else if (key == FourCC("past") && read->getBooleanProc(token, &flag) == noErr) {
      c.readPast = flag != 0;
    }
  }
  read->closeReadDescriptorProc(token);
}

void ReadEcho(FilterRecord* record) {
  testState.echo.clear();
  if (!SuitesPresent(record)) return;
  PIDescriptorParameters* d = record->descriptorParameters;
  testState.playInfo = d->playInfo;
  ReadDescriptorProcs* read = d->readDescriptorProcs;
  DescriptorKeyID expected[] = {FourCC("path"), 0};
  PIReadDescriptor token = read->openReadDescriptorProc(d->descriptor, expected);
  if (token == nullptr) return;
  EchoItem item;
  while (read->getKeyProc(token, &item.key, &item.type, nullptr)) {
    OSErr error = noErr;
    const double low = -1000.0, high = 1000.0;
    switch (item.type) {
    case typeInteger:
      error = read->getPinnedIntegerProc(token, -100000, 100000, &item.integer);
      break;
    case typeFloat:
      error = read->getPinnedFloatProc(token, &low, &high, &item.number);
      break;
    case typeUnitFloat:
      item.unit = FourCC("#Prc");
      error = read->getPinnedUnitFloatProc(token, &low, &high, &item.unit, &item.number);
      break;
    case typeBoolean:
      error = read->getBooleanProc(token, &item.boolean);
      break;
    case typeEnumerated:
      error = read->getEnumeratedProc(token, &item.value);
      break;
    case FourCC("type"):
      error = read->getClassProc(token, &item.unit);
      break;
    case FourCC("TEXT"): {
      Handle text = nullptr;
      error = read->getTextProc(token, &text);
      item.text = HandleText(record, text);
      break;
    }
    default:
      continue;
    }
    if (error != noErr && error != coercedParamErr) TestFail("reading a descriptor key failed");
    testState.echo.push_back(item);
  }
  OSErr closed = read->closeReadDescriptorProc(token);
  // 'path' was named as expected: a descriptor without it must report it missing.
  bool hadPath = false;
  for (const auto& e : testState.echo)
    hadPath = hadPath || e.key == FourCC("path");
  if (hadPath ? closed != noErr : closed != errAEParamMissed) {
    TestFail("closing the reader gave " + std::to_string(closed));
  }
  if (record->handleProcs != nullptr) record->handleProcs->disposeProc(d->descriptor);
  d->descriptor = nullptr;
}

void WriteReport(FilterRecord* record) {
  if (!SuitesPresent(record)) return;
  PIDescriptorParameters* d = record->descriptorParameters;
  WriteDescriptorProcs* write = d->writeDescriptorProcs;
  PIWriteDescriptor token = write->openWriteDescriptorProc();
  if (token == nullptr) return;
  for (const auto& item : testState.echo) {
    switch (item.type) {
    case typeInteger:
      write->putIntegerProc(token, item.key, item.integer);
      break;
    case typeFloat:
      write->putFloatProc(token, item.key, &item.number);
      break;
    case typeUnitFloat:
      write->putUnitFloatProc(token, item.key, item.unit, &item.number);
      break;
    case typeBoolean:
      write->putBooleanProc(token, item.key, item.boolean);
      break;
    case typeEnumerated:
      write->putEnumeratedProc(token, item.key, FourCC("tEnm"), item.value);
      break;
    case FourCC("type"):
      write->putClassProc(token, item.key, item.unit);
      break;
    case FourCC("TEXT"): {
      unsigned char text[256];
      std::size_t length = item.text.size() > 255 ? 255 : item.text.size();
      text[0] = uint8(length);
      std::memcpy(text + 1, item.text.data(), length);
      write->putStringProc(token, item.key, text);
      break;
    }
    default:
      break;
    }
  }
  auto putText = [&](const char(&key)[5], const std::string& value) {
    unsigned char text[256];
    std::size_t length = value.size() > 255 ? 255 : value.size();
    text[0] = uint8(length);
    std::memcpy(text + 1, value.data(), length);
    write->putStringProc(token, FourCC(key), text);
  };
  write->putIntegerProc(token, FourCC("chkN"), testState.checksPassed);
  write->putIntegerProc(token, FourCC("strN"), testState.strips);
  write->putIntegerProc(token, FourCC("padN"), testState.paddingChecked);
  write->putIntegerProc(token, FourCC("runN"), testState.runs);
  write->putIntegerProc(token, FourCC("plyI"), testState.playInfo);
  putText("seq ", testState.sequence);
  const DialogRecord& dialog = testState.dialog;
  if (dialog.shown) {
    write->putIntegerProc(token, FourCC("dlgR"), dialog.tone[0]);
    write->putIntegerProc(token, FourCC("dlgG"), dialog.tone[1]);
    write->putIntegerProc(token, FourCC("dlgB"), dialog.tone[2]);
    putText("dlgC", dialog.checks.empty() ? "none" : dialog.checks);
    putText("cmds", dialog.commands);
    putText("mous", dialog.mouse);
    putText("drag", dialog.drag);
    write->putIntegerProc(token, FourCC("curX"), dialog.cursorMismatches);
    write->putIntegerProc(token, FourCC("chrs"), dialog.characters);
    write->putIntegerProc(token, FourCC("pnts"), dialog.paints);
  }
  PIDescriptorHandle handle = nullptr;
  if (d->descriptor != nullptr && record->handleProcs != nullptr) {
    record->handleProcs->disposeProc(d->descriptor);
  }
  write->closeWriteDescriptorProc(token, &handle);
  d->descriptor = handle;
  d->recordInfo = plugInDialogOptional;
}
