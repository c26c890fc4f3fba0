// qbdrive: a small UI driver for tests under Wine.
//
//   qbdrive wait  TITLE [MS] [CLASS]   wait for a visible top-level window
//   qbdrive dump  TITLE [CLASS]        print the window and its controls
//   qbdrive text  TITLE [CLASS]        print a message box's text
//   qbdrive click TITLE BUTTON [CLASS] press the button whose text is BUTTON
//   qbdrive close TITLE [CLASS]        ask the window to close
//   qbdrive state TITLE [CLASS]        print visible/iconic/foreground
//   qbdrive minimize TITLE [CLASS]     minimise the window
//   qbdrive restore TITLE [CLASS]      restore a minimised window
//   qbdrive front TITLE [CLASS]        make the window the foreground window
//   qbdrive press TITLE [CLASS]        a left mouse button press on the window
//   qbdrive list                       print every top-level window
//   qbdrive select TITLE INDEX [CLASS] choose entry INDEX of the window's drop-down list
//   qbdrive toggle TITLE TEXT [CLASS]  click the check box whose text is TEXT
//   qbdrive key TITLE KEY [CLASS]      a key (enter, escape, tab) pressed on the
//                                      window's focused control
//   qbdrive focus TITLE [CLASS]        print the focused control as dump does
//   qbdrive until TITLE MS CLASS PATTERN...
//                                      wait until the window's controls, as dump
//                                      prints them, match every PATTERN (in two
//                                      readings in a row, the same); then dump
//   qbdrive layout TITLE [CLASS]       print the window's client size, then each
//                                      control as dump does, followed by
//                                      |font=HEIGHT (the font's logical height)
//                                      and |fits=1 when its text, in that font,
//                                      fits it (a button's on one line, a
//                                      wrapping text broken between words;
//                                      0 when not)
//   qbdrive handle TITLE [CLASS]       print the window's handle
//   qbdrive gone HANDLE MS             wait until that window is hidden or destroyed
//   qbdrive drain TITLE [CLASS]        post the window a minimise command and wait
//                                      until it is minimised: it has then handled
//                                      every message posted to it before
//
// A title of "*" matches any title, a class of "*" any class. A PATTERN
// matches a line that holds it; "*" in it stands for any run of characters,
// and the "&" of mnemonics counts neither in patterns nor in lines. Exit code
// 0 on success, 1 when the window or control was not found (or, waiting, did
// not come or go in time).
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Query {
  const char* title;
  const char* cls;
  HWND found;
};

std::string TextOf(HWND hwnd) {
  char buffer[4096] = {};
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                      SMTO_ABORTIFHUNG, 2000, nullptr);
  return buffer;
}

std::string ClassOf(HWND hwnd) {
  char buffer[256] = {};
  GetClassNameA(hwnd, buffer, sizeof buffer);
  return buffer;
}

BOOL CALLBACK FindTop(HWND hwnd, LPARAM lp) {
  auto* q = reinterpret_cast<Query*>(lp);
  if (!IsWindowVisible(hwnd)) return TRUE;
  if (q->cls && std::strcmp(q->cls, "*") != 0 && ClassOf(hwnd) != q->cls) return TRUE;
  if (std::strcmp(q->title, "*") != 0 && TextOf(hwnd) != q->title) return TRUE;
  q->found = hwnd;
  return FALSE;
}

HWND Find(const char* title, const char* cls) {
  Query q{title, cls, nullptr};
  EnumWindows(FindTop, reinterpret_cast<LPARAM>(&q));
  return q.found;
}

std::string Plain(std::string text) {
  std::string out;
  for (char c : text)
    if (c != '&') out += c;
  return out;
}

// One control, one line, as dump prints it.
std::string Describe(HWND hwnd) {
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  const std::string cls = ClassOf(hwnd);
  int checked = -1;
  if (_stricmp(cls.c_str(), "Button") == 0) {
    const LONG kind = style & BS_TYPEMASK;
    if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_RADIOBUTTON ||
        kind == BS_AUTORADIOBUTTON || kind == BS_3STATE || kind == BS_AUTO3STATE) {
      checked = static_cast<int>(SendMessageA(hwnd, BM_GETCHECK, 0, 0));
    }
  }
  std::string extra;
  if (_stricmp(cls.c_str(), "msctls_progress32") == 0) {
    extra = "|position=" + std::to_string(SendMessageA(hwnd, PBM_GETPOS, 0, 0)) +
            "|maximum=" + std::to_string(SendMessageA(hwnd, PBM_GETRANGE, FALSE, 0));
  }
  // Place and size within the parent's client area.
  RECT r;
  GetWindowRect(hwnd, &r);
  MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  extra += "|at=" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top);
  // One control, one line: line ends in its text are shown as "\n".
  std::string text;
  for (char c : TextOf(hwnd)) {
    if (c == '\n')
      text += "\\n";
    else if (c != '\r')
      text += c;
  }
  return "control|" + cls + "|" + std::to_string(GetDlgCtrlID(hwnd)) + "|" + text +
         "|visible=" + (IsWindowVisible(hwnd) ? "1" : "0") +
         "|enabled=" + (IsWindowEnabled(hwnd) ? "1" : "0") + "|checked=" + std::to_string(checked) +
         extra;
}

// One control as dump prints it, with its font's height and whether its
// text fits its width in that font (a button's text with some room for its
// edges, a check box's beside its box).
std::string DescribeLayout(HWND hwnd) {
  std::string line = Describe(hwnd);
  // The program's own fonts cannot be read from here: the toolkit names
  // each window's font in a property (a global atom "face|height|weight").
  const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropA(hwnd, "QuillboxFont")));
  char name[256] = {};
  if (!atom || !GlobalGetAtomNameA(atom, name, sizeof name)) return line + "|font=none";
  char* height = std::strchr(name, '|');
  char* weight = height ? std::strchr(height + 1, '|') : nullptr;
  if (!weight) return line + "|font=none";
  *height++ = '\0';
  *weight++ = '\0';
  line += "|font=" + std::string(height);
  HFONT mine = CreateFontA(std::atoi(height), 0, 0, 0, std::atoi(weight), 0, 0, 0, DEFAULT_CHARSET,
                           0, 0, 0, 0, name);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, mine);
  std::string text;
  for (char c : TextOf(hwnd))
    if (c != '&') text += c;
  RECT r;
  GetClientRect(hwnd, &r);
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  const std::string cls = ClassOf(hwnd);
  bool fits = true;
  if (_stricmp(cls.c_str(), "Button") == 0 && (style & BS_TYPEMASK) != BS_GROUPBOX) {
    // One line: a push button's with room for its edges, a box's beside
    // its box.
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    const LONG kind = style & BS_TYPEMASK;
    const int room = r.right - ((kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON)
                                    ? 4
                                    : GetSystemMetrics(SM_CXMENUCHECK));
    fits = size.cx <= room;
  } else if (_stricmp(cls.c_str(), "Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT) {
    // Broken between words, within the control, no word cut.
    RECT need = {0, 0, r.right, 0};
    DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    fits = need.right <= r.right && need.bottom <= r.bottom;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(mine);
  return line + "|fits=" + (fits ? "1" : "0");
}

BOOL CALLBACK LayoutChild(HWND hwnd, LPARAM) {
  std::printf("%s\n", DescribeLayout(hwnd).c_str());
  return TRUE;
}

BOOL CALLBACK DumpChild(HWND hwnd, LPARAM) {
  std::printf("%s\n", Describe(hwnd).c_str());
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM lp) {
  reinterpret_cast<std::vector<std::string>*>(lp)->push_back(Describe(hwnd));
  return TRUE;
}

// Does the whole of TEXT match PATTERN, in which '*' stands for any run of
// characters?
bool Matches(const char* pattern, const char* text) {
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*') {
    for (;; ++text) {
      if (Matches(pattern + 1, text)) return true;
      if (*text == '\0') return false;
    }
  }
  return *text != '\0' && *pattern == *text && Matches(pattern + 1, text + 1);
}

struct ButtonQuery {
  std::string text;
  HWND found;
};

BOOL CALLBACK FindButton(HWND hwnd, LPARAM lp) {
  auto* q = reinterpret_cast<ButtonQuery*>(lp);
  if (_stricmp(ClassOf(hwnd).c_str(), "Button") == 0 && Plain(TextOf(hwnd)) == q->text) {
    q->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindEdit(HWND hwnd, LPARAM lp) {
  if (_stricmp(ClassOf(hwnd).c_str(), "Edit") == 0 && IsWindowVisible(hwnd)) {
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindList(HWND hwnd, LPARAM lp) {
  if (_stricmp(ClassOf(hwnd).c_str(), "SysListView32") == 0 && IsWindowVisible(hwnd)) {
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK ListWindow(HWND hwnd, LPARAM) {
  RECT r;
  GetWindowRect(hwnd, &r);
  std::printf("%s|%s|visible=%d|%ld,%ld,%ld,%ld\n", ClassOf(hwnd).c_str(), TextOf(hwnd).c_str(),
              IsWindowVisible(hwnd) ? 1 : 0, r.left, r.top, r.right, r.bottom);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || (argc < 3 && std::string(argv[1]) != "list")) {
    std::fprintf(stderr,
                 "usage: qbdrive wait|until|dump|text|click|type|close|state|handle TITLE ...\n");
    return 2;
  }
  const std::string cmd = argv[1];
  if (cmd == "list") {
    EnumWindows(ListWindow, 0);
    return 0;
  }
  const char* title = argv[2];
  if (cmd == "gone") {
    const HWND hwnd =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(argv[2], nullptr, 10)));
    const int ms = argc > 3 ? std::atoi(argv[3]) : 10000;
    for (int waited = 0; waited <= ms; waited += 100) {
      if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return 0;
      Sleep(100);
    }
    std::fprintf(stderr, "qbdrive: window %s still shows after %d ms\n", argv[2], ms);
    return 1;
  }
  if (cmd == "until") {
    if (argc < 6) return 2;
    const int ms = std::atoi(argv[3]);
    const char* cls = argv[4];
    std::vector<std::string> lines;
    std::string missing = "the window";
    for (int waited = 0;; waited += 100) {
      lines.clear();
      const HWND hwnd = Find(title, cls);
      if (hwnd) {
        EnumChildWindows(hwnd, CollectChild, reinterpret_cast<LPARAM>(&lines));
        missing.clear();
        for (int i = 5; i < argc && missing.empty(); ++i) {
          // A pattern without "&" holds a plain label: the line's mnemonics
          // do not count.
          const bool plain = std::strchr(argv[i], '&') == nullptr;
          const std::string wanted = std::string("*") + argv[i] + "*";
          bool found = false;
          for (const std::string& line : lines) {
            if (Matches(wanted.c_str(), (plain ? Plain(line) : line).c_str())) {
              found = true;
              break;
            }
          }
          if (!found) missing = argv[i];
        }
        // The controls are read one by one while the window's program goes
        // on: a reading that straddles a change (a page half switched) is
        // not to be trusted, so a match counts when a second reading right
        // after it is the same.
        std::vector<std::string> again;
        if (missing.empty()) {
          EnumChildWindows(hwnd, CollectChild, reinterpret_cast<LPARAM>(&again));
          if (again != lines) missing = "the same controls twice in a row";
        }
        if (missing.empty()) {
          std::printf("window|%s|%s\n", ClassOf(hwnd).c_str(), TextOf(hwnd).c_str());
          for (const std::string& line : lines) std::printf("%s\n", line.c_str());
          std::fflush(stdout);
          return 0;
        }
      }
      if (waited >= ms) break;
      Sleep(100);
    }
    std::fprintf(stderr, "qbdrive: after %d ms \"%s\" still shows no \"%s\"\n", ms, title,
                 missing.c_str());
    for (const std::string& line : lines) std::fprintf(stderr, "%s\n", line.c_str());
    return 1;
  }
  if (cmd == "wait") {
    const int ms = argc > 3 ? std::atoi(argv[3]) : 10000;
    const char* cls = argc > 4 ? argv[4] : nullptr;
    for (int waited = 0; waited <= ms; waited += 100) {
      if (Find(title, cls)) return 0;
      Sleep(100);
    }
    return 1;
  }
  const char* cls = nullptr;
  if ((cmd == "dump" || cmd == "layout" || cmd == "text" || cmd == "close" || cmd == "minimize" ||
       cmd == "state" || cmd == "restore" || cmd == "front" || cmd == "press" || cmd == "focus" ||
       cmd == "handle" || cmd == "drain") &&
      argc > 3) {
    cls = argv[3];
  }
  if ((cmd == "click" || cmd == "select" || cmd == "toggle" || cmd == "type" || cmd == "pick" ||
       cmd == "key") &&
      argc > 4)
    cls = argv[4];
  HWND hwnd = Find(title, cls);
  if (!hwnd) {
    std::fprintf(stderr, "qbdrive: no visible window \"%s\"\n", title);
    return 1;
  }
  if (cmd == "layout") {
    RECT client;
    GetClientRect(hwnd, &client);
    std::printf("window|%s|%s|client=%ld,%ld\n", ClassOf(hwnd).c_str(), TextOf(hwnd).c_str(),
                client.right, client.bottom);
    EnumChildWindows(hwnd, LayoutChild, 0);
  } else if (cmd == "handle") {
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)));
  } else if (cmd == "dump") {
    std::printf("window|%s|%s\n", ClassOf(hwnd).c_str(), TextOf(hwnd).c_str());
    EnumChildWindows(hwnd, DumpChild, 0);
  } else if (cmd == "text") {
    // A message box keeps its text in the static control 0xFFFF.
    HWND label = GetDlgItem(hwnd, 0xFFFF);
    std::printf("%s\n", label ? TextOf(label).c_str() : "");
  } else if (cmd == "click") {
    if (argc < 4) return 2;
    ButtonQuery q{argv[3], nullptr};
    EnumChildWindows(hwnd, FindButton, reinterpret_cast<LPARAM>(&q));
    if (!q.found) {
      std::fprintf(stderr, "qbdrive: no button \"%s\"\n", argv[3]);
      return 1;
    }
    PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(q.found), BN_CLICKED),
                 reinterpret_cast<LPARAM>(q.found));
  } else if (cmd == "type") {
    // Puts the text into the first visible edit field, as typing would.
    if (argc < 4) return 2;
    HWND field = nullptr;
    EnumChildWindows(hwnd, FindEdit, reinterpret_cast<LPARAM>(&field));
    if (!field) {
      std::fprintf(stderr, "qbdrive: no edit field\n");
      return 1;
    }
    SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
  } else if (cmd == "pick") {
    // Selects a row of the window's list view, as a click on it would.
    if (argc < 4) return 2;
    HWND list = nullptr;
    EnumChildWindows(hwnd, FindList, reinterpret_cast<LPARAM>(&list));
    if (!list) return 1;
    // By keys, as a person would (a list's own messages carry pointers
    // that do not cross processes): Home, then Down to the row.
    const auto press = [list](WPARAM key) {
      SendMessageA(list, WM_KEYDOWN, key, 1);
      SendMessageA(list, WM_KEYUP, key, 0xC0000001);
    };
    press(VK_HOME);
    for (int i = std::atoi(argv[3]); i > 0; --i) press(VK_DOWN);
  } else if (cmd == "close") {
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
  } else if (cmd == "toggle") {
    if (argc < 4) return 2;
    ButtonQuery q{argv[3], nullptr};
    EnumChildWindows(hwnd, FindButton, reinterpret_cast<LPARAM>(&q));
    if (!q.found) return 1;
    SendMessageA(q.found, BM_CLICK, 0, 0);
  } else if (cmd == "select") {
    if (argc < 4) return 2;
    HWND combo = FindWindowExA(hwnd, nullptr, "ComboBox", nullptr);
    if (!combo) return 1;
    SendMessageA(combo, CB_SETCURSEL, std::atoi(argv[3]), 0);
  } else if (cmd == "drain") {
    // Posted messages are handled in order.
    PostMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    for (int waited = 0; !IsIconic(hwnd); waited += 100) {
      if (!IsWindow(hwnd) || waited >= 10000) {
        std::fprintf(stderr, "qbdrive: \"%s\" %s\n", title,
                     IsWindow(hwnd) ? "was not minimised" : "went");
        return 1;
      }
      Sleep(100);
    }
  } else if (cmd == "minimize") {
    ShowWindow(hwnd, SW_MINIMIZE);
  } else if (cmd == "restore") {
    ShowWindow(hwnd, SW_RESTORE);
  } else if (cmd == "front") {
    SetForegroundWindow(hwnd);
  } else if (cmd == "press") {
    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  } else if (cmd == "key" || cmd == "focus") {
    // The focus of the window's thread: posted keys go through its message
    // loop (and so its dialog navigation) as typed keys would.
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info)) return 1;
    HWND focus = info.hwndFocus;
    if (cmd == "focus") {
      if (!focus) {
        std::printf("none\n");
      } else {
        DumpChild(focus, 0);
      }
    } else {
      if (argc < 4) return 2;
      const std::string name = argv[3];
      const WPARAM key = name == "enter"    ? VK_RETURN
                         : name == "escape" ? VK_ESCAPE
                         : name == "tab"    ? VK_TAB
                                            : 0;
      if (!key) return 2;
      HWND target = focus ? focus : hwnd;
      const UINT scan = MapVirtualKeyA(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
      PostMessageA(target, WM_KEYDOWN, key, 1 | (scan << 16));
      PostMessageA(target, WM_KEYUP, key, 1 | (scan << 16) | 0xC0000000u);
    }
  } else if (cmd == "state") {
    std::printf("visible=%d iconic=%d foreground=%d\n", IsWindowVisible(hwnd) ? 1 : 0,
                IsIconic(hwnd) ? 1 : 0, GetForegroundWindow() == hwnd ? 1 : 0);
  } else {
    return 2;
  }
  std::fflush(stdout);
  return 0;
}
