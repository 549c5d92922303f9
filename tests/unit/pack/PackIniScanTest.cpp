// The reader's full interface (its listing of sections and keys) is compiled here too; the
// launcher itself instantiates only what it uses.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "pack/IniScan.h"

#include <gtest/gtest.h>

#include <map>

#include "config/LauncherConfig.h"

namespace launcher::pack {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// The scan is only useful while it sees the keys the launcher's reader stores, with the values
// it stores; texts that probe the reader's corners.
using namespace std::string_literals;
const std::string kReaderCorners[] = {
    "; file comment\n[ global ]  trailing words\nkey = value \n  ; indented\n#x=1\nk2=a=b\n"s,
    "[global]\r\nlinkCount=2\r\n[link1]\rurl=x\r\rtype=1\r\n"s,
    "[\nglobal]\nx=1\n"s,
    "[link1\nx=1\ny=2\n[link2]\nz=3\n"s,
    "=nokey\nnoequals\n\t key\t=\tv\t\n[s]\n"s,
    "before=1\n[Global]\nTitle=a\n[GLOBAL]\ntitle=b\n[global]\nport=\n"s,
    "[a]\nk=1\n\0[b]\nk=2\n"s,
    "[a]\n  [ b ]\nk=1\n;[c]\nk=2\n[d\n"s,
    ""s,
};

TEST(PackIniScan, SeesTheKeysAndValuesTheReaderStores) {
  for (const std::string& text : kReaderCorners) {
    SCOPED_TRACE(text);
    LauncherConfig config;
    ASSERT_TRUE(config.LoadConfigText(text));
    const CSimpleIniA& ini = config.GetIni();

    // What the reader holds, in sections whose names a lookup could give.
    std::map<std::pair<std::string, std::string>, std::string> reader;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto& section : sections) {
      std::string name = section.pItem;
      if (name.find_first_of("\r\n") != std::string::npos) {
        continue;
      }
      CSimpleIniA::TNamesDepend keys;
      ini.GetAllKeys(section.pItem, keys);
      for (const auto& key : keys) {
        reader[{Lower(name), Lower(key.pItem)}] = ini.GetValue(section.pItem, key.pItem, "");
      }
    }
    // What the scan holds; the last value of a key counts.
    std::map<std::pair<std::string, std::string>, std::string> scanned;
    IniScan scan = ScanIni(text);
    for (const IniEntry& entry : scan.entries) {
      if (entry.section == IniEntry::kLostSection) {
        continue;
      }
      scanned[{Lower(scan.SectionOf(entry)), Lower(entry.key)}] = entry.value;
    }
    EXPECT_EQ(scanned, reader);
  }
}

TEST(PackIniScan, NamesTheLineOfEveryKeyAndSkippedLine) {
  const std::string text =
      "; comment\r\n"  // 1
      "[global]\r"     // 2
      "a=1\n"          // 3
      "\n"             // 4
      "  b = 2\r\n"    // 5
      "no equals\n"    // 6
      "=3\n"           // 7
      "[\n"            // 8
      "link1]\n"       // 9
      "a=4\n"          // 10
      "[open\n"        // 11
      "c=5\n"          // 12
      "[global]\n"     // 13
      "A=6\n";         // 14
  IniScan scan = ScanIni(text);
  EXPECT_EQ(scan.LineOf("global", "a"), 14);  // the last one counts, in any letter case
  EXPECT_EQ(scan.LineOf("GLOBAL", "b"), 5);
  EXPECT_EQ(scan.LineOf("link1", "a"), 10);
  EXPECT_EQ(scan.LineOf("open", "c"), 0);
  EXPECT_EQ(scan.LineOfSection("link1"), 8);
  EXPECT_EQ(scan.LineOfSection("global"), 2);
  ASSERT_EQ(scan.ignored.size(), 3u);
  EXPECT_EQ(scan.ignored[0].why, IniIgnoredLine::Why::kNoEquals);
  EXPECT_EQ(scan.ignored[0].line, 6);
  EXPECT_EQ(scan.ignored[1].why, IniIgnoredLine::Why::kEmptyKey);
  EXPECT_EQ(scan.ignored[1].line, 7);
  EXPECT_EQ(scan.ignored[2].why, IniIgnoredLine::Why::kUnclosedSection);
  EXPECT_EQ(scan.ignored[2].line, 11);
  EXPECT_EQ(scan.nulLine, 0);
}

}  // namespace
}  // namespace launcher::pack
