#pragma once

#include "commands/command_context.h"
#include "fit/sample_model.h"

// The Fit window's table and fields (FitTexts) and the sample model they
// stand for, both ways.

// The texts as a sample model; a field that is not a number throws
// CommandError naming it ("layer1.to: '0,4x' is not ..."). A free width
// (interface or broadening) is never let below 0, whatever its Min says.
SampleModel sampleModelFromTexts(const FitTexts& texts, DecimalFormat decimal);
// The model into the fields and the table; results and warnings are cleared.
void showSampleModel(FitTexts& texts, const SampleModel& model, DecimalFormat decimal);

// The window's table as a model, with the program's resonance (the line
// shape Calculate draws). The checked one refuses (FitError) a model the
// fitting core would refuse, with the one model check's sentence: Apply and
// the jobs that start from the table take it alike.
SampleModel tableSampleModel(const CommandContext& context);
SampleModel checkedTableSampleModel(const CommandContext& context);

// A start model from the current profile. A layer stands wherever the
// concentration lies at or above half the profile's maximum, from the depth
// where it rises through that level to the depth where it falls through it
// again (interpolated between points), with the mean concentration between
// them. Grid, contamination, display constants, widths and Convolve come from
// the program. Throws CommandError when the profile is empty.
SampleModel proposeSampleModel(const CommandContext& context);
// The program's grid and constants with one layer from 0.5 to 1.5 ug/cm2.
SampleModel oneLayerSampleModel(const CommandContext& context);

// What a parameter of this kind counts in, as the Fit window's Unit column
// says it: depths and interface widths in ug/cm2 of the target, a
// concentration relative to the profile's scale, the Gaussian width as twice
// the beam's spread sigma.
std::string parameterUnit(ParameterKind kind);

// A layer's five rows after the last layer, starting where it ends; and the
// rows of layer `layer` (from 0) removed, the last layer's when out of range.
// The rows after them are renamed.
void appendLayerRows(FitTexts& texts, DecimalFormat decimal);
void eraseLayerRows(FitTexts& texts, int layer);
