#include "startup/main.h"

#include <windows.h>

#include "engine/cab.h"
#include "engine/variables.h"
#include "package/support_files.h"
#include "startup/background.h"
#include "startup/checks.h"
#include "startup/options.h"
#include "startup/state.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/drawing.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/system.h"
#include "wizard/select_lang.h"
#include "wizard/wizard.h"

namespace startup {

session::Session TheSession;
qb::Package& Package = TheSession.package;
StartupState& Startup = TheSession.state;

namespace {

constexpr char kMutexName[] = "InstallExists";

[[noreturn]] void DamagedPackage(toolkit::TFileStream& stream) {
  stream.Close();
  RemoveWorkFolder();
  // The package may be unreadable before the options are evaluated: an
  // unattended run still answers the message itself.
  bool silent = false, noPrompts = false;
  for (const std::string& p : Parameters()) {
    silent |= qb::UpperAscii(p) == "/S";
    noPrompts |= qb::UpperAscii(p) == "/NP";
  }
  if (silent && noPrompts) toolkit::SetUnattended(true);
  toolkit::Prompt(toolkit::Application.Handle(), qb::kDamagedPackageMessage, "Error",
                  MB_ICONERROR | MB_OK, IDOK);
  EndProgram(qb::ExitReason::kDamagedPackage);
}

// "test" starts the authoring tool quillbox.exe from the folder above the
// installer's own, wherever the installer was started from; the tool is
// started by its full path, never searched for.
void RunTestMode() {
  const std::vector<std::string> params = Parameters();
  if (params.empty() || params[0] != "test") return;
  char path[MAX_PATH + 16];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* name = n > 0 && n < MAX_PATH ? strrchr(path, '\\') : nullptr;
  if (name) lstrcpyA(name + 1, "..\\quillbox.exe");
  // The command line is the tool's path in quotes.
  char tool[MAX_PATH + 2] = "\"";
  const DWORD length = name ? GetFullPathNameA(path, MAX_PATH, tool + 1, nullptr) : 0;
  lstrcpyA(path, tool);
  if (length > 0 && length < MAX_PATH) lstrcatA(path, "\"");
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  const bool started = length > 0 && length < MAX_PATH &&
                       CreateProcessA(tool + 1, path, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                      &startup, &process);
  toolkit::Log({started ? "authoring tool started: " : "authoring tool could not start: ", path});
  if (!started) EndProgram(qb::ExitReason::kDamagedPackage);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EndProgram(qb::ExitReason::kTestMode);
}

void EnsureSingleInstance() {
  HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kMutexName);
  if (existing) {
    CloseHandle(existing);
    // The running installer's wizard and application window both carry its
    // title; the wizard is the one to bring back.
    HWND running = FindWindowA(wizard::kWizardClass, Startup.installerTitle.c_str());
    if (!running) running = FindWindowA(nullptr, Startup.installerTitle.c_str());
    if (running) {
      ShowWindow(running, SW_RESTORE);
      SetForegroundWindow(running);
    }
    // The running installer owns the working folder and its files.
    LeaveWorkFolder();
    EndProgram(qb::ExitReason::kAnotherRunning);
  }
  // Kept until the process ends.
  Startup.instanceMutex = CreateMutexA(nullptr, FALSE, kMutexName);
}

void WriteSupportCabinet(qb::PackageReader& reader, toolkit::TFileStream& stream) {
  toolkit::TFileStream out;
  if (out.Create(SupportFile(qb::kSupportCabinetCopy)) && out.Write("MSCF", 4)) {
    stream.Seek(static_cast<uint64_t>(reader.GetTrailer().supportOffset));
    toolkit::CopyStream(stream, out, reader.GetTrailer().supportLength);
  }
  out.Close();
  stream.Close();
}

// The support cabinet may only produce the working folder's numbered
// support files; any other entry is passed over.
void OnSupportEntry(void*, engine::TCab&, const std::string& name, int32_t, uint16_t, uint16_t,
                    uint16_t, uint16_t, std::string& dest, bool&) {
  if (!qb::IsSupportCabinetEntry(name, Package.LanguageCount())) dest.clear();
}

// Unpacks support file 2 into the user's temporary folder: its entries are
// named "$inst\n.tmp", so the support files land in the working folder. It is
// one cabinet: no further cabinet is ever supplied.
void ExtractSupportCabinet(qb::PackageReader& reader, toolkit::TFileStream& stream) {
  // A package without support files has no support cabinet at all.
  if (reader.GetTrailer().supportLength == 0) return;
  engine::TCab cab;
  cab.OnCopyFile = {OnSupportEntry, nullptr};
  cab.Extract(SupportFile(qb::kSupportCabinetCopy), toolkit::TempFolder());
  if (!cab.Finished()) {
    toolkit::Log("the support cabinet is damaged");
    DamagedPackage(stream);
  }
}

// A /P= or /G= that cannot be used ends the program before anything is
// installed.
void RefuseUnusableOption() {
  if (Startup.unusableOption.empty()) return;
  toolkit::Log({"option refused: ", Startup.unusableOption,
                " (wildcards, characters outside the system's code page, or not a safe path)"});
  if (!Startup.silent) {
    toolkit::Prompt(toolkit::Application.Handle(),
                    Package.Msg(qb::kMsgCannotCreate) + Startup.unusableOption.substr(3),
                    Startup.installerTitle, MB_ICONERROR | MB_OK, IDOK);
  }
  RemoveWorkFolder();
  EndProgram(qb::ExitReason::kUnusableOption);
}

void SettleLanguage() {
  const qb::RecordList& languages = Package.Records(qb::List::kLanguages);
  const int64_t count = Package.LanguageCount();
  if (!Startup.languageName.empty()) {
    Startup.languageIndex = 255;
    bool matched = false;
    const std::string wanted = qb::UpperAscii(Startup.languageName);
    for (size_t i = 0; i < languages.Count(); ++i) {
      if (qb::UpperAscii(languages.Field(i, qb::kLanguageName)).find(wanted) != std::string::npos) {
        Startup.languageIndex = static_cast<unsigned char>(i);
        matched = true;
      }
    }
    if (!matched) Startup.languageName.clear();
  }
  if (count >= 2 && Startup.languageName.empty()) {
    if (!wizard::SelectLanguage(TheSession)) {
      RemoveWorkFolder();
      EndProgram(qb::ExitReason::kCancelled);
    }
  }
  if (count >= 2 && Startup.languageIndex != 0) {
    Startup.languageName = languages.Field(Startup.languageIndex, qb::kLanguageName);
    Package.SelectLanguage(Startup.languageIndex);
  } else {
    Startup.languageIndex = 0;
    Startup.languageName = languages.Field(0, qb::kLanguageName);
  }
  const auto fileNumber = [&](int field, int fallback) {
    const std::string& text = languages.Field(Startup.languageIndex, field);
    return static_cast<unsigned char>(text.empty() ? fallback : qb::ReadNumber(text));
  };
  Startup.licenseFile = fileNumber(qb::kLanguageLicenseFile, qb::kSupportLicense);
  Startup.readmeFile = fileNumber(qb::kLanguageReadmeFile, qb::kSupportReadme);
}

std::string PictureForm(int form, const void* supportFile) {
  return qb::PictureFormPath(toolkit::TempFolder(), *static_cast<const int*>(supportFile), form);
}

static_assert(toolkit::Picture::kMaxForms == qb::kMaxPictureForms, "one count of forms");

// A picture of the wizard: its support file, then the larger forms the
// package may carry beside it (see qb::PictureFormEntry).
toolkit::Picture LoadPicture(int supportFile, bool wanted) {
  if (!wanted) return {};
  return toolkit::LoadPicture(SupportFile(supportFile), PictureForm, &supportFile);
}

void LoadWizardPictures() {
  Startup.headerBitmap = LoadPicture(qb::kSupportHeaderBitmap, Package.Flag(qb::kHeaderBitmap));
  Startup.sideBitmap = LoadPicture(qb::kSupportSideBitmap, Package.Flag(qb::kSideBitmap));
  Startup.destinationIcon =
      LoadPicture(qb::kSupportDestinationIcon, Package.Flag(qb::kDestinationPage));
  Startup.tasksIcon = LoadPicture(qb::kSupportTasksIcon, Package.Flag(qb::kTask1Offered) ||
                                                             Package.Flag(qb::kTask2Offered) ||
                                                             Package.Flag(qb::kTask3Offered));
  Startup.passwordIcon = LoadPicture(qb::kSupportPasswordIcon, Package.Text(qb::kPassword) != "0");
}

}  // namespace

void StartupRoutine() {
  engine::BindSession(TheSession);
  StartLog();
  RunTestMode();
  CreateWorkFolder();

  toolkit::TFileStream stream;
  stream.OpenRead(toolkit::ModulePath());
  qb::PackageReader reader(stream, Package);
  if (!reader.ReadTrailer() || !reader.ReadSettings() || !reader.ReadRegistryVariables()) {
    DamagedPackage(stream);
  }
  Startup.fileCabinetOffset = reader.GetTrailer().fileCabinetOffset;
  Startup.packageEnd = reader.End();
  // A 64-bit package reads and writes the 64-bit registry view and places
  // its files natively, wherever Windows runs x64 programs (elsewhere
  // CheckArchitecture refuses it).
  Startup.native64 = Package.LaterFlag(qb::kNative64) && toolkit::WindowsRunsX64();
  engine::LoadRegistryVariables(TheSession);

  Startup.silent = Package.Flag(qb::kSilentByDefault);
  EvaluateOptions();
  if (Startup.silent && !Package.Text(qb::kPassword).empty()) {
    RemoveWorkFolder();
    EndProgram(qb::ExitReason::kPasswordNeeded);
  }
  Startup.installerTitle = engine::ExpandText(Package.Text(qb::kInstallerTitle));
  // Nobody is there to answer: every question gets its safe answer.
  toolkit::SetUnattended(Startup.silent && Startup.noPrompts);
  toolkit::Log({"package: ", Startup.installerTitle, Startup.silent ? ", silent" : "",
                toolkit::Unattended() ? ", unattended (no prompts)" : ""});
  EnsureSingleInstance();

  toolkit::Application.SetCaption(Startup.installerTitle);
  if (!Startup.silent) toolkit::Application.Show();

  if (!reader.ReadRemainingLists()) DamagedPackage(stream);
  WriteSupportCabinet(reader, stream);
  session::RemovePictureForms();
  ExtractSupportCabinet(reader, stream);

  SettleLanguage();
  RefuseUnusableOption();

  CheckWindowsVersion();
  CheckArchitecture();
  CheckAdministrator();
  CheckDotNet();
  CloseRunningApplication(Background.Handle());

  PrepareBackground();
  LoadWizardPictures();
}

}  // namespace startup
