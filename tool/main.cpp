// quillbox: the authoring tool. Turns a manifest and the application's files
// into a finished installer.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "inspect.h"
#include "project.h"
#include "settings_table.h"
#include "text/text.h"

#ifndef QB_VERSION
#define QB_VERSION "0.0.0"
#endif

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: quillbox <command> [options]\n"
    "\n"
    "commands:\n"
    "  build MANIFEST [-o setup.exe] [--stub FILE] [--uninstaller FILE]\n"
    "                                                 build an installer\n"
    "  inspect SETUP.EXE                              print the package of an installer\n"
    "  settings                                       list every setting a manifest can set\n"
    "\n"
    "  quillbox --version | --help | <command> --help\n";

const char kBuildHelp[] =
    "usage: quillbox build MANIFEST [-o OUTPUT] [--stub STUB] [--uninstaller FILE]\n"
    "                      [--compression lzx|mszip|none]\n"
    "\n"
    "Builds an installer from a manifest (TOML). OUTPUT defaults to [package] output,\n"
    "or MANIFEST's name with -setup.exe. STUB defaults to quillbox-stub.exe beside\n"
    "this program (or in ../lib/quillbox), FILE (the uninstaller the installer puts beside the "
    "application)\n"
    "to quillbox-uninstall.exe beside STUB. Errors name the manifest, the line and\n"
    "the reason; nothing is written when the build fails. --compression overrides\n"
    "the manifest's [package] compression.\n"
    "\n"
    "Signing (Authenticode, with osslsigncode; overrides the manifest's [signing]):\n"
    "  --sign-pkcs12 FILE          a PKCS#12 file with the certificate and key\n"
    "  --sign-cert FILE --sign-key FILE   or a certificate and its key\n"
    "  --sign-password-file FILE   the password, read from a file\n"
    "  --sign-password-env NAME    or from an environment variable\n"
    "  --timestamp URL             a time-stamping server (RFC 3161)\n";

const char kInspectHelp[] =
    "usage: quillbox inspect SETUP.EXE\n"
    "\n"
    "Prints the package trailer, every setting by name, every record list with\n"
    "readable variables, the messages of each language and the cabinet layout.\n";

std::string ProgramFolder(const char* argv0) {
#ifdef _WIN32
  wchar_t path[32768];
  const DWORD n = GetModuleFileNameW(nullptr, path, 32768);
  fs::path self = n ? fs::path(std::wstring(path, n)) : fs::absolute(argv0);
#else
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) self = fs::absolute(argv0);
#endif
  return self.parent_path().string();
}

int Build(const std::vector<std::string>& args, const char* argv0) {
  std::string manifest, output, stub, uninstaller, compression;
  tool::SigningOptions signing;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::printf("%s", kBuildHelp);
      return 0;
    }
    if ((args[i] == "-o" || args[i] == "--output") && i + 1 < args.size()) {
      output = args[++i];
    } else if (args[i] == "--stub" && i + 1 < args.size()) {
      stub = args[++i];
    } else if (args[i] == "--uninstaller" && i + 1 < args.size()) {
      uninstaller = args[++i];
    } else if (args[i] == "--compression" && i + 1 < args.size()) {
      compression = args[++i];
      if (compression != "lzx" && compression != "mszip" && compression != "none") {
        std::fprintf(stderr, "quillbox build: --compression is lzx, mszip or none\n");
        return 2;
      }
    } else if (args[i] == "--sign-pkcs12" && i + 1 < args.size()) {
      signing.pkcs12 = args[++i];
    } else if (args[i] == "--sign-cert" && i + 1 < args.size()) {
      signing.certificate = args[++i];
    } else if (args[i] == "--sign-key" && i + 1 < args.size()) {
      signing.key = args[++i];
    } else if (args[i] == "--sign-password-file" && i + 1 < args.size()) {
      signing.passwordFile = args[++i];
    } else if (args[i] == "--sign-password-env" && i + 1 < args.size()) {
      signing.passwordEnv = args[++i];
    } else if (args[i] == "--timestamp" && i + 1 < args.size()) {
      signing.timestamp = args[++i];
    } else if (manifest.empty() && args[i][0] != '-') {
      manifest = args[i];
    } else {
      std::fprintf(stderr, "quillbox build: unexpected argument \"%s\"\n%s",
                   qb::EscapeControls(args[i]).c_str(), kBuildHelp);
      return 2;
    }
  }
  if (manifest.empty()) {
    std::fprintf(stderr, "%s", kBuildHelp);
    return 2;
  }
  if (stub.empty()) {
    // Beside the tool (a build folder), or where make install puts it.
    const fs::path folder = ProgramFolder(argv0);
    stub = (folder / "quillbox-stub.exe").string();
    const fs::path installed = folder.parent_path() / "lib" / "quillbox" / "quillbox-stub.exe";
    std::error_code ec;
    if (!fs::exists(stub, ec) && fs::exists(installed, ec)) stub = installed.string();
  }
  if (uninstaller.empty()) {
    uninstaller = (fs::absolute(stub).parent_path() / "quillbox-uninstall.exe").string();
  }
  try {
    tool::Project project = tool::LoadManifest(manifest, uninstaller);
    for (const std::string& warning : project.warnings)
      std::fprintf(stderr, "%s\n", warning.c_str());
    if (!output.empty()) project.outputPath = output;
    if (!compression.empty()) {
      project.compression = compression == "lzx"     ? qb::cab::Compression::kLzx
                            : compression == "mszip" ? qb::cab::Compression::kMszip
                                                     : qb::cab::Compression::kNone;
    }
    tool::SigningOptions& sign = project.signing;
    if (signing.Wanted()) {
      sign.pkcs12 = signing.pkcs12;
      sign.certificate = signing.certificate;
      sign.key = signing.key;
    }
    if (!signing.passwordFile.empty())
      sign.passwordFile = signing.passwordFile, sign.passwordEnv = "";
    if (!signing.passwordEnv.empty())
      sign.passwordEnv = signing.passwordEnv, sign.passwordFile = "";
    if (!signing.timestamp.empty()) sign.timestamp = signing.timestamp;
    // Signing (the uninstaller it packs, then the installer) is part of the
    // build: one that fails leaves nothing behind.
    const tool::BuildSummary s = tool::BuildInstaller(project, stub);
    std::printf("built %s: %llu bytes, %zu files (%llu bytes) in %zu cabinet(s) of %llu bytes\n",
                s.written[0].c_str(), static_cast<unsigned long long>(s.installerSize),
                project.files.size(), static_cast<unsigned long long>(s.fileBytes), s.cabinets,
                static_cast<unsigned long long>(s.packedBytes));
    for (size_t i = 1; i < s.written.size(); ++i) std::printf("volume %s\n", s.written[i].c_str());
    if (sign.Wanted()) std::printf("signed %s\n", s.written[0].c_str());
    return 0;
  } catch (const tool::ManifestError& e) {
    std::fprintf(stderr, "%s\n", e.Describe().c_str());
  } catch (const tool::BuildError& e) {
    std::fprintf(stderr, "quillbox build: %s: %s\n", qb::EscapeControls(manifest).c_str(),
                 qb::EscapeControls(e.what()).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillbox build: %s: %s\n", qb::EscapeControls(manifest).c_str(),
                 qb::EscapeControls(e.what()).c_str());
  }
  return 1;
}

int Settings() {
  for (const auto& s : tool::AllSettings()) {
    if (s.kind == tool::Kind::kComputed) continue;
    const char* type = s.kind == tool::Kind::kFlag                                      ? "bool"
                       : s.kind == tool::Kind::kText || s.kind == tool::Kind::kExpanded ? "string"
                                                                                        : "integer";
    std::printf("%-26s %-8s %s\n", s.name, type, s.help);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::printf("%s", kUsage);
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::printf("quillbox %s\n", QB_VERSION);
    return 0;
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "build") return Build(args, argv[0]);
  if (command == "inspect") {
    if (args.size() != 1 || args[0] == "--help" || args[0] == "-h") {
      std::printf("%s", kInspectHelp);
      return args.size() == 1 ? 0 : 2;
    }
    return tool::Inspect(args[0]);
  }
  if (command == "settings") return Settings();
  std::fprintf(stderr, "quillbox: unknown command \"%s\"\n%s", qb::EscapeControls(command).c_str(),
               kUsage);
  return 2;
}
