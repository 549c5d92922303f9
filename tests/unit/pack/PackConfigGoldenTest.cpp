// The configuration as inspect (text and JSON) and check show it, byte for byte, for one skin
// that gives every key: a key read into the wrong field, under another name, with another
// width or default changes one of the golden files under golden/. After an intended change,
// LAUNCHER_UPDATE_GOLDEN=1 rewrites them; review their diff.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "PackFixtures.h"
#include "support/TestSupport.h"

namespace launcher::pack {
namespace {

using testsupport::ReadFile;
using testsupport::TempDir;

const std::string kGolden = LAUNCHER_SOURCE_DIR "/tests/unit/pack/golden/";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

// From the first line starting with marker to the end.
std::string From(const std::string& text, const std::string& marker) {
  std::size_t at = text.find("\n" + marker);
  return at == std::string::npos ? text : text.substr(at + 1);
}

// The findings about cg.txt, and the exit code.
std::string ConfigFindings(const fixtures::Outcome& outcome) {
  std::string kept;
  std::size_t start = 0;
  while (start < outcome.out.size()) {
    std::size_t end = outcome.out.find('\n', start);
    std::string line = outcome.out.substr(start, end - start);
    if (line.starts_with("skin/cg.txt")) {
      kept += line + "\n";
    }
    start = end == std::string::npos ? outcome.out.size() : end + 1;
  }
  return kept + "exit " + std::to_string(outcome.code) + "\n";
}

void ExpectGolden(const std::string& name, const std::string& actual) {
  if (std::getenv("LAUNCHER_UPDATE_GOLDEN")) {
    testsupport::WriteFile(kGolden + name, actual);
    return;
  }
  EXPECT_EQ(actual, ReadFile(kGolden + name)) << name;
}

TEST(PackConfigGolden, InspectAndCheckShowEveryKeyAsTheGoldenFilesSay) {
  TempDir dir;
  std::filesystem::create_directory(dir / "skin");
  auto files = fixtures::CleanSkin();
  files["cg.txt"] = ReadFile(kGolden + "cg.txt");
  fixtures::WriteSkin(dir / "skin", files);
  // Paths as the tests' folder gives them, so that they do not depend on where it lies.
  auto local = [&](fixtures::Outcome outcome) {
    outcome.out = Replace(outcome.out, dir.Path() + "/", "");
    return outcome;
  };

  fixtures::Outcome text = local(fixtures::Pack({"inspect", dir / "skin"}));
  ASSERT_EQ(text.code, 0) << text.err;
  ExpectGolden("inspect.txt", From(text.out, "Configuration:"));

  fixtures::Outcome json = local(fixtures::Pack({"inspect", dir / "skin", "--json"}));
  ASSERT_EQ(json.code, 0) << json.err;
  ExpectGolden("inspect.json", From(json.out, "  \"config\":"));

  ExpectGolden("check.txt", ConfigFindings(local(fixtures::Pack({"check", dir / "skin"}))));
}

}  // namespace
}  // namespace launcher::pack
