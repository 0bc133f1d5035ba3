#include "files/file_names.h"

namespace {

// Windows paths may use either separator; elsewhere a backslash is an ordinary
// character of a file name.
#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
#else
constexpr std::string_view kSeparators = "/";
#endif

}  // namespace

std::string replaceExtension(std::string_view path, std::string_view newExtension) {
  const std::size_t lastSeparator = path.find_last_of(kSeparators);
  const std::size_t nameStart = lastSeparator == std::string_view::npos ? 0 : lastSeparator + 1;
  const std::size_t dot = path.rfind('.');
  std::string result(
      path.substr(0, dot != std::string_view::npos && dot >= nameStart ? dot : path.size()));
  result += newExtension;
  return result;
}
