// The end-to-end suite's hands inside Wine. The suite drives the panel with real X input, but a
// few things can only be seen or done from the Windows side of the virtual desktop: starting the
// program with an exact command line and learning its exit code (Wine's own launcher re-quotes
// arguments, and the desktop's explorer hands back 0), reading the real windows back (outer and
// client rectangles, texts, the list's geometry), taking the foreground away from the panel and
// ending a program that a failed case left behind.
//
//   e2e_helper.exe launch REPORT EXE HEXCMDLINE   start EXE with the UTF-8 command line given in
//                                                 hex; REPORT.started gets "pid N", REPORT gets
//                                                 "exit N" when the program has ended
//   e2e_helper.exe windows REPORT                 one JSON object per line for every top-level
//                                                 window and its children
//   e2e_helper.exe popup REPORT X Y               a window of its own, made the foreground one;
//                                                 REPORT gets "ready"; ends on WM_CLOSE
//   e2e_helper.exe close TITLE                    posts WM_CLOSE to the top-level window TITLE
//   e2e_helper.exe kill PID                       ends process PID with exit code 99
//
// It is a GUI program, so that starting it in the desktop opens no console window that could
// take the focus. Reports are written to a temporary name and renamed, so that a reader never
// sees half a report.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string toUtf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::wstring fromUtf8(const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

bool fromHex(const std::wstring& hex, std::string& out) {
  if (hex.size() % 2 != 0) return false;
  auto digit = [](wchar_t c) -> int {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
  };
  out.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = digit(hex[i]);
    int lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

bool writeReport(const std::wstring& path, const std::string& text) {
  std::wstring tmp = path + L".tmp";
  HANDLE f = CreateFileW(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  if (!ok || written != text.size()) return false;
  return MoveFileExW(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string rectJson(const RECT& r) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
  return buf;
}

// The text through WM_GETTEXT, so that an edit control of another process answers with what it
// shows; a hung window answers nothing rather than hanging the report.
std::wstring windowText(HWND hwnd) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) return {};
  std::wstring text(len + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, len + 1, reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 2000, &got);
  text.resize(got);
  return text;
}

std::wstring className(HWND hwnd) {
  wchar_t buf[256]{};
  GetClassNameW(hwnd, buf, 256);
  return buf;
}

LRESULT query(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(hwnd, msg, wp, lp, SMTO_ABORTIFHUNG, 2000, &result)) return -1;
  return static_cast<LRESULT>(result);
}

std::string describe(HWND hwnd, HWND parent) {
  RECT wr{};
  GetWindowRect(hwnd, &wr);
  RECT cr{};
  GetClientRect(hwnd, &cr);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  std::wstring cls = className(hwnd);
  char head[512];
  std::snprintf(head, sizeof head,
                "{\"hwnd\":%llu,\"parent\":%llu,\"pid\":%lu,\"visible\":%s,\"foreground\":%s,"
                "\"style\":%lu,\"exstyle\":%lu,\"id\":%lld,\"client_origin\":[%ld,%ld],"
                "\"client_size\":[%ld,%ld]",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)),
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(parent)), pid,
                IsWindowVisible(hwnd) ? "true" : "false",
                GetForegroundWindow() == hwnd ? "true" : "false",
                static_cast<unsigned long>(GetWindowLongPtrW(hwnd, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)),
                static_cast<long long>(GetWindowLongPtrW(hwnd, GWLP_ID)), origin.x, origin.y,
                cr.right, cr.bottom);
  std::string line = head;
  line += ",\"rect\":" + rectJson(wr);
  if (!parent) {
    // The focus, the capture and the active window of the window's thread: which control the
    // keys go to and which one sees the mouse.
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &gui)) {
      char extra[160];
      std::snprintf(extra, sizeof extra,
                    ",\"thread_focus\":%llu,\"thread_capture\":%llu,"
                    "\"thread_active\":%llu",
                    static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(gui.hwndFocus)),
                    static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(gui.hwndCapture)),
                    static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(gui.hwndActive)));
      line += extra;
    }
  }
  line += ",\"class\":" + jsonString(toUtf8(cls));
  line += ",\"text\":" + jsonString(toUtf8(windowText(hwnd)));
  if (_wcsicmp(cls.c_str(), L"ComboBox") == 0) {
    // What a mouse needs to pick an entry: the height of the closed box and of one item, the
    // selection, and the rectangle of the list part when it is open.
    RECT dropped{};
    query(hwnd, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    char extra[256];
    std::snprintf(extra, sizeof extra,
                  ",\"cursel\":%lld,\"count\":%lld,\"field_height\":%lld,\"item_height\":%lld,"
                  "\"dropped\":%lld,\"top_index\":%lld",
                  static_cast<long long>(query(hwnd, CB_GETCURSEL, 0, 0)),
                  static_cast<long long>(query(hwnd, CB_GETCOUNT, 0, 0)),
                  static_cast<long long>(query(hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0)),
                  static_cast<long long>(query(hwnd, CB_GETITEMHEIGHT, 0, 0)),
                  static_cast<long long>(query(hwnd, CB_GETDROPPEDSTATE, 0, 0)),
                  static_cast<long long>(query(hwnd, CB_GETTOPINDEX, 0, 0)));
    line += extra;
    line += ",\"dropped_rect\":" + rectJson(dropped);
  }
  if (_wcsicmp(cls.c_str(), L"ComboLBox") == 0) {
    char extra[160];
    std::snprintf(extra, sizeof extra, ",\"item_height\":%lld,\"top_index\":%lld,\"cursel\":%lld",
                  static_cast<long long>(query(hwnd, LB_GETITEMHEIGHT, 0, 0)),
                  static_cast<long long>(query(hwnd, LB_GETTOPINDEX, 0, 0)),
                  static_cast<long long>(query(hwnd, LB_GETCURSEL, 0, 0)));
    line += extra;
  }
  return line + "}\n";
}

struct Listing {
  std::string text;
  HWND parent = nullptr;
};

BOOL CALLBACK addChild(HWND hwnd, LPARAM lp) {
  auto* listing = reinterpret_cast<Listing*>(lp);
  listing->text += describe(hwnd, GetAncestor(hwnd, GA_PARENT));
  return TRUE;
}

BOOL CALLBACK addTopLevel(HWND hwnd, LPARAM lp) {
  auto* listing = reinterpret_cast<Listing*>(lp);
  listing->text += describe(hwnd, nullptr);
  EnumChildWindows(hwnd, addChild, lp);
  return TRUE;
}

int listWindows(const std::wstring& report) {
  Listing listing;
  EnumWindows(addTopLevel, reinterpret_cast<LPARAM>(&listing));
  char tail[128];
  std::snprintf(tail, sizeof tail, "{\"foreground_hwnd\":%llu}\n",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(GetForegroundWindow())));
  listing.text += tail;
  return writeReport(report, listing.text) ? 0 : 1;
}

int launch(const std::wstring& report, const std::wstring& exe, const std::wstring& hexLine) {
  std::string utf8;
  if (!fromHex(hexLine, utf8)) return 2;
  std::wstring line = fromUtf8(utf8);
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exe.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    writeReport(report, "error " + std::to_string(GetLastError()) + "\n");
    return 1;
  }
  CloseHandle(pi.hThread);
  writeReport(report + L".started", "pid " + std::to_string(pi.dwProcessId) + "\n");
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  return writeReport(report, "exit " + std::to_string(code) + "\n") ? 0 : 1;
}

LRESULT CALLBACK popupProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

int popup(const std::wstring& report, int x, int y) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = popupProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"E2EPopup";
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  if (!RegisterClassW(&wc)) return 1;
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"e2e popup", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              x, y, 240, 160, nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd) return 1;
  SetForegroundWindow(hwnd);
  writeReport(report, "ready\n");
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

int closeWindow(const std::wstring& title) {
  HWND hwnd = FindWindowW(nullptr, title.c_str());
  if (!hwnd) return 1;
  return PostMessageW(hwnd, WM_CLOSE, 0, 0) ? 0 : 1;
}

int killProcess(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid);
  if (!process) return 1;
  BOOL ok = TerminateProcess(process, 99);
  CloseHandle(process);
  return ok ? 0 : 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 3) return 2;
  std::wstring command = argv[1];
  int rc = 2;
  if (command == L"launch" && argc == 5) {
    rc = launch(argv[2], argv[3], argv[4]);
  } else if (command == L"windows" && argc == 3) {
    rc = listWindows(argv[2]);
  } else if (command == L"popup" && argc == 5) {
    rc = popup(argv[2], _wtoi(argv[3]), _wtoi(argv[4]));
  } else if (command == L"close" && argc == 3) {
    rc = closeWindow(argv[2]);
  } else if (command == L"kill" && argc == 3) {
    rc = killProcess(static_cast<DWORD>(_wtoi(argv[2])));
  }
  LocalFree(argv);
  return rc;
}
