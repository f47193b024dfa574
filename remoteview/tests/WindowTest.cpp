// The Qt window and its dialogs, offscreen: title, menu, command enabling, the dialogs' rules,
// the connected window's picture against the served one, scrolling, and the whole program
// driven by control datagrams.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "ColourDialog.h"
#include "CompressionDialog.h"
#include "GridDialog.h"
#include "Strund4Communication.h"
#include "TestSupport.h"
#include "ViewerWindow.h"

// Fontconfig, under Qt's font handling, keeps caches for the life of the process on purpose;
// they are no leak of the viewer's.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n";
}

namespace harnvik {
namespace {

using screenserver::ColourDepth;

class Window : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QApplication::instance() == nullptr) {
      qputenv("QT_QPA_PLATFORM",
              qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
      static int argc = 1;
      static char name[] = "harnvik_window_tests";
      static char* argv[] = {name, nullptr};
      new QApplication(argc, argv);
    }
  }

  static ViewerOptions Options(std::uint16_t serverPort) {
    ViewerOptions options;
    options.connection = testing::TestConnectionOptions(serverPort);
    return options;
  }

  // Lets the window paint and deliver what is pending.
  static void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
  }

  static QImage Grab(ViewerWindow& window) {
    Settle();
    return window.CanvasWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }

  // Pixels of the grab that differ from the canvas the viewer should show, shifted by the
  // scroll offsets; outside the picture the window is black.
  static int Mismatches(const QImage& grab, const std::vector<std::uint32_t>& expected, int width,
                        int height, int dx = 0, int dy = 0) {
    int wrong = 0;
    for (int y = 0; y < grab.height(); ++y) {
      for (int x = 0; x < grab.width(); ++x) {
        const int cx = x + dx;
        const int cy = y + dy;
        const std::uint32_t want = (cx >= 0 && cy >= 0 && cx < width && cy < height)
                                       ? expected[static_cast<std::size_t>(cy) * width + cx]
                                       : kCanvasBlack;
        wrong += grab.pixel(x, y) != want;
      }
    }
    return wrong;
  }
};

TEST_F(Window, TitleMenuAndStateBeforeTheFirstImage) {
  ViewerWindow window(Options(1));
  window.show();
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("座席桌面监控台"));
  EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(0, 0));
  EXPECT_EQ(window.size(), QSize(640, 480));
  const QList<QMenu*> menus = window.menuBar()->findChildren<QMenu*>();
  ASSERT_EQ(menus.size(), 1);
  EXPECT_EQ(menus[0]->title(), QString::fromUtf8("功能"));
  const QList<QAction*> items = menus[0]->actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0]->objectName(), "40004");
  EXPECT_EQ(items[0]->text(), QString::fromUtf8("断开连接"));
  EXPECT_TRUE(items[1]->isSeparator());
  EXPECT_TRUE(items[2]->isSeparator());
  EXPECT_EQ(items[3]->objectName(), "40001");
  EXPECT_EQ(items[3]->text(), QString::fromUtf8("退出"));

  EXPECT_FALSE(window.CommandAction(CommandId::kDisconnect)->isEnabled());
  EXPECT_FALSE(window.CommandAction(CommandId::kColour)->isEnabled());
  EXPECT_TRUE(window.CommandAction(CommandId::kConnect)->isEnabled());
  EXPECT_FALSE(window.RefreshTimer().isActive());
  EXPECT_EQ(window.Controller().Settings().mode, CompressionMode::kHuffman);
  const QImage black = Grab(window);
  EXPECT_EQ(Mismatches(black, {}, 0, 0), 0);

  // Exit posts the quit message with code 0.
  window.CommandAction(CommandId::kExit)->trigger();
  EXPECT_EQ(window.QuitCode(), 0);
}

TEST_F(Window, CompressionDialog) {
  for (const auto& info : kCompressionModes) {
    CompressionDialog dialog(info.mode);
    EXPECT_EQ(dialog.objectName(), "113");
    EXPECT_EQ(dialog.windowTitle(), "Set Compression Level");
    auto* button = dialog.findChild<QRadioButton*>(QString::number(info.dialogControlId));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text().toStdString(), info.name);
    EXPECT_TRUE(button->isChecked());
  }
  CompressionDialog dialog(CompressionMode::kHuffman);
  dialog.findChild<QRadioButton*>("1012")->setChecked(true);
  dialog.findChild<QPushButton*>("1")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Mode(), CompressionMode::kRunLength);

  // A mode outside the five selects no button; OK with none selected keeps the mode.
  CompressionDialog none(static_cast<CompressionMode>(7));
  for (QRadioButton* b : none.findChildren<QRadioButton*>()) EXPECT_FALSE(b->isChecked());
  none.findChild<QPushButton*>("1")->click();
  EXPECT_EQ(none.Mode(), static_cast<CompressionMode>(7));

  CompressionDialog cancelled(CompressionMode::kNone);
  cancelled.findChild<QRadioButton*>("1013")->setChecked(true);
  cancelled.findChild<QPushButton*>("2")->click();
  EXPECT_EQ(cancelled.result(), QDialog::Rejected);
}

TEST_F(Window, GridDialogRules) {
  struct Case {
    const char* columns;
    const char* rows;
    bool accepted;
  };
  for (const Case& c :
       {Case{"3", "2", true}, Case{"21", "1", false}, Case{"1", "21", false}, Case{"0", "0", false},
        Case{"0", "5", true}, Case{"", "4", false}, Case{"20", "20", true}}) {
    GridDialog dialog({8, 4, false, false});
    bool accepted = false;
    QObject::connect(&dialog, &QDialog::accepted, [&] { accepted = true; });
    dialog.findChild<QLineEdit*>("1001")->setText(c.columns);
    dialog.findChild<QLineEdit*>("1002")->setText(c.rows);
    dialog.findChild<QCheckBox*>("1004")->setChecked(true);
    dialog.findChild<QPushButton*>("1")->click();
    EXPECT_EQ(accepted, c.accepted) << c.columns << " x " << c.rows;
    if (c.accepted) {
      EXPECT_EQ(dialog.Choice().columns, std::atoi(c.columns));
      EXPECT_EQ(dialog.Choice().rows, std::atoi(c.rows));
      EXPECT_TRUE(dialog.Choice().showRowLines);
    }
  }
  GridDialog dialog({8, 4, true, true});
  EXPECT_EQ(dialog.windowTitle(), "Set Grid Spacing");
  EXPECT_EQ(dialog.findChild<QLineEdit*>("1001")->text(), "8");
  EXPECT_EQ(dialog.findChild<QLineEdit*>("1002")->text(), "4");
  EXPECT_TRUE(dialog.findChild<QCheckBox*>("1003")->isChecked());
  // Digits only.
  QLineEdit* columns = dialog.findChild<QLineEdit*>("1001");
  columns->clear();
  QTest::keyClicks(columns, "1a-2");
  EXPECT_EQ(columns->text(), "12");
  // "&Default" gives 2 and 2 with both lines off, and leaves the dialog open.
  bool accepted = false;
  QObject::connect(&dialog, &QDialog::accepted, [&] { accepted = true; });
  dialog.findChild<QPushButton*>("3")->click();
  EXPECT_FALSE(accepted);
  dialog.findChild<QPushButton*>("1")->click();
  EXPECT_TRUE(accepted);
  const GridChoice choice = dialog.Choice();
  EXPECT_EQ(choice.columns, 2);
  EXPECT_EQ(choice.rows, 2);
  EXPECT_FALSE(choice.showColumnLines);
  EXPECT_FALSE(choice.showRowLines);
}

TEST_F(Window, ColourDialog) {
  ColourDialog sixteen(4);
  EXPECT_EQ(sixteen.windowTitle(), QString::fromUtf8("色彩选择"));
  EXPECT_TRUE(sixteen.findChild<QRadioButton*>("1009")->isChecked());
  EXPECT_EQ(sixteen.findChild<QRadioButton*>("1000")->text(), QString::fromUtf8("256 色"));
  EXPECT_EQ(sixteen.findChild<QPushButton*>("1")->text(), QString::fromUtf8("确定"));
  sixteen.findChild<QRadioButton*>("1000")->setChecked(true);
  sixteen.findChild<QPushButton*>("1")->click();
  EXPECT_EQ(sixteen.Depth(), 8);
  ColourDialog many(8);
  EXPECT_TRUE(many.findChild<QRadioButton*>("1000")->isChecked());
  many.findChild<QPushButton*>("2")->click();
  EXPECT_EQ(many.result(), QDialog::Rejected);
}

TEST_F(Window, TheConnectedWindowShowsTheServedPicture) {
  testing::ServedScreen served(testing::PatternFrame(300, 200, 1));
  ViewerWindow window(Options(served.Port()));
  window.show();
  window.Controller().StartCommand("127.0.0.1");
  ASSERT_TRUE(window.Controller().Connected());
  EXPECT_TRUE(window.CommandAction(CommandId::kDisconnect)->isEnabled());
  EXPECT_TRUE(window.CommandAction(CommandId::kColour)->isEnabled());
  EXPECT_FALSE(window.CommandAction(CommandId::kConnect)->isEnabled());
  const QTimer* timer = &window.RefreshTimer();
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 398);
  const auto& grid = window.Controller().Connection().Grid();
  auto expected =
      testing::ExpectedCanvas(testing::PatternFrame(300, 200, 1), grid, ColourDepth::k4Bits);
  EXPECT_EQ(Mismatches(Grab(window), expected, 300, 200), 0);

  // The gridding lines through the dialog: nothing goes to the server, the lines show.
  served.ClearTranscript();
  window.SetDialogRunner([](QDialog& dialog) {
    dialog.findChild<QCheckBox*>("1003")->setChecked(true);
    dialog.findChild<QPushButton*>("1")->click();
    return dialog.result() == QDialog::Accepted ? 1 : 0;
  });
  window.Command(static_cast<int>(CommandId::kGrid));
  EXPECT_TRUE(served.Requests().empty());
  const QImage lined = Grab(window);
  const GridCell& second = grid.Cells()[4];  // column 1, row 0
  EXPECT_EQ(lined.pixel(second.x0, 10), kCanvasBlack);
  EXPECT_NE(lined.pixel(second.x0 + 1, 10), kCanvasBlack);

  // A new grid and a new colour depth through their dialogs.
  window.SetDialogRunner([](QDialog& dialog) {
    if (auto* edit = dialog.findChild<QLineEdit*>("1001")) {
      edit->setText("3");
      dialog.findChild<QLineEdit*>("1002")->setText("2");
      dialog.findChild<QCheckBox*>("1003")->setChecked(false);
    }
    if (auto* many = dialog.findChild<QRadioButton*>("1000")) many->setChecked(true);
    dialog.findChild<QPushButton*>("1")->click();
    return dialog.result() == QDialog::Accepted ? 1 : 0;
  });
  window.Command(static_cast<int>(CommandId::kGrid));
  window.CommandAction(CommandId::kColour)->trigger();
  EXPECT_EQ(served.Requests(),
            (std::vector<std::string>{"WM_GRID;3;2;0;0;", "REFRESH", "<full 6>", "WM_CMOD;8;0;0;0;",
                                      "WM_GRID;3;2;0;0;", "REFRESH", "<full 6>"}));
  EXPECT_TRUE(timer->isActive());
  expected = testing::ExpectedCanvas(testing::PatternFrame(300, 200, 1), grid, ColourDepth::k8Bits);
  EXPECT_EQ(Mismatches(Grab(window), expected, 300, 200), 0);

  // Disconnect from the menu: the picture stays.
  window.CommandAction(CommandId::kDisconnect)->trigger();
  EXPECT_FALSE(window.Controller().Connected());
  EXPECT_FALSE(timer->isActive());
  EXPECT_FALSE(window.CommandAction(CommandId::kDisconnect)->isEnabled());
  EXPECT_TRUE(window.CommandAction(CommandId::kConnect)->isEnabled());
  EXPECT_EQ(Mismatches(Grab(window), expected, 300, 200), 0);
}

TEST_F(Window, ScrollBarsMoveOverALargerScreen) {
  testing::ServedScreen served(testing::PatternFrame(1024, 768, 2));
  ViewerWindow window(Options(served.Port()));
  window.show();
  Settle();
  window.Controller().StartCommand("127.0.0.1");
  ASSERT_TRUE(window.Controller().Connected());
  auto* vertical = window.findChild<QScrollBar*>("verticalScrollBar");
  auto* horizontal = window.findChild<QScrollBar*>("horizontalScrollBar");
  const int clientHeight = window.CanvasWidget()->height();
  EXPECT_EQ(vertical->maximum(), 768 - clientHeight);
  vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
  vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  horizontal->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(window.Controller().ScrollPosition().Offset(ScrollAxis::kVertical), 65);
  EXPECT_EQ(window.Controller().ScrollPosition().Offset(ScrollAxis::kHorizontal), 48);
  EXPECT_EQ(vertical->value(), 65);
  const auto expected =
      testing::ExpectedCanvas(testing::PatternFrame(1024, 768, 2),
                              window.Controller().Connection().Grid(), ColourDepth::k4Bits);
  EXPECT_EQ(Mismatches(Grab(window), expected, 1024, 768, 48, 65), 0);
  // "To the end" is none of the requests the window answers: the offset stays.
  vertical->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(window.Controller().ScrollPosition().Offset(ScrollAxis::kVertical), 65);
  EXPECT_EQ(vertical->value(), 65);
  // Dragging the thumb to the end, then a page further: the offset stops at the last row.
  vertical->setSliderPosition(vertical->maximum());
  vertical->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(window.Controller().ScrollPosition().Offset(ScrollAxis::kVertical), 768 - clientHeight);
}

TEST_F(Window, ABrokenServerIsReportedInAMessageBox) {
  testing::FakeServer server([](testing::FakePeer& peer) {
    if (!peer.Handshake("16", "8")) return;
    peer.Send("1");
    (void)peer.Expect(screenserver::RequestKind::kOk);
    peer.Send("1;7;7;0;100;100;");  // a cell that is not in the grid
    peer.AwaitClose();
  });
  ViewerWindow window(Options(server.Port()));
  window.show();
  window.Controller().StartCommand("127.0.0.1");
  Settle();
  EXPECT_FALSE(window.Controller().Connected());
  const auto boxes = window.findChildren<QMessageBox*>("messageBox");
  ASSERT_EQ(boxes.size(), 1);
  EXPECT_EQ(boxes[0]->windowTitle(), "Client");
  EXPECT_TRUE(boxes[0]->text().contains("not next in the grid")) << boxes[0]->text().toStdString();
  EXPECT_TRUE(window.CommandAction(CommandId::kConnect)->isEnabled());
}

// The program itself: control datagrams start and stop it, and it grabs its window at exit.
TEST_F(Window, TheProgramFollowsControlDatagrams) {
  const QString bin = HARNVIK_PROGRAM_DIR "/";
  if (!QFile::exists(bin + "Harnvik")) GTEST_SKIP() << "Harnvik not built";
  QTemporaryDir scratch;
  testing::ServedScreen served(testing::PatternFrame(320, 240, 0));
  QProcess viewer;
  const QString grab = scratch.filePath("window.png");
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  viewer.setProcessEnvironment(environment);
  viewer.start(bin + "Harnvik",
               {"--control-port", "0", "--server-port", QString::number(served.Port()), "--grid",
                "2", "2", "--colors", "8", "--mode", "12", "--grab", grab, "--quit-after", "2.5"});
  ASSERT_TRUE(viewer.waitForStarted());
  std::uint16_t port = 0;
  for (int i = 0; i < 50 && port == 0; ++i) {
    viewer.waitForReadyRead(100);
    const QString out = QString::fromUtf8(viewer.readAllStandardOutput());
    const auto at = out.indexOf("UDP port ");
    if (at >= 0) port = static_cast<std::uint16_t>(out.mid(at + 9).trimmed().toUInt());
  }
  ASSERT_NE(port, 0);
  ASSERT_EQ(Strund4Communication::SendDatagram("START:127.0.0.1", "127.0.0.1", port), 1);
  std::vector<std::string> requests;
  for (int i = 0; i < 100; ++i) {
    requests = served.Requests();
    if (std::find(requests.begin(), requests.end(), "<full 4>") != requests.end()) break;
    QTest::qWait(20);
  }
  ASSERT_GE(requests.size(), 6u);
  EXPECT_EQ(std::vector<std::string>(requests.begin(), requests.begin() + 6),
            (std::vector<std::string>{"RESOLUTION", "WM_GRID;2;2;0;0;", "WM_COMP;12;0;0;0;",
                                      "WM_CMOD;8;0;0;0;", "REFRESH", "<full 4>"}));
  QTest::qWait(900);  // a couple of refresh timer ticks
  ASSERT_EQ(Strund4Communication::SendDatagram("STOP", "127.0.0.1", port), 1);
  ASSERT_EQ(Strund4Communication::SendDatagram("<<QUIT>>", "127.0.0.1", port), 1);
  ASSERT_TRUE(viewer.waitForFinished(10000));
  EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(viewer.exitCode(), 0);
  requests = served.Requests();
  EXPECT_NE(std::find(requests.begin(), requests.end(), "<incremental 0>"), requests.end());
  EXPECT_EQ(requests.back(), "DISCONNECT");

  // The picture stayed after "STOP": the grab shows the served screen below the menu bar.
  QImage image(grab);
  ASSERT_FALSE(image.isNull());
  CellGrid grid;
  ASSERT_TRUE(grid.Build(2, 2, 320, 240));
  const auto expected =
      testing::ExpectedCanvas(testing::PatternFrame(320, 240, 0), grid, ColourDepth::k8Bits);
  int top = 0;
  while (top < image.height() && image.pixel(0, top) != expected[0]) ++top;
  ASSERT_LT(top, 60) << "picture not found in the grab";
  EXPECT_EQ(Mismatches(image.copy(0, top, 320, 240).convertToFormat(QImage::Format_RGB32), expected,
                       320, 240),
            0);
}

}  // namespace
}  // namespace harnvik
