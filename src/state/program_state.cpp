#include "state/program_state.h"

void ProgramState::applyMainWindowStartValues() {
  parameterBlock.multiplier = 1.0;
  parameterBlock.includeContamination = false;
  parameterBlock.lorentzianWidth = 100.0;
  parameterBlock.gaussianWidth = 100.0;
}

ParameterBlock ProgramState::zeroBlock() {
  ParameterBlock block;
  block.gaussianWidth = 0.0;
  block.lorentzianWidth = 0.0;
  block.multiplier = 0.0;
  return block;
}
