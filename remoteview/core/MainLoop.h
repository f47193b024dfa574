#pragma once
// The program's main loop. Each pass waits at most 10 ms on the "REMOTEDESKTOP" event, takes at
// most one control message and hands it to the window's start or stop routine, then lets window
// events flow for 100 ms. Control commands keep their pace of one per pass; window events are
// not rationed to one a pass, so painting, scrolling and the refresh timer stay prompt.

#include <chrono>
#include <optional>
#include <string_view>

#include "ManualResetEvent.h"
#include "Strund4Communication.h"

namespace harnvik {

inline constexpr std::chrono::milliseconds kControlWait{10};
inline constexpr std::chrono::milliseconds kPassPause{100};

// What the control commands drive: the window's start and stop routines.
class ControlTarget {
 public:
  virtual ~ControlTarget() = default;
  virtual void StartCommand(std::string_view address) = 0;
  virtual void StopCommand() = 0;
};

// Runs the window's events for a while; returns the exit code once the window has asked to quit.
class WindowPump {
 public:
  virtual ~WindowPump() = default;
  [[nodiscard]] virtual std::optional<int> Pump(std::chrono::milliseconds period) = 0;
};

class MainLoop {
 public:
  MainLoop(Strund4Communication& channel, ManualResetEvent& event, ControlTarget& target,
           WindowPump& pump)
      : channel_(channel), event_(event), target_(target), pump_(pump) {}

  // Runs passes until the window quits; returns its exit code.
  [[nodiscard]] int Run();
  // One pass; the exit code once the window has quit.
  [[nodiscard]] std::optional<int> RunPass();
  // Takes and carries out at most one control message; true when there was one.
  bool HandleOneControlMessage();

 private:
  Strund4Communication& channel_;
  ManualResetEvent& event_;
  ControlTarget& target_;
  WindowPump& pump_;
};

}  // namespace harnvik
