#include "MainLoop.h"

#include "ControlCommand.h"

namespace harnvik {

int MainLoop::Run() {
  for (;;) {
    if (const auto code = RunPass()) return *code;
  }
}

std::optional<int> MainLoop::RunPass() {
  if (event_.Wait(kControlWait)) HandleOneControlMessage();
  return pump_.Pump(kPassPause);
}

bool MainLoop::HandleOneControlMessage() {
  const auto message = channel_.PopMessage();
  if (!message) return false;
  const ControlCommand command = InterpretControlMessage(*message);
  switch (command.kind) {
    case ControlKind::kStop:
      target_.StopCommand();
      break;
    case ControlKind::kStart:
      target_.StartCommand(command.address);
      break;
    case ControlKind::kQuit:
      break;
  }
  return true;
}

}  // namespace harnvik
