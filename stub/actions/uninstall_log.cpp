#include "actions/uninstall_log.h"

#include <windows.h>

#include "engine/run_state.h"
#include "engine/variables.h"
#include "package/support_files.h"
#include "startup/state.h"
#include "startup/workfolder.h"
#include "toolkit/files.h"
#include "uninstall/uninstall_log.h"

namespace actions {

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  toolkit::TFileStream in;
  std::vector<uint8_t> bytes;
  if (in.OpenRead(path)) {
    bytes.resize(static_cast<size_t>(in.Size()));
    bytes.resize(in.Read(bytes.data(), bytes.size()));
  }
  return bytes;
}

}  // namespace

void WriteUninstallLog(engine::RunState& run) {
  const qb::Package& pkg = startup::Package;
  const std::string uninstaller = engine::ExpandText(pkg.Text(qb::kUninstallerPath));
  const std::string logPath = engine::ExpandText(pkg.Text(qb::kUninstallLogPath));
  toolkit::CreateFolderChain(toolkit::FolderPart(uninstaller));
  toolkit::CreateFolderChain(toolkit::FolderPart(logPath));

  if (toolkit::FileExists(uninstaller)) {
    // The header bitmap travels as the BMP file it was loaded from.
    std::vector<uint8_t> bitmap;
    const bool withBitmap = pkg.Flag(qb::kHeaderBitmap);
    if (withBitmap) bitmap = ReadWholeFile(startup::SupportFile(qb::kSupportHeaderBitmap));
    const std::vector<uint8_t> trailer =
        qb::UninstallerTrailer(withBitmap ? &bitmap : nullptr, logPath);
    HANDLE h = CreateFileA(uninstaller.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      DWORD done = 0;
      SetFilePointer(h, 0, nullptr, FILE_END);
      WriteFile(h, trailer.data(), static_cast<DWORD>(trailer.size()), &done, nullptr);
      CloseHandle(h);
    }
  }

  qb::UninstallLogInput input;
  input.package = &pkg;
  input.installedFiles.swap(run.installedFiles);
  input.destinationFolder = engine::Variable(4);
  input.expand = engine::ExpandText;
  const std::string text = qb::UninstallLogText(qb::BuildUninstallLog(input));
  toolkit::TFileStream out;
  if (out.Create(logPath)) out.Write(text.data(), text.size());
}

}  // namespace actions
