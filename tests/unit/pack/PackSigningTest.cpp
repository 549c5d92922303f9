// Signed updates from the packer's side: the key pair, the signature the launcher checks, and
// the public key packed into the launcher.
#include <gtest/gtest.h>
#include <sodium.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "PackFixtures.h"
#include "PackJsonReader.h"
#include "pack/Check.h"
#include "pack/Cli.h"
#include "pack/Package.h"
#include "support/TestSupport.h"

namespace launcher::pack {
namespace {

using fixtures::Outcome;
using fixtures::Pack;

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char two[3];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof two, "%02x", c);
    out += two;
  }
  return out;
}

mode_t Mode(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(PackSigning, KeygenSignBuildAndInspectAgree) {
  ASSERT_GE(sodium_init(), 0);
  TempDir dir;
  ASSERT_EQ(Pack({"keygen", dir / "key"}).code, 0);
  const std::string secret = ReadFile(dir / "key");
  const std::string pub = ReadFile(dir / "key.pub");
  ASSERT_EQ(secret.size(), crypto_sign_SECRETKEYBYTES);
  ASSERT_EQ(pub.size(), crypto_sign_PUBLICKEYBYTES);
  EXPECT_EQ(secret.substr(32), pub);  // libsodium's secret key carries its public half
  EXPECT_EQ(Mode(dir / "key"), 0600u);

  // Never over an existing key, nor through a link; nothing else is touched.
  EXPECT_EQ(Pack({"keygen", dir / "key"}).code, 2);
  EXPECT_EQ(ReadFile(dir / "key"), secret);
  EXPECT_EQ(ReadFile(dir / "key.pub"), pub);
  WriteFile(dir / "target", "mine");
  fs::create_symlink(dir / "target", dir / "linked");
  EXPECT_EQ(Pack({"keygen", dir / "linked"}).code, 2);
  EXPECT_EQ(ReadFile(dir / "target"), "mine");
  EXPECT_FALSE(testsupport::FileExists(dir / "linked.pub"));

  // Build with the public key; the packed key is the one the launcher gets.
  fs::create_directory(dir / "skin");
  fixtures::WriteSkin(dir / "skin", fixtures::CleanSkin());
  WriteFile(dir / "launcher", testsupport::PlainExecutable(), 0755);
  Outcome built = Pack({"build", dir / "skin", "-o", dir / "game", "--exe", dir / "launcher",
                        "--update-key", dir / "key.pub"});
  ASSERT_EQ(built.code, 0) << built.err;
  Outcome inspected = Pack({"inspect", dir / "game", "--json"});
  ASSERT_EQ(inspected.code, 0);
  fixtures::JsonValue json = fixtures::JsonReader::Read(inspected.out);
  EXPECT_EQ(json["updates"]["state"].text, "signed");
  EXPECT_EQ(json["updates"]["key"].text, Hex(pub));
  EXPECT_NE(Pack({"inspect", dir / "game"}).out.find("signed, Ed25519 public key " + Hex(pub)),
            std::string::npos);
  Outcome checked = Pack({"check", dir / "game"});
  EXPECT_EQ(checked.code, 0) << checked.out;
  EXPECT_NE(checked.out.find(Hex(pub)), std::string::npos) << checked.out;

  // The signature is over the whole file, checkable with the public key alone.
  Outcome signedExe = Pack({"sign", dir / "game", dir / "key"});
  ASSERT_EQ(signedExe.code, 0) << signedExe.err;
  EXPECT_EQ(signedExe.err, "");  // the packed key is the signing key: nothing to note
  const std::string signature = ReadFile(dir / "game.sig");
  const std::string exe = ReadFile(dir / "game");
  ASSERT_EQ(signature.size(), crypto_sign_BYTES);
  EXPECT_EQ(crypto_sign_verify_detached(Bytes(signature), Bytes(exe), exe.size(), Bytes(pub)), 0);
  std::string changed = exe;
  changed.back() ^= 1;
  EXPECT_NE(
      crypto_sign_verify_detached(Bytes(signature), Bytes(changed), changed.size(), Bytes(pub)), 0);

  // Signing with another key says that the packed key differs.
  ASSERT_EQ(Pack({"keygen", dir / "other"}).code, 0);
  EXPECT_NE(Pack({"sign", dir / "game", dir / "other"}).err.find("another update key"),
            std::string::npos);
  // A public key is no secret key.
  EXPECT_EQ(Pack({"sign", dir / "game", dir / "key.pub"}).code, 2);
}

TEST(PackSigning, KeysThatAreNoPublicKeysAreRefused) {
  ASSERT_GE(sodium_init(), 0);
  TempDir dir;
  ASSERT_EQ(Pack({"keygen", dir / "key"}).code, 0);
  WriteFile(dir / "launcher", testsupport::PlainExecutable(), 0755);
  fs::create_directory(dir / "skin");
  fixtures::WriteSkin(dir / "skin", fixtures::CleanSkin());
  auto build = [&](const std::string& key) {
    return Pack({"build", dir / "skin", "-o", dir / "game", "--exe", dir / "launcher",
                 "--update-key", key});
  };
  // The secret key given by mistake is never packed.
  Outcome secret = build(dir / "key");
  EXPECT_EQ(secret.code, 2);
  EXPECT_NE(secret.err.find("secret key"), std::string::npos) << secret.err;
  WriteFile(dir / "short.pub", std::string(31, 'k'));
  EXPECT_EQ(build(dir / "short.pub").code, 2);
  EXPECT_FALSE(testsupport::FileExists(dir / "game"));

  // A malformed key packed by hand: an error of check, shown by inspect.
  const std::pair<std::string, const char*> malformed[] = {
      {std::string(31, 'k'), "31 bytes"},
      {std::string(32, '\0'), "not an Ed25519 public key"},  // a point of small order
  };
  for (const auto& [key, problem] : malformed) {
    SCOPED_TRACE(problem);
    auto entries = fixtures::AsEntries(fixtures::CleanSkin());
    entries["config/update.pub"] = key;
    WriteFile(dir / "hand", testsupport::PackBytes(entries), 0755);
    PackageResult read = ReadPackedExecutable(dir / "hand");
    ASSERT_TRUE(read.package);
    auto findings = CheckPackage(*read.package);
    EXPECT_EQ(ExitCodeFor(findings), 2);
    fixtures::JsonValue json =
        fixtures::JsonReader::Read(Pack({"inspect", dir / "hand", "--json"}).out);
    EXPECT_EQ(json["updates"]["state"].text, "malformed");
    EXPECT_NE(json["updates"]["problem"].text.find(problem), std::string::npos);
  }
  // And a package without one says so.
  WriteFile(dir / "plain", testsupport::PackBytes(fixtures::AsEntries(fixtures::CleanSkin())));
  fixtures::JsonValue json =
      fixtures::JsonReader::Read(Pack({"inspect", dir / "plain", "--json"}).out);
  EXPECT_EQ(json["updates"]["state"].text, "unsigned");
}

}  // namespace
}  // namespace launcher::pack
