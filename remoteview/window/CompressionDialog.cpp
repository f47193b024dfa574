#include "CompressionDialog.h"

#include <QPushButton>
#include <QRadioButton>

#include "DialogUnits.h"

namespace harnvik {
namespace {

constexpr DialogRect kModePlaces[] = {
    {5, 5, 120, 10}, {5, 15, 118, 10}, {5, 25, 118, 10}, {5, 35, 118, 10}, {5, 45, 120, 10}};

}  // namespace

CompressionDialog::CompressionDialog(CompressionMode mode, QWidget* parent)
    : QDialog(parent), mode_(mode) {
  setObjectName("113");
  setWindowTitle("Set Compression Level");
  SizeDialog(*this, 172, 103);

  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("2");
  PlaceControl(*cancel, {5, 60, 50, 14});
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("1");
  ok->setDefault(true);
  PlaceControl(*ok, {75, 60, 50, 14});
  for (std::size_t i = 0; i < kCompressionModes.size(); ++i) {
    const CompressionModeInfo& info = kCompressionModes[i];
    buttons_[i] = new QRadioButton(QString::fromUtf8(info.name.data(), info.name.size()), this);
    buttons_[i]->setObjectName(QString::number(info.dialogControlId));
    PlaceControl(*buttons_[i], kModePlaces[i]);
    // A mode that is none of the five selects no button.
    buttons_[i]->setChecked(info.mode == mode);
  }
  connect(ok, &QPushButton::clicked, this, &CompressionDialog::Ok);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CompressionDialog::Ok() {
  for (std::size_t i = 0; i < kCompressionModes.size(); ++i) {
    if (buttons_[i]->isChecked()) {
      mode_ = kCompressionModes[i].mode;
      break;
    }
  }
  accept();
}

}  // namespace harnvik
