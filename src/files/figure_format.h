#pragma once

#include <optional>
#include <string>
#include <string_view>

// The kinds of figure file a chart is written as.
enum class FigureFormat { Png, Jpeg, Bmp, Pdf, Svg };

// The format the name's extension asks for (".png", ".jpg"/".jpeg", ".bmp",
// ".pdf", ".svg", in any letter case); nothing for any other name, which no
// figure is written to rather than one whose contents contradict its name.
std::optional<FigureFormat> figureFormatOf(std::string_view path);

// As figureFormatOf, but a name without a figure extension throws FileError
// "Cannot create file PATH: a figure is written as .png, .jpg, .bmp, .pdf or .svg."
FigureFormat requireFigureFormat(const std::string& path);
