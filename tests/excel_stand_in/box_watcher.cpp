// Reads the launchers' error boxes under Wine and presses OK, so that a test can check
// what a box says and the launcher can end (scripts/excel-stand-in.sh). Every message
// box that appears on the desktop is written as one line to the output file: its title,
// a tab, then its text with each line break written as "\n". Runs until the stop file
// exists.
// Usage: box_watcher.exe OUTPUT STOPFILE
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<HWND> gHandled;  // boxes already written and answered

std::string narrow(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return std::string();
  std::string result(static_cast<std::size_t>(length - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &result[0], length, nullptr, nullptr);
  return result;
}

std::wstring windowText(HWND window) {
  wchar_t text[4096];
  const int length = GetWindowTextW(window, text, 4096);
  return std::wstring(text, static_cast<std::size_t>(length > 0 ? length : 0));
}

// The box's message: the longest text of its static controls (the other is the icon).
BOOL CALLBACK collectStatic(HWND child, LPARAM found) {
  wchar_t className[32];
  GetClassNameW(child, className, 32);
  if (lstrcmpiW(className, L"Static") != 0) return TRUE;
  std::wstring& longest = *reinterpret_cast<std::wstring*>(found);
  const std::wstring text = windowText(child);
  if (text.size() > longest.size()) longest = text;
  return TRUE;
}

BOOL CALLBACK answerBox(HWND window, LPARAM output) {
  wchar_t className[32];
  GetClassNameW(window, className, 32);
  if (lstrcmpW(className, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  for (HWND handled : gHandled) {
    if (handled == window) return TRUE;
  }
  gHandled.push_back(window);
  std::wstring message;
  EnumChildWindows(window, collectStatic, reinterpret_cast<LPARAM>(&message));
  std::string line = narrow(windowText(window)) + "\t";
  for (const char c : narrow(message)) {
    if (c == '\n') line += "\\n";
    else if (c != '\r') line += c;
  }
  if (std::FILE* out = std::fopen(reinterpret_cast<const char*>(output), "a")) {
    std::fprintf(out, "%s\n", line.c_str());
    std::fclose(out);
  }
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: box_watcher OUTPUT STOPFILE\n");
    return 2;
  }
  while (GetFileAttributesA(argv[2]) == INVALID_FILE_ATTRIBUTES) {
    EnumWindows(answerBox, reinterpret_cast<LPARAM>(argv[1]));
    // Forget boxes that have gone, so that a new one with a reused handle is seen.
    std::vector<HWND> live;
    for (HWND handled : gHandled) {
      if (IsWindow(handled)) live.push_back(handled);
    }
    gHandled.swap(live);
    Sleep(100);
  }
  return 0;
}
