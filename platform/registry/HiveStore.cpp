#include "registry/HiveStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "registry/RegFile.h"

namespace telvinor::registry {
namespace {

constexpr const char* kRelativeDefault = "telvinor/registry.reg";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

// mkdir -p of the folder that holds `file`.
bool MakeFolders(const std::string& file) {
  std::size_t slash = file.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  std::string folder = file.substr(0, slash);
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') {
      std::string part = folder.substr(0, i);
      if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

class FileLock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() {
    if (locked_) flock(fd_, LOCK_UN);
  }
  bool Lock() {
    while (flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) return false;
    }
    return locked_ = true;
  }

 private:
  int fd_;
  bool locked_ = false;
};

}  // namespace

HiveStore::HiveStore(std::string path) : path_(std::move(path)) {}

HiveStore::~HiveStore() {
  if (lockFd_ >= 0) close(lockFd_);
}

std::string HiveStore::ConfiguredPath() {
  std::string explicitPath = Env("TELVINOR_REGISTRY");
  if (!explicitPath.empty()) return explicitPath;
  std::string data = Env("XDG_DATA_HOME");
  // The base directory specification ignores a relative XDG_DATA_HOME.
  if (data.empty() || data[0] != '/') data = HomeFolder() + "/.local/share";
  return data + "/" + kRelativeDefault;
}

HiveStore& HiveStore::Current() {
  static std::mutex mutex;
  // Never destroyed: a registry call from another static's destructor still finds its store.
  static auto* stores = new std::map<std::string, std::unique_ptr<HiveStore>>();
  std::string path = ConfiguredPath();
  std::lock_guard lock(mutex);
  auto& store = (*stores)[path];
  if (!store) store = std::make_unique<HiveStore>(path);
  return *store;
}

std::string HiveStore::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

StoreStatus HiveStore::Fail(int error, const std::string& what) {
  lastError_ = what + " " + path_ + ": " + std::strerror(error);
  return error == EACCES || error == EPERM || error == EROFS ? StoreStatus::AccessDenied
                                                             : StoreStatus::IoError;
}

bool HiveStore::OpenLockFile(bool create) {
  if (lockFd_ >= 0 && lockPid_ == getpid()) return true;
  if (lockFd_ >= 0) close(lockFd_);  // inherited across fork(): the lock must be this process's own
  std::string lockPath = path_ + ".lock";
  lockFd_ = open(lockPath.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
  if (lockFd_ < 0 && !create) lockFd_ = open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
  lockPid_ = getpid();
  return lockFd_ >= 0;
}

std::uint64_t HiveStore::ReadGeneration() {
  unsigned char b[8] = {};
  if (lockFd_ < 0 || pread(lockFd_, b, sizeof b, 0) != static_cast<ssize_t>(sizeof b)) return 0;
  std::uint64_t g = 0;
  for (int i = 7; i >= 0; --i) g = (g << 8) | b[i];
  return g;
}

void HiveStore::WriteGeneration(std::uint64_t generation) {
  unsigned char b[8];
  for (auto& byte : b) {
    byte = static_cast<unsigned char>(generation);
    generation >>= 8;
  }
  // Best effort: a reader that misses the number still sees the file's new identity.
  [[maybe_unused]] ssize_t n = pwrite(lockFd_, b, sizeof b, 0);
}

StoreStatus HiveStore::Refresh() {
  Fingerprint now;
  struct stat st {};
  if (stat(path_.c_str(), &st) == 0) {
    now = Fingerprint{true,
                      st.st_dev,
                      st.st_ino,
                      static_cast<std::uint64_t>(st.st_size),
                      st.st_mtim.tv_sec,
                      st.st_mtim.tv_nsec,
                      0};
  } else if (errno != ENOENT) {
    loaded_ = false;
    return Fail(errno, "cannot read the registry hive");
  }
  now.generation = ReadGeneration();
  if (loaded_ && now == seen_) {
    if (loadStatus_ == StoreStatus::Damaged) lastError_ = reportedDamage_;
    return loadStatus_;
  }
  return Load(now.generation);
}

StoreStatus HiveStore::Load(std::uint64_t generation) {
  loaded_ = false;
  int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) return Fail(errno, "cannot read the registry hive");
    hive_ = std::make_unique<Hive>();
    seen_ = Fingerprint{};
    seen_.generation = generation;
    loaded_ = true;
    return loadStatus_ = StoreStatus::Ok;
  }
  struct stat st {};
  std::string text;
  bool ok = fstat(fd, &st) == 0;
  char buf[65536];
  while (ok) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
  }
  int error = errno;
  close(fd);
  if (!ok) return Fail(error, "cannot read the registry hive");

  seen_ = Fingerprint{true,
                      st.st_dev,
                      st.st_ino,
                      static_cast<std::uint64_t>(st.st_size),
                      st.st_mtim.tv_sec,
                      st.st_mtim.tv_nsec,
                      generation};
  loaded_ = true;
  auto parsed = ParseRegFile(text);
  auto hive = std::make_unique<Hive>();
  std::optional<RegFileError> damage = parsed.error;
  if (!damage) damage = ApplyRegFile(parsed.file, *hive);
  if (damage) {
    hive_.reset();
    lastError_ = path_ + ":" + std::to_string(damage->line) + ": " + damage->message;
    if (lastError_ != reportedDamage_) {
      std::fprintf(stderr,
                   "telvinor: registry hive %s; the hive is not used and is left as it is\n",
                   lastError_.c_str());
      reportedDamage_ = lastError_;
    }
    return loadStatus_ = StoreStatus::Damaged;
  }
  hive_ = std::move(hive);
  return loadStatus_ = StoreStatus::Ok;
}

StoreStatus HiveStore::Save() {
  std::string text = WriteHiveText(*hive_);
  std::string temp = path_ + "." + std::to_string(getpid()) + ".tmp";
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(errno, "cannot save the registry hive");
  struct stat old {};
  if (seen_.exists && stat(path_.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
  bool ok = WriteAll(fd, text) && fsync(fd) == 0;
  int error = errno;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temp.c_str(), path_.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    return Fail(error, "cannot save the registry hive");
  }
  struct stat st {};
  std::uint64_t generation = seen_.generation + 1;
  WriteGeneration(generation);
  if (stat(path_.c_str(), &st) == 0) {
    seen_ = Fingerprint{true,
                        st.st_dev,
                        st.st_ino,
                        static_cast<std::uint64_t>(st.st_size),
                        st.st_mtim.tv_sec,
                        st.st_mtim.tv_nsec,
                        generation};
  } else {
    loaded_ = false;
  }
  return StoreStatus::Ok;
}

StoreStatus HiveStore::Read(const std::function<void(const Hive&)>& fn) {
  std::lock_guard lock(mutex_);
  lastError_.clear();
  (void)OpenLockFile(false);
  StoreStatus status = Refresh();
  if (status != StoreStatus::Ok) return status;
  fn(*hive_);
  return StoreStatus::Ok;
}

StoreStatus HiveStore::Write(const std::function<WriteOutcome(Hive&)>& fn) {
  std::lock_guard lock(mutex_);
  lastError_.clear();
  if (!MakeFolders(path_)) return Fail(errno, "cannot create the folder of the registry hive");
  if (!OpenLockFile(true)) return Fail(errno, "cannot open the lock file of the registry hive");
  FileLock fileLock(lockFd_);
  if (!fileLock.Lock()) return Fail(errno, "cannot lock the registry hive");
  StoreStatus status = Refresh();
  if (status != StoreStatus::Ok) return status;
  WriteOutcome outcome;
  try {
    outcome = fn(*hive_);
  } catch (...) {
    loaded_ = false;  // the change is half made: read the hive again next time
    throw;
  }
  if (outcome == WriteOutcome::Abandon) loaded_ = false;
  if (outcome != WriteOutcome::Save) return StoreStatus::Ok;
  status = Save();
  if (status != StoreStatus::Ok) loaded_ = false;
  return status;
}

}  // namespace telvinor::registry
