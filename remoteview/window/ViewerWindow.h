#pragma once
// The viewer's one window: shows the canvas the connection assembles, scrolls over it, draws
// the gridding lines, runs the refresh timer and carries the commands and the three settings
// dialogs. The rules live in ViewerController; this adapts them to Qt.

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <map>
#include <optional>

#include "ViewerController.h"
#include "ViewerOptions.h"

class QAction;
class QDialog;
class QScrollBar;

namespace harnvik {

inline constexpr const char* kWindowTitle = "座席桌面监控台";

class ViewerWindow : public QMainWindow, public ViewerView {
  Q_OBJECT

 public:
  explicit ViewerWindow(const ViewerOptions& options, QWidget* parent = nullptr);
  ~ViewerWindow() override;

  // Carries out a command identifier, as a command message sent to the window would.
  void Command(int id);

  [[nodiscard]] ViewerController& Controller() { return controller_; }
  [[nodiscard]] std::optional<int> QuitCode() const { return quitCode_; }
  // Called when the window posts its quit message.
  void SetQuitHook(std::function<void(int)> hook) { quitHook_ = std::move(hook); }
  // Runs a settings dialog; exec() unless a test replaces it. Returns 1 for OK.
  void SetDialogRunner(std::function<int(QDialog&)> runner) { dialogRunner_ = std::move(runner); }

  [[nodiscard]] QWidget* CanvasWidget() const;
  [[nodiscard]] const QTimer& RefreshTimer() const { return refreshTimer_; }
  [[nodiscard]] QAction* CommandAction(CommandId id) const { return actions_.at(id); }

  // ViewerView
  void StartRefreshTimer(std::chrono::milliseconds period) override;
  void StopRefreshTimer() override;
  void CommandsChanged() override;
  void Repaint() override;
  void ScrollBarsChanged() override;
  void ReadClientSize(std::int32_t& width, std::int32_t& height) override;
  void ShowMessage(const ViewerMessage& message) override;
  void PostQuit(int code) override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class Canvas;
  void ScrollAction(ScrollAxis axis, QScrollBar* bar, int action);

  ViewerController controller_;
  QTimer refreshTimer_;
  Canvas* canvas_ = nullptr;
  QScrollBar* horizontal_ = nullptr;
  QScrollBar* vertical_ = nullptr;
  std::map<CommandId, QAction*> actions_;
  std::optional<int> quitCode_;
  std::function<void(int)> quitHook_;
  std::function<int(QDialog&)> dialogRunner_;
};

}  // namespace harnvik
