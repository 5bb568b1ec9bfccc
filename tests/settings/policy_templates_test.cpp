// The Group Policy templates shipped with the release (packaging/policies) name the keys and values that
// the program reads, and offer exactly the named presets.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

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
  std::smatch match;
  if (!std::regex_search(element, match, std::regex("\\b" + name + "=\"([^\"]*)\""))) return "";
  return match[1];
}

// The opening tag of the policy called `name`, with its attributes.
std::string PolicyElement(const std::string& admx, const std::string& name) {
  std::smatch match;
  if (!std::regex_search(admx, match, std::regex("<policy\\s+name=\"" + name + "\"[^>]*>"))) return "";
  return match[0];
}

// Everything between the policy's opening and closing tags.
std::string PolicyBody(const std::string& admx, const std::string& name) {
  const std::size_t start = admx.find("<policy name=\"" + name + "\"");
  if (start == std::string::npos) return "";
  const std::size_t end = admx.find("</policy>", start);
  return end == std::string::npos ? "" : admx.substr(start, end - start);
}

class PolicyTemplates : public ::testing::Test {
 protected:
  const std::string admx_ = ReadFile(LUMAR_SOURCE_DIR "/packaging/policies/lumar.admx");
  const std::string adml_ = ReadFile(LUMAR_SOURCE_DIR "/packaging/policies/en-US/lumar.adml");
};

TEST_F(PolicyTemplates, TheDesktopPicturePolicyIsTheValueTheProgramReads) {
  ASSERT_FALSE(admx_.empty());
  const std::string policy = PolicyElement(admx_, "NoDesktopPicture");
  ASSERT_FALSE(policy.empty());
  EXPECT_EQ(Attribute(policy, "key"), kLumarPolicyKeyPath);
  EXPECT_EQ(Attribute(policy, "valueName"), kNoDesktopPictureValueName);
  EXPECT_EQ(Attribute(policy, "class"), "Both");  // the program reads the machine's and the user's
  const std::string body = PolicyBody(admx_, "NoDesktopPicture");
  EXPECT_NE(body.find("<enabledValue><decimal value=\"1\" /></enabledValue>"), std::string::npos);
  EXPECT_NE(body.find("<disabledValue><decimal value=\"0\" /></disabledValue>"), std::string::npos);
}

TEST_F(PolicyTemplates, TheDefaultPresetIsTheMachineValueTheProgramReadsWithEveryNamedPreset) {
  const std::string policy = PolicyElement(admx_, "DefaultPreset");
  ASSERT_FALSE(policy.empty());
  EXPECT_EQ(Attribute(policy, "key"), kProgramKeyPath);
  EXPECT_EQ(Attribute(policy, "class"), "Machine");
  const std::string body = PolicyBody(admx_, "DefaultPreset");
  std::smatch match;
  ASSERT_TRUE(std::regex_search(body, match, std::regex("<enum [^>]*valueName=\"([^\"]*)\"")));
  EXPECT_EQ(match[1], kDefaultPresetValueName);

  std::set<std::string> offered;
  const std::regex item("<value><string>([^<]*)</string></value>");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), item); it != std::sregex_iterator(); ++it)
    offered.insert((*it)[1]);
  std::set<std::string> named;
  for (const Preset& preset : PresetTable()) {
    if (preset.name) named.insert(preset.name);
  }
  EXPECT_EQ(offered, named);
  for (const std::string& name : offered) EXPECT_GT(PresetIdByName(name.c_str()), 0) << name;
}

TEST_F(PolicyTemplates, EveryStringAndPresentationTheTemplateUsesIsDefined) {
  ASSERT_FALSE(adml_.empty());
  const std::regex reference("\\$\\((string|presentation)\\.([A-Za-z_0-9]+)\\)");
  int references = 0;
  for (auto it = std::sregex_iterator(admx_.begin(), admx_.end(), reference); it != std::sregex_iterator();
       ++it) {
    ++references;
    const std::string kind = (*it)[1];
    const std::string id = (*it)[2];
    EXPECT_NE(adml_.find("<" + kind + " id=\"" + id + "\""), std::string::npos) << kind << " " << id;
  }
  EXPECT_GT(references, 30);
}

}  // namespace
}  // namespace lumar
