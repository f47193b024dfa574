#include "DialogUnits.h"

#include <QFont>
#include <QWidget>

namespace harnvik {
namespace {

constexpr int kCharWidth = 6;
constexpr int kCharHeight = 13;

int Horizontal(int units) {
  return units * kCharWidth / 4;
}
int Vertical(int units) {
  return units * kCharHeight / 8;
}

}  // namespace

void PlaceControl(QWidget& control, DialogRect units) {
  control.setGeometry(Horizontal(units.x), Vertical(units.y), Horizontal(units.width),
                      Vertical(units.height));
}

void SizeDialog(QWidget& dialog, int widthUnits, int heightUnits) {
  QFont font("MS Sans Serif");
  font.setPixelSize(11);
  dialog.setFont(font);
  dialog.setFixedSize(Horizontal(widthUnits), Vertical(heightUnits));
}

}  // namespace harnvik
