#include "ViewerController.h"

namespace harnvik {

ViewerController::ViewerController(ConnectionOptions options, ViewerSettings settings,
                                   ViewerView& view)
    : view_(view),
      connection_(options, [&view](const ViewerMessage& message) { view.ShowMessage(message); }) {
  connection_.Settings() = settings;
}

void ViewerController::SetEnabling(Enabling enabling) {
  const bool connected = enabling == Enabling::kConnected;
  disconnectEnabled_ = connected;
  colourEnabled_ = connected;
  connectEnabled_ = !connected;
  view_.CommandsChanged();
}

bool ViewerController::CommandEnabled(CommandId id) const {
  switch (id) {
    case CommandId::kConnect:
      return connectEnabled_;
    case CommandId::kDisconnect:
      return disconnectEnabled_;
    case CommandId::kColour:
      return colourEnabled_;
    default:
      return true;
  }
}

void ViewerController::StartTimer() {
  view_.StartRefreshTimer(kRefreshPeriod);
  timerRunning_ = true;
}

void ViewerController::StopTimer() {
  view_.StopRefreshTimer();
  timerRunning_ = false;
}

void ViewerController::UpdateScrollRanges() {
  std::int32_t width = 0;
  std::int32_t height = 0;
  view_.ReadClientSize(width, height);
  scroll_.SetClient(width, height);
  scroll_.SetCanvas(connection_.Canvas().Width(), connection_.Canvas().Height());
  view_.ScrollBarsChanged();
}

void ViewerController::StartCommand(std::string_view address) {
  connectAddress_ = std::string(address.substr(0, kConnectBufferChars));
  // A second start while connected would otherwise leave the first connection open.
  if (connection_.Connected()) StopCommand();
  if (connection_.ConnectToServer(connectAddress_) != 0) return;
  SetEnabling(Enabling::kConnected);
  if (connection_.ImagePresent()) {
    UpdateScrollRanges();
    StartTimer();
  }
  view_.Repaint();
}

void ViewerController::StopCommand() {
  if (!connection_.Connected()) return;
  StopTimer();
  SetEnabling(Enabling::kDisconnected);
  connection_.Disconnect();
  view_.Repaint();
}

void ViewerController::Command(CommandId id) {
  switch (id) {
    case CommandId::kExit:
      if (connection_.Connected()) connection_.Disconnect();
      StopTimer();
      view_.PostQuit(0);
      break;
    case CommandId::kConnect:
      StartCommand(std::string(connectAddress_));
      break;
    case CommandId::kDisconnect:
      StopCommand();
      break;
    case CommandId::kCompression:
    case CommandId::kGrid:
    case CommandId::kColour:
      break;
  }
}

void ViewerController::Destroyed() {
  if (connection_.ImagePresent()) StopTimer();
  if (connection_.Connected()) connection_.Disconnect();
  view_.PostQuit(0);
}

void ViewerController::AfterUpdate(UpdateOutcome outcome) {
  switch (outcome) {
    case UpdateOutcome::kUpdated:
      UpdateScrollRanges();
      view_.Repaint();
      break;
    case UpdateOutcome::kRefused:
      // The connection has already been closed and the fault reported; the window follows as
      // for a stop command.
      StopTimer();
      SetEnabling(Enabling::kDisconnected);
      view_.Repaint();
      break;
    case UpdateOutcome::kNothing:
    case UpdateOutcome::kSkipped:
      break;
  }
}

void ViewerController::TimerTick() {
  if (!connection_.Connected()) return;
  AfterUpdate(connection_.RefreshScreen(UpdateKind::kIncremental));
}

void ViewerController::Resized() {
  if (!connection_.ImagePresent()) return;
  UpdateScrollRanges();
  view_.Repaint();
}

void ViewerController::ApplyCompression(CompressionMode mode) {
  if (connection_.Connected()) StopTimer();
  const UpdateOutcome outcome = connection_.ChangeCompression(mode);
  if (connection_.Connected()) StartTimer();
  AfterUpdate(outcome);
}

void ViewerController::ApplyGrid(const GridChoice& choice) {
  showColumnLines_ = choice.showColumnLines;
  showRowLines_ = choice.showRowLines;
  const ViewerSettings& settings = connection_.Settings();
  const bool countsChanged = choice.columns != settings.columns || choice.rows != settings.rows;
  const bool restart = connection_.Connected() && countsChanged;
  if (restart) StopTimer();
  const UpdateOutcome outcome = connection_.ChangeGrid(choice.columns, choice.rows);
  if (restart && connection_.Connected()) StartTimer();
  AfterUpdate(outcome);
  // Gridding lines alone are drawn at the next paint.
  view_.Repaint();
}

void ViewerController::ApplyColourDepth(std::uint16_t depth) {
  if (connection_.Connected()) StopTimer();
  const UpdateOutcome outcome = connection_.ChangeColourDepth(depth);
  if (connection_.Connected()) StartTimer();
  AfterUpdate(outcome);
}

void ViewerController::Scroll(ScrollAxis axis, ScrollRequest request, std::int32_t thumbPosition) {
  if (!connection_.ImagePresent()) return;
  scroll_.Apply(axis, request, thumbPosition);
  view_.ScrollBarsChanged();
  view_.Repaint();
}

GridChoice ViewerController::Grid() const {
  return {Settings().columns, Settings().rows, showColumnLines_, showRowLines_};
}

}  // namespace harnvik
