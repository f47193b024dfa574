// Converts many files in parallel inside one process: prompt libraries hold thousands of
// one-second files, and starting a process per file would cost more than converting it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "voiceconv/Conversion.h"
#include "voiceconv/FileConversion.h"

namespace voiceconv::tool {

struct BatchJob {
  std::string source;
  std::string destination;
};

struct BatchSummary {
  std::size_t converted = 0;
  std::size_t failed = 0;
  uint64_t bytesIn = 0;
  uint64_t bytesOut = 0;
  double seconds = 0;
};

enum class ProgressBar { Off, OnTerminal };

class BatchConverter {
 public:
  BatchConverter(Conversion conversion, SourceRule rule, unsigned workers, ProgressBar bar);

  // Destinations in outputDirectory, named after each source with the conversion's extension.
  // Empty with problem set when two sources would share a destination.
  [[nodiscard]] static std::vector<BatchJob> PlanJobs(Conversion conversion,
                                                      const std::vector<std::string>& sources,
                                                      const std::filesystem::path& outputDirectory,
                                                      std::string& problem);

  // Runs every job; a failed file is reported on standard error and the others go on.
  [[nodiscard]] BatchSummary Run(const std::vector<BatchJob>& jobs);

 private:
  Conversion conversion_;
  SourceRule rule_;
  unsigned workers_;
  ProgressBar bar_;
};

}  // namespace voiceconv::tool
