// The cost of one press through the whole panel against the platform work it cannot avoid.
//
// Runs the real scheme in this process, on a COM port that tools/bench puts behind a
// pseudo-terminal (tests/win/with_pty.py). One press sample is a WM_LBUTTONDOWN sent to ВПЕРЁД,
// timed until the echo field has taken its new text (the serial write comes before it on the
// road). One bare sample is a WriteFile of the same two bytes on the same handle followed by a
// SetWindowTextW of the same text on the same edit control. Samples alternate, with the
// releases ("5\n") between them, so that every set-text changes the text as in real use.
// Prints "result key=value" lines.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "elements/event.h"
#include "elements/win/app.h"
#include "panel/scheme.h"
#include "serial/win32_serial.h"

namespace {

LONGLONG setTextDone = 0;

// Notes the moment the echo field has its new text. Installed on the echo for both kinds of
// sample, so both pay for it alike.
LRESULT CALLBACK watchEcho(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
  LRESULT r = DefSubclassProc(h, msg, wp, lp);
  if (msg == WM_SETTEXT) {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    setTextDone = t.QuadPart;
  }
  return r;
}

LONGLONG now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}
double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

int firstPtyPort() {
  char text[64] = {};
  DWORD n = GetEnvironmentVariableA("PANEL_PTY_PORTS", text, sizeof text);
  return n == 0 || n >= sizeof text ? 0 : std::atoi(text);
}

std::wstring textOf(HWND h) {
  wchar_t buf[64]{};
  GetWindowTextW(h, buf, 64);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  int samples = argc > 1 ? std::atoi(argv[1]) : 10000;
  int port = firstPtyPort();
  if (port < 1 || port > 20) {
    std::fprintf(stderr, "press_bench: run under with_pty.py with a port from 5 to 20\n");
    return 2;
  }
  elements::win::startLibraries();
  auto* scheme = panel::TClassMainForm_20978D0::create(serial::win32SerialDevice());
  elements::win::startStep(*scheme->MainForm);
  elements::win::drainMessages();

  // The operator picks "COM n": item n of the list.
  HWND list = scheme->PortList->handle();
  HWND form = scheme->MainForm->handle();
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(port), 0);
  SendMessageW(form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
  elements::win::drainMessages();
  if (!scheme->ComPort->isOpen()) {
    std::fprintf(stderr, "press_bench: COM%d did not open\n", port);
    return 3;
  }
  HANDLE line = reinterpret_cast<HANDLE>(scheme->ComPort->portHandle.get());
  HWND button = scheme->ForwardButton->handle();
  HWND echo = scheme->CommandEcho->handle();
  SetWindowSubclass(echo, &watchEcho, 0x7E57, 0);

  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  const double nsPerTick = 1e9 / static_cast<double>(freq.QuadPart);

  std::vector<double> press, release, barePress, bareRelease;
  press.reserve(samples);
  release.reserve(samples);
  barePress.reserve(samples);
  bareRelease.reserve(samples);
  int missed = 0;

  auto pressSample = [&](UINT msg, WPARAM keys, std::vector<double>& out) {
    setTextDone = 0;
    LONGLONG t0 = now();
    SendMessageW(button, msg, keys, MAKELPARAM(10, 10));
    if (setTextDone == 0) {
      ++missed;
    } else {
      out.push_back(static_cast<double>(setTextDone - t0) * nsPerTick);
    }
    elements::win::drainMessages();
  };
  auto bareSample = [&](const char* bytes, const wchar_t* text, std::vector<double>& out) {
    DWORD written = 0;
    LONGLONG t0 = now();
    WriteFile(line, bytes, 2, &written, nullptr);
    SetWindowTextW(echo, text);
    LONGLONG t1 = now();
    if (written != 2) ++missed;
    out.push_back(static_cast<double>(t1 - t0) * nsPerTick);
    elements::win::drainMessages();
  };

  // A warm-up round of each, left out of the figures.
  const int warmup = std::max(samples / 20, 10);
  for (int i = -warmup; i < samples; ++i) {
    std::vector<double> scratch;
    bool keep = i >= 0;
    pressSample(WM_LBUTTONDOWN, MK_LBUTTON, keep ? press : scratch);
    if (keep && textOf(echo) != L"1\n") ++missed;
    pressSample(WM_LBUTTONUP, 0, keep ? release : scratch);
    bareSample("1\n", L"1\n", keep ? barePress : scratch);
    bareSample("5\n", L"5\n", keep ? bareRelease : scratch);
    // Far apart in time, so that no two presses make a double-click.
  }

  RemoveWindowSubclass(echo, &watchEcho, 0x7E57);
  std::printf("result press_samples=%zu bare_samples=%zu missed=%d\n", press.size(),
              barePress.size(), missed);
  std::printf("result press_median_ns=%.0f press_p10_ns=%.0f press_p90_ns=%.0f\n", median(press),
              percentile(press, 0.1), percentile(press, 0.9));
  std::printf("result bare_median_ns=%.0f bare_p10_ns=%.0f bare_p90_ns=%.0f\n", median(barePress),
              percentile(barePress, 0.1), percentile(barePress, 0.9));
  std::printf("result release_median_ns=%.0f bare_release_median_ns=%.0f\n", median(release),
              median(bareRelease));
  std::fflush(stdout);
  elements::EventGate::close();
  delete scheme;
  return missed == 0 ? 0 : 4;
}
