// pairly-score NAME1 NAME2 | pairly-score --batch
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "pairly_score/scorer.h"
#include "runtime/text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <libloaderapi.h>

#include "runtime/wide_text.h"
#endif

namespace {

// The program on the arguments after its name, each decoded from the platform's form.
template <typename Char, typename Decode>
int Run(int argc, Char** argv, Decode decode) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(decode(argv[i]));
  std::ios::sync_with_stdio(false);
  return pairly_score::Main(arguments, std::cin, std::cout, std::cerr,
                            runtime::SystemTextServices());
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
