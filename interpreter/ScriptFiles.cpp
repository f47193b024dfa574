#include "ScriptFiles.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <new>
#include <system_error>

#include "automation/AutomationError.h"
#include "automation/Utf.h"
#include "text/AnsiText.h"

namespace telvinor::interpreter {

namespace {

using automation::ThrowError;

constexpr std::int32_t kPathFileAccessError = 75;

[[noreturn]] void ThrowOpenError(const std::filesystem::path& path, int error) {
  switch (error) {
    case ENOENT: {
      std::error_code ignored;
      const bool folderExists = path.has_parent_path()
                                    ? std::filesystem::is_directory(path.parent_path(), ignored)
                                    : true;
      ThrowError(folderExists ? automation::errc::kFileNotFound : automation::errc::kPathNotFound);
    }
    case ENOTDIR:
      ThrowError(automation::errc::kPathNotFound);
    case EACCES:
    case EPERM:
      ThrowError(automation::errc::kPermissionDenied);
    default:
      ThrowError(kPathFileAccessError);
  }
}

}  // namespace

std::filesystem::path OpenablePath(std::u16string_view settingsPath) {
  std::u16string path(settingsPath);
  for (char16_t& c : path) {
    if (c == u'\\') c = u'/';
  }
  return std::filesystem::path(automation::ToUtf8(path));
}

std::u16string ReadScriptFile(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status))
    ThrowOpenError(path, error ? error.value() : ENOENT);
  // Only a regular file can be a module: a folder fails to read, and a device or a pipe might
  // never end.
  if (!std::filesystem::is_regular_file(status)) ThrowError(kPathFileAccessError);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) ThrowOpenError(path, errno ? errno : EACCES);
  try {
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) ThrowError(kPathFileAccessError);
    return text::FromAnsi(bytes);
  } catch (const std::bad_alloc&) {
    ThrowError(automation::errc::kOutOfMemory);
  } catch (const std::length_error&) {
    ThrowError(automation::errc::kOutOfMemory);
  }
}

}  // namespace telvinor::interpreter
