#pragma once
// The settings dialogs keep their original layout, given in dialog units of an 8-point MS Sans
// Serif font: a horizontal unit is a quarter of the font's average character width (6 pixels),
// a vertical unit an eighth of its height (13 pixels).

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
