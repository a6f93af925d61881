// PtyLine: the far end of a COM port that tests/win/with_pty.py put behind a pseudo-terminal.
//
// A Windows test run under that wrapper finds the ports in PANEL_PTY_PORTS and the wrapper's
// control directory in PANEL_PTY_DIR. Through it the test reads back every byte that reached the
// far end, and can make the far end go away and come back (see with_pty.py for the protocol).
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pty {

// The port numbers the wrapper linked, in the order given to it; empty when not run under it.
inline std::vector<int> ports() {
  char text[256] = {};
  DWORD n = GetEnvironmentVariableA("PANEL_PTY_PORTS", text, sizeof text);
  std::vector<int> out;
  if (n == 0 || n >= sizeof text) return out;
  std::string list(text, n);
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    out.push_back(std::stoi(list.substr(start, comma - start)));
    start = comma + 1;
  }
  return out;
}

inline std::string controlDir() {
  char text[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA("PANEL_PTY_DIR", text, sizeof text);
  return n == 0 || n >= sizeof text ? std::string() : std::string(text, n);
}

class PtyLine {
 public:
  // Starts reading after whatever the line has already received.
  explicit PtyLine(int port) : port_(port), base_(controlDir() + "\\line" + std::to_string(port)) {
    request("drain");
    consumed_ = readAll().size();
  }
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;
  // A line left hung up is plugged in again for the next test.
  ~PtyLine() {
    if (stalled_) request("resume");
    if (hungUp_) request("replug");
  }

  int port() const { return port_; }

  // Waits until at least `count` new bytes have arrived and the line has gone quiet, then returns
  // every byte that arrived since the last call (more than `count` if more came).
  std::string receive(std::size_t count) {
    for (int i = 0; i < kPolls && readAll().size() < consumed_ + count; ++i)
      Sleep(kPollMs);
    request("drain");
    std::string all = readAll();
    std::string fresh = all.substr(consumed_);
    consumed_ = all.size();
    return fresh;
  }

  // The far end goes away: the master side of the pseudo-terminal is closed.
  void hangUp() {
    request("hangup");
    hungUp_ = true;
  }
  // A new pseudo-terminal behind the same COM port name.
  void replug() {
    request("replug");
    hungUp_ = false;
  }
  // The device goes away altogether: no COM port of this number exists until replug().
  void remove() {
    request("unlink");
    hungUp_ = true;
  }
  // The far end stops reading and its buffer is filled, so that writes can no longer complete;
  // returns how many bytes it took to fill it. resume() reads again; the filler never shows up
  // in receive().
  std::size_t stall() {
    std::string filled = request("stall");
    stalled_ = true;
    return filled.empty() ? 0 : std::stoul(filled);
  }
  void resume() {
    request("resume");
    stalled_ = false;
  }

  // The line settings the far end sees, e.g. "speed=19200 data=8 parity=none stop=1 crtscts=off".
  std::string settings() { return request("termios"); }

  // Carries out one request of the wrapper's protocol and returns its answer; "" when the
  // wrapper did not answer in time (a test's own check then fails on it).
  std::string request(const std::string& what) {
    std::string path = base_ + "." + what;
    std::string done = path + ".done";
    DeleteFileA(done.c_str());
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    CloseHandle(h);
    for (int i = 0; i < kPolls; ++i) {
      if (GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::string answer = readFile(done);
        DeleteFileA(done.c_str());
        return answer;
      }
      Sleep(kPollMs);
    }
    return {};
  }

 private:
  // A generous bound for the wrapper to answer: 10 s.
  static constexpr int kPolls = 1000;
  static constexpr DWORD kPollMs = 10;

  std::string readAll() const { return readFile(base_ + ".bytes"); }

  static std::string readFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
      out.append(buf, got);
    CloseHandle(h);
    return out;
  }

  int port_;
  std::string base_;
  std::size_t consumed_ = 0;
  bool hungUp_ = false;
  bool stalled_ = false;
};

}  // namespace pty
