#include "GridDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "DialogUnits.h"
#include "GridInput.h"

namespace harnvik {

GridDialog::GridDialog(const GridChoice& choice, QWidget* parent)
    : QDialog(parent), choice_(choice) {
  setObjectName("112");
  setWindowTitle("Set Grid Spacing");
  SizeDialog(*this, 207, 61);

  auto label = [this](const char* text, DialogRect place) {
    auto* l = new QLabel(text, this);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    PlaceControl(*l, place);
  };
  auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
  auto edit = [this, digits](const char* id, std::int32_t value, DialogRect place) {
    auto* e = new QLineEdit(QString::number(value), this);
    e->setObjectName(id);
    e->setValidator(digits);
    PlaceControl(*e, place);
    return e;
  };
  auto check = [this](const char* id, const char* text, bool on, DialogRect place) {
    auto* c = new QCheckBox(text, this);
    c->setObjectName(id);
    c->setChecked(on);
    PlaceControl(*c, place);
    return c;
  };
  auto button = [this](const char* id, const char* text, DialogRect place) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(id);
    PlaceControl(*b, place);
    return b;
  };
  label("Horizontal Grids", {5, 5, 50, 8});
  columns_ = edit("1001", choice.columns, {60, 5, 40, 12});
  showColumnLines_ =
      check("1003", "Show Horizontal Gridding", choice.showColumnLines, {105, 5, 95, 10});
  label("Vertical Grids", {5, 20, 50, 8});
  rows_ = edit("1002", choice.rows, {60, 20, 40, 12});
  showRowLines_ = check("1004", "Show Vertical Gridding", choice.showRowLines, {105, 20, 87, 10});
  QPushButton* ok = button("1", "&Ok", {5, 40, 50, 14});
  ok->setDefault(true);
  QPushButton* defaults = button("3", "&Default", {80, 40, 50, 14});
  QPushButton* cancel = button("2", "&Cancel", {150, 40, 50, 14});
  connect(ok, &QPushButton::clicked, this, &GridDialog::Ok);
  connect(defaults, &QPushButton::clicked, this, &GridDialog::Defaults);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void GridDialog::Ok() {
  choice_.showColumnLines = showColumnLines_->isChecked();
  choice_.showRowLines = showRowLines_->isChecked();
  const auto counts =
      ValidateGridInput(columns_->text().toStdString(), rows_->text().toStdString());
  // An invalid entry leaves the dialog open, without a message.
  if (!counts) return;
  choice_.columns = counts->columns;
  choice_.rows = counts->rows;
  accept();
}

void GridDialog::Defaults() {
  columns_->setText(QString::number(kDefaultDialogGridCount));
  rows_->setText(QString::number(kDefaultDialogGridCount));
  showColumnLines_->setChecked(false);
  showRowLines_->setChecked(false);
}

}  // namespace harnvik
