#include "panel/first_argument.h"

namespace panel {

namespace {

class Scanner {
 public:
  explicit Scanner(std::string_view text) : t_(text) {}

  bool atEnd() const { return pos_ >= t_.size(); }

  void skipGap() {
    for (;;) {
      while (pos_ < t_.size() && code(pos_) <= 32)
        ++pos_;
      if (pos_ + 1 < t_.size() && t_[pos_] == '"' && t_[pos_ + 1] == '"') {
        pos_ += 2;
        continue;
      }
      return;
    }
  }

  std::string_view takeArgument() {
    std::size_t start = pos_;
    while (pos_ < t_.size() && code(pos_) > 32) {
      if (t_[pos_] == '"') {
        ++pos_;
        while (pos_ < t_.size() && t_[pos_] != '"')
          ++pos_;
        if (pos_ < t_.size()) ++pos_;  // the closing quote stays part of the argument
      } else {
        ++pos_;
      }
    }
    return t_.substr(start, pos_ - start);
  }

 private:
  unsigned code(std::size_t i) const { return static_cast<unsigned char>(t_[i]); }
  std::string_view t_;
  std::size_t pos_ = 0;
};

}  // namespace

std::string firstArgument(std::string_view commandLine) {
  Scanner s(commandLine);
  s.skipGap();
  s.takeArgument();  // the program name
  s.skipGap();
  if (s.atEnd()) return {};
  std::string_view arg = s.takeArgument();
  if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"')
    arg = arg.substr(1, arg.size() - 2);
  return std::string(arg);
}

bool isInfoSwitch(std::string_view argument) {
  return argument == "/ih";
}

}  // namespace panel
