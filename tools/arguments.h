// The command line in UTF-8 on every system. Windows hands main() its
// arguments in the ANSI code page, which cannot hold every file name; there
// they are taken again from the UTF-16 command line, and the console is
// told that the programs write UTF-8.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace kovant::tools {

class Arguments {
 public:
  Arguments(int argc, char** argv) {
#ifdef _WIN32
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
      for (int i = 0; i < count; ++i) strings_.push_back(Utf8(wide[i]));
      LocalFree(wide);
    }
    // Given back at exit: the console is the caller's too.
    static const UINT previous = GetConsoleOutputCP();
    if (previous != 0 && previous != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
      std::atexit([] { SetConsoleOutputCP(previous); });
    }
#endif
    if (strings_.empty()) strings_.assign(argv, argv + argc);
    for (std::string& s : strings_) pointers_.push_back(s.data());
    pointers_.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(strings_.size()); }
  char** argv() { return pointers_.data(); }

 private:
#ifdef _WIN32
  static std::string Utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
  }
#endif
  std::vector<std::string> strings_;
  std::vector<char*> pointers_;
};

}  // namespace kovant::tools
