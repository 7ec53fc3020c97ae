// pairly-score NAME1 NAME2 | pairly-score --batch [--jobs N]
#include <algorithm>
#include <climits>
#include <clocale>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "pairly_score/scorer.h"
#include "runtime/text.h"

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "runtime/wide_text.h"
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

// Standard input as it comes: a read returns what is there, and a pipe or terminal says
// when it has nothing yet.
class StandardInput : public pairly_score::InputSource {
 public:
  StandardInput();
  std::size_t Read(char* buffer, std::size_t size) override;
  bool MustWait() override;
  bool Failed() const override { return failed_; }

 private:
  bool file_ = false;  // a file on disk, which never waits
  bool failed_ = false;
};

#ifdef _WIN32
StandardInput::StandardInput()
    : file_(GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(0))) == FILE_TYPE_DISK) {}

std::size_t StandardInput::Read(char* buffer, std::size_t size) {
  const int read = _read(0, buffer, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
  if (read < 0) failed_ = true;
  return read < 0 ? 0 : static_cast<std::size_t>(read);
}

bool StandardInput::MustWait() {
  if (file_) return false;
  // A pipe says what it holds; a console, or a pipe that cannot tell (as under Wine), is
  // answered line by line.
  DWORD available = 0;
  return !PeekNamedPipe(reinterpret_cast<HANDLE>(_get_osfhandle(0)), nullptr, 0, nullptr,
                        &available, nullptr) ||
         available == 0;
}
#else
StandardInput::StandardInput() {
  struct stat status {};
  file_ = fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode);
}

std::size_t StandardInput::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) {
      failed_ = true;
      return 0;
    }
  }
}

bool StandardInput::MustWait() {
  return !file_ && pairly_score::ReadMayWait(STDIN_FILENO, poll);
}
#endif

// The program on the arguments after its name, each decoded from the platform's form.
template <typename Char, typename Decode>
int Run(int argc, Char** argv, Decode decode) {
  std::ios::sync_with_stdio(false);
  try {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(decode(argv[i]));
    StandardInput input;
    return pairly_score::Main(arguments, input, std::cout, std::cerr,
                              runtime::SystemTextServices());
  } catch (const std::bad_alloc&) {
    std::cerr << "pairly-score: out of memory\n";
    return 1;
  }
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  // DLLs only from the system directory, never the current one.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Bytes in and out exactly as given: UTF-8, "\n" line ends.
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  return Run(argc, argv, runtime::WideToUtf16);
}
#else
int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");  // the user's decimal separator
  return Run(argc, argv, runtime::Utf8ToUtf16);
}
#endif
