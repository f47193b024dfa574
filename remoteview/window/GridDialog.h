#pragma once
// Dialog 112, "Set Grid Spacing": the column and row counts (digits only, 0 to 20, not both 0)
// and whether to draw the cells' left and top edges.

#include <QDialog>

#include "ViewerController.h"

class QCheckBox;
class QLineEdit;

namespace harnvik {

class GridDialog : public QDialog {
  Q_OBJECT

 public:
  GridDialog(const GridChoice& choice, QWidget* parent = nullptr);
  [[nodiscard]] GridChoice Choice() const { return choice_; }

 private:
  void Ok();
  void Defaults();

  GridChoice choice_;
  QLineEdit* columns_;
  QLineEdit* rows_;
  QCheckBox* showColumnLines_;
  QCheckBox* showRowLines_;
};

}  // namespace harnvik
