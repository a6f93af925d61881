// Start-up time of a window program: starts it, and notes when its main window is visible.
//
//   start_watch.exe RUNS PANEL_EXE MINIMAL_EXE
//
// Alternates the two programs RUNS times each. The clock starts just before CreateProcessW and
// stops at the first poll that finds the program's window by its title and visible. Polling
// sleeps 1 ms between looks: a spinning watcher would take a core from the program it times on
// a small machine, and 1 ms is small beside a start-up. Each program is then asked to close
// (WM_CLOSE, as the operator would) and waited for. Prints "startup name=... ms=..." lines.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Target {
  const char* name;
  std::wstring exe;
  const wchar_t* title;
};

std::wstring widen(const char* s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s, -1, out.data(), n);
  return out;
}

double runOnce(const Target& t) {
  std::wstring cmd = L"\"" + t.exe + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  LARGE_INTEGER freq, t0, t1;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&t0);
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    return -1;
  }
  HWND w = nullptr;
  for (int i = 0; i < 30000; ++i) {
    w = FindWindowW(nullptr, t.title);
    if (w && IsWindowVisible(w)) break;
    w = nullptr;
    if (WaitForSingleObject(pi.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  QueryPerformanceCounter(&t1);
  double ms = w ? static_cast<double>(t1.QuadPart - t0.QuadPart) * 1000.0 /
                      static_cast<double>(freq.QuadPart)
                : -1;
  if (w) PostMessageW(w, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // The window must be gone before the next program looks for its own.
  Sleep(200);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: start_watch RUNS PANEL_EXE MINIMAL_EXE\n");
    return 2;
  }
  int runs = std::atoi(argv[1]);
  Target targets[] = {{"panel", widen(argv[2]), L"ПУЛЬТ УПРАВЛЕНИЯ ШАССИ"},
                      {"minimal", widen(argv[3]), L"minimal window"}};
  int failed = 0;
  // One unreported start of each first: the first start after a quiet spell pays for disk
  // caches that later ones find warm.
  for (const Target& t : targets)
    runOnce(t);
  for (int i = 0; i < runs; ++i) {
    for (int k = 0; k < 2; ++k) {
      // Alternate which goes first, so neither always follows the other.
      const Target& t = targets[(i + k) % 2];
      double ms = runOnce(t);
      if (ms < 0) ++failed;
      std::printf("startup name=%s ms=%.2f\n", t.name, ms);
      std::fflush(stdout);
    }
  }
  return failed == 0 ? 0 : 1;
}
