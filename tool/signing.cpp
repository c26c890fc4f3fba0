#include "signing.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "project.h"

namespace fs = std::filesystem;

namespace tool {

namespace {

// Runs a program with its arguments; returns its exit status (127 when it
// could not be started) and what it wrote to its error output.
#ifdef _WIN32
int Run(const std::vector<std::string>& args, std::string& errors) {
  // The command line the way the C runtime splits it again.
  std::string line;
  for (const std::string& a : args) {
    if (!line.empty()) line += ' ';
    line += '"';
    size_t slashes = 0;
    for (char c : a) {
      if (c == '\\') {
        ++slashes;
        continue;
      }
      line.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
      slashes = 0;
      line += c;
    }
    line.append(2 * slashes, '\\');
    line += '"';
  }
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return 127;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = writeEnd;
  startup.hStdOutput = nullptr;
  startup.hStdInput = nullptr;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                      nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return 127;
  }
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n) errors.append(buffer, n);
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 127;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(code);
}
#else
int Run(const std::vector<std::string>& args, std::string& errors) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return 127;
  const pid_t child = fork();
  if (child < 0) {
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    return 127;
  }
  if (child == 0) {
    dup2(pipeEnds[1], 2);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 1);
    close(pipeEnds[0]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  char buffer[4096];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) errors.append(buffer, n);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 127;
}
#endif

// A temporary file only this user can read, removed again when it goes: a
// password from the environment reaches the signer in one, never on its
// command line, and a program held in memory is signed in one. failure is
// the message when it cannot be written.
class ScratchFile {
 public:
  ScratchFile(const void* data, size_t size, const std::string& failure) {
#ifdef _WIN32
    char folder[MAX_PATH + 1] = {}, name[MAX_PATH + 1] = {};
    if (!GetTempPathA(MAX_PATH, folder) || !GetTempFileNameA(folder, "qbs", 0, name))
      throw BuildError(failure);
    path_ = name;
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) Abandon(failure);
#else
    std::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec);  // TMPDIR, or /tmp
    std::string pattern = ((ec ? fs::path("/tmp") : folder) / "quillbox-scratch.XXXXXX").string();
    const int fd = mkstemp(&pattern[0]);
    if (fd < 0) throw BuildError(failure);
    path_ = pattern;
    const char* next = static_cast<const char*>(data);
    size_t left = size;
    while (left > 0) {
      const ssize_t n = write(fd, next, left);
      if (n <= 0) break;
      next += n;
      left -= static_cast<size_t>(n);
    }
    const bool closed = close(fd) == 0;
    if (left > 0 || !closed) Abandon(failure);
#endif
  }
  ~ScratchFile() { Remove(); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& Path() const { return path_; }

 private:
  void Remove() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove(path_, ec);
  }
  // A file that was made but not written goes before the constructor fails
  // (no destructor runs then).
  [[noreturn]] void Abandon(const std::string& failure) {
    Remove();
    throw BuildError(failure);
  }
  std::string path_;
};

}  // namespace

void SignFile(const SigningOptions& o, const std::string& path) {
  std::vector<std::string> args = {"osslsigncode", "sign"};
  if (!o.pkcs12.empty()) {
    args.insert(args.end(), {"-pkcs12", o.pkcs12});
  } else {
    if (o.key.empty()) throw BuildError("signing with a certificate needs its key as well");
    args.insert(args.end(), {"-certs", o.certificate, "-key", o.key});
  }
  std::unique_ptr<ScratchFile> fromEnvironment;
  if (!o.passwordFile.empty()) {
    args.insert(args.end(), {"-readpass", o.passwordFile});
  } else if (!o.passwordEnv.empty()) {
    const char* password = std::getenv(o.passwordEnv.c_str());
    if (!password) {
      throw BuildError("the signing password's environment variable " + o.passwordEnv +
                       " is not set");
    }
    fromEnvironment = std::make_unique<ScratchFile>(password, std::strlen(password),
                                                    "cannot pass the signing password on");
    args.insert(args.end(), {"-readpass", fromEnvironment->Path()});
  }
  if (!o.description.empty()) args.insert(args.end(), {"-n", o.description});
  if (!o.url.empty()) args.insert(args.end(), {"-i", o.url});
  if (!o.timestamp.empty()) args.insert(args.end(), {"-ts", o.timestamp});
  const std::string signedPath = path + ".signed.part";
  args.insert(args.end(), {"-in", path, "-out", signedPath});
  std::string errors;
  const int status = Run(args, errors);
  if (status != 0) {
    std::error_code ec;
    fs::remove(signedPath, ec);
    if (status == 127) {
      throw BuildError("signing needs osslsigncode (the Debian package osslsigncode)");
    }
    while (!errors.empty() && (errors.back() == '\n' || errors.back() == '\r')) errors.pop_back();
    const size_t lastLine = errors.rfind('\n');
    throw BuildError("signing failed: " +
                     (lastLine == std::string::npos ? errors : errors.substr(lastLine + 1)));
  }
  fs::rename(signedPath, path);
}

std::vector<uint8_t> SignProgram(const SigningOptions& options,
                                 const std::vector<uint8_t>& program) {
  ScratchFile scratch(program.data(), program.size(), "cannot write a copy to sign");
  SignFile(options, scratch.Path());
  std::ifstream in(scratch.Path(), std::ios::binary);
  if (!in) throw BuildError("cannot read back the signed copy");
  std::vector<uint8_t> signedProgram((std::istreambuf_iterator<char>(in)), {});
  // A signature only ever adds its certificate table.
  if (signedProgram.size() <= program.size()) throw BuildError("cannot read back the signed copy");
  return signedProgram;
}

}  // namespace tool
