#include "cli/model_arguments.h"

#include <iostream>

#include "commands/script_runs.h"

ModelArguments readModelArguments(const std::string& command, const std::string& modelFile,
                                  bool autosGiven, bool dataGiven) {
  ModelArguments arguments;
  try {
    arguments.document = readSampleModelDocument(modelFile);
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    arguments.exitStatus = 1;
    return arguments;
  }
  if (const std::optional<std::string> fault =
          scriptFilesFault(command, *arguments.document, autosGiven || dataGiven,
                           autosGiven && dataGiven)) {
    std::cerr << *fault << '\n';
    arguments.exitStatus = 2;
  }
  return arguments;
}
