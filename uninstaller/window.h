// The uninstaller's window: a header band like the installer's, and three
// pages: the question whether to remove, the progress, and the summary.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "removal.h"
#include "removal_host.h"
#include "toolkit/window.h"
#include "uninstall/log_reader.h"

namespace uninstaller {

class TUninstallWindow : public toolkit::TWindow, public RemovalHost {
 public:
  TUninstallWindow(const qb::UninstallLog& log, const std::vector<uint8_t>& headerImage);
  ~TUninstallWindow() override;

  void Build();
  // Shows the question page and waits: true for Remove, false for Cancel.
  bool AskToRemove();
  void ShowProgress(int steps);
  // Shows the summary and waits for Finish.
  void ShowSummary(const RemovalResult& result, const std::string& restartText);

  void ShowStatus(const std::string& text) override;
  void Step() override;
  void KeepResponsive() override;
  bool StopRequested() override { return stopRequested_; }

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  enum Page { kAskPage, kProgressPage, kSummaryPage };
  std::string Text(int key) const { return log_.Setting(key); }
  void SetHeader(const std::string& title, const std::string& subtitle);
  void PaintHeader(HDC dc);
  void OnCancel();

  const qb::UninstallLog& log_;
  HBITMAP header_ = nullptr;
  Page page_ = kAskPage;
  bool decided_ = false;
  bool remove_ = false;
  bool stopRequested_ = false;
  HWND title_ = nullptr, subtitle_ = nullptr;
  HWND bigTitle_ = nullptr, body_ = nullptr;
  HWND status_ = nullptr, progress_ = nullptr;
  HWND back_ = nullptr, next_ = nullptr, cancel_ = nullptr;
};

}  // namespace uninstaller
