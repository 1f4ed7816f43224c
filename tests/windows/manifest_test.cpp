// The application manifest, resources/stripband.manifest: an assembly that asks for Common
// Controls 6 for x86 and says nothing else (no execution level, no DPI awareness, no list of
// supported systems). The executable checks make sure the program carries this very file.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#ifndef STRIPBAND_RESOURCES_DIR
#error "STRIPBAND_RESOURCES_DIR must name resources/"
#endif

namespace stripband::testing {
namespace {

using Attributes = std::map<std::string, std::string>;

struct Tag {
  std::string name;  // "?xml" for the declaration, "/name" for a closing tag
  Attributes attributes;
  bool self_closing = false;
  std::string text_after;  // up to the next tag
};

// The tags of a small, well-formed XML document, with their attributes. Enough for a manifest:
// no comments, CDATA or entities.
std::vector<Tag> ReadTags(const std::string& xml) {
  std::vector<Tag> tags;
  size_t at = xml.find('<');
  while (at != std::string::npos) {
    const size_t end = xml.find('>', at);
    if (end == std::string::npos) break;
    std::string inside = xml.substr(at + 1, end - at - 1);
    Tag tag;
    if (!inside.empty() && (inside.back() == '/' || inside.back() == '?')) {
      tag.self_closing = true;
      inside.pop_back();
    }
    size_t i = inside.find_first_of(" \t\r\n");
    tag.name = inside.substr(0, i);
    while (i != std::string::npos && i < inside.size()) {
      const size_t key = inside.find_first_not_of(" \t\r\n", i);
      if (key == std::string::npos) break;
      const size_t equals = inside.find('=', key);
      const size_t open = inside.find('"', equals);
      const size_t close = inside.find('"', open + 1);
      if (equals == std::string::npos || open != equals + 1 || close == std::string::npos) {
        tag.attributes["<malformed>"] = inside.substr(key);
        break;
      }
      tag.attributes[inside.substr(key, equals - key)] = inside.substr(open + 1, close - open - 1);
      i = close + 1;
    }
    at = xml.find('<', end);
    tag.text_after = xml.substr(end + 1, (at == std::string::npos ? xml.size() : at) - end - 1);
    tags.push_back(tag);
  }
  return tags;
}

bool Blank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }

class Manifest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(STRIPBAND_RESOURCES_DIR "/stripband.manifest", std::ios::binary);
    text_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text_.empty());
    for (const Tag& tag : ReadTags(text_)) {
      if (tag.name.starts_with("/") || tag.name.starts_with("?")) continue;
      elements_.push_back(tag);
    }
    ASSERT_EQ(elements_.size(), 6u) << text_;
  }

  std::string text_;
  std::vector<Tag> elements_;  // opening and self-closing tags, in order
};

TEST_F(Manifest, IsAnXmlDocumentInUtf8) {
  const std::vector<Tag> tags = ReadTags(text_);
  ASSERT_FALSE(tags.empty());
  EXPECT_EQ(tags.front().name, "?xml");
  EXPECT_EQ(tags.front().attributes.at("encoding"), "UTF-8");
  EXPECT_TRUE(text_.starts_with("<?xml"));
}

TEST_F(Manifest, HoldsItsIdentityDescriptionAndOneDependencyOnly) {
  std::vector<std::string> names;
  for (const Tag& tag : elements_) names.push_back(tag.name);
  const std::vector<std::string> expected = {"assembly",   "assemblyIdentity",  "description",
                                             "dependency", "dependentAssembly", "assemblyIdentity"};
  EXPECT_EQ(names, expected);
}

TEST_F(Manifest, IsAnAssemblyOfManifestVersionOne) {
  const Attributes expected = {{"xmlns", "urn:schemas-microsoft-com:asm.v1"},
                               {"manifestVersion", "1.0"}};
  EXPECT_EQ(elements_[0].attributes, expected);
}

TEST_F(Manifest, NamesItselfAsAnX86Win32AssemblyOfVersionOne) {
  Attributes identity = elements_[1].attributes;
  EXPECT_FALSE(identity["name"].empty());
  identity.erase("name");  // the name is the program's own choice
  const Attributes expected = {
      {"version", "1.0.0.0"}, {"processorArchitecture", "X86"}, {"type", "win32"}};
  EXPECT_EQ(identity, expected);
}

TEST_F(Manifest, HasAnEmptyDescription) {
  const std::vector<Tag> tags = ReadTags(text_);
  for (size_t i = 0; i < tags.size(); ++i) {
    if (tags[i].name != "description") continue;
    EXPECT_TRUE(tags[i].attributes.empty());
    if (tags[i].self_closing) return;
    ASSERT_LT(i + 1, tags.size());
    EXPECT_EQ(tags[i + 1].name, "/description");
    EXPECT_EQ(tags[i].text_after, "");
    return;
  }
  ADD_FAILURE() << "no description";
}

TEST_F(Manifest, DependsOnCommonControlsSixForX86) {
  const Attributes expected = {{"type", "win32"},
                               {"name", "Microsoft.Windows.Common-Controls"},
                               {"version", "6.0.0.0"},
                               {"processorArchitecture", "X86"},
                               {"publicKeyToken", "6595b64144ccf1df"},
                               {"language", "*"}};
  EXPECT_EQ(elements_[5].attributes, expected);
  EXPECT_TRUE(elements_[5].self_closing);
  for (size_t i : {2u, 3u, 4u}) EXPECT_TRUE(elements_[i].attributes.empty()) << elements_[i].name;
}

TEST_F(Manifest, AsksForNoExecutionLevelDpiAwarenessOrSupportedSystems) {
  for (const char* word :
       {"trustInfo", "requestedExecutionLevel", "requestedPrivileges", "dpiAware", "dpiAwareness",
        "compatibility", "supportedOS", "application"}) {
    EXPECT_EQ(text_.find(word), std::string::npos) << word;
  }
  for (const Tag& tag : ReadTags(text_)) {
    EXPECT_TRUE(Blank(tag.text_after) || tag.name == "description") << tag.name;
  }
}

}  // namespace
}  // namespace stripband::testing
