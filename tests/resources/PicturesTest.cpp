#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FileBytes.h"

namespace auralis::testing {
namespace {

// The tool bar's pictures in button order; each has a highlighted form named "<name>-hot".
const std::vector<std::string> kToolPictures = {"identify", "unlock",   "mimic", "sing",
                                                "meditate", "practice", "help",  "statistics"};

// prefix -> alias -> file, as the resource file lists them.
using ResourceList = std::map<std::string, std::map<std::string, std::string>>;

// The text between `open` and the next `close` in a line, or nothing.
std::optional<std::string> between(const std::string& line, const std::string& open,
                                   const std::string& close) {
  const std::size_t start = line.find(open);
  if (start == std::string::npos) return std::nullopt;
  const std::size_t end = line.find(close, start + open.size());
  if (end == std::string::npos) return std::nullopt;
  return line.substr(start + open.size(), end - start - open.size());
}

// One element a line, as the file is written.
ResourceList readResourceList() {
  ResourceList list;
  std::ifstream file(kResources / "resources.qrc");
  std::string prefix;
  for (std::string line; std::getline(file, line);) {
    if (auto name = between(line, "<qresource prefix=\"", "\"")) prefix = *name;
    const auto alias = between(line, "<file alias=\"", "\"");
    const auto path = between(line, "\">", "</file>");
    if (alias && path) list[prefix][*alias] = *path;
  }
  return list;
}

struct PngHeader {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int bitDepth = 0;
  int colourType = 0;
};

// The image header, which a PNG must start with after its signature; nothing when the file
// is not a PNG.
std::optional<PngHeader> readPngHeader(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = fileBytes(path);
  const std::vector<std::uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 33 || !std::equal(signature.begin(), signature.end(), bytes.begin()) ||
      tagAt(bytes, 12) != "IHDR") {
    return std::nullopt;
  }
  return PngHeader{bigEndianAt(bytes, 16), bigEndianAt(bytes, 20), bytes[24], bytes[25]};
}

TEST(ResourceList, NamesEverySoundAndPictureTheWindowLoads) {
  const ResourceList list = readResourceList();
  std::vector<std::string> pictures = {"auralis"};
  for (const std::string& name : kToolPictures) {
    pictures.push_back(name);
    pictures.push_back(name + "-hot");
  }
  const std::map<std::string, std::vector<std::string>> expected = {
      {"/sounds", {"CORRECT", "INCORRECT", "PROMOTE", "DEMOTE"}}, {"/pictures", pictures}};

  ASSERT_EQ(list.size(), expected.size());
  for (const auto& [prefix, aliases] : expected) {
    SCOPED_TRACE(prefix);
    ASSERT_EQ(list.count(prefix), 1u);
    const auto& files = list.at(prefix);
    EXPECT_EQ(files.size(), aliases.size());
    for (const std::string& alias : aliases) {
      SCOPED_TRACE(alias);
      ASSERT_EQ(files.count(alias), 1u);
      EXPECT_TRUE(std::filesystem::is_regular_file(kResources / files.at(alias)));
    }
  }
}

TEST(Pictures, AreRgbaPngsOfTheirSize) {
  std::vector<std::pair<std::string, std::uint32_t>> cases = {{"auralis-256.png", 256},
                                                              {"auralis-64.png", 64}};
  for (const std::string& name : kToolPictures) {
    cases.emplace_back(name + ".png", 64);
    cases.emplace_back(name + "-hot.png", 64);
  }
  for (const auto& [file, size] : cases) {
    SCOPED_TRACE(file);
    const std::optional<PngHeader> header = readPngHeader(kResources / "pictures" / file);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, size);
    EXPECT_EQ(header->height, size);
    EXPECT_EQ(header->bitDepth, 8);
    EXPECT_EQ(header->colourType, 6);  // RGBA: the button face shows through
  }
}

TEST(Pictures, HighlightedFormDiffersFromTheNormalOne) {
  for (const std::string& name : kToolPictures) {
    SCOPED_TRACE(name);
    const std::vector<std::uint8_t> normal = fileBytes(kResources / "pictures" / (name + ".png"));
    ASSERT_FALSE(normal.empty());
    EXPECT_NE(normal, fileBytes(kResources / "pictures" / (name + "-hot.png")));
  }
}

}  // namespace
}  // namespace auralis::testing
