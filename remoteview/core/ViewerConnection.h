#pragma once
// The viewer's side of its connection to a screen server: one TCP stream of short text requests
// and replies, and compressed blocks that fill the cells of a grid, first whole and then as
// 32-bit differences. Runs on the main thread; nothing the server sends may crash, corrupt or
// hang it: a reply that breaks the protocol is reported, the connection is closed and the last
// good picture stays.
//
// Sequences (viewer's texts in quotes, server's in angle brackets):
//   connection      "RESOLUTION" <width> "OK" <height> "OK" grid compression [colour] update
//   update          "REFRESH" <count> "OK", then per block <header> "OK" <data> "OK"
//   reconfiguration compression | colour | nothing, then grid, then a full update
//   end             "DISCONNECT"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "BlockHeader.h"
#include "CellGrid.h"
#include "CompressionMode.h"
#include "ProtocolFault.h"
#include "ScreenCanvas.h"
#include "StreamSocket.h"

namespace harnvik {

inline constexpr std::uint16_t kDefaultServerPort = 5150;
// The server's colour depth until told otherwise.
inline constexpr std::uint16_t kServerDefaultColourDepth = 4;
// Each block costs a round trip; a count beyond this is no screen update.
inline constexpr std::int64_t kMaxBlocksPerUpdate = 65536;
// The longest text reply: one receive call of at most this many bytes is the whole message.
inline constexpr std::size_t kReplyBytes = 80;

struct ViewerSettings {
  CompressionMode mode = kDefaultCompressionMode;
  std::int32_t columns = 8;
  std::int32_t rows = 4;
  std::uint16_t colourDepth = 4;  // 4 (16 colours) or 8 (256 colours) bits a pixel
};

struct ConnectionOptions {
  std::uint16_t serverPort = kDefaultServerPort;
  std::chrono::milliseconds connectTimeout{5000};
  // A server that sends nothing for this long in the middle of an exchange is given up on.
  std::chrono::milliseconds receiveTimeout{10000};
};

struct ViewerMessage {
  std::string text;
  std::string caption;
};
using MessageSink = std::function<void(const ViewerMessage&)>;

enum class UpdateKind : std::uint8_t { kIncremental, kFull };

enum class UpdateOutcome : std::uint8_t {
  kUpdated,  // blocks arrived and the canvas shows them
  kNothing,  // the server had no block for this update
  kSkipped,  // not connected, or an update is already running
  kRefused,  // the server broke the protocol or the link failed: now disconnected
};

class ViewerConnection {
 public:
  ViewerConnection(ConnectionOptions options, MessageSink sink);

  [[nodiscard]] ViewerSettings& Settings() { return settings_; }
  [[nodiscard]] const ViewerSettings& Settings() const { return settings_; }

  // Connects to the server at a dotted IPv4 address, exchanges resolution, grid and
  // compression mode and runs a full update. Returns 0 on success, 1 on failure (reported
  // through the message sink, except where the socket cannot even be made). A connection that
  // is already open is closed first.
  [[nodiscard]] int ConnectToServer(std::string_view address);

  // Frees every cell, sends the grid message and builds the new cell list. False when the
  // message could not be sent (now disconnected).
  [[nodiscard]] bool SetGrid();

  // One update: the server sends whole cells for the first "REFRESH" after a grid message and
  // differences afterwards; `kind` says which the caller expects.
  [[nodiscard]] UpdateOutcome RefreshScreen(UpdateKind kind);

  // The settings commands: store the new value and, while connected, run the reconfiguration
  // sequence. A grid change that changes neither count sends nothing.
  [[nodiscard]] UpdateOutcome ChangeCompression(CompressionMode mode);
  [[nodiscard]] UpdateOutcome ChangeGrid(std::int32_t columns, std::int32_t rows);
  [[nodiscard]] UpdateOutcome ChangeColourDepth(std::uint16_t depth);

  // Sends "DISCONNECT" and closes the socket. Cells and the canvas stay, so the last picture
  // remains on screen.
  void Disconnect();

  [[nodiscard]] bool Connected() const { return connected_; }
  [[nodiscard]] bool ImagePresent() const { return imagePresent_; }
  [[nodiscard]] std::int32_t RemoteWidth() const { return remoteWidth_; }
  [[nodiscard]] std::int32_t RemoteHeight() const { return remoteHeight_; }
  [[nodiscard]] const CellGrid& Grid() const { return grid_; }
  [[nodiscard]] const ScreenCanvas& Canvas() const { return canvas_; }

 private:
  enum class ReceiveStatus : std::uint8_t { kComplete, kFailed };

  [[nodiscard]] bool SendText(std::string_view text);
  [[nodiscard]] std::optional<std::string> ReceiveText();
  [[nodiscard]] ReceiveStatus ReceiveExact(std::span<std::uint8_t> buffer);
  [[nodiscard]] bool SendFormatted(const char* format, std::int32_t a, std::int32_t b = 0);

  [[nodiscard]] UpdateOutcome RunUpdate(UpdateKind kind);
  [[nodiscard]] bool ReceiveBlock(UpdateKind kind, std::size_t& cursor, std::vector<bool>& touched);
  [[nodiscard]] bool FinishUpdate(UpdateKind kind, const std::vector<bool>& touched);

  // Reports the fault, disconnects and returns kRefused.
  UpdateOutcome Refuse(ProtocolFault fault, std::string_view detail = {}, int number = 0);
  void Show(std::string text, std::string_view caption);

  ConnectionOptions options_;
  MessageSink sink_;
  ViewerSettings settings_;
  StreamSocket socket_;
  bool connected_ = false;
  bool updateInProgress_ = false;
  bool imagePresent_ = false;
  std::int32_t remoteWidth_ = 0;
  std::int32_t remoteHeight_ = 0;
  std::optional<BlockHeader> previousHeader_;
  CellGrid grid_;
  ScreenCanvas canvas_;
  std::vector<std::uint8_t> blockBuffer_;
  std::vector<std::uint8_t> scratch_;
};

}  // namespace harnvik
