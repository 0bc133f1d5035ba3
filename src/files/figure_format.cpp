#include "files/figure_format.h"

#include <cctype>
#include <string>

#include "files/file_error.h"

std::optional<FigureFormat> figureFormatOf(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot)) {
    return std::nullopt;
  }
  std::string extension(path.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "png") return FigureFormat::Png;
  if (extension == "jpg" || extension == "jpeg") return FigureFormat::Jpeg;
  if (extension == "bmp") return FigureFormat::Bmp;
  if (extension == "pdf") return FigureFormat::Pdf;
  if (extension == "svg") return FigureFormat::Svg;
  return std::nullopt;
}

FigureFormat requireFigureFormat(const std::string& path) {
  const std::optional<FigureFormat> format = figureFormatOf(path);
  if (!format) {
    throw FileError("Cannot create file " + path +
                    ": a figure is written as .png, .jpg, .bmp, .pdf or .svg.");
  }
  return *format;
}
