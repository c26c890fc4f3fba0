// What the uninstaller tries to remove, in which order, whether it may act
// on a log at all, and how it reads its command line.
#include "uninstall/removal_rules.h"

#include <gtest/gtest.h>

#include "text/sha256.h"

namespace qb {
namespace {

using Paths = std::vector<std::string>;

TEST(RemovalRulesTest, FoldersGoDeepestFirstEachOnce) {
  struct Case {
    Paths in, out;
  };
  const Case cases[] = {
      {{"C:\\App", "C:\\App\\data\\cache", "C:\\App\\data"},
       {"C:\\App\\data\\cache", "C:\\App\\data", "C:\\App"}},
      // One spelling per folder: case, "/" and trailing separators do not
      // make another folder.
      {{"C:\\App\\", "c:/app", "C:\\APP\\\\"}, {"C:\\App"}},
      // Equal depth keeps the given order.
      {{"C:\\b", "C:\\a\\x", "C:\\a"}, {"C:\\a\\x", "C:\\b", "C:\\a"}},
      // Roots, relative and unsafe paths are never candidates.
      {{"C:\\", "C:", "\\\\srv\\share\\", "App", "..\\x", "C:\\a\\..\\..", "C:\\con", "",
        "\\\\srv\\share\\app"},
       {"\\\\srv\\share\\app"}},
  };
  for (const Case& c : cases) EXPECT_EQ(FoldersDeepestFirst(c.in), c.out);
}

TEST(RemovalRulesTest, RegistryKeysStopBelowTheFirstLevel) {
  struct Case {
    std::string key;
    Paths out;
  };
  const Case cases[] = {
      {"Software\\Vendor\\App", {"Software\\Vendor\\App", "Software\\Vendor"}},
      {"Software\\Vendor\\App\\Sub\\",
       {"Software\\Vendor\\App\\Sub", "Software\\Vendor\\App", "Software\\Vendor"}},
      {".tally", {".tally"}},
      // The system's trees: the key alone.
      {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tally",
       {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tally"}},
      {"software\\classes\\.tally\\shell", {"software\\classes\\.tally\\shell"}},
      {"System\\CurrentControlSet\\Services\\Tally",
       {"System\\CurrentControlSet\\Services\\Tally"}},
      {"Software\\Microsoftish\\App", {"Software\\Microsoftish\\App", "Software\\Microsoftish"}},
      {"\\Software\\X", {"Software\\X"}},
      {"", {}},
      {"\\\\", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(RegistryKeysToTry(c.key), c.out) << c.key;
}

TEST(RemovalRulesTest, FoldersInsideARoot) {
  EXPECT_EQ(FoldersInside("C:\\App\\a\\b\\f.txt", "C:\\app\\"),
            (Paths{"C:\\App\\a\\b", "C:\\App\\a"}));
  EXPECT_EQ(FoldersInside("C:\\App\\f.txt", "C:\\App"), Paths{});
  EXPECT_EQ(FoldersInside("C:\\Apples\\x\\f.txt", "C:\\App"), Paths{});
  EXPECT_EQ(FoldersInside("D:\\Other\\f.txt", "C:\\App"), Paths{});
  EXPECT_EQ(FoldersInside("C:\\App\\a\\f.txt", ""), Paths{});
}

TEST(RemovalRulesTest, SamePath) {
  EXPECT_TRUE(SamePath("C:\\App\\uninstall.exe", "c:/app/UNINSTALL.EXE"));
  EXPECT_TRUE(SamePath("C:\\App\\", "C:\\App"));
  EXPECT_FALSE(SamePath("C:\\App\\a", "C:\\App\\b"));
}

TEST(RemovalRulesTest, CommandLine) {
  UninstallerOptions o = ParseUninstallerOptions(
      "/s \"/ORIGINAL=C:\\Program Files\\App\\uninstall.exe\" /parent=1234 /RESULT=88 /X "
      "/Keep=96");
  EXPECT_TRUE(o.silent);
  EXPECT_EQ(o.original, "C:\\Program Files\\App\\uninstall.exe");
  EXPECT_EQ(o.parent, 1234u);
  EXPECT_EQ(o.resultPipe, 88u);
  EXPECT_EQ(o.keep, 96u);
  o = ParseUninstallerOptions("/SILENT /PARENT=-5 /RESULT=x /KEEP=");
  EXPECT_FALSE(o.silent);
  EXPECT_EQ(o.original, "");
  EXPECT_EQ(o.parent, 0u);
  EXPECT_EQ(o.resultPipe, 0u);
  EXPECT_EQ(o.keep, 0u);
}

TEST(RemovalRulesTest, CopyExitCodeTakesOnlyACompleteKnownCode) {
  const auto code = [](uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
  };
  struct Case {
    std::string received;
    int exit;
  };
  const Case cases[] = {
      {code(0), 0},
      {code(1), 1},
      {code(2), 2},
      {code(3), 3},
      {code(3010), 3010},
      // The copy ended without writing (killed, crashed): no result.
      {"", kUninstallCopyLost},
      // Part of a code, a code and more, a code no copy writes.
      {std::string("\0\0", 2), kUninstallCopyLost},
      {code(0) + "x", kUninstallCopyLost},
      {code(4), kUninstallCopyLost},
      {code(5), kUninstallCopyLost},
      {code(0xFFFFFFFFu), kUninstallCopyLost},
      {code(3010 + (1u << 16)), kUninstallCopyLost},
  };
  for (const Case& c : cases) EXPECT_EQ(CopyExitCode(c.received), c.exit) << c.received.size();
}

TEST(RemovalRulesTest, UninstallStringProgram) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"C:\\Program Files\\App\\uninstall.exe\"", "C:\\Program Files\\App\\uninstall.exe"},
      {"\"C:\\App\\uninstall.exe\" /S", "C:\\App\\uninstall.exe"},
      {"C:\\App\\uninstall.exe", "C:\\App\\uninstall.exe"},
      {"\"C:\\App\\uninstall.exe", ""},  // no closing quote: names nothing
      {"\"\"", ""},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(UninstallStringProgram(in), out) << in;
}

TEST(RemovalRulesTest, LogFingerprint) {
  const std::string log = "abc";
  const std::string sha = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  ASSERT_EQ(Sha256Hex(log.data(), log.size()), sha);
  struct Case {
    LogFingerprint f;
    FingerprintCheck check;
  };
  const Case cases[] = {
      {{true, true, "3", sha}, FingerprintCheck::kMatches},
      // An older installation: neither value.
      {{false, false, "", ""}, FingerprintCheck::kNone},
      // One value alone, a size or digest that differs, other spellings.
      {{true, false, "3", ""}, FingerprintCheck::kDiffers},
      {{false, true, "", sha}, FingerprintCheck::kDiffers},
      {{true, true, "4", sha}, FingerprintCheck::kDiffers},
      {{true, true, "03", sha}, FingerprintCheck::kDiffers},
      {{true, true, "3 ", sha}, FingerprintCheck::kDiffers},
      {{true, true, "", sha}, FingerprintCheck::kDiffers},  // not a REG_SZ
      {{true, true, "3", ""}, FingerprintCheck::kDiffers},
      {{true, true, "3", sha.substr(0, 63) + "e"}, FingerprintCheck::kDiffers},
      {{true, true, "3", sha + "0"}, FingerprintCheck::kDiffers},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckLogFingerprint(c.f, log), c.check) << c.f.size << " " << c.f.sha256;
  }
  // A changed byte of the log is a different log.
  EXPECT_EQ(CheckLogFingerprint({true, true, "3", sha}, "abd"), FingerprintCheck::kDiffers);
  const std::string empty;
  EXPECT_EQ(CheckLogFingerprint({true, true, "0", Sha256Hex(empty.data(), 0)}, empty),
            FingerprintCheck::kMatches);
}

TEST(RemovalRulesTest, UninstallEntryOf) {
  const std::pair<const char*, const char*> cases[] = {
      {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tally",
       "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tally"},
      {"\\software\\microsoft\\windows\\currentversion\\uninstall\\Tally\\Sub\\",
       "software\\microsoft\\windows\\currentversion\\uninstall\\Tally"},
      {"Software\\\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tally",
       "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tally"},
      {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", ""},
      {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstaller\\Tally", ""},
      {"Software\\Tally", ""},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(UninstallEntryOf(in), out) << in;
}

TEST(RemovalRulesTest, RegistryRemovalStaysOutOfTheSystemsTrees) {
  const std::string arp = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const std::vector<RegistryKeyName> own = {{2, arp + "Tally"}};
  struct Case {
    int64_t root;
    std::string key;
    bool allowed;
  };
  const Case cases[] = {
      // A package's own keys below every root the tool writes.
      {1, "Software\\Vendor\\App", true},
      {2, "Software\\Vendor", true},
      {2, "SOFTWARE\\WOW6432Node\\Vendor\\App", true},
      {5, "Software\\Vendor", true},
      {3, ".DEFAULT\\Software\\Vendor", true},
      {1, "Environment", true},
      {2, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", true},
      {2, "Software\\Microsoftish\\App", true},
      // Roots the tool never writes, no key, values in a root.
      {4, "Software\\Vendor", false},
      {6, "Software\\Vendor", false},
      {-1, "Software\\Vendor", false},
      {7, "Software\\Vendor", false},
      {1, "", false},
      {1, "\\\\", false},
      {3, "S-1-5-18", false},
      // This installation's own entry, and no other one.
      {2, arp + "Tally", true},
      {2, "software\\microsoft\\windows\\currentversion\\uninstall\\TALLY\\", true},
      {2, arp + "Tally\\Sub", true},
      {1, arp + "Tally", false},  // the same id under another root
      {2, arp + "Other", false},
      {2, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false},
      {2, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", false},
      {3, "S-1-5-21-1\\" + arp + "Tally", false},
      // The system's trees and keys.
      {2, "System\\CurrentControlSet\\Services\\Tcpip", false},
      {2, "SYSTEM", false},
      {5, "System\\CurrentControlSet\\Control", false},
      {2, "SAM\\SAM", false},
      {2, "Security\\Policy", false},
      {2, "Hardware\\Description", false},
      {2, "Software\\Policies\\Microsoft\\Windows Defender", false},
      {1, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", false},
      {2, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", false},
      {1, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", false},
      {2, "Software\\Microsoft\\SystemCertificates\\Root\\Certificates", false},
      {2, "Software", false},
      {2, "Software\\Microsoft", false},
      {2, "Software\\Microsoft\\Windows\\CurrentVersion", false},
      {2, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion", false},
      {2, "Software\\Microsoft\\Windows NT\\CurrentVersion", false},
      {2, "\\Software\\\\Microsoft\\Windows NT\\CurrentVersion\\", false},
      {3, "S-1-5-21-1\\Software\\Policies\\X", false},
      {3, "S-1-5-21-1\\System", false},
      // Classes: an application's own, and the system's.
      {0, ".tally", true},
      {0, "Tally.Document\\shell\\open\\command", true},
      {0, "CLSID\\{01234567-89AB-CDEF-0123-456789ABCDEF}", true},
      {0, "*\\shellex\\ContextMenuHandlers\\Tally", true},
      {0, "Directory\\shell\\TallyHere\\command", true},
      {1, "Software\\Classes\\.tally", true},
      {3, "S-1-5-21-1_Classes\\.tally", true},
      {0, "", false},
      {0, "CLSID", false},
      {0, "TypeLib", false},
      {0, "exefile\\shell\\open\\command", false},
      {0, "exefile\\shell\\runas\\command", false},
      {0, "exefile\\shell", false},
      {0, "exefile", false},
      {0, ".exe", false},
      {0, "lnkfile\\IsShortcut", false},
      {0, "*", false},
      {0, "*\\shellex", false},
      {0, "Folder\\shell\\open\\command", false},
      {2, "Software\\Classes\\exefile\\shell\\open\\command", false},
      {2, "Software\\Wow6432Node\\Classes\\.exe", false},
      {2, "Software\\Classes", false},
      {3, "S-1-5-21-1_Classes\\batfile\\shell\\open\\command", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegistryRemovalAllowed(c.root, c.key, own), c.allowed) << c.root << " " << c.key;
  }
}

TEST(RemovalRulesTest, InsideFolders) {
  const Paths roots = {"C:\\App", "c:/users/me/Desktop/"};
  const std::pair<const char*, bool> cases[] = {
      {"C:\\App\\a.txt", true},
      {"c:\\app\\sub\\a.txt", true},
      {"C:\\Users\\Me\\Desktop\\App.lnk", true},
      {"C:\\App", false},  // at a root is not inside it
      {"C:\\App\\", false},
      {"C:\\Apples\\a.txt", false},
      {"C:\\a.txt", false},
      {"D:\\App\\a.txt", false},
  };
  for (const auto& [path, inside] : cases) EXPECT_EQ(InsideFolders(path, roots), inside) << path;
  EXPECT_FALSE(InsideFolders("C:\\App\\a.txt", {""}));
  EXPECT_FALSE(InsideFolders("C:\\App\\a.txt", {}));
}

// A log as an installation to C:\App writes it, and what the system says.
UninstallLog AppLog() {
  UninstallLog log;
  log.settings[18] = "C:\\App";
  log.files = {"C:\\App\\app.exe",
               "C:\\App\\sub\\data.txt",
               "C:\\App\\uninstall.exe",
               "C:\\App\\uninstall.log",
               "C:\\Users\\me\\Desktop\\App.lnk",
               "C:\\ProgramData\\Start Menu\\Programs\\App\\App.lnk",
               "C:\\Windows\\Fonts\\app.ttf",
               "C:\\ProgramData\\App\\settings.dat"};
  log.folders = {"C:\\App\\cache", "C:\\ProgramData\\App"};
  log.components = {"C:\\App\\app.dll"};
  log.fonts = {{"App Sans (TrueType)", "C:\\Windows\\Fonts\\app.ttf"}};
  log.ini = {{"C:\\Windows\\shared.ini", "App", "dir"}};
  log.registry = {
      {2, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App", "DisplayName"},
      {2, "Software\\Vendor\\App", "Path"},
      {0, ".app", ""}};
  log.before = {{"C:\\Windows\\System32\\cmd.exe", "/c whatever", 0, true}};
  return log;
}

RemovalBounds AppBounds() {
  RemovalBounds b;
  b.shellRoots = {"C:\\Users\\me\\Desktop", "C:\\ProgramData\\Start Menu\\Programs",
                  "C:\\ProgramData\\Start Menu", "C:\\Windows\\Fonts", ""};
  b.ownFolders = {"C:\\App", "C:\\App"};
  b.systemFolders = {"C:\\Windows",
                     "C:\\Windows\\System32",
                     "C:\\Program Files",
                     "C:\\Users\\me",
                     "C:\\Users\\me\\Desktop",
                     "C:\\ProgramData",
                     "C:\\Users\\me\\Documents"};
  b.closedFolders = {"C:\\Windows"};
  b.installLocation = "C:\\App\\";
  b.ownEntries = {{2, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App"}};
  return b;
}

TEST(RemovalRulesTest, BoundsOfALog) {
  struct Case {
    const char* what;
    void (*change)(UninstallLog&, RemovalBounds&);
    bool inside;
  };
  const Case cases[] = {
      {"the log as written", [](UninstallLog&, RemovalBounds&) {}, true},
      {"no entry: no InstallLocation to hold the destination to",
       [](UninstallLog&, RemovalBounds& b) { b.installLocation.clear(); }, true},
      {"a file in a destination below Program Files",
       [](UninstallLog& l, RemovalBounds& b) {
         l.settings[18] = "C:\\Program Files\\App";
         b.installLocation = "C:\\Program Files\\App";
         l.files = {"C:\\Program Files\\App\\a.exe"};
       },
       true},
      {"a file in the uninstaller's own folder outside the destination",
       [](UninstallLog& l, RemovalBounds& b) {
         b.ownFolders = {"D:\\Uninstallers\\App"};
         l.files.push_back("D:\\Uninstallers\\App\\uninstall.exe");
       },
       true},
      // A log the installer is known to have written: its files may lie
      // anywhere, but still only as safe full paths.
      {"a proven log's DLL in the system folder",
       [](UninstallLog& l, RemovalBounds& b) {
         b.proven = true;
         l.files.push_back("C:\\Windows\\System32\\app.dll");
         l.components.push_back("C:\\Windows\\System32\\app.dll");
       },
       true},
      {"a proven log's relative file",
       [](UninstallLog& l, RemovalBounds& b) {
         b.proven = true;
         l.files.push_back("x.txt");
       },
       false},
      {"a proven log's file that climbs out",
       [](UninstallLog& l, RemovalBounds& b) {
         b.proven = true;
         l.files.push_back("C:\\App\\..\\Windows\\win.ini");
       },
       false},
      // Files, folders, components and fonts outside every root.
      {"a system file",
       [](UninstallLog& l, RemovalBounds&) { l.files.push_back("C:\\Windows\\win.ini"); }, false},
      {"a file of another application",
       [](UninstallLog& l, RemovalBounds&) { l.files.push_back("C:\\Other\\other.exe"); }, false},
      {"a file that climbs out",
       [](UninstallLog& l, RemovalBounds&) { l.files.push_back("C:\\App\\..\\Other\\x"); }, false},
      {"a relative file", [](UninstallLog& l, RemovalBounds&) { l.files.push_back("x.txt"); },
       false},
      {"a root as a file", [](UninstallLog& l, RemovalBounds&) { l.files.push_back("C:\\App"); },
       false},
      {"a component elsewhere",
       [](UninstallLog& l, RemovalBounds&) { l.components.push_back("C:\\Other\\x.dll"); }, false},
      {"a font elsewhere",
       [](UninstallLog& l, RemovalBounds&) {
         l.fonts.push_back({"X", "C:\\Other\\x.ttf"});
       },
       false},
      {"an INI file that is no full path",
       [](UninstallLog& l, RemovalBounds&) {
         l.ini.push_back({"win.ini", "s", "k"});
       },
       false},
      // Roots the log names that are too wide.
      {"the Windows folder as a folder",
       [](UninstallLog& l, RemovalBounds&) { l.folders.push_back("C:\\Windows"); }, false},
      {"a folder inside the Windows folder",
       [](UninstallLog& l, RemovalBounds&) { l.folders.push_back("C:\\Windows\\Temp\\App"); },
       false},
      {"a folder that holds the profile",
       [](UninstallLog& l, RemovalBounds&) { l.folders.push_back("c:\\users"); }, false},
      {"a user's documents",
       [](UninstallLog& l, RemovalBounds&) { l.folders.push_back("C:\\Users\\me\\Documents\\"); },
       false},
      {"a drive root", [](UninstallLog& l, RemovalBounds&) { l.folders.push_back("C:\\"); }, false},
      {"a share root",
       [](UninstallLog& l, RemovalBounds&) { l.folders.push_back("\\\\srv\\share"); }, false},
      {"a relative folder", [](UninstallLog& l, RemovalBounds&) { l.folders.push_back("App"); },
       false},
      {"the destination made Program Files",
       [](UninstallLog& l, RemovalBounds& b) {
         l.settings[18] = b.installLocation = "C:\\Program Files";
       },
       false},
      {"the destination made the drive root",
       [](UninstallLog& l, RemovalBounds& b) { l.settings[18] = b.installLocation = "C:\\"; },
       false},
      {"no destination", [](UninstallLog& l, RemovalBounds&) { l.settings.erase(18); }, false},
      {"a destination that is not the entry's InstallLocation",
       [](UninstallLog& l, RemovalBounds&) {
         l.settings[18] = "C:\\Other";
         l.files = {"C:\\Other\\x"};
       },
       false},
      // An own folder that is too wide is no root.
      {"the uninstaller in the Windows folder",
       [](UninstallLog& l, RemovalBounds& b) {
         b.ownFolders = {"C:\\Windows"};
         l.files.push_back("C:\\Windows\\win.ini");
       },
       false},
      // Registry values.
      {"another application's entry",
       [](UninstallLog& l, RemovalBounds&) {
         l.registry.push_back(
             {2, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", "x"});
       },
       false},
      {"a value of the system",
       [](UninstallLog& l, RemovalBounds&) {
         l.registry.push_back({2, "System\\CurrentControlSet\\Control", "x"});
       },
       false},
      {"a root the tool never writes",
       [](UninstallLog& l, RemovalBounds&) {
         l.registry.push_back({4, "Software\\X", "x"});
       },
       false},
  };
  for (const Case& c : cases) {
    UninstallLog log = AppLog();
    RemovalBounds bounds = AppBounds();
    c.change(log, bounds);
    const BoundsCheck check = CheckRemovalBounds(log, bounds);
    EXPECT_EQ(check.inside, c.inside) << c.what << ": " << check.outside;
    EXPECT_EQ(check.inside, check.outside.empty()) << c.what;
    if (!check.inside) {
      EXPECT_TRUE(check.roots.empty()) << c.what;
    }
  }
  const BoundsCheck check = CheckRemovalBounds(AppLog(), AppBounds());
  EXPECT_EQ(check.roots, (Paths{"C:\\App", "C:\\App\\cache", "C:\\ProgramData\\App",
                                "C:\\Users\\me\\Desktop", "C:\\ProgramData\\Start Menu\\Programs",
                                "C:\\ProgramData\\Start Menu", "C:\\Windows\\Fonts"}));
  UninstallLog outside = AppLog();
  outside.files.push_back("C:\\Windows\\win.ini");
  EXPECT_EQ(CheckRemovalBounds(outside, AppBounds()).outside, "the file \"C:\\Windows\\win.ini\"");
}

}  // namespace
}  // namespace qb
