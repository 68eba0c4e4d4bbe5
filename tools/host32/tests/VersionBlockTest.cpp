// The emulated host answers the plug-in's version queries from a resource tree:
// paths must find their nodes whatever the case of the keys, missing keys must
// answer "none", and a tree with wrong lengths must never be read past its end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VersionBlock.h"

namespace {

// Builds a node: length, value length, type, key, value, children; each 4-aligned.
std::vector<uint8_t> MakeNode(const std::string& key, const std::vector<uint8_t>& value,
                              uint16_t valueLength, uint16_t type,
                              const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> n(6, 0);
  for (char c : key) {
    n.push_back(uint8_t(c));
    n.push_back(0);
  }
  n.insert(n.end(), {0, 0});
  n.resize((n.size() + 3) & ~std::size_t(3), 0);
  n.insert(n.end(), value.begin(), value.end());
  for (const auto& child : children) {
    n.resize((n.size() + 3) & ~std::size_t(3), 0);
    n.insert(n.end(), child.begin(), child.end());
  }
  n[0] = uint8_t(n.size());
  n[1] = uint8_t(n.size() >> 8);
  n[2] = uint8_t(valueLength);
  n[3] = uint8_t(valueLength >> 8);
  n[4] = uint8_t(type);
  return n;
}

std::vector<uint8_t> Text(const std::string& text) {
  std::vector<uint8_t> units;
  for (char c : text)
    units.insert(units.end(), {uint8_t(c), 0});
  units.insert(units.end(), {0, 0});
  return units;
}

std::vector<uint8_t> ExcludedHostBlock() {
  std::vector<uint8_t> fixed(52, 0);
  fixed[0] = 0xBD; // VS_FIXEDFILEINFO signature 0xFEEF04BD
  fixed[1] = 0x04;
  fixed[2] = 0xEF;
  fixed[3] = 0xFE;
  auto internal = MakeNode("InternalName", Text("Adobe Premiere"), 15, 1, {});
  auto version = MakeNode("FileVersion", Text("6.0"), 4, 1, {});
  auto table = MakeNode("040904b0", {}, 0, 1, {internal, version});
  auto strings = MakeNode("StringFileInfo", {}, 0, 1, {table});
  auto translation = MakeNode("Translation", {0x09, 0x04, 0xB0, 0x04}, 4, 0, {});
  auto vars = MakeNode("VarFileInfo", {}, 0, 1, {translation});
  return MakeNode("VS_VERSION_INFO", fixed, 52, 0, {strings, vars});
}

std::string ValueText(const std::vector<uint8_t>& block, const VersionNode& node) {
  std::string text;
  for (std::size_t i = 0; i + 1 < node.valueLength; ++i)
    text += char(block[node.valueAt + 2 * i]);
  return text;
}

TEST(VersionBlock, FindsTheRootTheTranslationAndTextsWhateverTheCase) {
  const std::vector<uint8_t> block = ExcludedHostBlock();
  VersionNode node;
  ASSERT_TRUE(FindVersionNode(block.data(), block.size(), "\\", node));
  EXPECT_EQ(node.valueLength, 52);
  EXPECT_EQ(block[node.valueAt + 3], 0xFE);
  ASSERT_TRUE(FindVersionNode(block.data(), block.size(), "\\VarFileInfo\\Translation", node));
  EXPECT_EQ(node.valueLength, 4);
  EXPECT_EQ(block[node.valueAt + 2], 0xB0);
  ASSERT_TRUE(FindVersionNode(block.data(), block.size(),
                              "\\StringFileInfo\\040904B0\\internalname", node));
  EXPECT_EQ(ValueText(block, node), "Adobe Premiere");
  ASSERT_TRUE(
      FindVersionNode(block.data(), block.size(), "\\StringFileInfo\\040904b0\\FileVersion", node));
  EXPECT_EQ(ValueText(block, node), "6.0");
}

TEST(VersionBlock, MissingKeysAreNotFound) {
  const std::vector<uint8_t> block = ExcludedHostBlock();
  VersionNode node;
  EXPECT_FALSE(FindVersionNode(block.data(), block.size(),
                               "\\StringFileInfo\\04090000\\InternalName", node));
  EXPECT_FALSE(
      FindVersionNode(block.data(), block.size(), "\\StringFileInfo\\040904b0\\InternalNam", node));
  EXPECT_FALSE(FindVersionNode(block.data(), block.size(), "\\VarFileInfo\\Translation\\x", node));
  EXPECT_FALSE(FindVersionNode(block.data(), 5, "\\", node));
}

void SetU16(std::vector<uint8_t>& block, std::size_t at, uint16_t value) {
  block[at] = uint8_t(value);
  block[at + 1] = uint8_t(value >> 8);
}

std::size_t NodeAt(const std::vector<uint8_t>& block, const std::string& path) {
  VersionNode node;
  EXPECT_TRUE(FindVersionNode(block.data(), block.size(), path, node)) << path;
  return node.at;
}

// Lengths that disagree with what a node holds are followed as Windows and Wine
// follow them, so that identification sees what it sees there: a text that
// overhangs its node's length, a last child that reaches past the root, a text
// of type 2; a child of length 0 ends the search.
TEST(VersionBlock, MalformedLengthsAndTypesAreReadAsWindowsReadsThem) {
  const std::string internal = "\\StringFileInfo\\040904b0\\InternalName";
  VersionNode node;
  std::vector<uint8_t> block = ExcludedHostBlock();
  const std::size_t at = NodeAt(block, internal);
  SetU16(block, at, uint16_t(block[at] - 2));
  ASSERT_TRUE(FindVersionNode(block.data(), block.size(), internal, node));
  EXPECT_EQ(ValueText(block, node), "Adobe Premiere");

  block = ExcludedHostBlock();
  const std::size_t vars = NodeAt(block, "\\VarFileInfo");
  SetU16(block, vars, uint16_t(block[vars] + 4));
  ASSERT_TRUE(FindVersionNode(block.data(), block.size(), "\\VarFileInfo\\Translation", node));
  EXPECT_EQ(block[node.valueAt + 2], 0xB0);

  block = ExcludedHostBlock();
  SetU16(block, NodeAt(block, internal) + 4, 2);
  ASSERT_TRUE(FindVersionNode(block.data(), block.size(), internal, node));
  EXPECT_EQ(node.type, 2);
  EXPECT_EQ(ValueText(block, node), "Adobe Premiere");

  block = ExcludedHostBlock();
  SetU16(block, NodeAt(block, internal), 0);
  EXPECT_FALSE(
      FindVersionNode(block.data(), block.size(), "\\StringFileInfo\\040904b0\\FileVersion", node));
}

// Every length field and every byte set to other values, and every shortened
// limit: lookups answer without reading past the limit (the asan preset runs
// this under AddressSanitizer, with the block copied to its exact size).
TEST(VersionBlock, DamagedTreesNeverReadPastTheLimit) {
  const std::vector<uint8_t> good = ExcludedHostBlock();
  const char* paths[] = {"\\", "\\VarFileInfo\\Translation",
                         "\\StringFileInfo\\040904b0\\FileVersion"};
  auto probe = [&](const std::vector<uint8_t>& block, std::size_t limit) {
    std::vector<uint8_t> exact(block.begin(), block.begin() + long(limit));
    for (const char* path : paths) {
      VersionNode node;
      if (FindVersionNode(exact.data(), exact.size(), path, node)) {
        ASSERT_LE(node.end, exact.size());
        ASSERT_LE(node.valueAt + (node.type != 0 ? 2u : 1u) * node.valueLength, exact.size());
      }
    }
  };
  for (std::size_t limit = 0; limit <= good.size(); ++limit)
    probe(good, limit);
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x07)}) {
      std::vector<uint8_t> bytes = good;
      bytes[at] = value;
      probe(bytes, bytes.size());
    }
  }
}

} // namespace
