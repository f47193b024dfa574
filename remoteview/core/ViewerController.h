#pragma once
// The window's behaviour without the window: the start and stop routines the control channel
// calls, the commands, the refresh timer, the settings changes and the scroll position. The Qt
// window is a thin adapter over this, so the rules are checked without a display.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "MainLoop.h"
#include "ScrollState.h"
#include "ViewerConnection.h"

namespace harnvik {

// Command identifiers; the menu carries only disconnect and exit, the others arrive as commands
// sent to the window.
enum class CommandId : int {
  kExit = 40001,
  kConnect = 40002,
  kDisconnect = 40004,
  kCompression = 40005,
  kGrid = 40006,
  kColour = 40008,
};

// Not 400: the period the refresh timer has always had.
inline constexpr std::chrono::milliseconds kRefreshPeriod{398};
// The connect routine's copy of the address holds at most this many characters.
inline constexpr std::size_t kConnectBufferChars = 254;

// What the controller needs from the window.
class ViewerView {
 public:
  virtual ~ViewerView() = default;
  virtual void StartRefreshTimer(std::chrono::milliseconds period) = 0;
  virtual void StopRefreshTimer() = 0;
  virtual void CommandsChanged() = 0;  // enabling of 40002, 40004, 40008
  virtual void Repaint() = 0;          // invalidate without erasing
  virtual void ScrollBarsChanged() = 0;
  virtual void ReadClientSize(std::int32_t& width, std::int32_t& height) = 0;
  virtual void ShowMessage(const ViewerMessage& message) = 0;
  virtual void PostQuit(int code) = 0;
};

struct GridChoice {
  std::int32_t columns = 8;
  std::int32_t rows = 4;
  bool showColumnLines = false;  // "Show Horizontal Gridding": each cell's left edge
  bool showRowLines = false;     // "Show Vertical Gridding": each cell's top edge
};

class ViewerController : public ControlTarget {
 public:
  ViewerController(ConnectionOptions options, ViewerSettings settings, ViewerView& view);

  // Start routine: closes a connection that is open, then connects to `address`.
  void StartCommand(std::string_view address) override;
  // Stop routine: disconnects if connected; the picture stays.
  void StopCommand() override;

  // Carries out a command identifier; the dialog commands are the window's (they need its
  // dialogs) and are ignored here.
  void Command(CommandId id);
  void Destroyed();  // the window is going away
  void TimerTick();  // refresh timer: an incremental update while connected
  void Resized();    // the client area changed

  // The settings dialogs' results after OK.
  void ApplyCompression(CompressionMode mode);
  void ApplyGrid(const GridChoice& choice);
  void ApplyColourDepth(std::uint16_t depth);

  void Scroll(ScrollAxis axis, ScrollRequest request, std::int32_t thumbPosition);

  [[nodiscard]] bool CommandEnabled(CommandId id) const;
  [[nodiscard]] bool Connected() const { return connection_.Connected(); }
  [[nodiscard]] bool ImagePresent() const { return connection_.ImagePresent(); }
  [[nodiscard]] const ViewerConnection& Connection() const { return connection_; }
  [[nodiscard]] const ViewerSettings& Settings() const { return connection_.Settings(); }
  [[nodiscard]] const ScrollState& ScrollPosition() const { return scroll_; }
  [[nodiscard]] GridChoice Grid() const;
  [[nodiscard]] const std::string& LastAddress() const { return connectAddress_; }
  [[nodiscard]] bool TimerRunning() const { return timerRunning_; }

 private:
  enum class Enabling : std::uint8_t { kDisconnected, kConnected };
  void SetEnabling(Enabling enabling);
  void StartTimer();
  void StopTimer();
  void UpdateScrollRanges();
  // After a settings change or refresh: picks up a connection the server broke.
  void AfterUpdate(UpdateOutcome outcome);

  ViewerView& view_;
  ViewerConnection connection_;
  ScrollState scroll_;
  std::string connectAddress_;
  bool showColumnLines_ = false;
  bool showRowLines_ = false;
  bool timerRunning_ = false;
  bool connectEnabled_ = true;
  bool disconnectEnabled_ = false;
  bool colourEnabled_ = false;
};

}  // namespace harnvik
