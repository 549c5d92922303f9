#include "update/UpdateRules.h"

#include <gtest/gtest.h>

#include <climits>

namespace launcher {
namespace {

const std::string kBom = "\xEF\xBB\xBF";

TEST(UpdateRules, BuildUpdateUrlWritesSchemeHostPortAndPathAsConfigured) {
  struct Case {
    const char* server;
    int port;
    const char* path;
    const char* url;
  };
  const Case cases[] = {
      {"host", 8080, "/v/version.txt", "http://host:8080/v/version.txt"},
      {"host", 80, "/v.txt", "http://host:80/v.txt"},  // the port is always written
      {"10.0.0.1", -1, "/a", "http://10.0.0.1:-1/a"},
      {"http://host", 81, "/a", "http://host:81/a"},
      {"HTTP://Host", 81, "/a", "HTTP://Host:81/a"},  // not added a second time
      {"https://host", 443, "/a", "https://host:443/a"},
      {"HtTpS://host", 8443, "/a", "HtTpS://host:8443/a"},
      {"httpx://host", 1, "/a", "http://httpx://host:1/a"},  // only the real schemes count
      {"http:/host", 1, "/a", "http://http:/host:1/a"},
      {"host", 1, "a b?c=%", "http://host:1a b?c=%"},  // no "/" inserted, nothing escaped
      {"host", 1, "", "http://host:1"},
      {"", 80, "/a", ""},  // no server, no URL
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BuildUpdateUrl(c.server, c.port, c.path), c.url) << c.server << " " << c.path;
  }
}

TEST(UpdateRules, FileNameFromPathTakesThePartAfterTheLastSeparator) {
  struct Case {
    std::string path;
    std::string name;
  };
  const Case cases[] = {
      {"/v/version.txt", "version.txt"},
      {"version.txt", "version.txt"},
      {"/down/new.exe", "new.exe"},
      {"/dir/", ""},
      {"a\\b/c\\d.exe", "d.exe"},
      {"a/b\\", ""},
      {"", ""},
      // A GBK character whose second byte is "\" is part of the name.
      {"/dl/\x81\x5Cname.exe", "\x81\x5Cname.exe"},
      {"\\dl\\\xB0\xA1\x81\x5C.exe", "\xB0\xA1\x81\x5C.exe"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileNameFromPath(c.path), c.name) << c.path;
  }
}

TEST(VersionParse, ReadsTwoDottedFieldsLikeTheCLibrary) {
  struct Case {
    std::string text;
    int major;
    int minor;
  };
  const Case cases[] = {
      {"1.34", 1, 34},
      {"2", 2, 0},
      {"1.10", 1, 10},
      {"1.34.7", 1, 34},
      {".5", 5, 0},
      {"V2.1", 0, 1},
      {"", 0, 0},
      {"...", 0, 0},
      {"1..2", 1, 2},  // runs of dots are one separator
      {"..3...4..", 3, 4},
      {"-1.+2", -1, 2},
      {"+-1.-+2", 0, 0},
      {" 3.\t4", 3, 4},  // leading white space is skipped
      {"1.2abc", 1, 2},
      {"1 .2", 1, 2},
      {"0x1A.3", 0, 3},
      {"version 2", 0, 0},
      {"99999999999999999999.1", INT_MAX, 1},  // held at the limits
      {"-99999999999999999999.-99999999999999999999", INT_MIN, INT_MIN},
      {"2147483648.2147483647", INT_MAX, INT_MAX},
      {std::string{'1', '.', '\0', '9'}, 1, 0},  // a NUL ends the field
      {kBom + "2.0", 0, 0},                      // a byte-order mark is not white space
  };
  for (const Case& c : cases) {
    int major = 0, minor = 0;
    ParseVersion(c.text, &major, &minor);
    EXPECT_EQ(major, c.major) << c.text;
    EXPECT_EQ(minor, c.minor) << c.text;
  }
  int major = 7, minor = 9;
  ParseVersion("3", &major, &minor);
  EXPECT_EQ(minor, 9) << "a missing field leaves its number alone";
}

TEST(VersionCompare, UpdatesOnlyForANewerMajorOrMinor) {
  struct Case {
    const char* configured;
    std::string published;
    bool update;
  };
  const Case cases[] = {
      {"1.34", "1.4", false},  // 34 is greater than 4
      {"1.4", "1.34", true},
      {"1.9", "1.10", true},
      {"1.34", "1.34.9", false},  // the third field does not count
      {"1.5", "1.5", false},
      {"1.5", "1.6", true},
      {"1.0", "2.0", true},
      {"2.0", "1.99", false},
      {"2", "2.0", false},
      {"", "0.1", true},
      {"1.0", "", false},
      {"0.0", "", false},
      {"0", "version 2", false},
      {"-1.0", "", true},  // signed comparison
      {"1.-1", "1", true},
      {"1.0", kBom + "2.0", false},
      {"2147483647.0", "99999999999999999999", false},
      {"1.0", "-99999999999999999999.5", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUpdateNeeded(c.configured, c.published), c.update)
        << c.configured << " vs " << c.published;
  }
}

TEST(VersionText, FirstLineIsCutAtTheLineEndOrAfter126Bytes) {
  struct Case {
    std::string body;
    std::string line;
  };
  const Case cases[] = {
      {"2.0\r\nmore\r\nlines\r\n", "2.0"},
      {"2.0\nx", "2.0"},
      {"2.0\r", "2.0"},
      {"2.0", "2.0"},
      {"", ""},
      {"\r\n2.0", ""},
      {"  1.5 \n", "  1.5 "},
      {"1.5\rjunk\n", "1.5"},
      {std::string{'1', '.', '\0', '9', '\n'}, "1."},
      {std::string(200, '7'), std::string(126, '7')},
      {std::string(125, '7') + "\n8", std::string(125, '7')},
      {std::string(126, '7') + "\r\n", std::string(126, '7')},
      {std::string(130, '7') + "\n", std::string(126, '7')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FirstVersionLine(c.body), c.line) << c.body;
  }
}

TEST(UpdateRules, TickPrefixIsTheTickCountAsASigned32BitNumber) {
  EXPECT_EQ(FormatTickPrefix(0), "0");
  EXPECT_EQ(FormatTickPrefix(123456), "123456");
  EXPECT_EQ(FormatTickPrefix(0x7FFFFFFFu), "2147483647");
  EXPECT_EQ(FormatTickPrefix(0x80000000u), "-2147483648");
  EXPECT_EQ(FormatTickPrefix(0xFFFFFFFEu), "-2");
}

TEST(UpdateRules, ApplicationNameDropsTheLastExtension) {
  EXPECT_EQ(ApplicationName("launcher"), "launcher");
  EXPECT_EQ(ApplicationName("Launcher.exe"), "Launcher");
  EXPECT_EQ(ApplicationName("game.setup.exe"), "game.setup");
  EXPECT_EQ(ApplicationName("My Game"), "My Game");
}

TEST(UpdateRules, BatchTextHasFourCrLfLinesWithDoubledBackslashes) {
  EXPECT_EQ(UpdateBatchText("C:\\Games\\Client\\client.exe", "D:\\work dir\\-2new.exe"),
            "@ping 127.0.0.1 -n 2 -w 1000 > nul \r\n"
            "rename \"C:\\\\Games\\\\Client\\\\client.exe\" \"Launcher_back_up.exe\"\r\n"
            "move /y \"D:\\\\work dir\\\\-2new.exe\" \"C:\\\\Games\\\\Client\\\\client.exe\"\r\n"
            "\"C:\\\\Games\\\\Client\\\\client.exe\"\r\n");
  // GBK second bytes equal to "\" stay single; a lead byte takes the byte after it, here the
  // closing quote, which leaves the pairs after it in step.
  EXPECT_EQ(UpdateBatchText("C:\\\x81\x5C\\a.exe", "C:\\\xB0\xA1\\1a.exe\x81"),
            "@ping 127.0.0.1 -n 2 -w 1000 > nul \r\n"
            "rename \"C:\\\\\x81\x5C\\\\a.exe\" \"Launcher_back_up.exe\"\r\n"
            "move /y \"C:\\\\\xB0\xA1\\\\1a.exe\x81\" \"C:\\\\\x81\x5C\\\\a.exe\"\r\n"
            "\"C:\\\\\x81\x5C\\\\a.exe\"\r\n");
}

TEST(UpdateScript, ShellQuoteKeepsEveryByteLiteral) {
  struct Case {
    std::string text;
    std::string quoted;
  };
  const Case cases[] = {
      {"abc", "'abc'"},
      {"", "''"},
      {"it's", "'it'\\''s'"},
      {"''", "''\\'''\\'''"},
      {"$HOME `id` \"q\" \\n *", "'$HOME `id` \"q\" \\n *'"},
      {"a\nb", "'a\nb'"},
      {"\xE6\xB8\xB8\xE6\x88\x8F", "'\xE6\xB8\xB8\xE6\x88\x8F'"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShellQuote(c.text), c.quoted) << c.text;
  }
}

TEST(UpdateScript, TextWaitsMovesBothFilesAndStartsTheOwnPath) {
  EXPECT_EQ(UpdateScriptText("/opt/game/launcher", "/home/u/-2new.exe"),
            "sleep 1\n"
            "mv -f -- '/opt/game/launcher' '/opt/game/Launcher_back_up.exe'\n"
            "mv -f -- '/home/u/-2new.exe' '/opt/game/launcher' || "
            "mv -f -- '/opt/game/Launcher_back_up.exe' '/opt/game/launcher'\n"
            "exec '/opt/game/launcher'\n");
  EXPECT_EQ(UpdateScriptText("/it's", "/d"),
            "sleep 1\n"
            "mv -f -- '/it'\\''s' '/Launcher_back_up.exe'\n"
            "mv -f -- '/d' '/it'\\''s' || mv -f -- '/Launcher_back_up.exe' '/it'\\''s'\n"
            "exec '/it'\\''s'\n");
}

}  // namespace
}  // namespace launcher
