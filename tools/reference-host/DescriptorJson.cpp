// The JSON form of descriptor files, read and written with nlohmann/json. Its
// exceptions stop here: every function answers false with a message instead.
#include <cmath>

#include <nlohmann/json.hpp>

#include "Descriptor.h"
#include "Pipl.h"

namespace {

// Keys stay in the order written: key, type, then the type's own fields.
using Json = nlohmann::ordered_json;

constexpr uint32_t typeText = FourCC("TEXT");
constexpr uint32_t typeClass = FourCC("type");
constexpr uint32_t typeAlias = FourCC("alis");
constexpr uint32_t typeObject = FourCC("Objc");

// Each of the code's bytes is the character of that number, encoded as UTF-8.
Json CodeValue(uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto byte = uint8_t(code >> shift);
    if (byte < 0x80) {
      text += char(byte);
    } else {
      text += char(0xC0 | byte >> 6);
      text += char(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

bool CodeFrom(const Json& value, uint32_t& code) {
  if (!value.is_string()) return false;
  const auto& text = value.get_ref<const std::string&>();
  code = 0;
  int count = 0;
  // The parser has checked the UTF-8: a lead byte of 0xC2 or 0xC3 starts one of
  // the characters 0x80 to 0xFF; other lead bytes are characters beyond them.
  for (std::size_t i = 0; i < text.size(); ++i, ++count) {
    auto byte = uint8_t(text[i]);
    if (byte >= 0x80) {
      if ((byte != 0xC2 && byte != 0xC3) || i + 1 == text.size()) return false;
      byte = uint8_t((byte & 0x03) << 6 | (uint8_t(text[++i]) & 0x3F));
    }
    code = code << 8 | byte;
  }
  return count == 4;
}

Json TextValue(const std::string& bytes) {
  try {
    Json text = bytes;
    text.dump(); // refuses bytes that are not UTF-8
    return text;
  } catch (const Json::exception&) {
    return Json(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
}

bool TextFrom(const Json& value, std::string& bytes) {
  if (value.is_string()) {
    bytes = value.get<std::string>();
    return true;
  }
  if (!value.is_array()) return false;
  bytes.clear();
  for (const Json& byte : value) {
    if (!byte.is_number_unsigned() || byte.get<uint64_t>() > 255) return false;
    bytes += char(byte.get<uint8_t>());
  }
  return true;
}

Json NumberValue(double number) {
  if (std::isnan(number)) return "nan";
  if (std::isinf(number)) return number > 0 ? "inf" : "-inf";
  return number;
}

bool NumberFrom(const Json& value, double& number) {
  if (value.is_number()) {
    number = value.get<double>();
    return true;
  }
  if (value == "nan")
    number = NAN;
  else if (value == "inf")
    number = INFINITY;
  else if (value == "-inf")
    number = -INFINITY;
  else
    return false;
  return true;
}

Json ItemValue(const DescriptorItem& item) {
  Json object{{"key", CodeValue(item.key)}, {"type", CodeValue(item.type)}};
  switch (item.type) {
  case typeInteger:
    object["value"] = item.integer;
    break;
  case typeFloat:
    object["value"] = NumberValue(item.number);
    break;
  case typeUnitFloat:
    object["unit"] = CodeValue(item.unit);
    object["value"] = NumberValue(item.number);
    break;
  case typeBoolean:
    object["value"] = item.boolean;
    break;
  case typeEnumerated:
    object["enumType"] = CodeValue(item.unit);
    object["value"] = CodeValue(item.value);
    break;
  case typeClass:
    object["value"] = CodeValue(item.unit);
    break;
  case typeObject:
    object["class"] = CodeValue(item.unit);
    object["value"] = TextValue(item.text);
    break;
  default:
    object["value"] = TextValue(item.text);
    break;
  }
  return object;
}

// A field that holds a code: present and a string of four characters.
bool CodeField(const Json& object, const char* name, uint32_t& code, std::string& error) {
  const auto field = object.find(name);
  if (field == object.end()) {
    error = std::string("has no \"") + name + "\"";
    return false;
  }
  if (!CodeFrom(*field, code)) {
    error = std::string("\"") + name + "\" is not a string of four characters";
    return false;
  }
  return true;
}

bool ItemFrom(const Json& object, DescriptorItem& item, std::string& error) {
  if (!object.is_object()) {
    error = "is not an object";
    return false;
  }
  if (!CodeField(object, "key", item.key, error) || !CodeField(object, "type", item.type, error))
    return false;
  const auto value = object.find("value");
  if (value == object.end()) {
    error = "has no \"value\"";
    return false;
  }
  bool ok = false;
  switch (item.type) {
  case typeInteger:
    ok = value->is_number() && IntegerValue(value->get<double>(), item.integer);
    break;
  case typeFloat:
    ok = NumberFrom(*value, item.number);
    break;
  case typeUnitFloat:
    if (!CodeField(object, "unit", item.unit, error)) return false;
    ok = NumberFrom(*value, item.number);
    break;
  case typeBoolean:
    ok = value->is_boolean();
    item.boolean = ok && value->get<bool>();
    break;
  case typeEnumerated:
    if (!CodeField(object, "enumType", item.unit, error)) return false;
    return CodeField(object, "value", item.value, error);
  case typeClass:
    return CodeField(object, "value", item.unit, error);
  case typeObject:
    if (!CodeField(object, "class", item.unit, error)) return false;
    ok = TextFrom(*value, item.text);
    break;
  case typeText:
  case typeAlias:
    ok = TextFrom(*value, item.text);
    break;
  default:
    error = "has the unknown descriptor type " + Quote4(item.type);
    return false;
  }
  if (!ok) error = "has a malformed \"value\" for type " + Quote4(item.type);
  return ok;
}

} // namespace

std::string DescriptorToJson(const Descriptor& descriptor) {
  std::string json = "[";
  for (std::size_t i = 0; i < descriptor.items.size(); ++i)
    json += (i == 0 ? "\n  " : ",\n  ") + ItemValue(descriptor.items[i]).dump();
  return json + "\n]\n";
}

bool DescriptorFromJson(const std::string& text, Descriptor& descriptor, std::string& error) {
  descriptor.items.clear();
  Json array;
  try {
    array = Json::parse(text);
  } catch (const Json::exception& e) {
    // The library's message without its "[json.exception.parse_error.101] " tag.
    const std::string what = e.what();
    const std::size_t tag = what.find("] ");
    error = "not valid JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2));
    return false;
  }
  if (!array.is_array()) {
    error = "JSON descriptor must be an array";
    return false;
  }
  for (std::size_t index = 0; index < array.size(); ++index) {
    DescriptorItem item;
    if (!ItemFrom(array[index], item, error)) {
      error = "object " + std::to_string(index) + " " + error;
      return false;
    }
    descriptor.Put(item);
  }
  return true;
}
