#pragma once
// Dialog 113, "Set Compression Level": one radio button per compression mode.

#include <QDialog>

#include "CompressionMode.h"

class QRadioButton;

namespace harnvik {

class CompressionDialog : public QDialog {
  Q_OBJECT

 public:
  CompressionDialog(CompressionMode mode, QWidget* parent = nullptr);
  // After OK: the first selected button, in dialog order; the opening mode if none is.
  [[nodiscard]] CompressionMode Mode() const { return mode_; }

 private:
  void Ok();

  CompressionMode mode_;
  QRadioButton* buttons_[kCompressionModes.size()] = {};
};

}  // namespace harnvik
