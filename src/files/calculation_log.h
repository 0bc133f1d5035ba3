#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "files/autoconvolution_file.h"

// The .log beside a .flt: the header values in readable form, a comment block,
// then the Log window's text verbatim. In memory it is UTF-8; on disk it is
// Windows-1252 with "\n" line ends.
//
//   dE/dx: <sp>\tEmin: <emin>\tEmax: <emax>\n
//   Passo: <step>\tNc: <nc>\t\tS: <straggling>\n
//   Energia: <beam>  Npontos: <npontos>\n
//   Comentários: \n \n \n
//   <log window text>
std::string calculationLogText(const AutoconvolutionHeaderValues& values, std::int32_t nc,
                               std::int32_t pointCount, std::string_view logWindowText);

// Returns false when the file cannot be created; an existing file is then kept.
bool writeCalculationLog(const std::string& path, const AutoconvolutionHeaderValues& values,
                         std::int32_t nc, std::int32_t pointCount, std::string_view logWindowText);

// The whole file as UTF-8, with "\r\n" line ends turned into "\n" so that logs
// written on other systems read the same. Throws FileError "Cannot open file
// <path>" when it does not open.
std::string readCalculationLog(const std::string& path);
