// The Group Policy templates shipped with the release (packaging/policies) name the keys and values that
// the program reads, and offer exactly the named presets.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "settings/policy.h"
#include "settings/presets.h"

namespace lumar {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The value of attribute `name` in an element's text; empty when it has none.
std::string Attribute(const std::string& element, const std::string& name) {
  const std::string opening = " " + name + "=\"";
  const std::size_t start = element.find(opening);
  if (start == std::string::npos) return "";
  const std::size_t first = start + opening.size();
  const std::size_t end = element.find('"', first);
  return end == std::string::npos ? "" : element.substr(first, end - first);
}

// The opening tag of the first `tag` element at or after `from` in `text`, with its attributes.
std::string OpeningTag(const std::string& text, const std::string& tag, std::size_t from = 0) {
  const std::size_t start = text.find("<" + tag + " ", from);
  if (start == std::string::npos) return "";
  const std::size_t end = text.find('>', start);
  return end == std::string::npos ? "" : text.substr(start, end + 1 - start);
}

// Everything between the opening tag of the policy called `name` and its closing tag.
std::string PolicyBody(const std::string& admx, const std::string& name) {
  const std::size_t start = admx.find("<policy name=\"" + name + "\"");
  if (start == std::string::npos) return "";
  const std::size_t end = admx.find("</policy>", start);
  return end == std::string::npos ? "" : admx.substr(start, end - start);
}

// The texts between every `opening` and the `closing` after it.
std::vector<std::string> Enclosed(const std::string& text, const std::string& opening,
                                  const std::string& closing) {
  std::vector<std::string> found;
  for (std::size_t at = text.find(opening); at != std::string::npos; at = text.find(opening, at + 1)) {
    const std::size_t first = at + opening.size();
    const std::size_t end = text.find(closing, first);
    if (end == std::string::npos) break;
    found.push_back(text.substr(first, end - first));
  }
  return found;
}

class PolicyTemplates : public ::testing::Test {
 protected:
  const std::string admx_ = ReadFile(LUMAR_SOURCE_DIR "/packaging/policies/lumar.admx");
  const std::string adml_ = ReadFile(LUMAR_SOURCE_DIR "/packaging/policies/en-US/lumar.adml");
};

TEST_F(PolicyTemplates, TheDesktopPicturePolicyIsTheValueTheProgramReads) {
  ASSERT_FALSE(admx_.empty());
  const std::string policy = OpeningTag(PolicyBody(admx_, "NoDesktopPicture"), "policy");
  ASSERT_FALSE(policy.empty());
  EXPECT_EQ(Attribute(policy, "key"), kLumarPolicyKeyPath);
  EXPECT_EQ(Attribute(policy, "valueName"), kNoDesktopPictureValueName);
  EXPECT_EQ(Attribute(policy, "class"), "Both");  // the program reads the machine's and the user's
  const std::string body = PolicyBody(admx_, "NoDesktopPicture");
  EXPECT_NE(body.find("<enabledValue><decimal value=\"1\" /></enabledValue>"), std::string::npos);
  EXPECT_NE(body.find("<disabledValue><decimal value=\"0\" /></disabledValue>"), std::string::npos);
}

TEST_F(PolicyTemplates, TheDefaultPresetIsTheMachineValueTheProgramReadsWithEveryNamedPreset) {
  const std::string policy = OpeningTag(PolicyBody(admx_, "DefaultPreset"), "policy");
  ASSERT_FALSE(policy.empty());
  EXPECT_EQ(Attribute(policy, "key"), kProgramKeyPath);
  EXPECT_EQ(Attribute(policy, "class"), "Machine");
  const std::string body = PolicyBody(admx_, "DefaultPreset");
  EXPECT_EQ(Attribute(OpeningTag(body, "enum"), "valueName"), kDefaultPresetValueName);

  const std::vector<std::string> items = Enclosed(body, "<value><string>", "</string></value>");
  const std::set<std::string> offered(items.begin(), items.end());
  EXPECT_EQ(offered.size(), items.size()) << "a preset offered twice";
  std::set<std::string> named;
  for (const Preset& preset : PresetTable()) {
    if (preset.name) named.insert(preset.name);
  }
  EXPECT_EQ(offered, named);
  for (const std::string& name : offered) EXPECT_GT(PresetIdByName(name.c_str()), 0) << name;
}

TEST_F(PolicyTemplates, EveryStringAndPresentationTheTemplateUsesIsDefined) {
  ASSERT_FALSE(adml_.empty());
  int references = 0;
  for (const std::string& reference : Enclosed(admx_, "$(", ")")) {
    ++references;
    const std::size_t dot = reference.find('.');
    ASSERT_NE(dot, std::string::npos) << reference;
    const std::string kind = reference.substr(0, dot);
    const std::string id = reference.substr(dot + 1);
    EXPECT_TRUE(kind == "string" || kind == "presentation") << reference;
    EXPECT_NE(adml_.find("<" + kind + " id=\"" + id + "\""), std::string::npos) << kind << " " << id;
  }
  EXPECT_GT(references, 30);
}

}  // namespace
}  // namespace lumar
