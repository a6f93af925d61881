// The two ways the panel ends without destroying its scheme, seen from outside: a runtime error
// and the end of the Windows session. A child process of this test runs a panel with ВПЕРЁД
// held, then faults on purpose or is told the session ends; the test reads the box it shows (if
// any), dismisses it and checks the exit code and what the child's serial device was given.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "elements/event.h"
#include "elements/win/app.h"
#include "panel/runtime_error.h"
#include "panel/scheme.h"
#include "tests/native/fake_serial.h"

namespace {

// A serial device whose writes land in a file that the parent reads afterwards.
class FileRecordingDevice : public serial::FakeSerialDevice {
 public:
  explicit FileRecordingDevice(const char* path) : path_(path) {}
  serial::WriteResult write(serial::DeviceHandle port, std::string_view bytes) override {
    std::FILE* f = std::fopen(path_, "ab");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return FakeSerialDevice::write(port, bytes);
  }

 private:
  const char* path_;
};

volatile int zero = 0;
volatile int seven = 7;
volatile int* nowhere = nullptr;

// Deep enough to exhaust any stack; the depth check only hides the recursion from the compiler.
int recurse(int n) {
  volatile char pad[4096];
  pad[0] = static_cast<char>(n);
  if (n > zero + 100000000) return pad[0];
  return recurse(n + 1) + pad[0];
}

// The child: a running panel on port 3 with ВПЕРЁД held, then the fault.
[[noreturn]] void child(const std::string& kind, const char* path) {
  panel::installRuntimeErrorReport();
  elements::win::startLibraries();
  static FileRecordingDevice device(path);
  auto* scheme = panel::TClassMainForm_20978D0::create(device);
  panel::theScheme = scheme;
  elements::win::startStep(*scheme->MainForm);
  elements::win::drainMessages();
  HWND list = scheme->PortList->handle();
  SendMessageW(list, CB_SETCURSEL, 3, 0);
  SendMessageW(scheme->MainForm->handle(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  elements::win::drainMessages();
  SendMessageW(scheme->ForwardButton->handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  if (kind == "session") SendMessageW(scheme->MainForm->handle(), WM_ENDSESSION, TRUE, 0);
  if (kind == "access") *nowhere = 1;
  if (kind == "divide") std::printf("%d", seven / zero);
  if (kind == "stack") std::printf("%d", recurse(0));
  if (kind == "memory") {
    void* p = ::operator new(SIZE_MAX / 2);
    std::printf("%p", p);
  }
  ExitProcess(99);
}

std::string tempFile() {
  char dir[MAX_PATH], path[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  GetTempFileNameA(dir, "rte", 0, path);
  return path;
}

struct Outcome {
  std::wstring caption, text;
  DWORD exitCode = 0;
  std::string written;
};

struct Search {
  DWORD pid;
  HWND found;
};

Outcome runChild(const std::string& kind) {
  Outcome out;
  std::string file = tempFile();
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string cmd = std::string("\"") + self + "\" --crash " + kind + " \"" + file + "\"";
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    ADD_FAILURE() << "cannot start the child";
    return out;
  }
  Search search{pi.dwProcessId, nullptr};
  for (int i = 0; i < 300 && !search.found; ++i) {
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
    EnumWindows(
        [](HWND h, LPARAM lp) -> BOOL {
          auto* s = reinterpret_cast<Search*>(lp);
          DWORD pid = 0;
          GetWindowThreadProcessId(h, &pid);
          wchar_t title[64]{};
          GetWindowTextW(h, title, 64);
          if (pid == s->pid && std::wstring(title) == L"Error" && IsWindowVisible(h)) {
            s->found = h;
            return FALSE;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
  }
  if (search.found) {
    wchar_t buf[2048]{};
    GetWindowTextW(search.found, buf, 64);
    out.caption = buf;
    GetDlgItemTextW(search.found, 0xFFFF, buf, 2048);
    out.text = buf;
    PostMessageW(search.found, WM_COMMAND, IDOK, 0);
  }
  if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    ADD_FAILURE() << "the child did not end";
  }
  GetExitCodeProcess(pi.hProcess, &out.exitCode);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  out.written = ss.str();
  DeleteFileA(file.c_str());
  return out;
}

TEST(RuntimeError, FaultsEndWithTheirNumberAfterTheBoxAndAStop) {
  const struct {
    const char* kind;
    int number;
  } cases[] = {{"access", 216}, {"divide", 200}, {"stack", 202}, {"memory", 203}};
  for (const auto& c : cases) {
    Outcome o = runChild(c.kind);
    EXPECT_EQ(o.caption, L"Error") << c.kind;
    std::wstring head = L"Runtime error " + std::to_wstring(c.number) + L" at $";
    EXPECT_EQ(o.text.substr(0, head.size()), head) << c.kind;
    // The address on the first line is the first frame line too, and an empty line ends it.
    std::size_t eol = o.text.find(L"\r\n");
    ASSERT_NE(eol, std::wstring::npos) << c.kind;
    std::wstring address = o.text.substr(head.size(), eol - head.size());
    EXPECT_GE(address.size(), 8u) << c.kind;
    EXPECT_EQ(address.find_first_not_of(L"0123456789ABCDEF"), std::wstring::npos) << c.kind;
    EXPECT_EQ(o.text.compare(eol + 2, 3 + address.size() + 2, L"  $" + address + L"\r\n"), 0)
        << c.kind << ": " << std::string(o.text.begin(), o.text.end());
    EXPECT_GE(o.text.size(), 4u);
    EXPECT_EQ(o.text.substr(o.text.size() - 4), L"\r\n\r\n") << c.kind;
    EXPECT_EQ(o.exitCode, static_cast<DWORD>(c.number)) << c.kind;
    // The chassis was moving: it got its stop before the process ended.
    EXPECT_EQ(o.written, "1\n5\n") << c.kind;
  }
}

TEST(SessionEnd, EndsWithZeroAfterStoppingTheChassis) {
  Outcome o = runChild("session");
  EXPECT_EQ(o.caption, L"") << "no error box";
  EXPECT_EQ(o.exitCode, 0u);
  EXPECT_EQ(o.written, "1\n5\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--crash") == 0) child(argv[2], argv[3]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
