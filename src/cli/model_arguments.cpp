#include "cli/model_arguments.h"

#include <iostream>

ModelArguments readModelArguments(const std::string& command, const std::string& modelFile,
                                  bool filesGiven, bool filesComplete) {
  ModelArguments arguments;
  try {
    arguments.document = readSampleModelDocument(modelFile);
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    arguments.exitStatus = 1;
    return arguments;
  }
  if (arguments.joint() && filesGiven) {
    std::cerr << "The model lists its measurements, with their autoconvolutions and data: "
                 "leave out --autos and --data.\n";
    arguments.exitStatus = 2;
  } else if (!arguments.joint() && !filesComplete) {
    std::cerr << command
              << " needs --autos and --data, unless the model lists its \"measurements\".\n";
    arguments.exitStatus = 2;
  }
  return arguments;
}
