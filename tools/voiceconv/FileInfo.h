// What a voice file is: the fields of a WAVE file's chunks, or for a headerless board file the
// samples and duration it holds as A-law PCM and as 4-bit ADPCM.
#pragma once

#include <string>

namespace voiceconv::tool {

struct FileReport {
  bool ok = false;
  std::string text;  // several lines for people; on failure, the reason
};

[[nodiscard]] FileReport DescribeFile(const std::string& path, int headerlessRate);

}  // namespace voiceconv::tool
