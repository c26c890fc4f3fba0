// What the removal reports to, and asks of, whoever shows it: the window in
// an ordinary run, nothing at all in a silent one.
#pragma once

#include <string>

namespace uninstaller {

class RemovalHost {
 public:
  virtual ~RemovalHost() = default;
  // The status line: what is being removed now.
  virtual void ShowStatus(const std::string& text) = 0;
  // One item done; pending window messages are processed.
  virtual void Step() = 0;
  // Lets the window stay responsive while a program is waited for.
  virtual void KeepResponsive() = 0;
  // Whether the user asked to stop; the removal stops between items.
  virtual bool StopRequested() = 0;
};

}  // namespace uninstaller
