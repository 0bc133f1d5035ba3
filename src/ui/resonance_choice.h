#pragma once

class QComboBox;
class QGroupBox;
class WindowHost;
struct ResonanceShape;

// The "Resonance" choice beside a Lorentzian width: Lorentzian, Breit–Wigner
// or File… (a cross-section file, whose name the item then shows). Choosing
// runs chooseResonance (commands/resonance_commands.h); the choice itself
// lives in the program's state. Placed in row `row`, column 3 of the group.
QComboBox* makeResonanceChoice(QGroupBox& group, int row, WindowHost& host);

// Shows the choice in force.
void showResonance(QComboBox& choice, const ResonanceShape& shape);
