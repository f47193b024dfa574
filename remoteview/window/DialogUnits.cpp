#include "DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QWidget>

namespace harnvik {
namespace {

// Dialog base units as the platform dialogs derive them: the average width of the 52 Latin
// letters in the dialog's font, and the font's height. Whatever font stands in for MS Sans
// Serif, the controls then keep their proportions to the text.
struct BaseUnits {
  int charWidth;
  int charHeight;
};

BaseUnits UnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters =
      metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return {(letters / 26 + 1) / 2, metrics.height()};
}

}  // namespace

void PlaceControl(QWidget& control, DialogRect units) {
  const BaseUnits base = UnitsOf(control.font());
  control.setGeometry(units.x * base.charWidth / 4, units.y * base.charHeight / 8,
                      units.width * base.charWidth / 4, units.height * base.charHeight / 8);
}

void SizeDialog(QWidget& dialog, int widthUnits, int heightUnits) {
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  dialog.setFont(font);
  const BaseUnits base = UnitsOf(font);
  dialog.setFixedSize(widthUnits * base.charWidth / 4, heightUnits * base.charHeight / 8);
}

}  // namespace harnvik
