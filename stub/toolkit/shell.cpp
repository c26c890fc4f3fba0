#include "toolkit/shell.h"

#include "text/command_line.h"
#include "toolkit/files.h"
#include "toolkit/system.h"

namespace toolkit {

namespace {

struct Shell32 {
  HRESULT(WINAPI* specialFolderLocation)(HWND, int, LPITEMIDLIST*) = nullptr;
  BOOL(WINAPI* pathFromIdList)(LPCITEMIDLIST, LPSTR) = nullptr;
  LPITEMIDLIST(WINAPI* browseForFolder)(LPBROWSEINFOA) = nullptr;
  DWORD_PTR(WINAPI* fileInfo)(LPCSTR, DWORD, SHFILEINFOA*, UINT, UINT) = nullptr;
  HINSTANCE(WINAPI* execute)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT) = nullptr;
  BOOL(WINAPI* executeEx)(SHELLEXECUTEINFOA*) = nullptr;
};

struct Ole32 {
  HRESULT(WINAPI* initialize)(LPVOID) = nullptr;
  HRESULT(WINAPI* oleInitialize)(LPVOID) = nullptr;
  void(WINAPI* uninitialize)() = nullptr;
  HRESULT(WINAPI* createInstance)(const CLSID&, LPUNKNOWN, DWORD, const IID&, LPVOID*) = nullptr;
  void(WINAPI* taskMemFree)(LPVOID) = nullptr;
};

const Shell32& Shell() {
  static const Shell32 shell = [] {
    Shell32 s;
    HMODULE m = LoadSystemLibrary("shell32.dll");
    s.specialFolderLocation =
        LibraryFunction<decltype(s.specialFolderLocation)>(m, "SHGetSpecialFolderLocation");
    s.pathFromIdList = LibraryFunction<decltype(s.pathFromIdList)>(m, "SHGetPathFromIDListA");
    s.browseForFolder = LibraryFunction<decltype(s.browseForFolder)>(m, "SHBrowseForFolderA");
    s.fileInfo = LibraryFunction<decltype(s.fileInfo)>(m, "SHGetFileInfoA");
    s.execute = LibraryFunction<decltype(s.execute)>(m, "ShellExecuteA");
    s.executeEx = LibraryFunction<decltype(s.executeEx)>(m, "ShellExecuteExA");
    return s;
  }();
  return shell;
}

const Ole32& Ole() {
  static const Ole32 ole = [] {
    Ole32 o;
    HMODULE m = LoadSystemLibrary("ole32.dll");
    o.initialize = LibraryFunction<decltype(o.initialize)>(m, "CoInitialize");
    o.oleInitialize = LibraryFunction<decltype(o.oleInitialize)>(m, "OleInitialize");
    o.uninitialize = LibraryFunction<decltype(o.uninitialize)>(m, "CoUninitialize");
    o.createInstance = LibraryFunction<decltype(o.createInstance)>(m, "CoCreateInstance");
    o.taskMemFree = LibraryFunction<decltype(o.taskMemFree)>(m, "CoTaskMemFree");
    return o;
  }();
  return ole;
}

// The path of an item list, which is freed.
std::string TakePath(LPITEMIDLIST list) {
  char buffer[MAX_PATH + 1] = {};
  const bool ok = Shell().pathFromIdList && Shell().pathFromIdList(list, buffer);
  if (Ole().taskMemFree) Ole().taskMemFree(list);
  return ok ? std::string(buffer) : std::string();
}

}  // namespace

std::string ShellFolderPath(int csidl) {
  LPITEMIDLIST list = nullptr;
  if (!Shell().specialFolderLocation ||
      FAILED(Shell().specialFolderLocation(nullptr, csidl, &list)) || !list) {
    return std::string();
  }
  return TakePath(list);
}

std::string ShellDisplayName(const std::string& path) {
  SHFILEINFOA info = {};
  if (Shell().fileInfo &&
      Shell().fileInfo(path.c_str(), 0, &info, sizeof info, SHGFI_DISPLAYNAME)) {
    return info.szDisplayName;
  }
  return std::string();
}

bool ShellOpen(const std::string& target, int show) {
  // In quotes, the shell takes the whole target as one file: a shell may
  // split an unquoted target with a blank and no parameters at its blanks
  // and start C:\Program.exe instead of C:\Program Files\...
  const std::string file = qb::QuotedPath(target);
  return Shell().execute && reinterpret_cast<INT_PTR>(Shell().execute(
                                nullptr, nullptr, file.c_str(), nullptr, nullptr, show)) > 32;
}

bool StartProgram(const std::string& path, const std::string& parameters, int show,
                  HANDLE* process) {
  if (process) *process = nullptr;
  if (!Shell().executeEx) return false;
  const bool quoted = path.size() >= 2 && path.front() == '"' && path.back() == '"';
  const std::string bare = quoted ? path.substr(1, path.size() - 2) : path;
  const std::string folder = FolderPart(bare);
  const std::string file = qb::QuotedPath(bare);
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI | (process ? SEE_MASK_NOCLOSEPROCESS | SEE_MASK_DOENVSUBST : 0);
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = folder.c_str();
  info.nShow = show;
  const bool started = Shell().executeEx(&info) != 0;
  if (process) *process = info.hProcess;
  return started;
}

void WaitForProgram(HANDLE process, void (*meanwhile)(void*), void* data) {
  if (!process) return;
  while (WaitForSingleObject(process, 50) == WAIT_TIMEOUT) meanwhile(data);
  CloseHandle(process);
}

bool RunNativeRegsvr32(const std::string& component, bool unregister, void (*meanwhile)(void*),
                       void* data) {
  HANDLE process = nullptr;
  if (!StartProgram(UnredirectedPath(SystemFolder() + "\\regsvr32.exe"),
                    std::string(unregister ? "/u /s \"" : "/s \"") + component + "\"", SW_HIDE,
                    &process) ||
      !process)
    return false;
  WaitForProgram(process, meanwhile, data);
  return true;
}

bool PickFolder(BROWSEINFOA& info, std::string& picked) {
  // The picker's newer look needs OLE on this thread.
  if (Ole().oleInitialize) Ole().oleInitialize(nullptr);
  if (!Shell().browseForFolder) return false;
  LPITEMIDLIST chosen = Shell().browseForFolder(&info);
  if (!chosen) return false;
  picked = TakePath(chosen);
  return !picked.empty();
}

TComSession::TComSession() = default;

TComSession::~TComSession() {
  if (initialized_ && Ole().uninitialize) Ole().uninitialize();
}

bool TComSession::Create(const CLSID& cls, const IID& iid, void** object) {
  *object = nullptr;
  if (!started_) {
    started_ = true;
    initialized_ = Ole().initialize && SUCCEEDED(Ole().initialize(nullptr));
  }
  return Ole().createInstance &&
         SUCCEEDED(Ole().createInstance(cls, nullptr, CLSCTX_INPROC_SERVER, iid, object));
}

}  // namespace toolkit
