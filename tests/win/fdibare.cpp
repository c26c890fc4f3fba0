// fdibare: the bare FDI extraction the installer is measured against. It
// only calls FDICopy on one cabinet and writes every file into a folder.
//   fdibare CABINET_FOLDER\ CABINET_NAME DEST_FOLDER\  (trailing backslashes)
#include <fcntl.h>
#include <fdi.h>
#include <windows.h>

#include <string>

static std::string dest;
static void* DIAMONDAPI Alloc(ULONG n) { return HeapAlloc(GetProcessHeap(), 0, n); }
static void DIAMONDAPI Free(void* p) { HeapFree(GetProcessHeap(), 0, p); }
static INT_PTR DIAMONDAPI Open(char* path, int flags, int) {
  const bool write = (flags & 3) != 0;
  HANDLE h = CreateFileA(path, write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, nullptr,
                         write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(h);
}
static UINT DIAMONDAPI Read(INT_PTR h, void* b, UINT n) {
  DWORD d = 0;
  return ReadFile(reinterpret_cast<HANDLE>(h), b, n, &d, nullptr) ? d : static_cast<UINT>(-1);
}
static UINT DIAMONDAPI Write(INT_PTR h, void* b, UINT n) {
  DWORD d = 0;
  return WriteFile(reinterpret_cast<HANDLE>(h), b, n, &d, nullptr) ? d : static_cast<UINT>(-1);
}
static int DIAMONDAPI Close(INT_PTR h) { return CloseHandle(reinterpret_cast<HANDLE>(h)) ? 0 : -1; }
static LONG DIAMONDAPI Seek(INT_PTR h, LONG d, int o) {
  return static_cast<LONG>(SetFilePointer(reinterpret_cast<HANDLE>(h), d, nullptr, o));
}
static INT_PTR DIAMONDAPI Notify(FDINOTIFICATIONTYPE t, PFDINOTIFICATION n) {
  if (t == fdintCOPY_FILE) return Open(&(dest + n->psz1)[0], _O_WRONLY | _O_CREAT, 0);
  if (t == fdintCLOSE_FILE_INFO) return Close(n->hf) == 0;
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  dest = argv[3];
  HMODULE m = LoadLibraryA("cabinet.dll");
  auto create = reinterpret_cast<decltype(&FDICreate)>(
      reinterpret_cast<void*>(GetProcAddress(m, "FDICreate")));
  auto copy =
      reinterpret_cast<decltype(&FDICopy)>(reinterpret_cast<void*>(GetProcAddress(m, "FDICopy")));
  ERF erf = {};
  HFDI fdi = create(Alloc, Free, Open, Read, Write, Close, Seek, cpuUNKNOWN, &erf);
  return copy(fdi, argv[2], argv[1], 0, Notify, nullptr, nullptr) ? 0 : 1;
}
