#include "BatchConverter.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

namespace voiceconv::tool {
namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

void DrawBar(std::size_t done, std::size_t total, std::size_t failed) {
  const int filled = total ? static_cast<int>(done * kBarWidth / total) : kBarWidth;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  std::fprintf(stderr, "\r[%s] %zu/%zu files", bar.c_str(), done, total);
  if (failed) std::fprintf(stderr, ", %zu failed", failed);
  std::fflush(stderr);
}

void ClearBar() {
  std::fprintf(stderr, "\r\033[K");
}

}  // namespace

BatchConverter::BatchConverter(Conversion conversion, SourceRule rule, unsigned workers,
                               ProgressBar bar)
    : conversion_(conversion), rule_(rule), workers_(std::max(1u, workers)), bar_(bar) {}

std::vector<BatchJob> BatchConverter::PlanJobs(Conversion conversion,
                                               const std::vector<std::string>& sources,
                                               const std::filesystem::path& outputDirectory,
                                               std::string& problem) {
  std::vector<BatchJob> jobs;
  std::map<std::string, std::string> claimedBy;
  const std::string_view extension = Describe(conversion).outputExtension;
  for (const std::string& source : sources) {
    std::filesystem::path name = std::filesystem::path(source).filename();
    name.replace_extension(extension);
    std::string destination = (outputDirectory / name).string();
    auto [it, fresh] = claimedBy.emplace(destination, source);
    if (!fresh) {
      problem = "'" + it->second + "' and '" + source + "' would both become '" + destination + "'";
      return {};
    }
    jobs.push_back({source, std::move(destination)});
  }
  return jobs;
}

BatchSummary BatchConverter::Run(const std::vector<BatchJob>& jobs) {
  const auto start = std::chrono::steady_clock::now();
  const bool drawing = bar_ == ProgressBar::OnTerminal && isatty(STDERR_FILENO);
  std::atomic<std::size_t> next{0};
  std::mutex mutex;  // guards summary, finished and standard error
  std::condition_variable changed;
  BatchSummary summary;
  std::size_t finished = 0;

  auto work = [&] {
    Workspace workspace;  // reused for every file this worker converts
    ConvertOptions options;
    options.source = rule_;
    options.workspace = &workspace;
    for (std::size_t i = next++; i < jobs.size(); i = next++) {
      const ConversionResult r =
          ConvertFile(conversion_, jobs[i].source.c_str(), jobs[i].destination.c_str(), options);
      std::lock_guard lock(mutex);
      if (r.status == Status::Converted) {
        ++summary.converted;
        summary.bytesIn += r.sourceBytes;
        summary.bytesOut += r.destinationBytes;
      } else {
        ++summary.failed;
        if (drawing) ClearBar();
        std::fprintf(stderr, "voiceconv: %s\n", r.message.c_str());
      }
      ++finished;
      changed.notify_one();
    }
  };

  const unsigned count = static_cast<unsigned>(std::min<std::size_t>(workers_, jobs.size()));
  std::vector<std::jthread> threads;
  for (unsigned t = 1; t < count; ++t) threads.emplace_back(work);
  if (drawing) {
    std::jthread last(work);
    std::unique_lock lock(mutex);
    while (finished < jobs.size()) {
      DrawBar(finished, jobs.size(), summary.failed);
      changed.wait_for(lock, kRedrawInterval);
    }
    DrawBar(finished, jobs.size(), summary.failed);
    std::fprintf(stderr, "\n");
  } else {
    work();  // the calling thread is one of the workers
  }
  threads.clear();
  summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return summary;
}

}  // namespace voiceconv::tool
