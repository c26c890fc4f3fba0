#include "wizard/wizard.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>

#include "actions/completion.h"
#include "cab/safe_name.h"
#include "engine/variables.h"
#include "package/settings.h"
#include "run/installation_run.h"
#include "session/ending.h"
#include "session/session.h"
#include "session/workfolder.h"
#include "text/expand.h"
#include "text/text.h"
#include "toolkit/application.h"
#include "toolkit/controls.h"
#include "toolkit/dpi.h"
#include "toolkit/drawing.h"
#include "toolkit/files.h"
#include "toolkit/log.h"
#include "toolkit/shell.h"
#include "wizard/replace_file.h"

namespace wizard {

TWizard* Wizard = nullptr;

namespace {

// A tick of the notice timer, posted from the system's timer thread.
constexpr UINT kNoticeTick = WM_APP + 1;

enum ControlId : int {
  kBackId = 101,
  kNextId = 102,
  kCancelId = 103,
  kPasswordFieldId = 110,
  kDestinationFieldId = 111,
  kBrowseId = 112,
  kGroupFieldId = 113,
  kGroupListId = 114,
  kNoGroupId = 115,
};

constexpr int kClientWidth = 495;
constexpr int kClientHeight = 359;
constexpr COLORREF kWhite = RGB(255, 255, 255);

// The band of a page whose one explanation stands on the page itself: the
// Readme page's (message 82) is its description above the notes, so the
// band shows the title alone rather than the same sentence a second time.
constexpr int kNoSubtitle = -1;

// Shown on its page, whether or not that page is on show now.
bool Shown(HWND control) { return (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) != 0; }

}  // namespace

// The header band's picture: the header colour, a gradient over its
// leftmost 170 x 58 pixels when the package asks for one, and the header
// bitmap, keyed on its top-left pixel or opaque.
// A page icon: its picture at (0, 0) with black as the transparent colour;
// the panel's colour where there is none.
static void PaintPageIcon(HDC dc, int width, int height, int dpi, void* data) {
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  const toolkit::Picture& picture = *static_cast<const toolkit::Picture*>(data);
  toolkit::DrawPictureKeyed(dc, picture, 0, 0, RGB(0, 0, 0), dpi);
}

// The side picture of the welcome and finish pages: white, and the side
// bitmap at its settings' place, keyed on its top-left pixel or opaque.
static void PaintSide(HDC dc, int width, int height, int dpi, void* data) {
  const session::Session& session = *static_cast<const session::Session*>(data);
  const qb::Package& pkg = session.package;
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (pkg.Flag(qb::kSideBitmap)) {
    toolkit::DrawPicture(dc, session.state.sideBitmap,
                         toolkit::Scaled(static_cast<int>(pkg.Number(qb::kSideBitmapX)), dpi),
                         toolkit::Scaled(static_cast<int>(pkg.Number(qb::kSideBitmapY)), dpi),
                         pkg.Flag(qb::kSideBitmapTransparent), dpi);
  }
}

static void PaintHeader(HDC dc, int width, int height, int dpi, void* data) {
  const session::Session& session = *static_cast<const session::Session*>(data);
  const qb::Package& pkg = session.package;
  const COLORREF colour = toolkit::ResolveColour(pkg.Number(qb::kHeaderColour));
  RECT all = {0, 0, width, height};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  if (pkg.Flag(qb::kHeaderGradient)) {
    toolkit::PaintGradient(dc, toolkit::Scaled(170, dpi), toolkit::Scaled(58, dpi), false,
                           toolkit::ResolveColour(pkg.Number(qb::kHeaderGradientColour2)), colour);
  }
  if (pkg.Flag(qb::kHeaderBitmap)) {
    toolkit::DrawPicture(dc, session.state.headerBitmap,
                         toolkit::Scaled(static_cast<int>(pkg.Number(qb::kHeaderBitmapX)), dpi),
                         toolkit::Scaled(static_cast<int>(pkg.Number(qb::kHeaderBitmapY)), dpi),
                         pkg.Flag(qb::kHeaderBitmapTransparent), dpi);
  }
}

void TWizard::CreateHeaderBand() {
  const qb::Package& pkg = session_.package;
  header_ = toolkit::CreatePanel(Handle(), 0, 0, 497, 60,
                                 toolkit::ResolveColour(pkg.Number(qb::kHeaderColour)));
  headerPicture_ = toolkit::CreatePictureArea(header_, 0, 0, 497, 58, PaintHeader, &session_);
  headerTitle_ =
      toolkit::CreateLabel(headerPicture_, "", static_cast<int>(pkg.Number(qb::kHeaderTitleX)),
                           static_cast<int>(pkg.Number(qb::kHeaderTitleY)), 302, 14);
  toolkit::SetFont(headerTitle_, toolkit::Font("Tahoma", -11, true));
  headerSubtitle_ =
      toolkit::CreateLabel(headerPicture_, "", static_cast<int>(pkg.Number(qb::kHeaderSubtitleX)),
                           static_cast<int>(pkg.Number(qb::kHeaderSubtitleY)), 297, 26);
  toolkit::SetFont(headerSubtitle_, toolkit::Font("Tahoma", -11));
  // The two rules at the band's foot: the upper in the application
  // workspace colour, the lower white. A panel starts hidden: the rules
  // show with the band.
  ShowWindow(toolkit::CreatePanel(header_, 0, 58, 497, 1, GetSysColor(COLOR_APPWORKSPACE)),
             SW_SHOWNA);
  ShowWindow(toolkit::CreatePanel(header_, 0, 59, 497, 1, kWhite), SW_SHOWNA);
  ShowWindow(header_, SW_HIDE);
}

// The separator starts where the branding text ends and stops 20 pixels
// short of the window's outer right edge.
void TWizard::LayOutSeparator() {
  // In pixels: the text's end as it is drawn; the right end, 20 pixels
  // short of the outer edge at 96 DPI, scaled.
  RECT text;
  GetWindowRect(branding_, &text);
  MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&text), 2);
  const int right = toolkit::Scaled(Handle(), toolkit::OuterWidthAt96(Handle()) - 20);
  const int width = right - text.right;
  SetWindowPos(separator_, nullptr, text.right, toolkit::Scaled(Handle(), 314),
               width > 0 ? width : 0, toolkit::Scaled(Handle(), 2), SWP_NOZORDER);
}

void TWizard::SetHeader(int title, int subtitle) {
  toolkit::SetText(headerTitle_, Msg(title));
  toolkit::SetText(headerSubtitle_, subtitle == kNoSubtitle ? std::string() : Msg(subtitle));
  // A long title or subtitle takes a smaller font rather than being cut.
  toolkit::FitText(headerTitle_, toolkit::Font("Tahoma", -11, true));
  toolkit::FitText(headerSubtitle_, toolkit::Font("Tahoma", -11));
  InvalidateRect(headerPicture_, nullptr, TRUE);
}

void TWizard::CreateControls() {
  HWND w = Handle();
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  branding_ = toolkit::CreateLabel(w, "", 12, 307, 10, 14);
  ShowWindow(branding_, SW_HIDE);
  EnableWindow(branding_, FALSE);
  back_ = toolkit::CreateButton(w, Msg(qb::kMsgBack), 249, 327, 75, 23, kBackId);
  EnableWindow(back_, FALSE);
  next_ = toolkit::CreateButton(w, Msg(qb::kMsgNext), 324, 327, 75, 23, kNextId, BS_DEFPUSHBUTTON);
  cancel_ = toolkit::CreateButton(w, Msg(qb::kMsgCancel), 410, 327, 75, 23, kCancelId);
  CreateHeaderBand();
  separator_ = toolkit::CreatePanel(w, 12, 314, 473, 2, face, WS_EX_STATICEDGE);
  ShowWindow(separator_, SW_HIDE);
  CreateWelcomePanel();

  // The pages between the welcome and the progress page, in the order
  // that is also their place in the window's list of children.
  for (int kind : {kLicensePage, kReadmePage, kDestinationPage, kGroupPage, kTasksPage, kReadyPage,
                   kProgressPage, kPasswordPage}) {
    panels_[kind] = toolkit::CreatePanel(w, 0, 60, 495, 245, face);
  }
  toolkit::CreateLabel(panels_[kLicensePage], Msg(qb::kMsgLicenseDescription), 22, 12, 452, 41);
  toolkit::CreateLabel(panels_[kReadmePage], Msg(qb::kMsgReadme), 22, 12, 452, 41);
  CreateDestinationControls();
  HWND group = panels_[kGroupPage];
  groupDescription_ = toolkit::CreateLabel(group, Msg(qb::kMsgGroupDescription), 22, 12, 452, 35);
  groupField = toolkit::CreateEdit(group, session_.package.Text(qb::kDefaultGroup), 22, 56, 452, 21,
                                   kGroupFieldId);
  groupList_ = toolkit::CreateReportList(group, 22, 80, 452, 138, kGroupListId, 400);
  noGroupCheck = toolkit::CreateButton(group, qb::DisplayForm(Msg(qb::kMsgNoGroupCheck)), 22, 224,
                                       10, 10, kNoGroupId, BS_AUTOCHECKBOX);
  toolkit::SizeToText(noGroupCheck);
  HWND tasks = panels_[kTasksPage];
  tasksDescription_ =
      CreateDescription(tasks, Msg(qb::kMsgTasksDescription), 72, session_.state.tasksIcon);
  const int taskTops[3] = {128, 152, 176};
  for (int i = 0; i < 3; ++i) {
    taskCheck[i] = toolkit::CreateButton(tasks, "", 22, taskTops[i], 10, 10, 0, BS_AUTOCHECKBOX);
    toolkit::SetChecked(taskCheck[i], true);
  }
  if (session_.state.tasksIcon) {
    toolkit::CreatePictureArea(tasks, 32, 32, 48, 48, PaintPageIcon, &session_.state.tasksIcon);
  }
  toolkit::CreateLabel(panels_[kReadyPage], Msg(qb::kMsgReadyDescription), 22, 12, 452, 41);
  HWND progress = panels_[kProgressPage];
  progressDescription_ = toolkit::CreateLabel(progress, "", 22, 16, 452, 57);
  statusText_ = toolkit::CreateLabel(progress, "", 22, 186, 452, 14);
  progressBar_ = toolkit::CreateProgressBar(progress, 22, 208, 452, 18);
  CreateFramedPage(kPasswordPage, qb::kMsgPasswordDescription, 72, &session_.state.passwordIcon,
                   qb::kMsgPasswordFrame);
}

// The description of a page with an icon: beside the icon (from x = 112),
// or, when the package has no picture for it, from where the icon would
// stand (x = 32), so that no empty column is left; its right edge stays at
// 472 either way.
HWND TWizard::CreateDescription(HWND page, const std::string& text, int height,
                                const toolkit::Picture& icon) {
  return icon ? toolkit::CreateLabel(page, text, 112, 16, 360, height)
              : toolkit::CreateLabel(page, text, 32, 16, 440, height);
}

// A page with a description beside its icon and, below, a frame for its
// field.
void TWizard::CreateFramedPage(int kind, int description, int descriptionHeight,
                               toolkit::Picture* icon, int frame) {
  HWND page = panels_[kind];
  CreateDescription(page, Msg(description), descriptionHeight, *icon);
  if (*icon) toolkit::CreatePictureArea(page, 32, 32, 48, 48, PaintPageIcon, icon);
  toolkit::CreateControl("BUTTON", Msg(frame), WS_VISIBLE | BS_GROUPBOX, 22, 128, 452, 59, page);
}

// The welcome and finish pages share one white panel.
void TWizard::CreateWelcomePanel() {
  HWND welcome = toolkit::CreatePanel(Handle(), 0, 0, 495, 316, kWhite);
  panels_[kWelcomePage] = panels_[kFinishPage] = welcome;
  bigTitle_ = toolkit::CreateLabel(welcome, Msg(qb::kMsgWelcomeTitle), 176, 16, 300, 56);
  toolkit::SetFont(bigTitle_, toolkit::Font("Verdana", -19, true));
  bodyText_ = toolkit::CreateLabel(welcome, Msg(qb::kMsgWelcomeBody), 176, 80, 300, 210);
  runProgramCheck = toolkit::CreateButton(welcome, "", 176, 152, 10, 10, 0, BS_AUTOCHECKBOX);
  viewReadmeCheck = toolkit::CreateButton(welcome, "", 176, 176, 10, 10, 0, BS_AUTOCHECKBOX);
  thirdCheck = toolkit::CreateButton(welcome, "", 176, 198, 10, 10, 0, BS_AUTOCHECKBOX);
  HWND side = toolkit::CreatePictureArea(welcome, 0, 0, 164, 314, PaintSide, &session_);
  ShowWindow(toolkit::CreatePanel(welcome, 0, 314, 497, 1, GetSysColor(COLOR_APPWORKSPACE)),
             SW_SHOWNA);
  if (!session_.package.Flag(qb::kSideBitmap)) {
    // No side picture: the texts take the width.
    ShowWindow(side, SW_HIDE);
    toolkit::PlaceControl(bigTitle_, 20, 16, 400, 56);
    toolkit::PlaceControl(bodyText_, 20, 80, 400, 210);
  }
  restartNow =
      toolkit::CreateButton(welcome, "", 176, 152, 10, 10, 0, BS_AUTORADIOBUTTON | WS_GROUP);
  restartLater = toolkit::CreateButton(welcome, "", 176, 176, 10, 10, 0, BS_AUTORADIOBUTTON);
  toolkit::SetChecked(restartNow, true);
  for (HWND c : {runProgramCheck, viewReadmeCheck, thirdCheck, restartNow, restartLater}) {
    ShowWindow(c, SW_HIDE);
  }
}

void TWizard::CreateDestinationControls() {
  CreateFramedPage(kDestinationPage, qb::kMsgDestinationDescription, 81,
                   &session_.state.destinationIcon, qb::kMsgDestinationFrame);
  HWND destination = panels_[kDestinationPage];
  destinationField_ =
      toolkit::CreateControl("EDIT", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 22 + 16,
                             128 + 22, 329, 21, destination, kDestinationFieldId, WS_EX_CLIENTEDGE);
  browseButton_ = toolkit::CreateButton(destination, Msg(qb::kMsgBrowse), 22 + 360, 128 + 21, 75,
                                        23, kBrowseId);
  // Below the frame: the space the package needs and the space on the
  // drive of the chosen folder.
  spaceRequired_ = toolkit::CreateLabel(destination, "", 22, 196, 452, 14);
  spaceAvailable_ = toolkit::CreateLabel(destination, "", 22, 214, 452, 14);
}

// The nearest folder that exists on the way up from a full path (a drive's
// or a share's): the path itself when it is a folder; empty when none is,
// or when the path is not a full one.
static std::string NearestExistingFolder(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  const bool share = path.size() >= 2 && path[0] == '\\' && path[1] == '\\';
  if (!drive && !share) return std::string();
  // A drive that is not there must not bring up the system's own box.
  const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
  std::string folder = path;
  while (!folder.empty()) {
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) break;
    folder = qb::ParentFolder(folder);
  }
  SetErrorMode(mode);
  return folder;
}

// The two space lines: what the package needs, and what is free on the
// volume of the nearest existing folder of the field's path (for the user
// running the installer). The second is empty when no such folder exists.
void TWizard::ShowSpace(const std::string& text) {
  const int64_t required = session_.package.Number(qb::kRequiredDiskSpace);
  toolkit::SetText(spaceRequired_,
                   Msg(qb::kMsgSpaceRequired) +
                       qb::ByteSizeText(required > 0 ? static_cast<uint64_t>(required) : 0));
  std::string available;
  const std::string folder = NearestExistingFolder(text);
  if (!folder.empty()) {
    const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    char root[MAX_PATH + 1] = {};
    std::string volume = GetVolumePathNameA(folder.c_str(), root, MAX_PATH) ? root : "";
    if (volume.empty()) volume = toolkit::WithBackslash(folder);
    ULARGE_INTEGER free = {};
    if (GetDiskFreeSpaceExA(volume.c_str(), &free, nullptr, nullptr)) {
      // Named as "C:" (a share as "\\server\share").
      if (volume.size() > 3 && volume.back() == '\\') volume.pop_back();
      if (volume.size() == 3 && volume[1] == ':') volume.pop_back();
      available = Msg(qb::kMsgSpaceAvailable) + volume + ": " + qb::ByteSizeText(free.QuadPart);
    }
    SetErrorMode(mode);
  }
  toolkit::SetText(spaceAvailable_, available);
}

void TWizard::Build() {
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  CreateTopLevel(kWizardClass, "*", style, WS_EX_CONTROLPARENT, 0, 0, 0, 0,
                 toolkit::Application.Handle());
  // Sized for the DPI of the monitor it is on, and centred.
  toolkit::FitClientArea(Handle(), kClientWidth, kClientHeight, true);
  toolkit::SetFont(Handle(), toolkit::Font("Tahoma", -11));
  // A silent run never shows the wizard and reads none of its controls (the
  // run takes the package's own choices), so it gets none: creating them was
  // a good part of the fixed cost of every silent installation.
  if (!session_.state.silent) CreateControls();
  SetUp();
}

void TWizard::SetUp() {
  qb::Package& pkg = session_.package;
  SetWindowTextA(Handle(), session_.state.installerTitle.c_str());
  const std::string field = engine::ExpandText(pkg.Text(qb::kDefaultDestination));
  std::string destination = field;
  if (destination.empty() || destination.back() != '\\') destination += '\\';
  engine::SetDestinationFolder(destination);
  // The start-up notice shows shortly after the wizard does.
  const bool notice = pkg.Text(qb::kStartupNotice) != "0";
  if (session_.state.silent) {
    // The wizard stays hidden, without controls: the run starts at once.
    if (notice) noticeTimer_.Start(Handle(), kNoticeTick, 255);
    Hide();
    toolkit::Application.ProcessMessages();
    // Nobody saw the Destination page: its checks are made here (a package
    // without files has no destination to check).
    if (session_.package.Records(qb::List::kFiles).Count() > 0 && !DestinationUsable(field)) {
      session::RemoveWorkFolder(session_);
      session::EndProgram(session_, qb::ExitReason::kAbandoned);
    }
    StartRun();  // ends the program
  }

  if (Flag(qb::kWelcomePage)) pages_.push_back(kWelcomePage);
  if (Flag(qb::kLicensePage)) pages_.push_back(kLicensePage);
  if (!pkg.Text(qb::kPassword).empty()) {
    pages_.push_back(kPasswordPage);
    CreatePasswordField();
  }
  if (Flag(qb::kReadmePage)) pages_.push_back(kReadmePage);
  if (Flag(qb::kDestinationPage)) pages_.push_back(kDestinationPage);
  if (Flag(qb::kProgramGroup)) {
    if (Flag(qb::kGroupPage)) {
      pages_.push_back(kGroupPage);
      FillGroupList();
    }
    if (Flag(qb::kGroupFixed)) NoGroupClicked();
    toolkit::SetText(groupField, pkg.Text(qb::kDefaultGroup));
  }
  if (Flag(qb::kShortcutTasks)) {
    // The task boxes' visibility counts also without the Tasks page: the
    // ready summary reads it.
    ShowWindow(taskCheck[0], Flag(qb::kTask1Offered) ? SW_SHOW : SW_HIDE);
    ShowWindow(taskCheck[1], Flag(qb::kTask2Offered) ? SW_SHOW : SW_HIDE);
    ShowWindow(taskCheck[2],
               Flag(qb::kTask3Offered) && !engine::Variable(7).empty() ? SW_SHOW : SW_HIDE);
    if (Flag(qb::kTasksPage)) {
      pages_.push_back(kTasksPage);
      const int captions[3] = {qb::kMsgTask1, qb::kMsgTask2, qb::kMsgTask3};
      for (int i = 0; i < 3; ++i) {
        toolkit::SetText(taskCheck[i], qb::DisplayForm(Msg(captions[i])));
        toolkit::SizeToText(taskCheck[i]);
      }
    }
    CompactTasks();
  } else {
    for (HWND c : taskCheck) ShowWindow(c, SW_HIDE);
  }
  if (Flag(qb::kReadyPage)) pages_.push_back(kReadyPage);
  pages_.push_back(kProgressPage);
  if (Flag(qb::kFinishPage)) pages_.push_back(kFinishPage);
  pages_.push_back(kCompletion);

  toolkit::SetText(destinationField_, field);
  if (Flag(qb::kDestinationFixed)) {
    EnableWindow(destinationField_, FALSE);
    EnableWindow(browseButton_, FALSE);
  }
  if (notice) noticeTimer_.Start(Handle(), kNoticeTick, 255);
  // /NC: Cancel is disabled before the window is ever seen.
  EnableWindow(cancel_, !session_.state.noCancel);
  CreateViewers();
  // The branding text takes its size before the first page shows: the
  // separator of a first page with the band starts where the text ends.
  toolkit::SetText(branding_, engine::ExpandText(pkg.Text(qb::kBrandingText)));
  toolkit::SizeToText(branding_);
  Show();
  ShowCurrentPage();
  SetForegroundWindow(Handle());
  toolkit::Application.ProcessMessages();

  toolkit::SetText(runProgramCheck, qb::DisplayForm(Msg(qb::kMsgRunProgramCheck)));
  toolkit::SetChecked(runProgramCheck, Flag(qb::kRunProgramChecked));
  toolkit::SetText(viewReadmeCheck, qb::DisplayForm(Msg(qb::kMsgViewReadmeCheck)));
  toolkit::SetChecked(viewReadmeCheck, Flag(qb::kReadmeChecked));
  toolkit::SetText(thirdCheck, qb::DisplayForm(Msg(qb::kMsgThirdItemCheck)));
  toolkit::SetChecked(thirdCheck, Flag(qb::kThirdItemChecked));
  for (HWND c : {runProgramCheck, viewReadmeCheck, thirdCheck}) toolkit::SizeToText(c);

  SetFocus(next_);
  toolkit::Application.ProcessMessages();
}

// The field of the password frame (16, 22 inside it), with the edit options
// of the package: bit 0 no horizontal scrolling, 1 no vertical scrolling,
// 2 lower case, 3 multi-line, 4 selection kept visible, 5 OEM conversion,
// 6 masked entry, 7 read-only, 8 upper case, 9 Enter starts a new line.
void TWizard::DestinationChanged() {
  const std::string text = toolkit::TextOf(destinationField_);
  if (pages_[position_] == kDestinationPage) {
    // A drive that is not there must not bring up the system's own box.
    const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
    const std::string root = text.substr(0, 1) + ":\\";
    const DWORD attributes =
        text.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(root.c_str());
    EnableWindow(next_, text.size() >= 3 && attributes != INVALID_FILE_ATTRIBUTES &&
                            (attributes & FILE_ATTRIBUTE_DIRECTORY));
    SetErrorMode(mode);
    ShowSpace(text);
  }
  engine::SetDestinationFolder(text.empty() || text.back() != '\\' ? text + '\\' : text);
}

bool TWizard::DestinationUsable(const std::string& text) {
  // Wildcards, characters the code page cannot hold (they read as "?"),
  // devices and relative paths are refused before anything is written.
  if (!qb::IsSafeFolderPath(text)) {
    toolkit::Log({"destination refused (not a safe full path): ", text});
    Ask(Msg(qb::kMsgCannotCreate) + text, MB_ICONERROR | MB_OK);
    return false;
  }
  const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS);
  const std::string root = text.substr(0, 1) + ":\\";
  ULARGE_INTEGER available = {}, total = {}, free = {};
  GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free);
  SetErrorMode(mode);
  const int64_t required = session_.package.Number(qb::kRequiredDiskSpace);
  if (required > 0 && free.QuadPart < static_cast<uint64_t>(required)) {
    toolkit::Log({"destination refused: the drive has ",
                  qb::Decimal(static_cast<int64_t>(free.QuadPart)),
                  " bytes free, the package needs ", qb::Decimal(required)});
    toolkit::Prompt(Handle(),
                    Msg(qb::kMsgDiskSpaceBefore) + qb::UpperAscii(text.substr(0, 1)) +
                        Msg(qb::kMsgDiskSpaceAfter),
                    Msg(qb::kMsgDiskSpaceCaption), MB_ICONERROR | MB_OK, IDOK);
    return false;
  }
  return true;
}

// The system's folder picker, opened at the current destination's nearest
// existing folder (a folder still to be made opens at the one that will
// hold it); at the picker's own start where there is none.
static int CALLBACK PickerStarted(HWND picker, UINT message, LPARAM, LPARAM path) {
  if (message == BFFM_INITIALIZED && path) SendMessageA(picker, BFFM_SETSELECTIONA, TRUE, path);
  return 0;
}

void TWizard::Browse() {
  std::string path = toolkit::TextOf(destinationField_);
  const std::string title = qb::DisplayForm(Msg(qb::kMsgFolderPickerTitle));
  char name[MAX_PATH + 1] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = Handle();
  info.pszDisplayName = name;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = PickerStarted;
  const std::string start = NearestExistingFolder(path);
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  std::string picked;
  if (toolkit::PickFolder(info, picked)) {
    path = qb::BrowsedDestination(
        picked, engine::ExpandText(session_.package.Text(qb::kDefaultDestination)),
        engine::ExpandText(session_.package.Text(qb::kAppSubfolder)));
  }
  toolkit::SetText(destinationField_, path);
}

// The folders of the Start menu's programs folder (all users' for a package
// that puts its shortcuts there), as the listing gives them.
void TWizard::FillGroupList() {
  WIN32_FIND_DATAA found;
  const int programs = session_.package.LaterFlag(qb::kAllUsersShortcuts) ? 31 : 8;
  const std::string pattern = toolkit::WithBackslash(engine::Variable(programs)) + "*.*";
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..")
      toolkit::AddListRow(groupList_, name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

void TWizard::NoGroupClicked() {
  const bool enabled = !toolkit::IsChecked(noGroupCheck) && !Flag(qb::kGroupFixed);
  for (HWND c : {groupDescription_, groupField, groupList_}) EnableWindow(c, enabled);
  ListView_SetTextColor(groupList_, enabled ? RGB(0, 0, 0) : RGB(128, 128, 128));
  InvalidateRect(groupList_, nullptr, TRUE);
  if (Flag(qb::kGroupFixed)) EnableWindow(noGroupCheck, FALSE);
}

// Shown task boxes close up: tops 128, 152, 176.
void TWizard::CompactTasks() {
  const bool first = Shown(taskCheck[0]);
  const bool second = Shown(taskCheck[1]);
  const auto place = [](HWND box, int top) { toolkit::MoveControl(box, 22, top); };
  if (!first) place(taskCheck[1], 128);
  if (!second) place(taskCheck[2], first ? 152 : 128);
  if (!first && second) place(taskCheck[2], 152);
}

// Shown finish boxes close up: tops 152, 176, 198.
void TWizard::CompactFinishBoxes() {
  const bool run = Shown(runProgramCheck);
  const bool readme = Shown(viewReadmeCheck);
  const auto place = [](HWND box, int top) { toolkit::MoveControl(box, 176, top); };
  place(viewReadmeCheck, run ? 176 : 152);
  place(thirdCheck, run && readme ? 198 : (run || readme) ? 176 : 152);
}

void TWizard::CreateViewers() {
  const auto has = [this](PageKind kind) {
    return std::find(pages_.begin(), pages_.end(), kind) != pages_.end();
  };
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  if (has(kLicensePage)) {
    licenseViewer_ = toolkit::CreateRichViewer(panels_[kLicensePage], 22, 56, 452, 178, window);
    toolkit::LoadRichText(licenseViewer_, session::SupportFile(session_.state.licenseFile));
  }
  if (has(kReadmePage)) {
    readmeViewer_ = toolkit::CreateRichViewer(panels_[kReadmePage], 22, 56, 452, 178, window);
    toolkit::LoadRichText(readmeViewer_, session::SupportFile(session_.state.readmeFile));
  }
  if (has(kReadyPage)) {
    readyViewer_ = toolkit::CreateRichViewer(panels_[kReadyPage], 22, 56, 452, 178,
                                             GetSysColor(COLOR_BTNFACE));
  }
}

// What the Ready page lists: the destination, the program group unless
// there is none, and the tasks that are ticked.
std::string TWizard::ReadySummary() const {
  std::string s = Msg(qb::kMsgReadyDestination) + "    " + toolkit::TextOf(destinationField_);
  if (Flag(qb::kProgramGroup) && !toolkit::IsChecked(noGroupCheck)) {
    s += "\r\n\r\n" + Msg(qb::kMsgReadyGroup) + "    " + toolkit::TextOf(groupField);
  }
  std::string tasks;
  if (Flag(qb::kShortcutTasks)) {
    const int captions[3] = {qb::kMsgTask1, qb::kMsgTask2, qb::kMsgTask3};
    for (int i = 0; i < 3; ++i) {
      if (toolkit::IsChecked(taskCheck[i]) && Shown(taskCheck[i])) {
        tasks += "    " + Msg(captions[i]) + (i < 2 ? "\r\n" : "");
      }
    }
  }
  if (!tasks.empty()) s += "\r\n\r\n" + Msg(qb::kMsgReadyTasks) + tasks;
  return s;
}

void TWizard::CreatePasswordField() {
  const int64_t bits = session_.package.Number(qb::kPasswordFieldOptions);
  DWORD style = WS_VISIBLE | WS_TABSTOP | WS_BORDER;
  if (!(bits & 1)) style |= ES_AUTOHSCROLL;
  if (!(bits & 2)) style |= ES_AUTOVSCROLL;
  const DWORD kOptionStyles[][2] = {{4, ES_LOWERCASE},   {8, ES_MULTILINE},   {16, ES_NOHIDESEL},
                                    {32, ES_OEMCONVERT}, {64, ES_PASSWORD},   {128, ES_READONLY},
                                    {256, ES_UPPERCASE}, {512, ES_WANTRETURN}};
  for (const auto& o : kOptionStyles) {
    if (bits & o[0]) style |= o[1];
  }
  passwordField_ =
      toolkit::CreateControl("EDIT", "", style, 22 + 16, 128 + 22, 420, 21, panels_[kPasswordPage],
                             kPasswordFieldId, WS_EX_CLIENTEDGE);
}

void TWizard::CheckPassword() {
  if (pages_[position_] != kPasswordPage) return;
  const bool right =
      qb::PasswordForm(toolkit::TextOf(passwordField_)) == session_.package.Text(qb::kPassword);
  EnableWindow(next_, right);
}

void TWizard::SetNextCaption(int message) { toolkit::SetText(next_, Msg(message)); }

void TWizard::ShowCurrentPage() {
  const unsigned char kind = pages_[position_];
  const bool band = kind > kWelcomePage && kind < kFinishPage;
  ShowWindow(back_, band ? SW_SHOW : SW_HIDE);
  ShowWindow(header_, band ? SW_SHOW : SW_HIDE);
  ShowWindow(separator_, band ? SW_SHOW : SW_HIDE);
  if (band) LayOutSeparator();
  if (band) {
    static const int kHeaderTexts[][2] = {{0, 0},
                                          {qb::kMsgLicenseTitle, qb::kMsgLicenseSubtitle},
                                          {qb::kMsgPasswordTitle, qb::kMsgPasswordSubtitle},
                                          {qb::kMsgReadmeTitle, kNoSubtitle},
                                          {qb::kMsgDestinationTitle, qb::kMsgDestinationSubtitle},
                                          {qb::kMsgGroupTasksTitle, qb::kMsgGroupSubtitle},
                                          {qb::kMsgGroupTasksTitle, qb::kMsgTasksSubtitle},
                                          {qb::kMsgReadyTitle, qb::kMsgReadySubtitle},
                                          {qb::kMsgProgressTitle, qb::kMsgProgressSubtitle}};
    SetHeader(kHeaderTexts[kind][0], kHeaderTexts[kind][1]);
  }
  ShowWindow(branding_, band ? SW_SHOW : SW_HIDE);
  EnableWindow(back_, position_ > 0);
  if (kind < kCompletion) {
    for (int k = 0; k < 10; ++k) {
      if (panels_[k] != panels_[kind]) ShowWindow(panels_[k], SW_HIDE);
    }
    ShowWindow(panels_[kind], SW_SHOW);
    BringWindowToTop(panels_[kind]);
  }
  SetNextCaption(kind == kLicensePage ? qb::kMsgNextLicense : qb::kMsgNext);
  switch (kind) {
    case kWelcomePage:
      toolkit::SetText(bigTitle_, Msg(qb::kMsgWelcomeTitle));
      toolkit::FitText(bigTitle_, toolkit::Font("Verdana", -19, true));
      toolkit::SetText(bodyText_, Msg(qb::kMsgWelcomeBody));
      break;
    case kReadyPage:
      toolkit::SetText(readyViewer_, ReadySummary());
      break;
    case kDestinationPage:
      DestinationChanged();
      break;
    case kPasswordPage:
      EnableWindow(next_, FALSE);
      SetFocus(passwordField_);
      CheckPassword();
      break;
    case kProgressPage:
      toolkit::SetText(progressDescription_, Msg(qb::kMsgProgressDescription));
      EnableWindow(next_, FALSE);
      EnableWindow(back_, FALSE);
      toolkit::Application.ProcessMessages();
      if (!running_) StartRun();
      return;
    case kFinishPage:
      SetUpFinishPage();
      break;
    case kCompletion: {
      actions::FinishChoices choices;
      choices.runProgram = toolkit::IsChecked(runProgramCheck);
      choices.viewReadme = toolkit::IsChecked(viewReadmeCheck);
      choices.openThirdItem = toolkit::IsChecked(thirdCheck);
      choices.restartNow = toolkit::IsChecked(restartNow);
      Hide();
      actions::CompletionStep(session_, choices);
    }
    default:
      break;
  }
  // The page before the Progress page starts the installation.
  if (position_ + 1 < static_cast<int>(pages_.size()) && pages_[position_ + 1] == kProgressPage) {
    SetNextCaption(qb::kMsgNextBeforeProgress);
  }
}

void TWizard::SetUpFinishPage() {
  ShowWindow(runProgramCheck, Flag(qb::kRunProgramOffered) ? SW_SHOW : SW_HIDE);
  ShowWindow(viewReadmeCheck, Flag(qb::kReadmeOffered) ? SW_SHOW : SW_HIDE);
  ShowWindow(thirdCheck, Flag(qb::kThirdItemOffered) ? SW_SHOW : SW_HIDE);
  if (Flag(qb::kRestartRequired)) {
    toolkit::SetText(restartNow, Msg(qb::kMsgRestartNow));
    toolkit::SetText(restartLater, Msg(qb::kMsgRestartLater));
    toolkit::SizeToText(restartNow);
    toolkit::SizeToText(restartLater);
    ShowWindow(restartNow, SW_SHOW);
    ShowWindow(restartLater, SW_SHOW);
    toolkit::SetText(bodyText_, Msg(qb::kMsgFinishBodyRestart));
  } else {
    toolkit::SetText(bodyText_, Msg(qb::kMsgFinishBody));
  }
  toolkit::SetText(bigTitle_, Msg(qb::kMsgFinishTitle));
  toolkit::FitText(bigTitle_, toolkit::Font("Verdana", -19, true));
  // Without a side picture the text spans 400 pixels, as on the welcome page.
  toolkit::ResizeControl(bodyText_, Flag(qb::kSideBitmap) ? 300 : 400, 65);
  CompactFinishBoxes();
  SetNextCaption(qb::kMsgFinish);
  EnableWindow(next_, TRUE);
  EnableWindow(cancel_, FALSE);
  SetFocus(next_);
}

void TWizard::OnNext() {
  if (position_ + 1 >= static_cast<int>(pages_.size())) return;
  if (pages_[position_] == kPasswordPage && !IsWindowEnabled(next_)) return;
  if (pages_[position_] == kDestinationPage &&
      (toolkit::TextOf(destinationField_).empty() ||
       !DestinationUsable(toolkit::TextOf(destinationField_)))) {
    ShowCurrentPage();
    return;
  }
  ++position_;
  ShowCurrentPage();
}

void TWizard::OnBack() {
  if (position_ == 0 || running_) return;
  --position_;
  // Leaving the password or destination page backwards gives Next back.
  if (pages_[position_ + 1] == kPasswordPage || pages_[position_ + 1] == kDestinationPage)
    EnableWindow(next_, TRUE);
  ShowCurrentPage();
}

void TWizard::StartRun() {
  running_ = true;
  const int64_t total = session_.package.Number(qb::kProgressTotal);
  SetProgressRange(total < 0 ? 0 : total > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(total));
  engine::UserChoices choices;
  if (session_.state.silent) {
    // Nobody chose: the package's group, and every task.
    choices.programGroup = session_.package.Text(qb::kDefaultGroup);
  } else {
    choices.programGroup = toolkit::TextOf(groupField);
    choices.noProgramGroup = toolkit::IsChecked(noGroupCheck);
    for (int i = 0; i < 3; ++i) choices.tasks[i] = toolkit::IsChecked(taskCheck[i]);
  }
  installation::InstallationRun(session_, *this, choices);
  if (session_.state.silent) session::EndProgram(session_, qb::ExitReason::kInstalled);
  // A short pause lets the last status be seen.
  Sleep(100);
  NextAfterRun();
}

void TWizard::NextAfterRun() {
  running_ = false;
  ++position_;
  ShowCurrentPage();
}

void TWizard::OnClose() {
  if (session_.state.noCancel) return;
  // On the Finish page closing simply ends the installer.
  if (toolkit::TextOf(next_) == Msg(qb::kMsgFinish)) {
    session::EndProgram(session_, Flag(qb::kRestartRequired) ? qb::ExitReason::kRestartPending
                                                             : qb::ExitReason::kInstalled);
  }
  if (toolkit::Prompt(Handle(), Msg(qb::kMsgCancelQuestion), session_.state.installerTitle,
                      MB_ICONWARNING | MB_YESNO, IDNO) == IDYES) {
    installation::DiscardActiveRun();
    session::RemoveWorkFolder(session_);
    session::EndProgram(session_, qb::ExitReason::kCancelled);
  }
}

// A hidden wizard (a silent run) is never seen: it has no status line or
// bar to redraw, and its steps need no pause to be seen moving.
void TWizard::ShowStatus(const std::string& text) {
  if (IsWindowVisible(Handle())) toolkit::SetText(statusText_, text);
}

void TWizard::SetProgressRange(int maximum) {
  progressMaximum_ = maximum;
  progressPosition_ = 0;
  SendMessageA(progressBar_, PBM_SETRANGE32, 0, maximum);
  SendMessageA(progressBar_, PBM_SETPOS, 0, 0);
}

void TWizard::ProgressStep() {
  ++progressPosition_;
  if (IsWindowVisible(Handle())) SendMessageA(progressBar_, PBM_SETPOS, progressPosition_, 0);
  // Pending messages are processed at most every 15 ms: the window answers
  // as promptly, and thousands of small files do not wait for it.
  const DWORD now = GetTickCount();
  if (now - lastMessagePass_ >= 15 || progressMaximum_ < 32) {
    toolkit::Application.ProcessMessages();
    lastMessagePass_ = now;
  }
  if (progressMaximum_ < 32 && IsWindowVisible(Handle())) Sleep(4);
}

LRESULT TWizard::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
      if (LOWORD(wp) == kPasswordFieldId && HIWORD(wp) == EN_CHANGE) {
        CheckPassword();
        return 0;
      }
      if (LOWORD(wp) == kDestinationFieldId && HIWORD(wp) == EN_CHANGE) {
        DestinationChanged();
        return 0;
      }
      if (LOWORD(wp) == kGroupFieldId && HIWORD(wp) == EN_CHANGE) {
        if (pages_[position_] == kGroupPage)
          EnableWindow(next_, !toolkit::TextOf(groupField).empty());
        return 0;
      }
      if (LOWORD(wp) == kNoGroupId && HIWORD(wp) == BN_CLICKED) {
        NoGroupClicked();
        return 0;
      }
      if (LOWORD(wp) == kBrowseId && HIWORD(wp) == BN_CLICKED) {
        Browse();
        return 0;
      }
      if (HIWORD(wp) == BN_CLICKED) {
        switch (LOWORD(wp)) {
          case kNextId:
            OnNext();
            return 0;
          case kBackId:
            OnBack();
            return 0;
          case kCancelId:
          case IDCANCEL:
            OnClose();
            return 0;
          case IDOK:
            if (IsWindowEnabled(next_)) OnNext();
            return 0;
        }
      }
      break;
    case WM_CLOSE:
      OnClose();
      return 0;
    case kNoticeTick:
      if (noticeTimer_.Running()) {
        noticeTimer_.Stop();
        toolkit::Prompt(Handle(), session_.package.Text(qb::kStartupNotice),
                        session_.state.installerTitle, MB_ICONINFORMATION | MB_OK, IDOK);
      }
      return 0;
    case WM_NOTIFY: {
      // A row of the group list picked, by mouse or by key: the group
      // field becomes that folder with the package's group inside it.
      const auto* note = reinterpret_cast<const NMLISTVIEW*>(lp);
      if (note->hdr.idFrom == kGroupListId && note->hdr.code == LVN_ITEMCHANGED &&
          (note->uNewState & LVIS_SELECTED) && !(note->uOldState & LVIS_SELECTED)) {
        const std::string row = toolkit::ListRowText(groupList_, note->iItem);
        toolkit::SetText(groupField,
                         (row.empty() ? row : row + "\\") +
                             engine::ExpandText(session_.package.Text(qb::kDefaultGroup)));
      }
      break;
    }
    case WM_SIZE:
      // The background window goes with a minimised wizard and comes back
      // with it.
      if (wp == SIZE_MINIMIZED || wp == SIZE_RESTORED) {
        HWND background = session_.state.background;
        if (background && Flag(qb::kShowBackground) && !session_.state.silent) {
          ShowWindow(background, wp == SIZE_MINIMIZED ? SW_HIDE : SW_SHOWNA);
        }
      }
      break;
    default:
      break;
  }
  return TWindow::WindowProc(msg, wp, lp);
}

// Unattended, the safe answer is the one that stops: a missing volume or a
// file that cannot be written abandons the installation.
int TWizard::Ask(const std::string& text, UINT style) {
  const UINT buttons = style & 0xF;
  const int unattended = buttons == MB_OK ? IDOK : buttons == MB_YESNO ? IDNO : IDCANCEL;
  return toolkit::Prompt(Handle(), text, session_.state.installerTitle, style, unattended);
}

engine::OverwriteAnswer TWizard::AskOverwrite(const std::string& path,
                                              const std::string& existingLine,
                                              const std::string& packedLine) {
  toolkit::Log({"question: replace ", path, "? existing ", existingLine, ", new ", packedLine});
  if (toolkit::Unattended()) {
    toolkit::Log("answered No: the existing file is kept (unattended, not shown)");
    return engine::kKeep;
  }
  const engine::OverwriteAnswer answer = static_cast<engine::OverwriteAnswer>(
      wizard::AskOverwrite(session_.package, path, existingLine, packedLine));
  const char* names[] = {"Yes", "Yes to all", "No", "No to all"};
  const int index = answer / 1000 - 1;
  toolkit::Log({"answered ", (index >= 0 && index < 4 ? names[index] : "closed")});
  return answer;
}

bool TWizard::AskForVolume(int volume) {
  return Ask(Msg(qb::kMsgNextVolume) + qb::Decimal(volume), MB_OKCANCEL | MB_ICONINFORMATION) !=
         IDCANCEL;
}

bool TWizard::AskAfterCreateError(const std::string& path) {
  return Ask(Msg(qb::kMsgCannotCreate) + path + "\r\n" + Msg(qb::kMsgCannotCreateAfter),
             MB_OKCANCEL) != IDCANCEL;
}

void TWizard::ReportFailure(const std::string& text) { Ask(text, MB_ICONERROR | MB_OK); }

void TWizard::ReportAbandoned() { Ask(Msg(qb::kMsgAbandoned), MB_ICONEXCLAMATION | MB_OK); }

void CreateWizard(session::Session& session) {
  static TWizard wizard(session);
  Wizard = &wizard;
  wizard.Build();
}

}  // namespace wizard
