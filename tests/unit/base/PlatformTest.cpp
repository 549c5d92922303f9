// The platform's services as every platform file must give them.
#include "base/Platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/MappedFile.h"
#include "support/TestSupport.h"

namespace launcher {
namespace {

namespace fs = std::filesystem;

TEST(Platform, OwnPathAndCurrentDirectoryAreThoseOfThisProcess) {
  const std::string own = OwnExecutablePath();
  ASSERT_FALSE(own.empty());
  EXPECT_TRUE(fs::path(own).is_absolute());
  EXPECT_TRUE(fs::is_regular_file(own)) << own;
  EXPECT_EQ(fs::path(own).stem(), "unit_tests");

  const fs::path before = fs::current_path();
  testsupport::TempDir dir;
  fs::current_path(dir.Path());
  const std::string current = CurrentDirectory();
  fs::current_path(before);
  EXPECT_TRUE(fs::equivalent(current, dir.Path())) << current;
  EXPECT_EQ(CurrentDirectory(), before.string());
}

TEST(MappedFile, GivesTheBytesOfARegularFileAndNothingElse) {
  testsupport::TempDir dir;
  const std::string bytes("PK\x05\x06\xFF and more");
  testsupport::WriteFile(dir / "data", bytes);
  testsupport::WriteFile(dir / "empty", "");
  {
    MappedFile file;
    ASSERT_EQ(file.Open(dir / "data"), MappedFile::Status::kOk);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.Data()), file.Size()), bytes);
  }
  MappedFile empty;
  EXPECT_EQ(empty.Open(dir / "empty"), MappedFile::Status::kCannotMap);
  MappedFile missing;
  EXPECT_EQ(missing.Open(dir / "missing"), MappedFile::Status::kCannotOpen);
  MappedFile folder;
  EXPECT_EQ(folder.Open(dir.Path()), MappedFile::Status::kCannotOpen);
  EXPECT_EQ(folder.Data(), nullptr);
}

}  // namespace
}  // namespace launcher
