// The hidden window: the timer through the thread's message loop, the receiving socket, and
// trace datagrams.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "InterpreterTestSupport.h"
#include "automation/AutomationError.h"
#include "frmFunc.h"
#include "msgloop/MessageLoop.h"

namespace telvinor::interpreter::testing {
namespace {

using automation::AutomationError;
using msgloop::MessageLoop;
using msgloop::RunEnd;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::int32_t ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const AutomationError& e) {
    return e.Number();
  }
  return 0;
}

TEST_F(InterpreterTest, TimerTicksRunOnTimeOutThroughTheMessageLoop) {
  Workflow w;
  w.main =
      u"Dim ticks\n"
      u"Sub OnLoad(): SetTimerInterval 1: SetTimerEnabled True: End Sub\n"
      u"Sub OnTimeOut()\n  ticks = ticks + 1\n  RaiseStatus \"tick \" & ticks\nEnd Sub\n";
  (void)Load(w);
  ASSERT_NE(interp->Window(), nullptr);
  EXPECT_EQ(interp->Window()->m_Timer.Interval(), 1000);
  MessageLoop& loop = MessageLoop::ForCurrentThread();
  events.onEvent = [&](const std::string&) { loop.Quit(); };
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(loop.RunFor(3s), RunEnd::kQuit);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms);
  EXPECT_THAT(events.Take(), ElementsAre("sRaiseStatus|tick 1"));

  // 66 seconds is beyond the timer: refused with 380, the interval stays.
  std::int16_t tooLong = 66, negative = -1;
  EXPECT_EQ(ErrorNumberOf([&] { interp->SetTimerInterval(tooLong); }), 380);
  EXPECT_EQ(ErrorNumberOf([&] { interp->SetTimerInterval(negative); }), 380);
  EXPECT_EQ(interp->Window()->m_Timer.Interval(), 1000);
  interp->SetTimerInterval(65);
  EXPECT_EQ(interp->Window()->m_Timer.Interval(), 65000);

  // 0 stops the ticks.
  interp->SetTimerInterval(1);
  interp->SetTimerInterval(0);
  EXPECT_EQ(loop.RunFor(1300ms), RunEnd::kTimedOut);
  EXPECT_THAT(events.Take(), IsEmpty());
}

// A tick whose script ends the interpreter's window (UnInit) or replaces it (Load): the
// window goes from inside its own timer's notification, and the loop carries on.
TEST_F(InterpreterTest, TickThatClosesItsOwnWindow) {
  Workflow w;
  w.main = u"Sub OnLoad(): SetTimerInterval 1: End Sub\n"
           u"Sub OnTimeOut(): RaiseStatus \"last tick\": UnInit: End Sub\n";
  (void)Load(w);
  MessageLoop& loop = MessageLoop::ForCurrentThread();
  events.onEvent = [&](const std::string&) { loop.Quit(); };
  ASSERT_EQ(loop.RunFor(3s), RunEnd::kQuit);
  EXPECT_EQ(interp->Window(), nullptr);
  EXPECT_EQ(loop.RunFor(50ms), RunEnd::kTimedOut);
  EXPECT_THAT(events.Take(), ElementsAre("sRaiseStatus|last tick"));
}

TEST_F(InterpreterTest, TimerCallsFromScriptsGoThroughTheMemberTable) {
  Workflow w;
  w.main =
      u"Sub OnLoad()\n  On Error Resume Next\n  SetTimerInterval 66\n"
      u"  Trace \"Info:\" & Err.Number & \" \" & Err.Description\n  Err.Clear\n"
      u"  SetTimerInterval 100000\n  Trace \"Info:\" & Err.Number\n"
      u"  SetTimerInterval 3: SetTimerEnabled False\nEnd Sub\n";
  EXPECT_THAT(LoadAndSkipSettings(w), ElementsAre("Info:380 Invalid property value", "Info:6"));
  EXPECT_EQ(interp->Window()->m_Timer.Interval(), 3000);
  EXPECT_FALSE(interp->Window()->m_Timer.Enabled());
}

TEST_F(InterpreterTest, TimerCallsWithoutAWindowRaiseObjectVariableNotSet) {
  EXPECT_EQ(ErrorNumberOf([&] { interp->SetTimerInterval(1); }), 91);
  EXPECT_EQ(ErrorNumberOf([&] { interp->SetTimerEnabled(true); }), 91);
  (void)Load(Workflow{});
  interp->UnInit();
  EXPECT_EQ(ErrorNumberOf([&] { interp->SetTimerInterval(1); }), 91);
}

// A datagram arriving on the receiving socket is one message; one whose error has no caller
// (a fax report without "$") becomes an "Err:" line and the window goes on receiving.
TEST_F(InterpreterTest, ReceivingSocketHandsEachDatagramToDataArrive) {
  Workflow w;
  w.main =
      u"Sub OnLoad(): End Sub\n"
      u"Sub OnFrontEndEvent(): RaiseEvents \"got\", CurrReceivedMsg: End Sub\n";
  (void)Load(w);
  ASSERT_FALSE(interp->ListenForMessages("127.0.0.1", 0));
  std::optional<msgloop::Endpoint> endpoint = interp->MessageEndpoint();
  ASSERT_TRUE(endpoint);

  MessageLoop& loop = MessageLoop::ForCurrentThread();
  msgloop::DatagramSocket sender(loop);
  ASSERT_FALSE(sender.SendTo("127.0.0.1", endpoint->port, "FAXOK"));
  ASSERT_FALSE(sender.SendTo("127.0.0.1", endpoint->port,
                             text::ToAnsi(u"<MSG EVT=\"Answer\" Who=\"坐席\"/>")));
  events.onEvent = [&](const std::string&) { loop.Quit(); };
  ASSERT_EQ(loop.RunFor(3s), RunEnd::kQuit);
  EXPECT_THAT(traces.Lines(), ElementsAre("Err:Invalid procedure call or argument"));
  EXPECT_THAT(events.Take(), ElementsAre("sRaiseEvents|got|<MSG EVT=\"Answer\" Who=\"坐席\"/>"));

  // The request outlives the window: the next Load listens again on the port it asked for.
  const std::uint16_t port = endpoint->port;
  ASSERT_FALSE(interp->ListenForMessages("127.0.0.1", port));
  interp->Load();
  ASSERT_TRUE(interp->MessageEndpoint());
  EXPECT_EQ(interp->MessageEndpoint()->port, port);
  interp->UnInit();
  EXPECT_FALSE(interp->MessageEndpoint());
}

TEST_F(InterpreterTest, ListeningOnAPortInUseFailsAndLoadTracesIt) {
  msgloop::DatagramSocket squatter(MessageLoop::ForCurrentThread());
  ASSERT_FALSE(squatter.Bind("127.0.0.1", 0));
  const std::uint16_t port = squatter.LocalEndpoint()->port;
  EXPECT_FALSE(interp->ListenForMessages("127.0.0.1", port));  // before Load: recorded only
  EXPECT_THAT(LoadAndSkipSettings(Workflow{}), ElementsAre("Err:Address already in use"));
  // Asked again now that there is a window, the error comes back at once.
  EXPECT_TRUE(interp->ListenForMessages("127.0.0.1", port));
}

TEST_F(InterpreterTest, TraceLinesAreOneDatagramEachInTheAnsiCodePageWithoutTerminator) {
  (void)Load(Workflow{});
  interp->Trace(u"Err:坐席");
  interp->Trace(u"");
  interp->Trace(u"Info:a\r\nb");
  EXPECT_THAT(traces.Datagrams(), ElementsAre("Err:\xd7\xf8\xcf\xaf", "", "Info:a\r\nb"));
}

}  // namespace
}  // namespace telvinor::interpreter::testing
