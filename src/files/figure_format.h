#pragma once

#include <optional>
#include <string_view>

// The kinds of figure file a chart is written as.
enum class FigureFormat { Png, Jpeg, Bmp, Pdf, Svg };

// The format the name's extension asks for (".png", ".jpg"/".jpeg", ".bmp",
// ".pdf", ".svg", in any letter case); nothing for any other name, which no
// figure is written to rather than one whose contents contradict its name.
std::optional<FigureFormat> figureFormatOf(std::string_view path);

// The extensions a figure may have, as the messages list them.
inline constexpr std::string_view kFigureExtensions = ".png, .jpg, .bmp, .pdf or .svg";
