// The wizard: the installer's one dialog window, its controls for every
// page, the page sequence and the navigation between pages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "engine/installation_host.h"
#include "session/session.h"
#include "toolkit/timer.h"
#include "toolkit/window.h"

namespace wizard {

// The wizard window's class, by which the background window and a second
// installer find it.
inline constexpr char kWizardClass[] = "TQuillboxWizard";

enum PageKind : unsigned char {
  kWelcomePage = 0,
  kLicensePage = 1,
  kPasswordPage = 2,
  kReadmePage = 3,
  kDestinationPage = 4,
  kGroupPage = 5,
  kTasksPage = 6,
  kReadyPage = 7,
  kProgressPage = 8,
  kFinishPage = 9,
  kCompletion = 10,
};

class TWizard : public toolkit::TWindow, public engine::InstallationHost {
 public:
  // The wizard shows the session's package and hands the session on to the
  // installation run and the completion step.
  explicit TWizard(session::Session& session) : session_(session) {}

  // Builds the window and runs the set-up. A silent run gets no controls
  // and starts the installation run at once; otherwise every control is
  // made and the page sequence, texts and states are set up.
  void Build();

  // The installation run reports here: the status line and progress bar of
  // the Progress page, and the questions it asks the user.
  void ShowStatus(const std::string& text) override;
  // One progress step: position + 1, pending messages processed, and a short
  // pause when the bar has few steps, so that a short run is seen to move.
  void ProgressStep() override;
  engine::OverwriteAnswer AskOverwrite(const std::string& path, const std::string& existingLine,
                                       const std::string& packedLine) override;
  bool AskForVolume(int volume) override;
  bool AskAfterCreateError(const std::string& path) override;
  void ReportFailure(const std::string& text) override;
  void ReportAbandoned() override;

  HWND groupField = nullptr;
  HWND noGroupCheck = nullptr;
  HWND taskCheck[3] = {};
  HWND runProgramCheck = nullptr;
  HWND viewReadmeCheck = nullptr;
  HWND thirdCheck = nullptr;
  HWND restartNow = nullptr;
  HWND restartLater = nullptr;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void DpiChanged() override { LayOutSeparator(); }

 private:
  const std::string& Msg(int m) const { return session_.package.Msg(m); }
  bool Flag(int s) const { return session_.package.Flag(s); }

  session::Session& session_;
  void CreateControls();
  void SetUp();
  void ShowCurrentPage();
  void SetUpFinishPage();
  void OnNext();
  void OnBack();
  void OnClose();
  void SetNextCaption(int message);
  void SetProgressRange(int maximum);
  void CreatePasswordField();
  void CreateHeaderBand();
  void CreateWelcomePanel();
  void CreateDestinationControls();
  void CreateFramedPage(int kind, int description, int descriptionHeight, toolkit::Picture* icon,
                        int frame);
  static HWND CreateDescription(HWND page, const std::string& text, int height,
                                const toolkit::Picture& icon);
  void SetHeader(int title, int subtitle);
  void LayOutSeparator();
  // The license, readme and ready viewers, made only for pages in the
  // sequence of a run that shows them.
  void CreateViewers();
  std::string ReadySummary() const;
  // The destination field changed (or its page shows): the destination
  // folder follows it, and Next is enabled for a usable path.
  void DestinationChanged();
  void ShowSpace(const std::string& text);
  // Can the installation go into this folder: a safe full path (no
  // wildcards, nothing the code page cannot hold) on a drive with the free
  // space the package needs? Says why not when not.
  bool DestinationUsable(const std::string& text);
  void Browse();
  void FillGroupList();
  void NoGroupClicked();
  void CompactTasks();
  void CompactFinishBoxes();
  // Next is enabled while the password field holds the package's password.
  void CheckPassword();
  // Runs the installation with the choices made on the pages, then ends a
  // silent run or moves on to the page after the Progress page.
  void StartRun();
  void NextAfterRun();
  int Ask(const std::string& text, UINT style);

  HWND passwordField_ = nullptr;
  HWND groupDescription_ = nullptr;
  HWND groupList_ = nullptr;
  HWND tasksDescription_ = nullptr;
  HWND destinationField_ = nullptr;
  HWND browseButton_ = nullptr;
  HWND spaceRequired_ = nullptr;   // "Space required: 12.3 MB"
  HWND spaceAvailable_ = nullptr;  // "Space available on C:: 4.1 GB"; empty when unknown
  HWND licenseViewer_ = nullptr;
  HWND readmeViewer_ = nullptr;
  HWND readyViewer_ = nullptr;
  toolkit::TMultimediaTimer noticeTimer_;  // shows the start-up notice once
  HWND separator_ = nullptr;               // the line that runs on from the branding text
  HWND header_ = nullptr;                  // the band above the pages of kinds 1 to 8
  HWND headerPicture_ = nullptr;
  HWND headerTitle_ = nullptr;
  HWND headerSubtitle_ = nullptr;
  HWND back_ = nullptr;
  HWND next_ = nullptr;
  HWND cancel_ = nullptr;
  HWND branding_ = nullptr;
  HWND panels_[10] = {};  // by page kind; the welcome and finish pages share one
  HWND bigTitle_ = nullptr;
  HWND bodyText_ = nullptr;
  HWND progressDescription_ = nullptr;
  HWND statusText_ = nullptr;
  HWND progressBar_ = nullptr;
  std::vector<unsigned char> pages_;
  unsigned char position_ = 0;
  int progressMaximum_ = 0;
  int progressPosition_ = 0;
  DWORD lastMessagePass_ = 0;
  bool running_ = false;
};

// The program-wide wizard reference (null before the wizard is built).
extern TWizard* Wizard;

// Creates the wizard for the session, owned by the application object.
void CreateWizard(session::Session& session);

}  // namespace wizard
