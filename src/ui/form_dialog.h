#pragma once

class QDialog;
class QDialogButtonBox;
class QFormLayout;

// Lays out a small calculator dialog: its form above OK and Cancel (named so).
// Cancel rejects; the caller decides what OK does.
QDialogButtonBox* layOutFormDialog(QDialog& dialog, QFormLayout* form);
