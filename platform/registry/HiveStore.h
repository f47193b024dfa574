#pragma once
// The hive file: where the registry lives between calls and between processes.
//
// One file in the registry editor's format (RegFile.h) at the path in TELVINOR_REGISTRY, or
// ${XDG_DATA_HOME:-$HOME/.local/share}/telvinor/registry.reg. Every call of the registry
// functions is one transaction here:
// - Read: the hive as it is now. The file is parsed again only when another process has
//   saved it since (a generation number in the lock file, and the file's identity and time).
// - Write: under an exclusive lock on "<hive>.lock" (flock), the hive is brought up to date,
//   changed, and saved whole: written to a temporary file beside it, flushed, and renamed
//   over the old one. A reader therefore sees the old hive or the new one, never a mix; two
//   writers never lose each other's changes.
// A hive that cannot be parsed is never written over: every transaction fails with Damaged
// and LastError() names the file and line (also written once to standard error).
//
// Transactions of one store are serialised by a mutex; a callback must not start another.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "registry/Hive.h"

namespace telvinor::registry {

enum class StoreStatus : std::uint8_t { Ok, Damaged, AccessDenied, IoError };
// What a Write callback did: nothing, a change to save, or a change to throw away.
enum class WriteOutcome : std::uint8_t { Unchanged, Save, Abandon };

class HiveStore {
 public:
  explicit HiveStore(std::string path);
  ~HiveStore();
  HiveStore(const HiveStore&) = delete;
  HiveStore& operator=(const HiveStore&) = delete;

  // The store of the hive the environment names now (see above), shared in the process.
  // A change of TELVINOR_REGISTRY takes effect at the next call.
  [[nodiscard]] static HiveStore& Current();
  [[nodiscard]] static std::string ConfiguredPath();

  [[nodiscard]] const std::string& Path() const noexcept { return path_; }

  [[nodiscard]] StoreStatus Read(const std::function<void(const Hive&)>& fn);
  [[nodiscard]] StoreStatus Write(const std::function<WriteOutcome(Hive&)>& fn);

  // Why the last transaction failed: "FILE:LINE: what" for a damaged hive, else the system's
  // reason with the file name. Empty after a success.
  [[nodiscard]] std::string LastError() const;

 private:
  struct Fingerprint {
    bool exists = false;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t mtimeSec = 0, mtimeNsec = 0;
    std::uint64_t generation = 0;
    friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
  };

  [[nodiscard]] StoreStatus Refresh();
  [[nodiscard]] StoreStatus Load(std::uint64_t generation);
  [[nodiscard]] StoreStatus Save();
  [[nodiscard]] bool OpenLockFile(bool create);
  [[nodiscard]] std::uint64_t ReadGeneration();
  void WriteGeneration(std::uint64_t generation);
  [[nodiscard]] StoreStatus Fail(int error, const std::string& what);

  std::string path_;
  mutable std::mutex mutex_;
  std::unique_ptr<Hive> hive_;
  bool loaded_ = false;
  Fingerprint seen_;
  StoreStatus loadStatus_ = StoreStatus::Ok;
  std::string lastError_;
  std::string reportedDamage_;  // the damage already written to standard error
  int lockFd_ = -1;
  int lockPid_ = 0;  // a child after fork() opens its own lock file description
};

}  // namespace telvinor::registry
