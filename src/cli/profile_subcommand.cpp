#include "cli/profile_subcommand.h"

#include <iostream>

#include "commands/command_error.h"
#include "commands/profile_edits.h"
#include "commands/profile_file_commands.h"
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

// One operation on the profile with its display constants, as the Profile
// Parameters dialog's button (or the Constants dialog) with those field texts.
void applyOperation(ProfileFile& file, ProfileParametersTexts& fields,
                    const std::string& operation) {
  const auto apply = [&file, &fields](ProfileTool tool) {
    applyProfileTool(file.profile, tool, fields, DecimalFormat{}, MemoryLimits{});
  };
  const std::string name = operation.substr(0, operation.find('='));
  if (name == "max-depth") {
    fields.maxDepth = arguments(operation, 1)[0];
    apply(ProfileTool::MaxDepth);
  } else if (name == "contamination") {
    fields.contamination = arguments(operation, 1)[0];
    apply(ProfileTool::Contamination);
  } else if (name == "add-erfc" || name == "subtract-erfc") {
    const auto values = arguments(operation, 2);
    fields.erfcMax = values[0];
    fields.erfcSigma = values[1];
    apply(name == "add-erfc" ? ProfileTool::AddErfc : ProfileTool::SubtractErfc);
  } else if (name == "line") {
    const auto values = arguments(operation, 4);
    fields.lineX1 = values[0];
    fields.lineC1 = values[1];
    fields.lineX2 = values[2];
    fields.lineC2 = values[3];
    apply(ProfileTool::Line);
  } else if (name == "smooth") {
    fields.smoothCount = arguments(operation, 1)[0];
    apply(ProfileTool::Smooth);
  } else if (name == "clear" && operation == "clear") {
    clearProfile(file.profile);
  } else if (name == "constants") {
    const auto values = arguments(operation, 3);
    if (!readConstantsFields({values[0], values[1], values[2]}, DecimalFormat{}, file.constants)) {
      // Said as the dialog says it; the run stops without another word.
      std::cerr << kZeroMultiplierMessage << '\n';
      throw CommandError("");
    }
  } else {
    throw std::invalid_argument("Unknown operation '" + operation + "'.");
  }
}

}  // namespace

int runProfileSubcommand(const ProfileOptions& options) {
  ProfileFile file;
  try {
    file = options.in.empty() ? startProfile() : readProfileAsLoaded(options.in);
    ProfileParametersTexts fields;
    for (const std::string& operation : options.operations) applyOperation(file, fields, operation);
  } catch (const std::invalid_argument& error) {
    std::cerr << error.what() << '\n';
    return 2;
  } catch (const std::exception& error) {
    if (*error.what() != '\0') std::cerr << error.what() << '\n';
    return 1;
  }
  try {
    saveProfileFile(options.out, file.profile, file.constants);
    if (!options.text.empty() &&
        !writeFileAtomically(options.text,
                             depthProfileText(file.profile, options.includeContamination))) {
      throw CommandError("Cannot create file " + options.text);
    }
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
