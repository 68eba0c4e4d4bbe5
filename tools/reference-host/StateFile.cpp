#include "StateFile.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace {

constexpr const char* kMagic = "tintara-host-parameters";
constexpr std::size_t kMaxBytes = std::size_t(1) << 20;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

} // namespace

std::string StateFileText(const uint8_t* bytes, std::size_t size) {
  std::string text = std::string(kMagic) + " " + std::to_string(size) + "\n";
  char buffer[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", unsigned(bytes[i]));
    text += buffer;
    text += (i % 32 == 31) ? "\n" : " ";
  }
  return text + "\n";
}

bool ParseStateFile(const std::string& text, std::vector<uint8_t>& bytes, std::string& error) {
  std::istringstream words(text);
  std::string word;
  if (!(words >> word) || word != kMagic) {
    error = "is not a parameters file of this host";
    return false;
  }
  std::size_t size = 0;
  bool counted = static_cast<bool>(words >> word) && word.size() <= 7;
  for (char c : counted ? word : std::string())
    counted = counted && std::isdigit(static_cast<unsigned char>(c)) != 0;
  if (counted) size = std::stoul(word);
  if (!counted || size > kMaxBytes) {
    error =
        "has no byte count (a number up to " + std::to_string(kMaxBytes) + ") after its first word";
    return false;
  }
  bytes.clear();
  while (words >> word) {
    const int high = HexDigit(word[0]);
    const int low = word.size() == 2 ? HexDigit(word[1]) : -1;
    if (high < 0 || low < 0) {
      error = "byte " + std::to_string(bytes.size()) + " (\"" + word.substr(0, 8) +
              "\") is not two hex digits";
      return false;
    }
    if (bytes.size() == size) {
      error = "holds more than the " + std::to_string(size) + " bytes its count says";
      return false;
    }
    bytes.push_back(uint8_t(high * 16 + low));
  }
  if (bytes.size() != size) {
    error = "is truncated: it holds " + std::to_string(bytes.size()) + " of the " +
            std::to_string(size) + " bytes its count says";
    return false;
  }
  return true;
}
