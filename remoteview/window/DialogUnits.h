#pragma once
// The settings dialogs keep their original layout, given in dialog units: a horizontal unit is
// a quarter of the dialog font's average character width, a vertical unit an eighth of its
// height.

class QWidget;

namespace harnvik {

struct DialogRect {
  int x, y, width, height;
};

// Places a control at its dialog-unit rectangle.
void PlaceControl(QWidget& control, DialogRect units);
// Sizes a dialog to its dialog-unit size and gives it the dialogs' font.
void SizeDialog(QWidget& dialog, int widthUnits, int heightUnits);

}  // namespace harnvik
