#include "ImageFileChecks.h"

#include <cctype>
#include <cstring>

#include <zlib.h>

namespace {

uint32_t Big32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
uint32_t Little32(const uint8_t* p) {
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
uint32_t Little16(const uint8_t* p) {
  return uint32_t(p[1]) << 8 | p[0];
}

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The decoder checks the chunks' order and contents but not their CRCs.
bool CheckPng(const std::vector<uint8_t>& bytes, std::string& error) {
  std::size_t offset = 8;
  for (int index = 0;; ++index) {
    if (bytes.size() - offset < 12) {
      error = "the file ends before its IEND chunk";
      return false;
    }
    const uint8_t* chunk = bytes.data() + offset;
    const uint32_t length = Big32(chunk);
    const std::string type(reinterpret_cast<const char*>(chunk + 4), 4);
    if (length > 0x7FFFFFFFu || bytes.size() - offset - 12 < length) {
      error = "chunk " + std::to_string(index) + " claims " + std::to_string(length) +
              " bytes, more than the file holds";
      return false;
    }
    if (crc32(0, chunk + 4, uInt(length) + 4) != Big32(chunk + 8 + length)) {
      error = "chunk " + std::to_string(index) + " (" + type + ") fails its CRC check";
      return false;
    }
    offset += 12 + std::size_t(length);
    if (type == "IEND") return true;
  }
}

// Binary PNM: "P5" or "P6", width, height and maximum value separated by white
// space or comments, one white-space byte, then the samples (two bytes each above 255).
bool CheckPnm(const std::vector<uint8_t>& bytes, std::string& error) {
  const int channels = bytes[1] == '6' ? 3 : 1;
  std::size_t i = 2;
  uint64_t fields[3] = {0, 0, 0};
  for (uint64_t& field : fields) {
    while (i < bytes.size() && (std::isspace(bytes[i]) || bytes[i] == '#')) {
      if (bytes[i] == '#') {
        while (i < bytes.size() && bytes[i] != '\n' && bytes[i] != '\r')
          ++i;
      } else {
        ++i;
      }
    }
    std::size_t digits = 0;
    while (i < bytes.size() && std::isdigit(bytes[i])) {
      if (++digits > 9) {
        error = "a header number is too large";
        return false;
      }
      field = field * 10 + uint64_t(bytes[i++] - '0');
    }
    if (digits == 0) {
      error = "the header is incomplete";
      return false;
    }
  }
  if (i >= bytes.size() || !std::isspace(bytes[i])) {
    error = "the header is incomplete";
    return false;
  }
  ++i;
  const uint64_t sampleBytes = fields[2] > 255 ? 2 : 1;
  const uint64_t needed = fields[0] * fields[1] * uint64_t(channels) * sampleBytes;
  if (bytes.size() - i < needed) {
    error = "the header claims " + std::to_string(fields[0]) + "x" + std::to_string(fields[1]) +
            " pixels (" + std::to_string(needed) + " bytes), the file holds " +
            std::to_string(bytes.size() - i);
    return false;
  }
  return true;
}

// Uncompressed BMP (plain or with bit fields): the pixel rows, each padded to four
// bytes, lie between the data offset and the end of the file.
bool CheckBmp(const std::vector<uint8_t>& bytes, std::string& error) {
  if (bytes.size() < 26) {
    error = "the headers are incomplete";
    return false;
  }
  const uint32_t offset = Little32(&bytes[10]);
  const uint32_t headerSize = Little32(&bytes[14]);
  uint64_t width = 0, height = 0;
  uint32_t bits = 0, compression = 0;
  if (headerSize == 12) {
    width = Little16(&bytes[18]);
    height = Little16(&bytes[20]);
    bits = Little16(&bytes[24]);
  } else {
    if (headerSize < 40 || bytes.size() < 14 + std::size_t(40)) {
      error = "the headers are incomplete";
      return false;
    }
    const int32_t signedWidth = int32_t(Little32(&bytes[18]));
    const int32_t signedHeight = int32_t(Little32(&bytes[22]));
    width = uint64_t(signedWidth < 0 ? -int64_t(signedWidth) : int64_t(signedWidth));
    height = uint64_t(signedHeight < 0 ? -int64_t(signedHeight) : int64_t(signedHeight));
    bits = Little16(&bytes[28]);
    compression = Little32(&bytes[30]);
  }
  const bool plain = compression == 0 || compression == 3;
  const bool knownDepth =
      bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if (!plain || !knownDepth) return true; // the decoder refuses or handles these itself
  const uint64_t rowBytes = (width * bits + 31) / 32 * 4;
  // Compared by division first, so that a header's huge sizes cannot wrap the product.
  const uint64_t available = bytes.size() > offset ? bytes.size() - offset : 0;
  if (offset > bytes.size() || (height > 0 && rowBytes > available / height)) {
    error = "the header claims " + std::to_string(width) + "x" + std::to_string(height) +
            " pixels from byte " + std::to_string(offset) + ", more than the file's " +
            std::to_string(bytes.size()) + " bytes hold";
    return false;
  }
  return true;
}

} // namespace

bool CheckImageBytes(const std::vector<uint8_t>& bytes, std::string& error) {
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kPngSignature, 8) == 0)
    return CheckPng(bytes, error);
  if (bytes.size() >= 2 && bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '6'))
    return CheckPnm(bytes, error);
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return CheckBmp(bytes, error);
  return true;
}
