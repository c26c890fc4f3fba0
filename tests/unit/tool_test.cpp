// The authoring tool: readable variables, manifest errors (file, line,
// reason), and what a built package holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "package/package.h"
#include "project.h"
#include "text/sha256.h"
#include "text/text.h"
#include "text_convert.h"
#include "variables.h"

namespace fs = std::filesystem;

namespace tool {
namespace {

TEST(VariablesTest, Translation) {
  const std::vector<std::string> regs = {"oldpath", "lang"};
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"plain text", "plain text"},
      {"{app}\\readme.txt", "@$&%04\\readme.txt"},
      {"{pf}\\Tool", "@$&%01\\Tool"},
      {"{sysdrive}\\x", "@$&%17\\x"},
      {"{app:short}", "@$&%44"},
      {"{reg:oldpath}", "@$&%81"},
      {"{reg:lang}{app}{app}", "@$&%82@$&%04@$&%04"},
      {"{{literal}} braces", "{literal} braces"},
      {"{commontemplates}", "@$&%35"},
      {"{sys:short}", "@$&%43"},
  };
  for (const auto& c : cases) {
    const Translation t = TranslateVariables(c.in, regs);
    EXPECT_EQ(t.error, "") << c.in;
    EXPECT_EQ(t.text, c.out) << c.in;
    EXPECT_EQ(ReadableVariables(t.text, regs), std::string(c.in)) << c.in;
  }
  EXPECT_EQ(TranslateVariables("app-{volume}.bin", regs, true).text, "app-@$&%19.bin");
}

TEST(VariablesTest, Errors) {
  for (const char* bad :
       {"{nope}", "{app", "a } b", "{reg:missing}", "{app:long}", "{volume}", "has @$&% inside"}) {
    EXPECT_NE(TranslateVariables(bad, {}).error, "") << bad;
  }
}

TEST(TextConvertTest, AnsiAndRtf) {
  std::string ansi, bad;
  ASSERT_TRUE(Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC", ansi, bad));
  EXPECT_EQ(ansi, "caf\xE9 \x80");
  EXPECT_FALSE(Utf8ToAnsi("\xE4\xB8\xAD", ansi, bad));
  EXPECT_EQ(bad, "U+4E2D");
  EXPECT_EQ(PlainTextToRtf("a{b}\\c\nd\xC3\xA9"),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Tahoma;}}\\f0\\fs16 "
            "a\\{b\\}\\\\c\\par\nd\\u233?}");
}

class ManifestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qbmanifest.XXXXXX";
    dir_ = mkdtemp(pattern);
    fs::create_directories(dir_ + "/app/docs");
    Write("app/tally.exe", "MZ fake program");
    Write("app/docs/guide.txt", "how to tally");
    Write("license.txt", "You may use this.\n{braces} and \\ too.");
    // The real stub: the tool rewrites its resources.
    fs::copy_file(QB_TEST_STUB, dir_ + "/stub.exe");
    fs::copy_file(QB_TEST_UNINSTALLER, dir_ + "/uninstall.exe");
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
  }
  std::string Manifest(const std::string& text) {
    Write("m.toml", text);
    return dir_ + "/m.toml";
  }
  std::string dir_;
};

TEST_F(ManifestTest, ErrorsNameFileLineAndReason) {
  const std::string app = "[app]\nname = \"Tally\"\nversion = \"1.0\"\n";
  const struct {
    std::string text;
    int line;
    const char* reason;
  } cases[] = {
      {app + "destinaton = \"x\"\n", 4,
       "unknown key \"destinaton\" in [app] (did you mean \"destination\"?)"},
      {app + "[[files]]\nsource = 5\n", 5, "\"source\" must be a string"},
      {app + "[[files]]\nsource = \"app/missing.exe\"\n", 5, "missing source file"},
      {app + "[[files]]\nsource = \"nothing/**\"\n", 5, "missing source folder"},
      {app + "[package]\ncabinet_size = 100\n", 5, "\"cabinet_size\" must be 0"},
      {app + "[settings]\nwelcome_page = \"yes\"\n", 5, "must be true or false"},
      {app + "[settings]\nfile_count = 3\n", 5, "computed by the tool"},
      {app + "[settings]\nwelcom_page = true\n", 5,
       "unknown setting \"welcom_page\" (did you mean \"welcome_page\"?)"},
      {app + "[[folders]]\npath = \"{nowhere}\\\\data\"\n", 5, "unknown variable {nowhere}"},
      {app + "[[registry]]\nroot = \"HKXX\"\nkey = \"Software\"\n", 5, "unknown registry root"},
      {app + "[[registry]]\nroot = \"HKCU\"\nkey = \"S\"\ntype = \"binary\"\nvalue = \"0G\"\n", 8,
       "hexadecimal pairs"},
      {app + "[[shortcuts]]\nname = \"x\"\ntarget = \"{app}\"\nlocation = \"moon\"\n", 7,
       "\"location\" must be one of"},
      {app + "[[languages]]\nname = \"English\"\nid = 1033\n[languages.messages]\nwelcom_title = "
             "\"x\"\n",
       8, "unknown message \"welcom_title\""},
      {app + "[[programs]]\nfile = \"{app}\\\\x.exe\"\nwhen = \"later\"\n", 6,
       "\"when\" must be one of"},
      {"[app]\nname = \"Tally\"\n", 1, "missing key \"version\""},
      {app + "title = \"unterminated\n", 4, ""},
      {app + "[[files]]\nsource = \"app/tally.exe\"\ndestination = \"\xE4\xB8\xAD\"\n", 6,
       "U+4E2D"},
  };
  for (const auto& c : cases) {
    try {
      LoadManifest(Manifest(c.text));
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ManifestError& e) {
      EXPECT_EQ(e.file, dir_ + "/m.toml");
      EXPECT_EQ(e.line, c.line) << e.Describe();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.Describe();
    }
  }
}

// Manifests whose files the installer could never place: each refused with
// the manifest, the line and the reason.
TEST_F(ManifestTest, RefusesFilesTheInstallerCouldNeverPlace) {
  Write("app/Read.me", "one");
  Write("app/READ.ME", "two");
  const std::string app = "[app]\nname = \"Tally\"\nversion = \"1.0\"\n";
  const std::string tally = "[[files]]\nsource = \"app/tally.exe\"\n";
  const std::string device =
      " is a reserved device name (CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, CONIN$, "
      "CONOUT$, in any case, with or without an extension)";
  const std::string characters = "; names may not hold : * ? < > | \" or control characters";
  const std::string begin =
      "must begin with a folder variable such as {app} or {pf}, or a drive such as C:\\";
  const std::string a220(220, 'a');
  const struct {
    std::string text;
    int line;
    std::string reason;
  } cases[] = {
      // Reserved device names, in any part, any case, with or without an
      // extension.
      {app + tally + "destination = \"{app}\\\\CON\"\n", 6,
       "the destination \"{app}\\CON\" can never be written: the folder name \"CON\"" + device},
      {app + tally + "name = \"nul.txt\"\n", 6,
       "the file \"{app}\\nul.txt\" can never be installed: the file name \"nul.txt\"" + device},
      {app + tally + "destination = \"{app}\\\\logs\\\\Com1.log\"\n", 6,
       "the folder name \"Com1.log\"" + device},
      {app + tally + "name = \"sub/LPT9\"\n", 6, "the file name \"LPT9\"" + device},
      {app + tally + "name = \"Aux.tar.gz\"\n", 6, "the file name \"Aux.tar.gz\"" + device},
      {app + "destination = \"{pf}\\\\PRN\"\n" + tally, 4,
       "the destination \"{pf}\\PRN\" cannot be the application's folder: the folder name "
       "\"PRN\"" +
           device},
      {app + tally + "[uninstall]\npath = \"{app}\\\\con\\\\remove.exe\"\n", 7,
       "the file \"{app}\\con\\remove.exe\" can never be installed: the folder name \"con\"" +
           device},
      // Characters no name may hold; a drive's colon and variables are fine.
      {app + tally + "name = \"a:b.txt\"\n", 6, "the file name \"a:b.txt\" holds ':'" + characters},
      {app + tally + "destination = \"{app}\\\\data*\"\n", 6,
       "the folder name \"data*\" holds '*'" + characters},
      {app + tally + "name = \"what?.txt\"\n", 6, "holds '?'"},
      {app + tally + "destination = \"C:\\\\<x>\"\n", 6, "the folder name \"<x>\" holds '<'"},
      {app + tally + "name = \"a>b\"\n", 6, "holds '>'"},
      {app + tally + "name = \"a|b\"\n", 6, "holds '|'"},
      {app + tally + "name = \"say \\\"hi\\\"\"\n", 6, "holds '\"'"},
      {app + tally + "name = \"tab\\there.txt\"\n", 6,
       "the file name \"tab\there.txt\" holds the control character 0x09"},
      {app + "destination = \"D:\\\\Apps:Tally\"\n" + tally, 4,
       "the folder name \"Apps:Tally\" holds ':'"},
      // What Windows would change or what leaves the folder.
      {app + tally + "name = \"readme.\"\n", 6,
       "the file name \"readme.\" ends in a dot or a blank, which Windows drops"},
      {app + tally + "destination = \"{app}\\\\..\\\\x\"\n", 6,
       "the folder name \"..\" is made of dots only"},
      {app + tally + "destination = \"{app}\\\\\\\\x\"\n", 6,
       "it has an empty folder name (two separators in a row)"},
      // Where a path begins.
      {app + tally + "destination = \"data\"\n", 6, "can never be written: it " + begin},
      {app + tally + "destination = \"C:data\"\n", 6,
       "a drive needs a backslash after its colon, as in C:\\"},
      {app + tally + "destination = \"{username}\\\\x\"\n", 6,
       begin + " ({username} is a name, not a folder)"},
      {app + tally + "destination = \"{app}\\\\{pf}\\\\x\"\n", 6,
       "{pf} stands for a whole path such as \"C:\\Program Files (x86)\", so it can only begin "
       "a path"},
      {app + "destination = \"Programs\\\\Tally\"\n" + tally, 4,
       "the destination \"Programs\\Tally\" cannot be the application's folder: it " + begin},
      {app + "destination = \"{app}\\\\Tally\"\n" + tally, 4,
       "{app} stands for this destination itself"},
      {app + "destination = \"{app:short}\"\n" + tally, 4,
       "{app:short} stands for this destination itself"},
      {app + "destination = \"{reg:old}\"\n" + tally +
           "[[registry_variables]]\nname = \"old\"\nroot = \"HKCU\"\nkey = \"S\"\nvalue = "
           "\"D\"\ndefault = \"{app}\\\\old\"\n",
       4, "{reg:old} falls back to a default that uses {app}, which stands for this destination"},
      // Names that differ only in letter case are one file on Windows.
      {app + tally + "name = \"Tally.exe\"\n" + tally, 8,
       "the files \"{app}\\Tally.exe\" (line 4) and \"{app}\\tally.exe\" differ only in letter "
       "case: Windows sees one file, so one would replace the other"},
      {app + tally + "destination = \"{app}\\\\Docs\"\n" + tally +
           "destination = \"{app}\\\\docs\"\n",
       8, "\"{app}\\Docs\\tally.exe\" (line 4) and \"{app}\\docs\\tally.exe\" differ only"},
      {app + "[[files]]\nsource = \"app/*.*\"\n", 5,
       "\"{app}\\READ.ME\" (line 4) and \"{app}\\Read.me\" differ only in letter case"},
      {app + tally + "name = \"UNINSTALL.EXE\"\n[uninstall]\nenabled = true\n", 7,
       "\"{app}\\UNINSTALL.EXE\" (line 4) and \"{app}\\uninstall.exe\" differ only"},
      // Paths past the installer's limit on a typical machine.
      {app + tally + "destination = \"{app}\\\\" + a220 + "a\"\n", 5,
       "can never be installed: it would be 260 characters long on a typical machine, where "
       "{app} is \"C:\\Program Files (x86)\\Tally\"; the installer writes paths of at most 259 "
       "characters"},
      {app + "destination = \"{pf}\\\\" + a220 + "xxxxxxxxxxxxxxxx\"\n", 4,
       "cannot be the application's folder: it would be 261 characters long on a typical "
       "machine, where {pf} is \"C:\\Program Files (x86)\""},
      {app + tally + "destination = \"{commonstartup}\\\\" + a220 + "\"\n", 5,
       "it would be 291 characters long"},
      {app + tally + "destination = \"{pf:short}\\\\" + std::string(240, 'b') + "\"\n", 5,
       "it would be 262 characters long on a typical machine, where {pf:short} is "
       "\"C:\\PROGRA~1\""},
  };
  for (const auto& c : cases) {
    try {
      LoadManifest(Manifest(c.text), dir_ + "/uninstall.exe");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ManifestError& e) {
      EXPECT_EQ(e.line, c.line) << e.Describe();
      const std::string where = "m.toml" + (c.line ? ":" + std::to_string(c.line) : "") + ": ";
      EXPECT_NE(e.Describe().find(where), std::string::npos) << e.Describe();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos)
          << e.what() << "\nwanted: " << c.reason;
    }
  }
}

// What the rules above must not refuse.
TEST_F(ManifestTest, AcceptsFilesTheInstallerCanPlace) {
  const std::string app = "[app]\nname = \"Tally\"\nversion = \"1.0\"\n";
  const std::string tally = "[[files]]\nsource = \"app/tally.exe\"\n";
  const std::string a220(220, 'a');
  const std::string accepted[] = {
      app + tally + "name = \"CONSOLE.txt\"\n" + tally + "name = \"com10\"\n" + tally +
          "name = \".profile\"\n" + tally + "name = \"a..b\"\n" + tally +
          "name = \"{username}.txt\"\n" + tally + "name = \"sub/x.txt\"\n" + tally +
          "name = \"con-fig\"\n",
      app + "destination = \"C:\\\\\"\n" + tally,
      app + "destination = \"D:\\\\Apps\\\\Tally\\\\\"\n" + tally,
      app + "destination = \"\\\\\\\\server\\\\share\"\n" + tally +
          "destination = \"\\\\\\\\server\\\\share\\\\x\"\n",
      app + "destination = \"{reg:old}\"\n" + tally +
          "[[registry_variables]]\nname = \"old\"\nroot = \"HKCU\"\nkey = \"S\"\nvalue = "
          "\"D\"\ndefault = \"{pf}\\\\Old\"\n",
      app + tally + "destination = \"{reg:where}\"\n" + tally +
          "destination = \"{app:short}\\\\viashort\"\n" + tally +
          "destination = \"{sysdrive}\\\\qb\"\n" + tally + "destination = \"{app}/sub/\"\n" +
          tally + "destination = \"C:\"\n" + tally + "destination = \"{fonts}\"\n" +
          "[[registry_variables]]\nname = \"where\"\nroot = \"HKCU\"\nkey = \"S\"\nvalue = \"D\"\n",
      // The same file twice (the second replaces the first), also with "/".
      app + tally + tally + tally + "destination = \"{app}/\"\n",
      // 259 characters on the typical machine: just fits.
      app + tally + "destination = \"{app}\\\\" + a220 + "\"\n",
      app + tally + "destination = \"{pf:short}\\\\" + std::string(237, 'b') + "\"\n",
  };
  for (const auto& text : accepted) {
    try {
      LoadManifest(Manifest(text), dir_ + "/uninstall.exe");
    } catch (const ManifestError& e) {
      ADD_FAILURE() << e.Describe() << "\nfor:\n" << text;
    }
  }
}

// The default destination and the application's subfolder are named after
// the application, without what no folder name may hold.
TEST_F(ManifestTest, DefaultDestinationIsAFolderName) {
  const struct {
    const char* name;
    const char* folder;
  } cases[] = {
      {"Tally", "Tally"},     {"Tally: Pro/2", "Tally Pro2"}, {"What? <Now>.", "What Now"},
      {"CON", "Application"}, {"***", "Application"},         {"Tally {Pro}", "Tally {Pro}"},
  };
  for (const auto& c : cases) {
    const Project p =
        LoadManifest(Manifest("[app]\nname = \"" + std::string(c.name) + "\"\nversion = \"1\"\n" +
                              "[[files]]\nsource = \"app/tally.exe\"\n"),
                     dir_ + "/uninstall.exe");
    EXPECT_EQ(p.package.Text(qb::kDefaultDestination), "@$&%01\\" + std::string(c.folder))
        << c.name;
    EXPECT_EQ(p.package.Text(qb::kAppSubfolder), c.folder) << c.name;
  }
}

// A Quick Launch shortcut, by location or by a path in the Quick Launch
// folder: a warning with file and line (of its location); other shortcuts
// none.
TEST_F(ManifestTest, WarnsAboutQuickLaunchShortcuts) {
  const Project p = LoadManifest(
      Manifest(
          "[app]\nname = \"T\"\nversion = \"1\"\n[[shortcuts]]\nname = \"Quick\"\nlocation = "
          "\"quicklaunch\"\ntarget = \"{app}\\\\t.exe\"\n[[shortcuts]]\nlocation = "
          "\"desktop\"\nname "
          "= \"Desk\"\ntarget = \"{app}\\\\t.exe\"\n[[shortcuts]]\nlocation = \"path\"\nname = "
          "\"{quicklaunch}\\\\Other\"\ntarget = \"{app}\\\\t.exe\"\n"),
      dir_ + "/uninstall.exe");
  ASSERT_EQ(p.warnings.size(), 2u);
  const std::string m = dir_ + "/m.toml";
  EXPECT_EQ(
      p.warnings[0],
      m + ":6: warning: the Quick Launch shortcut \"Quick\" is left out where the user has no "
          "Quick Launch folder, and Windows 7 and later show no Quick Launch bar (a desktop "
          "or Start menu shortcut reaches every user)");
  EXPECT_EQ(
      p.warnings[1].rfind(
          m + ":13: warning: the Quick Launch shortcut \"{quicklaunch}\\Other\" is left out", 0),
      0u)
      << p.warnings[1];
}

// Large texts and pictures the installer reads at start-up: a warning with
// file and line; the build goes on.
TEST_F(ManifestTest, WarnsAboutLargeStartupFiles) {
  std::string picture(5u << 20, '\0');
  picture[0] = 'B';
  picture[1] = 'M';
  Write("big.bmp", picture);
  Write("big.txt", std::string((1u << 20) + 1, 'x'));
  // Plain text gains a little as RTF.
  Write("fits.txt", std::string((1u << 20) - 4096, 'x'));
  const Project p =
      LoadManifest(Manifest("[app]\nname = \"T\"\nversion = \"1\"\nlicense = \"big.txt\"\nreadme = "
                            "\"fits.txt\"\n[pictures]\nside = \"big.bmp\"\n[[languages]]\nname = "
                            "\"English\"\nid = 1033\nreadme = \"big.txt\"\n"),
                   dir_ + "/uninstall.exe");
  ASSERT_EQ(p.warnings.size(), 3u);
  const std::string m = dir_ + "/m.toml";
  EXPECT_EQ(p.warnings[0], m + ":4: warning: the license \"" + dir_ +
                               "/big.txt\" is 1.1 MiB; the installer shows only its first MiB "
                               "(keep license and readme texts under 1 MiB)");
  EXPECT_EQ(
      p.warnings[1].rfind(m + ":7: warning: the picture \"" + dir_ + "/big.bmp\" is 5.0 MiB", 0),
      0u)
      << p.warnings[1];
  EXPECT_EQ(p.warnings[2].rfind(m + ":11: warning: the readme", 0), 0u) << p.warnings[2];
  EXPECT_TRUE(LoadManifest(Manifest("[app]\nname = \"T\"\nversion = \"1\"\nlicense = "
                                    "\"fits.txt\"\n"))
                  .warnings.empty());
}

// A plain 24-bit BMP file of w x h pixels of one colour.
std::string SolidBmp(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  const int stride = (w * 3 + 3) / 4 * 4;
  std::string bmp(54 + stride * h, '\0');
  const auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put(2, static_cast<uint32_t>(bmp.size()));
  put(10, 54);
  put(14, 40);
  put(18, static_cast<uint32_t>(w));
  put(22, static_cast<uint32_t>(h));
  bmp[26] = 1;
  bmp[28] = 24;
  put(34, static_cast<uint32_t>(stride * h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const size_t at = 54 + y * stride + x * 3;
      bmp[at] = static_cast<char>(b);
      bmp[at + 1] = static_cast<char>(g);
      bmp[at + 2] = static_cast<char>(r);
    }
  }
  return bmp;
}

// A picture given as a list of files: the 96-DPI one first, larger ones
// after; every entry that cannot be one is refused with its file and line.
TEST_F(ManifestTest, PictureListsRefuseBadEntries) {
  Write("h100.bmp", SolidBmp(150, 57, 255, 0, 0));
  Write("h150.bmp", SolidBmp(225, 86, 0, 0, 255));
  Write("wide.bmp", SolidBmp(300, 40, 0, 255, 0));
  Write("notes.txt", "not a picture");
  std::string rle = SolidBmp(225, 86, 0, 0, 255);
  rle[30] = 1;  // BI_RLE8: a size the tool does not read itself
  Write("rle.bmp", rle);
  const std::string app = "[app]\nname = \"Tally\"\nversion = \"1.0\"\n[pictures]\n";
  std::string nine = "header = [";
  for (int i = 0; i < 9; ++i) nine += "\"h100.bmp\", ";
  nine += "]\n";
  const struct {
    std::string text;
    int line;
    const char* reason;
  } cases[] = {
      {app + "header = []\n", 5, "\"header\" lists no picture"},
      {app + "header = [\"h100.bmp\", 5]\n", 5, "each picture of \"header\" must be a file name"},
      {app + "header = [\"h100.bmp\", \"\"]\n", 5,
       "each picture of \"header\" must be a file name"},
      {app + "side = [\n  \"h100.bmp\",\n  \"missing.bmp\",\n]\n", 7, "cannot read"},
      {app + "side = [\n  \"h100.bmp\",\n  \"notes.txt\",\n]\n", 7, "is not a BMP picture"},
      {app + "tasks_icon = [\n  \"h100.bmp\",\n  \"rle.bmp\",\n]\n", 7,
       "is not a plain BMP picture"},
      {app + "header = [\"h100.bmp\", \"h100.bmp\"]\n", 5,
       "(150 x 57) is not larger than the first picture (150 x 57), the one for 96 DPI"},
      {app + "header = [\n  \"h150.bmp\",\n  \"h100.bmp\",\n]\n", 7,
       "(150 x 57) is not larger than the first picture (225 x 86)"},
      {app + "header = [\"h100.bmp\", \"wide.bmp\"]\n", 5,
       "(300 x 40) is not larger than the first picture"},
      {app + "background = [\"h100.bmp\", \"h150.bmp\"]\n", 5,
       "\"background\" lists 2 pictures; it takes at most 1"},
      {app + nine, 5, "\"header\" lists 9 pictures; it takes at most 8"},
      {app + "header = 5\n", 5, "\"header\" must be a file name or a list of file names"},
  };
  for (const auto& c : cases) {
    try {
      LoadManifest(Manifest(c.text));
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ManifestError& e) {
      EXPECT_EQ(e.file, dir_ + "/m.toml");
      EXPECT_EQ(e.line, c.line) << e.Describe();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.Describe();
    }
  }
}

// A picture as a string, as a list of one, and as a list of sizes: the
// first two build the same installer byte for byte; the list's larger
// forms travel as support cabinet entries of their own names.
TEST_F(ManifestTest, PictureListsTravelBesideTheFirstPicture) {
  Write("h100.bmp", SolidBmp(150, 57, 255, 0, 0));
  Write("h150.bmp", SolidBmp(225, 86, 0, 0, 255));
  Write("h200.bmp", SolidBmp(300, 114, 0, 255, 0));
  Write("i100.bmp", SolidBmp(48, 48, 9, 9, 9));
  Write("i200.bmp", SolidBmp(96, 96, 9, 9, 9));
  const std::string app =
      "[app]\nname = \"Tally\"\nversion = \"1.0\"\n[package]\noutput = \"setup.exe\"\n"
      "[pictures]\n";
  const auto build = [&](const std::string& pictures) {
    Project project = LoadManifest(Manifest(app + pictures), dir_ + "/uninstall.exe");
    BuildInstaller(project, dir_ + "/stub.exe");
    std::ifstream in(dir_ + "/setup.exe", std::ios::binary);
    return std::make_pair(project.pictureForms,
                          std::string((std::istreambuf_iterator<char>(in)), {}));
  };
  const auto asString = build("header = \"h100.bmp\"\ntasks_icon = \"i100.bmp\"\n");
  const auto asListOfOne = build("header = [\"h100.bmp\"]\ntasks_icon = [\"i100.bmp\"]\n");
  EXPECT_TRUE(asString.first.empty());
  EXPECT_TRUE(asListOfOne.first.empty());
  EXPECT_EQ(asString.second, asListOfOne.second) << "a list of one is its one string";
  EXPECT_EQ(asString.second.find("$inst\\4_1.tmp"), std::string::npos);

  const auto asList = build(
      "header = [\"h100.bmp\", \"h150.bmp\", \"h200.bmp\"]\n"
      "tasks_icon = [\"i100.bmp\", \"i200.bmp\"]\n");
  ASSERT_EQ(asList.first.size(), 2u);
  ASSERT_EQ(asList.first.at(4).size(), 2u);
  EXPECT_EQ(std::string(asList.first.at(4)[0].begin(), asList.first.at(4)[0].end()),
            SolidBmp(225, 86, 0, 0, 255));
  EXPECT_EQ(std::string(asList.first.at(4)[1].begin(), asList.first.at(4)[1].end()),
            SolidBmp(300, 114, 0, 255, 0));
  ASSERT_EQ(asList.first.at(8).size(), 1u);
  // The cabinet's file names are stored as they are.
  for (const char* name :
       {"$inst\\4.tmp", "$inst\\4_1.tmp", "$inst\\4_2.tmp", "$inst\\8.tmp", "$inst\\8_1.tmp"}) {
    EXPECT_NE(asList.second.find(name + std::string(1, '\0')), std::string::npos) << name;
  }
  EXPECT_EQ(asList.second.find("$inst\\4_3.tmp"), std::string::npos);
  EXPECT_EQ(asList.second.find("$inst\\8_2.tmp"), std::string::npos);
}

// A package whose pictures have one size each is what the tool wrote
// before pictures could have several: the package (configuration stream,
// support cabinet and file cabinet, without the trailer, whose offsets
// follow the stub's size) has the SHA-256 that the tool of that time gave
// it for this manifest, each picture as a string or as a list of one.
TEST_F(ManifestTest, OnePictureEachKeepsThePackageAsItWas) {
  const char* names[] = {"header", "side", "background", "dest", "tasks", "pw"};
  for (int i = 0; i < 6; ++i) {
    Write(std::string(names[i]) + ".bmp", SolidBmp(40 + i, 30, 10, 200, 30));
  }
  Write("app/a.txt", "hi\n");
  const std::string app =
      "[app]\nname = \"Ident\"\nversion = \"1\"\n[uninstall]\nenabled = false\n"
      "[package]\noutput = \"setup.exe\"\ncompression = \"none\"\n[[files]]\n"
      "source = \"app/a.txt\"\n[pictures]\n";
  const std::string asStrings =
      "header = \"header.bmp\"\nside = \"side.bmp\"\nbackground = \"background.bmp\"\n"
      "destination_icon = \"dest.bmp\"\ntasks_icon = \"tasks.bmp\"\npassword_icon = \"pw.bmp\"\n";
  const std::string asLists =
      "header = [\"header.bmp\"]\nside = [\"side.bmp\"]\nbackground = [\"background.bmp\"]\n"
      "destination_icon = [\"dest.bmp\"]\ntasks_icon = [\"tasks.bmp\"]\n"
      "password_icon = [\"pw.bmp\"]\n";
  for (const std::string& pictures : {asStrings, asLists}) {
    setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    Project project = LoadManifest(Manifest(app + pictures), dir_ + "/uninstall.exe");
    BuildInstaller(project, dir_ + "/stub.exe");
    unsetenv("SOURCE_DATE_EPOCH");
    std::ifstream in(dir_ + "/setup.exe", std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(bytes.size(), qb::Trailer::kSize);
    const qb::Trailer t = qb::Trailer::Decode(bytes.data() + bytes.size() - qb::Trailer::kSize);
    ASSERT_LT(static_cast<size_t>(t.configOffset), bytes.size() - qb::Trailer::kSize);
    EXPECT_EQ(qb::Sha256Hex(bytes.data() + t.configOffset,
                            bytes.size() - qb::Trailer::kSize - t.configOffset),
              "c94475e41468fd378aa730437d61cd18f61ff63d76e86538217b728dcf24ef3b")
        << pictures;
  }
}

TEST_F(ManifestTest, BuiltPackageHoldsWhatTheManifestSaid) {
  const std::string path = Manifest(R"(
[app]
name = "Tally"
version = "2.1"
destination = "{pf}\\Tally Counter"
password = "abc"
license = "license.txt"

[package]
output = "out/setup.exe"
cabinet_size = 8192

[settings]
welcome_page = false
branding_text = "Tally by {{Example}}"

[[registry_variables]]
name = "olddir"
root = "HKCU"
key = "Software\\Tally"
value = "Dir"
default = "{pf}\\Tally"

[[files]]
source = "app/**"
destination = "{reg:olddir}"
overwrite = "if-newer"

[[files]]
source = "license.txt"
destination = "{app}\\docs"
name = "LICENSE.txt"
uninstall = false

[[shortcuts]]
location = "desktop"
name = "Tally"
target = "{app}\\tally.exe"

[[programs]]
file = "{app}\\tally.exe"
when = "uninstall-end"

[[programs]]
file = "{sys}\\notepad.exe"
parameters = "{app}\\docs\\guide.txt"
when = "install-end"
wait = true

[[ini]]
file = "{app}\\tally.ini"
section = "Counter"
key = "start"
value = "0"
)");
  Project project = LoadManifest(path, dir_ + "/uninstall.exe");
  const BuildSummary summary = BuildInstaller(project, dir_ + "/stub.exe");
  ASSERT_EQ(summary.written.size(), 1u);
  EXPECT_EQ(summary.written[0], dir_ + "/out/setup.exe");
  std::ifstream in(summary.written[0], std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  qb::MemorySource source(bytes);
  qb::Package p;
  qb::PackageReader reader(source, p);
  ASSERT_TRUE(reader.ReadAll());
  EXPECT_EQ(p.Text(qb::kInstallerTitle), "Tally 2.1 Setup");
  EXPECT_EQ(p.Text(qb::kDefaultDestination), "@$&%01\\Tally Counter");
  EXPECT_EQ(p.Text(qb::kPassword), "2X<");
  EXPECT_EQ(p.Text(qb::kWelcomePage), "0");
  EXPECT_EQ(p.Text(qb::kBrandingText), "Tally by {Example}");
  EXPECT_EQ(p.Text(qb::kLicensePage), "1");
  EXPECT_EQ(p.Text(qb::kTask1Offered), "1");
  EXPECT_EQ(p.Text(qb::kProgramGroup), "0");
  const auto& files = p.Records(qb::List::kFiles);
  ASSERT_EQ(files.Count(), 4u);
  EXPECT_EQ(files.Field(0, 0), "@$&%81\\docs\\guide.txt");
  EXPECT_EQ(files.Field(0, 1), "3");
  EXPECT_EQ(files.Field(1, 0), "@$&%81\\tally.exe");
  EXPECT_EQ(files.Field(2, 0), "@$&%04\\docs\\LICENSE.txt");
  EXPECT_EQ(files.Field(2, 2), "0");
  // The uninstaller comes last, removed by itself like any other file.
  EXPECT_EQ(files.Field(3, 0), "@$&%04\\uninstall.exe");
  EXPECT_EQ(files.Field(3, 2), "1");
  EXPECT_EQ(p.Text(qb::kWriteUninstall), "1");
  EXPECT_EQ(p.Text(qb::kUninstallLogPath), "@$&%04\\uninstall.log");
  EXPECT_EQ(p.Records(qb::List::kRegistryVariables).items,
            (std::vector<std::string>{"1", "Software\\Tally", "Dir", "@$&%01\\Tally"}));
  // Install-time programs come first, whatever the manifest order.
  EXPECT_EQ(p.Number(qb::kInstallProgramCount), 1);
  EXPECT_EQ(p.Number(qb::kUninstallProgramCount), 1);
  EXPECT_EQ(p.Records(qb::List::kPrograms).Field(0, 1), "@$&%03\\notepad.exe");
  EXPECT_EQ(p.Records(qb::List::kPrograms).Field(1, 1), "@$&%04\\tally.exe");
  EXPECT_EQ(p.Records(qb::List::kShortcuts).Field(0, 1), "Tally.lnk");
  // 3 files and the uninstaller + 1 shortcut + 1 INI entry + 1 install-time
  // program + 9 registry values of the Add/Remove Programs entry + the log.
  EXPECT_EQ(p.Number(qb::kProgressTotal), 17);
  EXPECT_EQ(p.Msg(qb::kMsgWelcomeTitle), "Welcome to the Tally Setup");
  EXPECT_EQ(p.Number(qb::kLastCabinetNumber) + 1, static_cast<int64_t>(summary.cabinets));
  // The cabinet data ends right before the trailer.
  const qb::Trailer& t = reader.GetTrailer();
  const int64_t last = p.Number(qb::kLastCabinetNumber);
  EXPECT_EQ(
      t.fileCabinetOffset + last * p.Number(qb::kCabinetSize) + p.Number(qb::kLastCabinetSize),
      bytes.size() - qb::Trailer::kSize);
}

TEST_F(ManifestTest, UninstallerAndAddRemoveProgramsEntry) {
  const std::string app =
      "[app]\nname = \"Tally: Pro/2\"\nversion = \"2.1\"\npublisher = \"Example Ltd\"\n"
      "url = \"https://example.org/\"\n";
  const std::string files = "[[files]]\nsource = \"app/**\"\n";
  // Per machine, the key named after the application.
  Project machine = LoadManifest(Manifest(app + files), dir_ + "/uninstall.exe");
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  std::map<std::string, std::vector<std::string>> values;
  const auto& records = machine.package.Records(qb::List::kRegistryValues);
  for (size_t r = 0; r < records.Count(); ++r) {
    EXPECT_EQ(records.Field(r, 0), "2");
    EXPECT_EQ(records.Field(r, 1), key + "Tally Pro2");
    EXPECT_EQ(records.Field(r, 6), "1") << "removed again by the uninstaller";
    values[records.Field(r, 2)] = {records.Field(r, 3), records.Field(r, 4)};
  }
  const uint64_t bytes = std::string("MZ fake program").size() +
                         std::string("how to tally").size() +
                         fs::file_size(dir_ + "/uninstall.exe");
  const std::map<std::string, std::vector<std::string>> expected = {
      {"DisplayName", {"Tally: Pro/2", "0"}},
      {"DisplayVersion", {"2.1", "0"}},
      {"Publisher", {"Example Ltd", "0"}},
      {"URLInfoAbout", {"https://example.org/", "0"}},
      {"DisplayIcon", {"@$&%04\\uninstall.exe", "0"}},
      {"InstallLocation", {"@$&%04", "0"}},
      {"UninstallString", {"\"@$&%04\\uninstall.exe\"", "0"}},
      {"QuietUninstallString", {"\"@$&%04\\uninstall.exe\" /S", "0"}},
      {"EstimatedSize", {std::to_string((bytes + 1023) / 1024), "2"}},
      {"NoModify", {"1", "2"}},
      {"NoRepair", {"1", "2"}},
  };
  EXPECT_EQ(values, expected);

  // Per user, with its own id and paths.
  Project user = LoadManifest(
      Manifest(
          app + "id = \"tally-pro\"\nprivileges = \"user\"\n" + files +
          "[uninstall]\npath = \"{app}\\\\bin\\\\remove.exe\"\nlog = \"{app}\\\\remove.log\"\n"),
      dir_ + "/uninstall.exe");
  EXPECT_EQ(user.package.Records(qb::List::kRegistryValues).Field(0, 0), "1");
  EXPECT_EQ(user.package.Records(qb::List::kRegistryValues).Field(0, 1), key + "tally-pro");
  EXPECT_EQ(user.package.Text(qb::kUninstallerPath), "@$&%04\\bin\\remove.exe");
  EXPECT_EQ(user.package.Text(qb::kUninstallLogPath), "@$&%04\\remove.log");
  EXPECT_EQ(user.files.back().destination, "@$&%04\\bin\\remove.exe");

  // Off: when nothing is installed, or when the manifest says so.
  for (const std::string& text : {app, app + files + "[uninstall]\nenabled = false\n"}) {
    Project off = LoadManifest(Manifest(text), "");
    EXPECT_EQ(off.package.Text(qb::kWriteUninstall), "0");
    EXPECT_EQ(off.package.Records(qb::List::kRegistryValues).Count(), 0u);
    EXPECT_EQ(off.files.size(), text == app ? 0u : 2u);
  }

  // Errors: a missing uninstaller program, a bad id, a bad privilege.
  const struct {
    std::string text, uninstaller;
    int line;
    const char* reason;
  } errors[] = {
      {app + files, dir_ + "/none.exe", 0, "cannot read the uninstaller program"},
      {app + files + "[uninstall]\nenabled = true\n", "", 8, "cannot read the uninstaller"},
      {app + "id = \"a\\\\b\"\n", dir_ + "/uninstall.exe", 6, "\"id\" must be"},
      {app + "privileges = \"root\"\n", dir_ + "/uninstall.exe", 6, "must be one of"},
  };
  for (const auto& e : errors) {
    try {
      LoadManifest(Manifest(e.text), e.uninstaller);
      ADD_FAILURE() << "accepted: " << e.text;
    } catch (const ManifestError& error) {
      EXPECT_EQ(error.line, e.line) << error.Describe();
      EXPECT_NE(std::string(error.what()).find(e.reason), std::string::npos) << error.Describe();
    }
  }
}

// The builder packs the uninstaller with other bytes than its source (its
// execution level; a signature): what follows from the files' sizes is set
// once more from the sizes it packs.
TEST_F(ManifestTest, SizesFollowThePackedFiles) {
  const std::string app = "[app]\nname = \"T\"\nversion = \"1\"\n[[files]]\nsource = \"app/**\"\n";
  const struct {
    std::string text;
    bool entry;         // an Add/Remove Programs entry with EstimatedSize
    const char* fixed;  // required_disk_space set by hand, or nullptr
  } cases[] = {
      {app, true, nullptr},
      {app + "[settings]\nrequired_disk_space = 5000000\n", true, "5000000"},
      {app + "[uninstall]\nenabled = false\n", false, nullptr},
      {app + "[uninstall]\nenabled = false\n[settings]\nrequired_disk_space = 7\n", false, "7"},
  };
  for (const auto& c : cases) {
    Project project = LoadManifest(Manifest(c.text), dir_ + "/uninstall.exe");
    const auto estimated = [&]() -> std::string {
      const auto& values = project.package.Records(qb::List::kRegistryValues);
      for (size_t r = 0; r < values.Count(); ++r) {
        if (values.Field(r, 2) == "EstimatedSize") return values.Field(r, 3);
      }
      return "none";
    };
    for (const uint32_t grown : {0u, 1u, 1024u, 4000u}) {
      project.files.back().size += grown;
      SetSizesFromFiles(project);
      uint64_t total = 0;
      for (const PackedFile& f : project.files) total += f.size;
      EXPECT_EQ(estimated(), c.entry ? std::to_string((total + 1023) / 1024) : "none") << c.text;
      EXPECT_EQ(project.package.Text(qb::kRequiredDiskSpace),
                c.fixed ? c.fixed : std::to_string(total))
          << c.text;
    }
  }
}

TEST_F(ManifestTest, BracesInTheNameStayLiteral) {
  const Project project =
      LoadManifest(Manifest("[app]\nname = \"Tally {Pro}\"\nversion = \"1\"\n"));
  EXPECT_EQ(project.package.Text(qb::kInstallerTitle), "Tally {Pro} 1 Setup");
  EXPECT_EQ(project.package.Text(qb::kDefaultDestination), "@$&%01\\Tally {Pro}");
  EXPECT_EQ(project.package.Text(qb::kAppSubfolder), "Tally {Pro}");
}

TEST_F(ManifestTest, VolumesSplitTheCabinetData) {
  std::string big(300000, 'x');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
  Write("app/big.bin", big);
  Project project = LoadManifest(
      Manifest("[app]\nname = \"V\"\nversion = \"1\"\n[package]\noutput = \"v.exe\"\ncompression = "
               "\"none\"\n"
               "cabinet_size = 100000\nvolume_size = 131072\nvolume_pattern = \"v-{volume}.dat\"\n"
               "[[files]]\nsource = \"app/**\"\n"),
      dir_ + "/uninstall.exe");
  const BuildSummary s = BuildInstaller(project, dir_ + "/stub.exe");
  // The installer keeps the first 131072 bytes of cabinet data, every
  // volume but the last the next 131072, the last the rest.
  const uint64_t volumes = (s.packedBytes + 131071) / 131072 - 1;
  ASSERT_GE(volumes, 2u);
  ASSERT_EQ(s.written.size(), 1 + volumes);
  for (uint64_t v = 1; v <= volumes; ++v) {
    EXPECT_EQ(s.written[v], dir_ + "/v-" + std::to_string(v + 1) + ".dat");
    EXPECT_EQ(fs::file_size(s.written[v]), v < volumes ? 131072u : s.packedBytes - v * 131072);
  }
}

TEST_F(ManifestTest, FailedBuildLeavesNoOutput) {
  Project project =
      LoadManifest(Manifest("[app]\nname = \"T\"\nversion = \"1\"\n[package]\noutput = "
                            "\"t.exe\"\n[[files]]\nsource = \"app/**\"\n"),
                   dir_ + "/uninstall.exe");
  EXPECT_THROW(BuildInstaller(project, dir_ + "/no-such-stub.exe"), BuildError);
  fs::remove(dir_ + "/app/tally.exe");  // a source that disappears while building
  try {
    BuildInstaller(project, dir_ + "/stub.exe");
    ADD_FAILURE() << "a missing source built";
  } catch (const ManifestError& e) {
    // Named with the manifest entry it came from.
    EXPECT_EQ(e.file, project.manifestPath);
    EXPECT_EQ(e.line, 6);
    EXPECT_NE(std::string(e.what()).find("tally.exe"), std::string::npos) << e.what();
  }
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find("t.exe"), std::string::npos) << entry.path();
  }
}

}  // namespace
}  // namespace tool
