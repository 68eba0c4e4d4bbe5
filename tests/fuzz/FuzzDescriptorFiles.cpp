// The reference host's descriptor files on arbitrary bytes, read both as the text
// form and as JSON. Neither reader may throw or read outside the input, and what a
// reader accepts must survive being written and read again: the written form reads
// back without error and writes out the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Descriptor.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void RoundTrip(const Descriptor& descriptor) {
  std::string error;
  const std::string text = DescriptorToText(descriptor);
  Descriptor fromText;
  Check(DescriptorFromText(text, fromText, error));
  Check(DescriptorToText(fromText) == text);
  const std::string json = DescriptorToJson(descriptor);
  Descriptor fromJson;
  Check(DescriptorFromJson(json, fromJson, error));
  Check(DescriptorToJson(fromJson) == json);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string error;
  Descriptor text;
  if (DescriptorFromText(input, text, error))
    RoundTrip(text);
  else
    Check(!error.empty());
  Descriptor json;
  error.clear();
  if (DescriptorFromJson(input, json, error))
    RoundTrip(json);
  else
    Check(!error.empty());
  return 0;
}
