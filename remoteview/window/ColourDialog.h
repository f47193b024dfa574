#pragma once
// Dialog 114, "色彩选择": 16 or 256 colours.

#include <QDialog>

#include <cstdint>

class QRadioButton;

namespace harnvik {

class ColourDialog : public QDialog {
  Q_OBJECT

 public:
  ColourDialog(std::uint16_t depth, QWidget* parent = nullptr);
  // After OK: 4 for 16 colours, 8 for 256.
  [[nodiscard]] std::uint16_t Depth() const { return depth_; }

 private:
  void Ok();

  std::uint16_t depth_;
  QRadioButton* colours256_;
  QRadioButton* colours16_;
};

}  // namespace harnvik
