#include "commands/profile_file_commands.h"

#include "commands/command_error.h"
#include "commands/profile_editor_commands.h"
#include "commands/recent_files.h"
#include "files/profile_file.h"

namespace {

constexpr const char* kProfileFilter = "Tervane profile files (*.pro)|*.pro";

}  // namespace

FileDialogRequest profileSaveDialog(const std::string& proposedName) {
  return {kProfileFilter, "pro", proposedName};
}

FileDialogRequest profileOpenDialog(const std::string& proposedName) {
  return {kProfileFilter, "pro", proposedName};
}

void saveProfile(CommandContext& context) {
  DialogNames& names = context.texts.dialogNames;
  const std::optional<std::string> path =
      context.ui.chooseFileToSave(profileSaveDialog(names.profileSave));
  if (!path) return;
  names.profileSave = *path;
  writeProfileTo(context, *path);
}

void writeProfileTo(CommandContext& context, const std::string& path) {
  const ParameterBlock& parameters = context.state.parameterBlock;
  const DisplayConstantsValues constants{parameters.background, parameters.multiplier,
                                         parameters.energyShift};
  saveProfileFile(path, context.state.currentProfile, constants);
}

void saveProfileFile(const std::string& path, const DepthProfile& profile,
                     const DisplayConstantsValues& constants) {
  if (!writeProfileFile(path, profile, constants)) throw CommandError("Cannot create file " + path);
}

void loadProfileFrom(CommandContext& context, const std::string& path, bool asReference) {
  // Read whole first: a file that cannot be read leaves profile, constants
  // and the name the dialog proposes as they were.
  ProfileFile file = readProfileAsLoaded(path, context.memory);
  context.texts.dialogNames.profileOpen = path;
  if (asReference) {
    context.state.referenceProfile = std::move(file.profile);
    return;
  }
  adoptProfile(context, std::move(file));
}

ProfileFile readProfileAsLoaded(const std::string& path, const MemoryLimits& memory) {
  return readProfileFile(path, memory.installed() / 2);
}

ProfileFile startProfile() {
  ProgramState start;
  start.applyMainWindowStartValues();
  const ParameterBlock& parameters = start.parameterBlock;
  return {std::move(start.currentProfile),
          {parameters.background, parameters.multiplier, parameters.energyShift}};
}

void adoptProfile(CommandContext& context, ProfileFile file) {
  ProgramState& state = context.state;
  state.parameterBlock.background = file.constants.background;
  state.parameterBlock.multiplier = file.constants.multiplier;
  state.parameterBlock.energyShift = file.constants.energyShift;
  state.currentProfile = std::move(file.profile);
  clearBand(context);
}

namespace {

void loadWithRedraw(CommandContext& context, bool asReference) {
  DialogNames& names = context.texts.dialogNames;
  const std::optional<std::string> path =
      context.ui.chooseFileToOpen(profileOpenDialog(names.profileOpen));
  // The profile is redrawn whatever happens, as after every load.
  struct Redraw {
    CommandContext& context;
    bool reference;
    ~Redraw() { reference ? plotReferenceProfile(context) : plotProfile(context); }
  } redraw{context, asReference};
  if (!path) return;
  loadProfileFrom(context, *path, asReference);
  if (!asReference) rememberRecentFile(context.texts.recentFiles, {RecentKind::Profile, *path});
}

}  // namespace

void loadProfile(CommandContext& context) {
  loadWithRedraw(context, false);
}

void loadReferenceProfile(CommandContext& context) {
  loadWithRedraw(context, true);
}
