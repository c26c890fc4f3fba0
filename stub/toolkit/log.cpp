#include "toolkit/log.h"

#include "toolkit/files.h"

namespace toolkit {

namespace {

HANDLE logFile = INVALID_HANDLE_VALUE;
bool unattended = false;

const char* AnswerName(int answer) {
  switch (answer) {
    case IDOK:
      return "OK";
    case IDCANCEL:
      return "Cancel";
    case IDABORT:
      return "Abort";
    case IDRETRY:
      return "Retry";
    case IDIGNORE:
      return "Ignore";
    case IDYES:
      return "Yes";
    case IDNO:
      return "No";
    default:
      return "closed";
  }
}

// Line ends inside a message become " / " so that one message is one line.
std::string OneLine(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += " / ";
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

bool OpenLog(const std::string& path) {
  if (logFile != INVALID_HANDLE_VALUE) return true;
  CreateFolderChain(FolderPart(path));
  logFile = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  return logFile != INVALID_HANDLE_VALUE;
}

void Log(std::initializer_list<LogPart> parts) {
  if (logFile == INVALID_HANDLE_VALUE) return;
  std::string line;
  for (const LogPart& part : parts) line.append(part.Text(), part.Size());
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[] = "00:00:00.000 ";
  const auto put = [&stamp](int at, unsigned value, int digits) {
    for (int d = digits - 1; d >= 0; --d, value /= 10)
      stamp[at + d] = static_cast<char>('0' + value % 10);
  };
  put(0, now.wHour, 2);
  put(3, now.wMinute, 2);
  put(6, now.wSecond, 2);
  put(9, now.wMilliseconds, 3);
  const std::string text = stamp + OneLine(line) + "\r\n";
  DWORD written = 0;
  if (!WriteFile(logFile, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size()) {
    // A log that can no longer be written (a full disk) ends there, and
    // with it every further attempt; the installation does not depend on it.
    CloseHandle(logFile);
    logFile = INVALID_HANDLE_VALUE;
  }
}

void SetUnattended(bool on) { unattended = on; }
bool Unattended() { return unattended; }

int Prompt(HWND owner, TextArg text, TextArg caption, UINT style, int unattendedAnswer) {
  Log({"message: ", text.c_str()});
  if (unattended) {
    Log({"answered ", AnswerName(unattendedAnswer), " (unattended, not shown)"});
    return unattendedAnswer;
  }
  const int answer = MessageBoxA(owner, text.c_str(), caption.c_str(), style);
  Log({"answered ", AnswerName(answer)});
  return answer;
}

}  // namespace toolkit
