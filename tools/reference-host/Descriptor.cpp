#include "Descriptor.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "HandleSuite.h"
#include "Pipl.h"
#include "Trace.h"

namespace {

constexpr uint32_t typeText = FourCC("TEXT");
constexpr uint32_t typeClass = FourCC("type");
constexpr uint32_t typeAlias = FourCC("alis");
constexpr uint32_t typeObject = FourCC("Objc");
constexpr OSErr errAECoercionFail = -1700;

// The four bytes of a code as they are.
std::string CodeBytes(uint32_t code) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[std::size_t(i)] = char((code >> (24 - 8 * i)) & 0xFF);
  return bytes;
}

} // namespace

std::string Quote4(uint32_t code) {
  const std::string bytes = CodeBytes(code);
  bool printable = true;
  for (unsigned char c : bytes)
    printable = printable && c >= 0x20 && c < 0x7F;
  if (printable) return "'" + bytes + "'";
  std::string text = "'";
  char buffer[8];
  for (unsigned char c : bytes) {
    std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
    text += buffer;
  }
  return text + "'";
}

bool IntegerValue(double number, int32_t& value) {
  // Converted only once it is known to fit: a wider value would be undefined.
  if (number != std::floor(number) || std::fabs(number) > 2147483647.0) return false;
  value = int32_t(number);
  return true;
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the escaped form of a code, '\xNN\xNN\xNN\xNN', starting at its first quote.
bool EscapedCode(const std::string& line, std::size_t i, std::string& bytes) {
  if (line.size() - i < 18 || line[i + 17] != '\'') return false;
  bytes.clear();
  for (std::size_t at = i + 1; at < i + 17; at += 4) {
    const int high = HexValue(line[at + 2]), low = HexValue(line[at + 3]);
    if (line[at] != '\\' || line[at + 1] != 'x' || high < 0 || low < 0) return false;
    bytes += char(high * 16 + low);
  }
  return true;
}

std::string Number(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  if (std::strtod(buffer, nullptr) != value) std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}

std::string Escaped(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c == 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
      out += buffer;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

// Splits one line into tokens: '4CC', "string" (with \\ \" \xNN escapes), or words.
bool Tokenize(const std::string& line, std::vector<std::string>& tokens, std::string& error) {
  tokens.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#' && tokens.empty()) {
      return true; // a comment line
    } else if (c == '\'') {
      std::string bytes;
      if (i + 5 < line.size() && line[i + 5] == '\'') {
        tokens.push_back("'" + line.substr(i + 1, 4));
        i += 6;
      } else if (EscapedCode(line, i, bytes)) {
        tokens.push_back("'" + bytes);
        i += 18;
      } else {
        error = "four-character code must be quoted as 'abcd' or '\\xNN\\xNN\\xNN\\xNN'";
        return false;
      }
    } else if (c == '"') {
      std::string text;
      ++i;
      while (i < line.size() && line[i] != '"') {
        if (line[i] == '\\' && i + 1 < line.size()) {
          char e = line[i + 1];
          if (e == 'x' && i + 3 < line.size()) {
            text += char(std::strtol(line.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 4;
          } else {
            text += e == 'n' ? '\n' : e;
            i += 2;
          }
        } else {
          text += line[i++];
        }
      }
      if (i >= line.size()) {
        error = "unterminated string";
        return false;
      }
      ++i;
      tokens.push_back("\"" + text);
    } else {
      std::size_t end = line.find_first_of(" \t\r", i);
      if (end == std::string::npos) end = line.size();
      tokens.push_back(line.substr(i, end - i));
      i = end;
    }
  }
  return true;
}

bool Code(const std::string& token, uint32_t& code) {
  if (token.size() != 5 || token[0] != '\'') return false;
  return ParseFourCC(token.substr(1), code);
}

bool Text(const std::string& token, std::string& text) {
  if (token.empty() || token[0] != '"') return false;
  text = token.substr(1);
  return true;
}

bool Double(const std::string& token, double& value) {
  char* end = nullptr;
  value = std::strtod(token.c_str(), &end);
  return !token.empty() && *end == '\0';
}

bool ParseItem(const std::vector<std::string>& t, DescriptorItem& item, std::string& error) {
  if (t.size() < 3 || !Code(t[0], item.key) || !Code(t[1], item.type)) {
    error = "expected 'key' 'type' value";
    return false;
  }
  double number = 0;
  bool ok = false;
  switch (item.type) {
  case typeInteger:
    ok = t.size() == 3 && Double(t[2], number) && IntegerValue(number, item.integer);
    break;
  case typeFloat:
    ok = t.size() == 3 && Double(t[2], item.number);
    break;
  case typeUnitFloat:
    ok = t.size() == 4 && Code(t[2], item.unit) && Double(t[3], item.number);
    break;
  case typeBoolean:
    ok = t.size() == 3 && (t[2] == "true" || t[2] == "false");
    item.boolean = t[2] == "true";
    break;
  case typeEnumerated:
    ok = t.size() == 4 && Code(t[2], item.unit) && Code(t[3], item.value);
    break;
  case typeText:
  case typeAlias:
    ok = t.size() == 3 && Text(t[2], item.text);
    break;
  case typeClass:
    ok = t.size() == 3 && Code(t[2], item.unit);
    break;
  case typeObject:
    ok = t.size() == 4 && Code(t[2], item.unit) && Text(t[3], item.text);
    break;
  default:
    error = "unknown descriptor type " + Quote4(item.type);
    return false;
  }
  if (!ok) error = "malformed value for type " + Quote4(item.type);
  return ok;
}

// --- reading and writing through the suites ---------------------------------

struct ReadToken {
  Descriptor descriptor;
  std::size_t next = 0;
  const DescriptorItem* current = nullptr;
  std::vector<uint32_t> expected;
  std::set<uint32_t> seen;
  OSErr sticky = noErr;
};

struct WriteToken {
  Descriptor descriptor;
};

std::set<void*>& OpenTokens() {
  static std::set<void*> tokens;
  return tokens;
}

ReadToken* Reader(PIReadDescriptor token) {
  void* raw = token;
  if (OpenTokens().count(raw) == 0) return nullptr;
  return static_cast<ReadToken*>(raw);
}

WriteToken* Writer(PIWriteDescriptor token) {
  void* raw = token;
  if (OpenTokens().count(raw) == 0) return nullptr;
  return static_cast<WriteToken*>(raw);
}

// The item that the last getKey delivered, if it has one of the given types.
const DescriptorItem* Current(PIReadDescriptor token, const char* what,
                              std::initializer_list<uint32_t> types) {
  ReadToken* reader = Reader(token);
  if (reader == nullptr) {
    HostTrace().Line("%s -> not an open reader", what);
    return nullptr;
  }
  if (reader->current == nullptr) {
    HostTrace().Line("%s -> no key delivered", what);
    reader->sticky = errAECoercionFail;
    return nullptr;
  }
  for (uint32_t type : types) {
    if (reader->current->type == type) return reader->current;
  }
  HostTrace().Line("%s key=%s -> type %s cannot be coerced", what,
                   Quote4(reader->current->key).c_str(), Quote4(reader->current->type).c_str());
  reader->sticky = errAECoercionFail;
  return nullptr;
}

double AsDouble(const DescriptorItem& item) {
  return item.type == typeInteger ? double(item.integer) : item.number;
}

PIReadDescriptor OpenRead(PIDescriptorHandle handle, DescriptorKeyID* keys) {
  auto reader = std::make_unique<ReadToken>();
  std::string keyList;
  for (DescriptorKeyID* k = keys; k != nullptr && *k != 0; ++k) {
    reader->expected.push_back(*k);
    keyList += (keyList.empty() ? "" : ",") + Quote4(*k);
  }
  std::string error;
  if (handle == nullptr || !ReadDescriptorHandle(handle, reader->descriptor, error)) {
    HostTrace().Line("openReadDescriptor keys=%s -> null%s%s", keyList.c_str(),
                     handle ? ": " : " (no descriptor)", error.c_str());
    return nullptr;
  }
  HostTrace().Line("openReadDescriptor keys=%s items=%zu -> reader", keyList.c_str(),
                   reader->descriptor.items.size());
  void* raw = reader.release();
  OpenTokens().insert(raw);
  return static_cast<PIReadDescriptor>(raw);
}

OSErr CloseRead(PIReadDescriptor token) {
  ReadToken* reader = Reader(token);
  if (reader == nullptr) {
    HostTrace().Line("closeReadDescriptor -> not an open reader");
    return paramErr;
  }
  std::string missing;
  for (uint32_t key : reader->expected) {
    if (reader->seen.count(key) == 0) missing += (missing.empty() ? "" : ",") + Quote4(key);
  }
  OSErr result = reader->sticky;
  if (result == noErr && !missing.empty()) result = errAEParamMissed;
  HostTrace().Line("closeReadDescriptor missing=%s -> %s",
                   missing.empty() ? "none" : missing.c_str(), ResultText(result).c_str());
  OpenTokens().erase(reader);
  delete reader;
  return result;
}

Boolean GetKey(PIReadDescriptor token, DescriptorKeyID* key, DescriptorTypeID* type, int32* flags) {
  ReadToken* reader = Reader(token);
  if (reader == nullptr || reader->next >= reader->descriptor.items.size()) {
    if (reader) reader->current = nullptr;
    HostTrace().Line("getKey -> false");
    return false;
  }
  reader->current = &reader->descriptor.items[reader->next++];
  reader->seen.insert(reader->current->key);
  if (key) *key = reader->current->key;
  if (type) *type = reader->current->type;
  if (flags) *flags = 0;
  HostTrace().Line("getKey -> %s %s", Quote4(reader->current->key).c_str(),
                   Quote4(reader->current->type).c_str());
  return true;
}

OSErr GetInteger(PIReadDescriptor token, int32* value) {
  const DescriptorItem* item =
      Current(token, "getInteger", {typeInteger, typeFloat, typeUnitFloat});
  if (item == nullptr) return errAECoercionFail;
  int32 result = item->type == typeInteger ? item->integer : int32(item->number);
  if (value) *value = result;
  HostTrace().Line("getInteger -> %d", result);
  return noErr;
}

OSErr GetFloat(PIReadDescriptor token, double* value) {
  const DescriptorItem* item = Current(token, "getFloat", {typeFloat, typeInteger, typeUnitFloat});
  if (item == nullptr) return errAECoercionFail;
  if (value) *value = AsDouble(*item);
  HostTrace().Line("getFloat -> %s", Number(AsDouble(*item)).c_str());
  return noErr;
}

OSErr GetUnitFloat(PIReadDescriptor token, DescriptorUnitID* unit, double* value) {
  const DescriptorItem* item = Current(token, "getUnitFloat", {typeUnitFloat, typeFloat});
  if (item == nullptr) return errAECoercionFail;
  if (unit) *unit = item->unit;
  if (value) *value = item->number;
  HostTrace().Line("getUnitFloat -> %s %s", Quote4(item->unit).c_str(),
                   Number(item->number).c_str());
  return noErr;
}

OSErr GetBoolean(PIReadDescriptor token, Boolean* value) {
  const DescriptorItem* item = Current(token, "getBoolean", {typeBoolean});
  if (item == nullptr) return errAECoercionFail;
  if (value) *value = item->boolean ? 1 : 0;
  HostTrace().Line("getBoolean -> %s", item->boolean ? "true" : "false");
  return noErr;
}

Handle TextHandle(const std::string& text) {
  Handle handle = HandleSuite::Instance().New(int32(text.size()), HandleSuite::Owner::Plugin);
  if (handle != nullptr && !text.empty()) std::memcpy(*handle, text.data(), text.size());
  return handle;
}

OSErr GetText(PIReadDescriptor token, Handle* value) {
  const DescriptorItem* item = Current(token, "getText", {typeText});
  if (item == nullptr) return errAECoercionFail;
  if (value) *value = TextHandle(item->text);
  HostTrace().Line("getText -> %s (new handle)", Escaped(item->text).c_str());
  return noErr;
}

OSErr GetAlias(PIReadDescriptor token, Handle* value) {
  const DescriptorItem* item = Current(token, "getAlias", {typeAlias});
  if (item == nullptr) return errAECoercionFail;
  if (value) *value = TextHandle(item->text);
  HostTrace().Line("getAlias -> %zu bytes (new handle)", item->text.size());
  return noErr;
}

OSErr GetEnumerated(PIReadDescriptor token, DescriptorEnumID* value) {
  const DescriptorItem* item = Current(token, "getEnumerated", {typeEnumerated});
  if (item == nullptr) return errAECoercionFail;
  if (value) *value = item->value;
  HostTrace().Line("getEnumerated -> %s %s", Quote4(item->unit).c_str(),
                   Quote4(item->value).c_str());
  return noErr;
}

OSErr GetClass(PIReadDescriptor token, DescriptorTypeID* value) {
  const DescriptorItem* item = Current(token, "getClass", {typeClass});
  if (item == nullptr) return errAECoercionFail;
  if (value) *value = item->unit;
  HostTrace().Line("getClass -> %s", Quote4(item->unit).c_str());
  return noErr;
}

OSErr GetSimpleReference(PIReadDescriptor token, PIDescriptorSimpleReference*) {
  // References name objects in a document; this host keeps none.
  Current(token, "getSimpleReference", {});
  return errAECoercionFail;
}

OSErr GetObject(PIReadDescriptor token, DescriptorTypeID* classId, PIDescriptorHandle* value) {
  const DescriptorItem* item = Current(token, "getObject", {typeObject});
  if (item == nullptr) return errAECoercionFail;
  if (classId) *classId = item->unit;
  if (value) *value = TextHandle(item->text);
  HostTrace().Line("getObject -> %s (new handle)", Quote4(item->unit).c_str());
  return noErr;
}

OSErr GetCount(PIReadDescriptor token, uint32* value) {
  // Lists are not kept in this host's descriptors.
  Current(token, "getCount", {});
  if (value) *value = 0;
  return errAECoercionFail;
}

OSErr GetString(PIReadDescriptor token, Str255* value) {
  const DescriptorItem* item = Current(token, "getString", {typeText});
  if (item == nullptr) return errAECoercionFail;
  std::size_t length = item->text.size() > 255 ? 255 : item->text.size();
  if (value) {
    (*value)[0] = uint8(length);
    std::memcpy(*value + 1, item->text.data(), length);
  }
  HostTrace().Line("getString -> %s", Escaped(item->text.substr(0, length)).c_str());
  return noErr;
}

OSErr GetPinnedInteger(PIReadDescriptor token, int32 min, int32 max, int32* value) {
  const DescriptorItem* item = Current(token, "getPinnedInteger", {typeInteger, typeFloat});
  if (item == nullptr) return errAECoercionFail;
  int32 result = item->type == typeInteger ? item->integer : int32(item->number);
  OSErr code = noErr;
  if (result < min || result > max) {
    result = result < min ? min : max;
    code = coercedParamErr;
  }
  if (value) *value = result;
  HostTrace().Line("getPinnedInteger min=%d max=%d -> %d %s", min, max, result,
                   ResultText(code).c_str());
  return code;
}

OSErr Pin(double& value, const double* min, const double* max) {
  if (min && value < *min) {
    value = *min;
    return coercedParamErr;
  }
  if (max && value > *max) {
    value = *max;
    return coercedParamErr;
  }
  return noErr;
}

OSErr GetPinnedFloat(PIReadDescriptor token, const double* min, const double* max, double* value) {
  const DescriptorItem* item =
      Current(token, "getPinnedFloat", {typeFloat, typeInteger, typeUnitFloat});
  if (item == nullptr) return errAECoercionFail;
  double result = AsDouble(*item);
  OSErr code = Pin(result, min, max);
  if (value) *value = result;
  HostTrace().Line("getPinnedFloat -> %s %s", Number(result).c_str(), ResultText(code).c_str());
  return code;
}

OSErr GetPinnedUnitFloat(PIReadDescriptor token, const double* min, const double* max,
                         DescriptorUnitID* unit, double* value) {
  const DescriptorItem* item = Current(token, "getPinnedUnitFloat", {typeUnitFloat, typeFloat});
  if (item == nullptr) return errAECoercionFail;
  double result = item->number;
  OSErr code = Pin(result, min, max);
  uint32_t asked = unit ? *unit : 0;
  if (unit) *unit = item->type == typeUnitFloat ? item->unit : asked;
  if (value) *value = result;
  HostTrace().Line("getPinnedUnitFloat min=%s max=%s unit=%s -> %s %s %s",
                   min ? Number(*min).c_str() : "none", max ? Number(*max).c_str() : "none",
                   Quote4(asked).c_str(), Quote4(item->unit).c_str(), Number(result).c_str(),
                   ResultText(code).c_str());
  return code;
}

PIWriteDescriptor OpenWrite() {
  void* raw = new WriteToken;
  OpenTokens().insert(raw);
  HostTrace().Line("openWriteDescriptor -> writer");
  return static_cast<PIWriteDescriptor>(raw);
}

OSErr CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* handle) {
  WriteToken* writer = Writer(token);
  if (writer == nullptr) {
    HostTrace().Line("closeWriteDescriptor -> not an open writer");
    return paramErr;
  }
  Handle result = NewDescriptorHandle(writer->descriptor);
  if (handle) *handle = result;
  HostTrace().Line("closeWriteDescriptor items=%zu -> %s", writer->descriptor.items.size(),
                   result ? "handle" : "null");
  OpenTokens().erase(writer);
  delete writer;
  return result ? noErr : memFullErr;
}

OSErr Put(PIWriteDescriptor token, const DescriptorItem& item, const std::string& shown) {
  WriteToken* writer = Writer(token);
  if (writer == nullptr) {
    HostTrace().Line("put %s -> not an open writer", Quote4(item.key).c_str());
    return paramErr;
  }
  writer->descriptor.Put(item);
  HostTrace().Line("put %s %s %s", Quote4(item.key).c_str(), Quote4(item.type).c_str(),
                   shown.c_str());
  return noErr;
}

DescriptorItem Item(uint32_t key, uint32_t type) {
  DescriptorItem item;
  item.key = key;
  item.type = type;
  return item;
}

OSErr PutInteger(PIWriteDescriptor token, DescriptorKeyID key, int32 value) {
  DescriptorItem item = Item(key, typeInteger);
  item.integer = value;
  return Put(token, item, std::to_string(value));
}

OSErr PutFloat(PIWriteDescriptor token, DescriptorKeyID key, const double* value) {
  DescriptorItem item = Item(key, typeFloat);
  item.number = value ? *value : 0;
  return Put(token, item, Number(item.number));
}

OSErr PutUnitFloat(PIWriteDescriptor token, DescriptorKeyID key, DescriptorUnitID unit,
                   const double* value) {
  DescriptorItem item = Item(key, typeUnitFloat);
  item.unit = unit;
  item.number = value ? *value : 0;
  return Put(token, item, Quote4(unit) + " " + Number(item.number));
}

OSErr PutBoolean(PIWriteDescriptor token, DescriptorKeyID key, Boolean value) {
  DescriptorItem item = Item(key, typeBoolean);
  item.boolean = value != 0;
  return Put(token, item, item.boolean ? "true" : "false");
}

std::string HandleText(Handle handle) {
  if (handle == nullptr || !HandleSuite::Instance().IsLive(handle)) return {};
  return std::string(*handle, std::size_t(HandleSuite::Instance().Size(handle)));
}

OSErr PutText(PIWriteDescriptor token, DescriptorKeyID key, Handle value) {
  DescriptorItem item = Item(key, typeText);
  item.text = HandleText(value);
  return Put(token, item, Escaped(item.text));
}

OSErr PutAlias(PIWriteDescriptor token, DescriptorKeyID key, Handle value) {
  DescriptorItem item = Item(key, typeAlias);
  item.text = HandleText(value);
  return Put(token, item, std::to_string(item.text.size()) + " bytes");
}

OSErr PutEnumerated(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID type,
                    DescriptorEnumID value) {
  DescriptorItem item = Item(key, typeEnumerated);
  item.unit = type;
  item.value = value;
  return Put(token, item, Quote4(type) + " " + Quote4(value));
}

OSErr PutClass(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID value) {
  DescriptorItem item = Item(key, typeClass);
  item.unit = value;
  return Put(token, item, Quote4(value));
}

OSErr PutSimpleReference(PIWriteDescriptor token, DescriptorKeyID key,
                         const PIDescriptorSimpleReference*) {
  HostTrace().Line("putSimpleReference %s -> unsupported", Quote4(key).c_str());
  (void)token;
  return paramErr;
}

OSErr PutObject(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID classId,
                PIDescriptorHandle value) {
  DescriptorItem item = Item(key, typeObject);
  item.unit = classId;
  item.text = HandleText(value);
  return Put(token, item, Quote4(classId));
}

OSErr PutCount(PIWriteDescriptor token, DescriptorKeyID key, uint32) {
  HostTrace().Line("putCount %s -> unsupported", Quote4(key).c_str());
  (void)token;
  return paramErr;
}

OSErr PutString(PIWriteDescriptor token, DescriptorKeyID key, const unsigned char* value) {
  DescriptorItem item = Item(key, typeText);
  if (value) item.text.assign(reinterpret_cast<const char*>(value + 1), value[0]);
  return Put(token, item, Escaped(item.text));
}

OSErr PutScopedClass(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID value) {
  return PutClass(token, key, value);
}

OSErr PutScopedObject(PIWriteDescriptor token, DescriptorKeyID key, DescriptorTypeID classId,
                      PIDescriptorHandle value) {
  return PutObject(token, key, classId, value);
}

ReadDescriptorProcs readProcs = {
    kCurrentReadDescriptorProcsVersion,
    kCurrentReadDescriptorProcsCount,
    OpenRead,
    CloseRead,
    GetKey,
    GetInteger,
    GetFloat,
    GetUnitFloat,
    GetBoolean,
    GetText,
    GetAlias,
    GetEnumerated,
    GetClass,
    GetSimpleReference,
    GetObject,
    GetCount,
    GetString,
    GetPinnedInteger,
    GetPinnedFloat,
    GetPinnedUnitFloat,
};

WriteDescriptorProcs writeProcs = {
    kCurrentWriteDescriptorProcsVersion,
    kCurrentWriteDescriptorProcsCount,
    OpenWrite,
    CloseWrite,
    PutInteger,
    PutFloat,
    PutUnitFloat,
    PutBoolean,
    PutText,
    PutAlias,
    PutEnumerated,
    PutClass,
    PutSimpleReference,
    PutObject,
    PutCount,
    PutString,
    PutScopedClass,
    PutScopedObject,
};

} // namespace

void Descriptor::Put(const DescriptorItem& item) {
  for (auto& existing : items) {
    if (existing.key == item.key) {
      existing = item;
      return;
    }
  }
  items.push_back(item);
}

const DescriptorItem* Descriptor::Find(uint32_t key) const {
  for (const auto& item : items) {
    if (item.key == key) return &item;
  }
  return nullptr;
}

std::string DescriptorToText(const Descriptor& descriptor) {
  std::string text;
  for (const auto& item : descriptor.items) {
    std::string line = Quote4(item.key) + " " + Quote4(item.type) + " ";
    switch (item.type) {
    case typeInteger:
      line += std::to_string(item.integer);
      break;
    case typeFloat:
      line += Number(item.number);
      break;
    case typeUnitFloat:
      line += Quote4(item.unit) + " " + Number(item.number);
      break;
    case typeBoolean:
      line += item.boolean ? "true" : "false";
      break;
    case typeEnumerated:
      line += Quote4(item.unit) + " " + Quote4(item.value);
      break;
    case typeClass:
      line += Quote4(item.unit);
      break;
    case typeObject:
      line += Quote4(item.unit) + " " + Escaped(item.text);
      break;
    default:
      line += Escaped(item.text);
      break;
    }
    text += line + "\n";
  }
  return text;
}

bool DescriptorFromText(const std::string& text, Descriptor& descriptor, std::string& error) {
  descriptor.items.clear();
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  std::vector<std::string> tokens;
  while (std::getline(lines, line)) {
    ++number;
    if (!Tokenize(line, tokens, error)) {
      error = "line " + std::to_string(number) + ": " + error;
      return false;
    }
    if (tokens.empty()) continue;
    DescriptorItem item;
    if (!ParseItem(tokens, item, error)) {
      error = "line " + std::to_string(number) + ": " + error;
      return false;
    }
    descriptor.Put(item);
  }
  return true;
}

bool LoadDescriptorFile(const std::string& path, Descriptor& descriptor, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read descriptor file " + path;
    return false;
  }
  std::stringstream content;
  content << file.rdbuf();
  bool json = path.size() > 5 && path.compare(path.size() - 5, 5, ".json") == 0;
  bool ok = json ? DescriptorFromJson(content.str(), descriptor, error)
                 : DescriptorFromText(content.str(), descriptor, error);
  if (!ok) error = path + ": " + error;
  return ok;
}

bool SaveDescriptorFile(const std::string& path, const Descriptor& descriptor, std::string& error) {
  std::ofstream file(path, std::ios::binary);
  bool json = path.size() > 5 && path.compare(path.size() - 5, 5, ".json") == 0;
  file << (json ? DescriptorToJson(descriptor) : DescriptorToText(descriptor));
  if (!file) {
    error = "cannot write descriptor file " + path;
    return false;
  }
  return true;
}

ReadDescriptorProcs* DescriptorReadProcs() {
  return &readProcs;
}
WriteDescriptorProcs* DescriptorWriteProcs() {
  return &writeProcs;
}

Handle NewDescriptorHandle(const Descriptor& descriptor) {
  return TextHandle(DescriptorToText(descriptor));
}

bool ReadDescriptorHandle(Handle handle, Descriptor& descriptor, std::string& error) {
  if (!HandleSuite::Instance().IsLive(handle)) {
    error = "not a handle of this host";
    return false;
  }
  return DescriptorFromText(HandleText(handle), descriptor, error);
}

int OpenDescriptorTokens() {
  return int(OpenTokens().size());
}
