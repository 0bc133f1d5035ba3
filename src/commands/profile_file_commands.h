#pragma once

#include <string>

#include "commands/command_context.h"
#include "files/profile_file.h"

// "Save" of the profile menus: asks for a .pro name and writes the current
// profile with the display constants.
void saveProfile(CommandContext& context);
// "Load": asks for a .pro file, replaces the current profile and the display
// constants, then redraws the profile (also after a cancel).
void loadProfile(CommandContext& context);
// "Load Reference": as Load, into the reference profile; the constants stay.
void loadReferenceProfile(CommandContext& context);

// The file parts of the above, for a chosen path.
void writeProfileTo(CommandContext& context, const std::string& path);
void loadProfileFrom(CommandContext& context, const std::string& path, bool asReference);
// The file as Load reads it, with its checks and messages (FileError), and
// the start-up profile with the start-up constants.
ProfileFile readProfileAsLoaded(const std::string& path, const MemoryLimits& memory = {});
ProfileFile startProfile();
// Writes the .pro file as Save does; CommandError when it cannot be created.
void saveProfileFile(const std::string& path, const DepthProfile& profile,
                     const DisplayConstantsValues& constants);
// A profile with its display constants (read or made in memory) as Load
// takes it.
void adoptProfile(CommandContext& context, ProfileFile file);

FileDialogRequest profileSaveDialog(const std::string& proposedName);
FileDialogRequest profileOpenDialog(const std::string& proposedName);
