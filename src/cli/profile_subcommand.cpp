#include "cli/profile_subcommand.h"

#include <iostream>

#include "cli/cli_session.h"
#include "commands/command_error.h"
#include "commands/constants_commands.h"
#include "commands/profile_file_commands.h"
#include "commands/profile_tools_commands.h"
#include "files/atomic_file.h"
#include "files/profile_text.h"
#include "model/profile_editing.h"

namespace {

// "name=a,b,c" -> the texts a, b, c; exactly `count` of them or a usage error.
std::vector<std::string> arguments(const std::string& operation, std::size_t count) {
  const std::size_t equals = operation.find('=');
  std::vector<std::string> values;
  if (equals != std::string::npos) {
    std::string rest = operation.substr(equals + 1);
    std::size_t start = 0;
    while (true) {
      const std::size_t comma = rest.find(',', start);
      values.push_back(rest.substr(start, comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  if (values.size() != count) {
    throw std::invalid_argument("The operation '" + operation + "' takes " + std::to_string(count) +
                                " value" + (count == 1 ? "" : "s") + ".");
  }
  return values;
}

void applyOperation(CliSession& session, const std::string& operation) {
  CommandContext& context = session.context;
  ProfileParametersTexts& fields = session.texts.profileParameters;
  const std::string name = operation.substr(0, operation.find('='));
  if (name == "max-depth") {
    fields.maxDepth = arguments(operation, 1)[0];
    applyMaxDepthField(context);
  } else if (name == "contamination") {
    fields.contamination = arguments(operation, 1)[0];
    applyContaminationField(context);
  } else if (name == "add-erfc" || name == "subtract-erfc") {
    const auto values = arguments(operation, 2);
    fields.erfcMax = values[0];
    fields.erfcSigma = values[1];
    name == "add-erfc" ? addErfcButton(context) : subtractErfcButton(context);
  } else if (name == "line") {
    const auto values = arguments(operation, 4);
    fields.lineX1 = values[0];
    fields.lineC1 = values[1];
    fields.lineX2 = values[2];
    fields.lineC2 = values[3];
    drawLineButton(context);
  } else if (name == "smooth") {
    fields.smoothCount = arguments(operation, 1)[0];
    smoothProfileButton(context);
  } else if (name == "clear" && operation == "clear") {
    clearProfile(session.state.currentProfile);
  } else if (name == "constants") {
    const auto values = arguments(operation, 3);
    session.texts.constants = {values[0], values[1], values[2]};
    // A refused multiplier has been reported by the dialog's own message.
    if (!previewConstants(context)) throw CommandError("");
  } else {
    throw std::invalid_argument("Unknown operation '" + operation + "'.");
  }
}

}  // namespace

int runProfileSubcommand(const ProfileOptions& options) {
  CliSession session;
  try {
    if (!options.in.empty()) loadProfileFrom(session.context, options.in, false);
    for (const std::string& operation : options.operations) applyOperation(session, operation);
  } catch (const std::invalid_argument& error) {
    std::cerr << error.what() << '\n';
    return 2;
  } catch (const std::exception& error) {
    if (*error.what() != '\0') std::cerr << error.what() << '\n';
    return 1;
  }
  try {
    writeProfileTo(session.context, options.out);
    if (!options.text.empty() &&
        !writeFileAtomically(options.text, depthProfileText(session.state.currentProfile,
                                                            options.includeContamination))) {
      throw CommandError("Cannot create file " + options.text);
    }
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
