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
// A profile with its display constants (read or made in memory) as Load
// takes it.
void adoptProfile(CommandContext& context, ProfileFile file);

FileDialogRequest profileSaveDialog(const std::string& proposedName);
FileDialogRequest profileOpenDialog(const std::string& proposedName);
