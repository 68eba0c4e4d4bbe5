// The file in which the host keeps a plug-in's parameters between processes: the
// word "tintara-host-parameters", the byte count, then each byte in hex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

std::string StateFileText(const uint8_t* bytes, std::size_t size);
// Refuses anything that is not exactly such a file: another first word, a missing
// or malformed count, fewer or more bytes than the count, bytes that are not hex.
bool ParseStateFile(const std::string& text, std::vector<uint8_t>& bytes, std::string& error);
