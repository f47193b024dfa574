#include "ViewerWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QImage>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>

#include <cstdio>

#include "ColourDialog.h"
#include "CompressionDialog.h"
#include "GridDialog.h"

namespace harnvik {

// The client area: the canvas copied in one block at the scroll offsets, with the gridding
// lines over it. Black until the first image.
class ViewerWindow::Canvas : public QWidget {
 public:
  Canvas(ViewerController& controller, QWidget* parent) : QWidget(parent), controller_(controller) {
    setObjectName("canvas");
    // Every pixel is painted, so nothing is erased first (no flicker).
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(1, 1);
  }

 protected:
  void resizeEvent(QResizeEvent*) override { controller_.Resized(); }

  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!controller_.ImagePresent()) return;
    const ScreenCanvas& canvas = controller_.Connection().Canvas();
    const ScrollState& scroll = controller_.ScrollPosition();
    const int dx = -scroll.Offset(ScrollAxis::kHorizontal);
    const int dy = -scroll.Offset(ScrollAxis::kVertical);
    const QImage image(reinterpret_cast<const uchar*>(canvas.Pixels().data()), canvas.Width(),
                       canvas.Height(), canvas.Width() * 4, QImage::Format_RGB32);
    painter.drawImage(dx, dy, image);
    const GridChoice grid = controller_.Grid();
    if (!grid.showColumnLines && !grid.showRowLines) return;
    painter.setPen(QPen(Qt::black, 1));
    for (const GridCell& cell : controller_.Connection().Grid().Cells()) {
      // Each cell's left edge and top edge; the last column's right edge and the last row's
      // bottom edge are not drawn.
      if (grid.showColumnLines) {
        painter.drawLine(cell.x0 + dx, cell.y0 + dy, cell.x0 + dx, cell.y1 + dy);
      }
      if (grid.showRowLines) {
        painter.drawLine(cell.x0 + dx, cell.y0 + dy, cell.x1 + dx, cell.y0 + dy);
      }
    }
  }

 private:
  ViewerController& controller_;
};

ViewerWindow::ViewerWindow(const ViewerOptions& options, QWidget* parent)
    : QMainWindow(parent), controller_(options.connection, options.settings, *this) {
  setObjectName("ClientWindow");
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  resize(640, 480);
  move(0, 0);

  auto* client = new QWidget(this);
  auto* layout = new QGridLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  canvas_ = new Canvas(controller_, client);
  horizontal_ = new QScrollBar(Qt::Horizontal, client);
  horizontal_->setObjectName("horizontalScrollBar");
  vertical_ = new QScrollBar(Qt::Vertical, client);
  vertical_->setObjectName("verticalScrollBar");
  for (QScrollBar* bar : {horizontal_, vertical_}) bar->setRange(0, 0);
  layout->addWidget(canvas_, 0, 0);
  layout->addWidget(vertical_, 0, 1);
  layout->addWidget(horizontal_, 1, 0);
  setCentralWidget(client);
  connect(horizontal_, &QScrollBar::actionTriggered, this,
          [this](int action) { ScrollAction(ScrollAxis::kHorizontal, horizontal_, action); });
  connect(vertical_, &QScrollBar::actionTriggered, this,
          [this](int action) { ScrollAction(ScrollAxis::kVertical, vertical_, action); });

  // Menu 106: "功能" with disconnect and exit; the other commands exist as actions of the
  // window (for command messages and tests) but are not on the menu.
  QMenu* menu = menuBar()->addMenu(QString::fromUtf8("功能"));
  menu->setObjectName("106");
  auto makeAction = [this](CommandId id, const char* text) {
    auto* action = new QAction(QString::fromUtf8(text), this);
    action->setObjectName(QString::number(static_cast<int>(id)));
    connect(action, &QAction::triggered, this, [this, id] { Command(static_cast<int>(id)); });
    addAction(action);
    actions_[id] = action;
    return action;
  };
  menu->addAction(makeAction(CommandId::kDisconnect, "断开连接"));
  menu->addSeparator();
  menu->addSeparator();
  menu->addAction(makeAction(CommandId::kExit, "退出"));
  makeAction(CommandId::kConnect, "Connect");
  makeAction(CommandId::kCompression, "Set Compression Level");
  makeAction(CommandId::kGrid, "Set Grid Spacing");
  makeAction(CommandId::kColour, "色彩选择");

  refreshTimer_.setObjectName("refreshTimer");
  connect(&refreshTimer_, &QTimer::timeout, this, [this] { controller_.TimerTick(); });
  dialogRunner_ = [](QDialog& dialog) { return dialog.exec() == QDialog::Accepted ? 1 : 0; };
  CommandsChanged();
}

ViewerWindow::~ViewerWindow() = default;

QWidget* ViewerWindow::CanvasWidget() const {
  return canvas_;
}

void ViewerWindow::Command(int id) {
  switch (static_cast<CommandId>(id)) {
    case CommandId::kCompression: {
      CompressionDialog dialog(controller_.Settings().mode, this);
      if (dialogRunner_(dialog) == 1) controller_.ApplyCompression(dialog.Mode());
      break;
    }
    case CommandId::kGrid: {
      GridDialog dialog(controller_.Grid(), this);
      if (dialogRunner_(dialog) == 1) controller_.ApplyGrid(dialog.Choice());
      break;
    }
    case CommandId::kColour: {
      ColourDialog dialog(controller_.Settings().colourDepth, this);
      if (dialogRunner_(dialog) == 1) controller_.ApplyColourDepth(dialog.Depth());
      break;
    }
    case CommandId::kExit:
    case CommandId::kConnect:
    case CommandId::kDisconnect:
      controller_.Command(static_cast<CommandId>(id));
      break;
    default:
      break;  // not a command of this window
  }
}

void ViewerWindow::StartRefreshTimer(std::chrono::milliseconds period) {
  refreshTimer_.start(period);
}

void ViewerWindow::StopRefreshTimer() {
  refreshTimer_.stop();
}

void ViewerWindow::CommandsChanged() {
  for (CommandId id : {CommandId::kConnect, CommandId::kDisconnect, CommandId::kColour}) {
    actions_[id]->setEnabled(controller_.CommandEnabled(id));
  }
}

void ViewerWindow::Repaint() {
  canvas_->update();
}

void ViewerWindow::ScrollBarsChanged() {
  const ScrollState& scroll = controller_.ScrollPosition();
  const QSignalBlocker blockHorizontal(horizontal_);
  const QSignalBlocker blockVertical(vertical_);
  // Qt keeps a range whose maximum is below 0 at 0..0; the offset itself may be negative.
  horizontal_->setRange(0, std::max(scroll.RangeMax(ScrollAxis::kHorizontal), 0));
  horizontal_->setPageStep(std::max(scroll.ClientWidth(), 1));
  horizontal_->setValue(scroll.Offset(ScrollAxis::kHorizontal));
  vertical_->setRange(0, std::max(scroll.RangeMax(ScrollAxis::kVertical), 0));
  vertical_->setPageStep(std::max(scroll.ClientHeight(), 1));
  vertical_->setValue(scroll.Offset(ScrollAxis::kVertical));
}

void ViewerWindow::ScrollAction(ScrollAxis axis, QScrollBar* bar, int action) {
  ScrollRequest request = ScrollRequest::kOther;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      request = ScrollRequest::kLineBack;
      break;
    case QAbstractSlider::SliderSingleStepAdd:
      request = ScrollRequest::kLineForward;
      break;
    case QAbstractSlider::SliderPageStepSub:
      request = ScrollRequest::kPageBack;
      break;
    case QAbstractSlider::SliderPageStepAdd:
      request = ScrollRequest::kPageForward;
      break;
    case QAbstractSlider::SliderMove:
      request = ScrollRequest::kThumbTrack;
      break;
    default:
      break;
  }
  const int thumb = bar->sliderPosition();
  controller_.Scroll(axis, request, thumb);
  // The offset rules decide where the thumb goes, not the scroll bar's own step sizes.
  bar->setSliderPosition(std::max(controller_.ScrollPosition().Offset(axis), 0));
}

void ViewerWindow::ReadClientSize(std::int32_t& width, std::int32_t& height) {
  width = canvas_->width();
  height = canvas_->height();
}

void ViewerWindow::ShowMessage(const ViewerMessage& message) {
  std::fprintf(stderr, "Harnvik: %s: %s\n", message.caption.c_str(), message.text.c_str());
  // Shown without a loop of its own, so control commands and the window keep running while it
  // waits to be read.
  auto* box = new QMessageBox(QMessageBox::NoIcon, QString::fromStdString(message.caption),
                              QString::fromStdString(message.text), QMessageBox::Ok, this);
  box->setObjectName("messageBox");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void ViewerWindow::PostQuit(int code) {
  if (quitCode_) return;
  quitCode_ = code;
  if (quitHook_) quitHook_(code);
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
  controller_.Destroyed();
  event->accept();
}

}  // namespace harnvik
