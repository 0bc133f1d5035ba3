#pragma once

#include <optional>
#include <string>

#include "files/sample_model_file.h"

// The model file of `fit` or `invert` (`command`), and whether --autos and
// --data were given beside it: a model that lists its measurements names their files itself
// and takes neither --autos nor --data; any other model needs both. Reads
// the model; on a fault says so on standard error and gives the exit status
// (1 for a model that cannot be used, 2 for a usage error) in place of it.
struct ModelArguments {
  std::optional<SampleModelDocument> document;
  int exitStatus = 0;
  bool joint() const { return document && !document->measurements.empty(); }
};
ModelArguments readModelArguments(const std::string& command, const std::string& modelFile,
                                  bool autosGiven, bool dataGiven);
