#pragma once

#include "commands/command_context.h"

// Redraws the current profile's series on the Draw Profile chart
// (PlotProfileExecute); a profile above the concentration axis raises it.
void plotProfile(CommandContext& context);
// Redraws the reference profile's series (PlotRefProfExecute).
void plotReferenceProfile(CommandContext& context);

// "Clear band": the profile's band and the curve's leave both charts. Every
// change of the current profile but the one that made the band clears them
// too, as they no longer belong to it.
void clearBand(CommandContext& context);

// The Draw Profile chart's concentration axis follows its profile and band
// (concentrationAxisFor), as a fitted or free-form profile is drawn.
void followProfileWithConcentrationAxis(CommandContext& context);

// One mouse move over the profile chart, the position already converted to
// depth (ug/cm2) and concentration through the chart's axes. With the left
// button held and the pen armed, the segment from the last position is drawn.
// Zoom mode and Shift draw nothing and keep the last position.
void profileMouseMove(CommandContext& context, double depth, double concentration,
                      bool leftButtonHeld, bool shiftHeld);

// Copies the undo profile back (both windows' Undo); right after a fit or a
// free-form profile also the constants and the concentration axis it replaced.
void undoProfile(CommandContext& context);
// Asks "Clear current profile?"; on Yes zeroes the current profile, the main
// window's variant saving it for Undo first. Redraws either way.
void clearProfileFromMainWindow(CommandContext& context);
void clearProfileFromDrawWindow(CommandContext& context);
void setReferenceProfile(CommandContext& context);
// Empties the reference series only; the reference profile itself stays.
void clearReferenceCurve(CommandContext& context);
// Fills the Profile Parameters dialog from the current profile and shows it;
// the Draw Profile window's variant also fills the two widths.
void openProfileOptions(CommandContext& context, bool fromDrawWindow);
