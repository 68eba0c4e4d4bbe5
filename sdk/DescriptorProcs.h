// The host's scripting descriptor parameters and their read and write suites
// (natural alignment).
#pragma once

#include "PITypes.h"

using PIDescriptorHandle = Handle;
struct PIOpaqueReadDescriptor;
struct PIOpaqueWriteDescriptor;
using PIReadDescriptor = PIOpaqueReadDescriptor*;
using PIWriteDescriptor = PIOpaqueWriteDescriptor*;
using DescriptorKeyID = uint32;
using DescriptorTypeID = uint32;
using DescriptorUnitID = uint32;
using DescriptorEnumID = uint32;
using DescriptorClassID = uint32;
using DescriptorEventID = uint32;

struct PIDescriptorSimpleReference {
  DescriptorTypeID desiredClass;
  DescriptorKeyID keyForm;
  struct {
    Str255 name;
    int32 index;
    DescriptorTypeID type;
    DescriptorEnumID value;
  } keyData;
};

using OpenReadDescriptorProc = PIReadDescriptor (*)(PIDescriptorHandle, DescriptorKeyID*);
using CloseReadDescriptorProc = OSErr (*)(PIReadDescriptor);
using GetKeyProc = Boolean (*)(PIReadDescriptor, DescriptorKeyID*, DescriptorTypeID*, int32*);
using GetIntegerProc = OSErr (*)(PIReadDescriptor, int32*);
using GetFloatProc = OSErr (*)(PIReadDescriptor, double*);
using GetUnitFloatProc = OSErr (*)(PIReadDescriptor, DescriptorUnitID*, double*);
using GetBooleanProc = OSErr (*)(PIReadDescriptor, Boolean*);
using GetTextProc = OSErr (*)(PIReadDescriptor, Handle*);
using GetAliasProc = OSErr (*)(PIReadDescriptor, Handle*);
using GetEnumeratedProc = OSErr (*)(PIReadDescriptor, DescriptorEnumID*);
using GetClassProc = OSErr (*)(PIReadDescriptor, DescriptorTypeID*);
using GetSimpleReferenceProc = OSErr (*)(PIReadDescriptor, PIDescriptorSimpleReference*);
using GetObjectProc = OSErr (*)(PIReadDescriptor, DescriptorTypeID*, PIDescriptorHandle*);
using GetCountProc = OSErr (*)(PIReadDescriptor, uint32*);
using GetStringProc = OSErr (*)(PIReadDescriptor, Str255*);
using GetPinnedIntegerProc = OSErr (*)(PIReadDescriptor, int32, int32, int32*);
using GetPinnedFloatProc = OSErr (*)(PIReadDescriptor, const double*, const double*, double*);
using GetPinnedUnitFloatProc = OSErr (*)(PIReadDescriptor, const double*, const double*,
                                         DescriptorUnitID*, double*);

struct ReadDescriptorProcs {
  int16 readDescriptorProcsVersion;
  int16 numReadDescriptorProcs;
  OpenReadDescriptorProc openReadDescriptorProc;
  CloseReadDescriptorProc closeReadDescriptorProc;
  GetKeyProc getKeyProc;
  GetIntegerProc getIntegerProc;
  GetFloatProc getFloatProc;
  GetUnitFloatProc getUnitFloatProc;
  GetBooleanProc getBooleanProc;
  GetTextProc getTextProc;
  GetAliasProc getAliasProc;
  GetEnumeratedProc getEnumeratedProc;
  GetClassProc getClassProc;
  GetSimpleReferenceProc getSimpleReferenceProc;
  GetObjectProc getObjectProc;
  GetCountProc getCountProc;
  GetStringProc getStringProc;
  GetPinnedIntegerProc getPinnedIntegerProc;
  GetPinnedFloatProc getPinnedFloatProc;
  GetPinnedUnitFloatProc getPinnedUnitFloatProc;
};

using OpenWriteDescriptorProc = PIWriteDescriptor (*)();
using CloseWriteDescriptorProc = OSErr (*)(PIWriteDescriptor, PIDescriptorHandle*);
using PutIntegerProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, int32);
using PutFloatProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, const double*);
using PutUnitFloatProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, DescriptorUnitID,
                                   const double*);
using PutBooleanProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, Boolean);
using PutTextProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, Handle);
using PutAliasProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, Handle);
using PutEnumeratedProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID,
                                    DescriptorEnumID);
using PutClassProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID);
using PutSimpleReferenceProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID,
                                         const PIDescriptorSimpleReference*);
using PutObjectProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID,
                                PIDescriptorHandle);
using PutCountProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, uint32);
using PutStringProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, const unsigned char*);
using PutScopedClassProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID);
using PutScopedObjectProc = OSErr (*)(PIWriteDescriptor, DescriptorKeyID, DescriptorTypeID,
                                      PIDescriptorHandle);

struct WriteDescriptorProcs {
  int16 writeDescriptorProcsVersion;
  int16 numWriteDescriptorProcs;
  OpenWriteDescriptorProc openWriteDescriptorProc;
  CloseWriteDescriptorProc closeWriteDescriptorProc;
  PutIntegerProc putIntegerProc;
  PutFloatProc putFloatProc;
  PutUnitFloatProc putUnitFloatProc;
  PutBooleanProc putBooleanProc;
  PutTextProc putTextProc;
  PutAliasProc putAliasProc;
  PutEnumeratedProc putEnumeratedProc;
  PutClassProc putClassProc;
  PutSimpleReferenceProc putSimpleReferenceProc;
  PutObjectProc putObjectProc;
  PutCountProc putCountProc;
  PutStringProc putStringProc;
  PutScopedClassProc putScopedClassProc;
  PutScopedObjectProc putScopedObjectProc;
};

struct PIDescriptorParameters {
  int16 descriptorParametersVersion;
  int16 playInfo;
  int16 recordInfo;
  PIDescriptorHandle descriptor;
  WriteDescriptorProcs* writeDescriptorProcs;
  ReadDescriptorProcs* readDescriptorProcs;
};

constexpr int16 kCurrentDescriptorParametersVersion = 0;
constexpr int16 kCurrentReadDescriptorProcsVersion = 0;
constexpr int16 kCurrentReadDescriptorProcsCount = 18;
constexpr int16 kCurrentWriteDescriptorProcsVersion = 0;
constexpr int16 kCurrentWriteDescriptorProcsCount = 16;

// Descriptor type codes.
constexpr DescriptorTypeID typeBoolean = FourCC("bool");
constexpr DescriptorTypeID typeInteger = FourCC("long");
constexpr DescriptorTypeID typeFloat = FourCC("doub");
constexpr DescriptorTypeID typeUnitFloat = FourCC("UntF");
constexpr DescriptorTypeID typeEnumerated = FourCC("enum");

static_assert(offsetof(PIDescriptorParameters, playInfo) == 2);
static_assert(offsetof(PIDescriptorParameters, recordInfo) == 4);
static_assert(offsetof(PIDescriptorParameters, descriptor) == 8);
static_assert(offsetof(PIDescriptorParameters, writeDescriptorProcs) == TINTARA_W(12, 16));
static_assert(offsetof(PIDescriptorParameters, readDescriptorProcs) == TINTARA_W(16, 24));
static_assert(sizeof(PIDescriptorParameters) == TINTARA_W(20, 32));

static_assert(offsetof(ReadDescriptorProcs, openReadDescriptorProc) == TINTARA_W(4, 8));
static_assert(offsetof(ReadDescriptorProcs, closeReadDescriptorProc) == TINTARA_W(8, 16));
static_assert(offsetof(ReadDescriptorProcs, getKeyProc) == TINTARA_W(12, 24));
static_assert(offsetof(ReadDescriptorProcs, getIntegerProc) == TINTARA_W(16, 32));
static_assert(offsetof(ReadDescriptorProcs, getFloatProc) == TINTARA_W(20, 40));
static_assert(offsetof(ReadDescriptorProcs, getUnitFloatProc) == TINTARA_W(24, 48));
static_assert(offsetof(ReadDescriptorProcs, getBooleanProc) == TINTARA_W(28, 56));
static_assert(offsetof(ReadDescriptorProcs, getTextProc) == TINTARA_W(32, 64));
static_assert(offsetof(ReadDescriptorProcs, getAliasProc) == TINTARA_W(36, 72));
static_assert(offsetof(ReadDescriptorProcs, getEnumeratedProc) == TINTARA_W(40, 80));
static_assert(offsetof(ReadDescriptorProcs, getClassProc) == TINTARA_W(44, 88));
static_assert(offsetof(ReadDescriptorProcs, getSimpleReferenceProc) == TINTARA_W(48, 96));
static_assert(offsetof(ReadDescriptorProcs, getObjectProc) == TINTARA_W(52, 104));
static_assert(offsetof(ReadDescriptorProcs, getCountProc) == TINTARA_W(56, 112));
static_assert(offsetof(ReadDescriptorProcs, getStringProc) == TINTARA_W(60, 120));
static_assert(offsetof(ReadDescriptorProcs, getPinnedIntegerProc) == TINTARA_W(64, 128));
static_assert(offsetof(ReadDescriptorProcs, getPinnedFloatProc) == TINTARA_W(68, 136));
static_assert(offsetof(ReadDescriptorProcs, getPinnedUnitFloatProc) == TINTARA_W(72, 144));
static_assert(sizeof(ReadDescriptorProcs) == TINTARA_W(76, 152));

static_assert(offsetof(WriteDescriptorProcs, openWriteDescriptorProc) == TINTARA_W(4, 8));
static_assert(offsetof(WriteDescriptorProcs, closeWriteDescriptorProc) == TINTARA_W(8, 16));
static_assert(offsetof(WriteDescriptorProcs, putIntegerProc) == TINTARA_W(12, 24));
static_assert(offsetof(WriteDescriptorProcs, putFloatProc) == TINTARA_W(16, 32));
static_assert(offsetof(WriteDescriptorProcs, putUnitFloatProc) == TINTARA_W(20, 40));
static_assert(offsetof(WriteDescriptorProcs, putBooleanProc) == TINTARA_W(24, 48));
static_assert(offsetof(WriteDescriptorProcs, putTextProc) == TINTARA_W(28, 56));
static_assert(offsetof(WriteDescriptorProcs, putAliasProc) == TINTARA_W(32, 64));
static_assert(offsetof(WriteDescriptorProcs, putEnumeratedProc) == TINTARA_W(36, 72));
static_assert(offsetof(WriteDescriptorProcs, putClassProc) == TINTARA_W(40, 80));
static_assert(offsetof(WriteDescriptorProcs, putSimpleReferenceProc) == TINTARA_W(44, 88));
static_assert(offsetof(WriteDescriptorProcs, putObjectProc) == TINTARA_W(48, 96));
static_assert(offsetof(WriteDescriptorProcs, putCountProc) == TINTARA_W(52, 104));
static_assert(offsetof(WriteDescriptorProcs, putStringProc) == TINTARA_W(56, 112));
static_assert(offsetof(WriteDescriptorProcs, putScopedClassProc) == TINTARA_W(60, 120));
static_assert(offsetof(WriteDescriptorProcs, putScopedObjectProc) == TINTARA_W(64, 128));
static_assert(sizeof(WriteDescriptorProcs) == TINTARA_W(68, 136));
