#include "ColourDialog.h"

#include <QPushButton>
#include <QRadioButton>

#include "DialogUnits.h"

namespace harnvik {

ColourDialog::ColourDialog(std::uint16_t depth, QWidget* parent) : QDialog(parent), depth_(depth) {
  setObjectName("114");
  setWindowTitle(QString::fromUtf8("色彩选择"));
  SizeDialog(*this, 182, 102);

  colours256_ = new QRadioButton(QString::fromUtf8("256 色"), this);
  colours256_->setObjectName("1000");
  PlaceControl(*colours256_, {7, 38, 85, 10});
  auto* cancel = new QPushButton(QString::fromUtf8("取消"), this);
  cancel->setObjectName("2");
  PlaceControl(*cancel, {26, 81, 50, 14});
  auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
  ok->setObjectName("1");
  ok->setDefault(true);
  PlaceControl(*ok, {96, 81, 50, 14});
  colours16_ = new QRadioButton(QString::fromUtf8("16 色"), this);
  colours16_->setObjectName("1009");
  PlaceControl(*colours16_, {7, 17, 85, 10});
  (depth == 4 ? colours16_ : colours256_)->setChecked(true);

  connect(ok, &QPushButton::clicked, this, &ColourDialog::Ok);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ColourDialog::Ok() {
  if (colours16_->isChecked()) {
    depth_ = 4;
  } else if (colours256_->isChecked()) {
    depth_ = 8;
  }
  accept();
}

}  // namespace harnvik
