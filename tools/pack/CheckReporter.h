// Shared by the two halves of the check: the text of cg.txt (CheckConfig.cpp) and the files
// and pictures of the package (Check.cpp). Not part of the packer's interface.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pack/Check.h"

namespace launcher::pack {

class Reporter {
 public:
  Reporter(const Package& package, std::vector<Finding>* findings)
      : package_(package), findings_(findings) {}

  const Package& GetPackage() const { return package_; }

  // About a file of the package as a whole.
  void AtFile(Severity severity, FindingKind kind, std::string_view entryName, std::string message);
  // About a line of cg.txt.
  void AtLine(Severity severity, FindingKind kind, std::string_view section, std::string_view key,
              int line, std::string message);
  // About the value the launcher reads for section/key: its line, or the section header's
  // line when the key is absent (the launcher then uses the default).
  void AtKey(Severity severity, FindingKind kind, std::string_view section, std::string_view key,
             std::string message);

 private:
  const Package& package_;
  std::vector<Finding>* findings_;
};

// Sections, keys, lines, counts and values of cg.txt, and the function keys.
void CheckConfigText(Reporter& report);

// Configuration text (GBK) for a message.
std::string Shown(std::string_view gbk);

// The parts of a message, joined.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::string out;
  ((out += parts), ...);
  return out;
}

}  // namespace launcher::pack
