// Candidate places of the user's guide.
#include "config/user_guide.h"

#include <algorithm>
#include <cctype>

namespace lumar {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string WithoutTrailingSeparators(std::string folder) {
  while (!folder.empty() && IsSeparator(folder.back())) folder.pop_back();
  return folder;
}

// Windows folder names compare without regard to letter case or the kind of slash.
std::string Comparable(const std::string& folder) {
  std::string key = WithoutTrailingSeparators(folder);
  std::transform(key.begin(), key.end(), key.begin(),
                 [](unsigned char c) { return c == '/' ? '\\' : static_cast<char>(std::tolower(c)); });
  return key;
}

}  // namespace

std::vector<std::string> UserGuideCandidates(const std::string& programPath,
                                             const std::string& installFolder) {
  std::vector<std::string> folders;
  const std::size_t slash = programPath.find_last_of("\\/");
  if (slash != std::string::npos) folders.push_back(programPath.substr(0, slash));
  folders.push_back(installFolder);

  std::vector<std::string> candidates;
  std::string previous;
  for (const std::string& folder : folders) {
    const std::string trimmed = WithoutTrailingSeparators(folder);
    // A drive root ("C:\") keeps its separator through the join below.
    if (trimmed.empty() || Comparable(trimmed) == previous) continue;
    previous = Comparable(trimmed);
    candidates.push_back(trimmed + '\\' + kUserGuideFile);
  }
  return candidates;
}

}  // namespace lumar
