#include "files/calculation_log.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "files/atomic_file.h"
#include "files/file_error.h"
#include "files/text_numbers.h"
#include "files/windows1252.h"

std::string calculationLogText(const AutoconvolutionHeaderValues& values, std::int32_t nc,
                               std::int32_t pointCount, std::string_view logWindowText) {
  std::string text;
  text += "dE/dx: " + formatTextFileNumber(values.stoppingPower);
  text += "\tEmin: " + formatTextFileNumber(values.emin);
  text += "\tEmax: " + formatTextFileNumber(values.emax) + "\n";
  text += "Passo: " + formatTextFileNumber(values.step);
  text += "\tNc: " + std::to_string(nc);
  text += "\t\tS: " + formatTextFileNumber(values.straggling) + "\n";
  text += "Energia: " + formatTextFileNumber(values.beamEnergy);
  text += "  Npontos: " + std::to_string(pointCount) + "\n";
  text += "Comentários: \n \n \n";
  text += logWindowText;
  return text;
}

bool writeCalculationLog(const std::string& path, const AutoconvolutionHeaderValues& values,
                         std::int32_t nc, std::int32_t pointCount, std::string_view logWindowText) {
  return writeFileAtomically(
      path, utf8ToWindows1252(calculationLogText(values, nc, pointCount, logWindowText)));
}

std::string readCalculationLog(const std::string& path) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) throw FileError::cannotOpen(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError::cannotOpen(path);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

  std::string text = windows1252ToUtf8(bytes);
  std::string::size_type out = 0;
  for (std::string::size_type at = 0; at < text.size(); ++at) {
    if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') continue;
    text[out++] = text[at];
  }
  text.resize(out);
  return text;
}
