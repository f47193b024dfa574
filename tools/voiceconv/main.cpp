// voiceconv: converts voice files between the voice board's formats and WAVE, one at a time
// or many in parallel, and tells what a file is.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "BatchConverter.h"
#include "FileInfo.h"
#include "voiceconv/Conversion.h"
#include "voiceconv/FileConversion.h"

namespace {

using namespace voiceconv;
using namespace voiceconv::tool;

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // a file could not be converted or described
constexpr int kExitUsage = 2;

constexpr const char* kHelp = R"(Usage:
  voiceconv CONVERSION SOURCE DESTINATION
  voiceconv CONVERSION [-j N] [-q] -o OUTDIR FILE...
  voiceconv info [-r RATE] FILE...
  voiceconv --help

Conversions:
  pcm2wave   A-law PCM (8000 Hz) to a 16-bit mono 8000 Hz WAVE file
  wave2pcm   16-bit mono 8000 Hz WAVE to A-law PCM; reads the RIFF chunks and converts
             exactly the data chunk (any header length, LIST chunks, streamed files)
  pcm2ad     A-law PCM (8000 Hz) to 4-bit ADPCM (8000 Hz)
  ad2pcm     4-bit ADPCM (8000 Hz) to A-law PCM (8000 Hz)
  ad6k2pcm   4-bit ADPCM (6000 Hz) to A-law PCM (8000 Hz)

Options:
  -o OUTDIR  convert every FILE into OUTDIR (created if missing); the destination is named
             after the source with .wav, .pcm or .vox
  -j N       convert N files at a time (default: the number of processors)
  -q         no progress bar
  -r RATE    sample rate assumed for headerless files in info (default 8000)

Exit status: 0 all converted, 1 some file failed, 2 wrong usage.

Examples:
  voiceconv pcm2wave greeting.pcm greeting.wav
  voiceconv wave2pcm recorded.wav recorded.pcm
  voiceconv ad6k2pcm -j 4 -o prompts-8k/ prompts-6k/*.vox
  voiceconv info greeting.wav message.vox
  voiceconv info -r 6000 old-prompt.vox
)";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "voiceconv: %s\nTry 'voiceconv --help'.\n", problem.c_str());
  return kExitUsage;
}

std::optional<int> ParseNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
  return value;
}

struct Arguments {
  std::vector<std::string> files;
  std::optional<std::string> outputDirectory;
  unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
  bool quiet = false;
  int rate = 8000;
};

// Options may stand anywhere among the files; "--" ends them.
std::optional<Arguments> ParseArguments(int argc, char** argv, int first, std::string& problem) {
  Arguments a;
  bool optionsEnded = false;
  for (int i = first; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= argc) {
        problem = "option " + std::string(arg) + " needs a value";
        return std::nullopt;
      }
      return std::string_view(argv[++i]);
    };
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      a.files.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "-o") {
      const auto v = value();
      if (!v) return std::nullopt;
      a.outputDirectory = std::string(*v);
    } else if (arg == "-j" || arg == "-r") {
      const auto v = value();
      if (!v) return std::nullopt;
      const auto n = ParseNumber(*v);
      if (!n) {
        problem = "option " + std::string(arg) + " needs a positive number, not '" +
                  std::string(*v) + "'";
        return std::nullopt;
      }
      if (arg == "-j") {
        a.jobs = static_cast<unsigned>(*n);
      } else {
        a.rate = *n;
      }
    } else if (arg == "-q") {
      a.quiet = true;
    } else {
      problem = "unknown option " + std::string(arg);
      return std::nullopt;
    }
  }
  return a;
}

int RunInfo(const Arguments& a) {
  if (a.files.empty()) return Usage("info needs at least one FILE");
  int status = kExitOk;
  for (const std::string& file : a.files) {
    const FileReport report = DescribeFile(file, a.rate);
    if (report.ok) {
      std::fputs(report.text.c_str(), stdout);
    } else {
      std::fprintf(stderr, "voiceconv: %s\n", report.text.c_str());
      status = kExitFailed;
    }
  }
  return status;
}

int RunConversion(Conversion conversion, const Arguments& a) {
  // People hand wave2pcm all kinds of WAVE files; it reads their chunks.
  const SourceRule rule = SourceRule::WaveChunks;
  if (!a.outputDirectory) {
    if (a.files.size() != 2) return Usage("expected SOURCE and DESTINATION, or -o OUTDIR FILE...");
    const ConversionResult r =
        ConvertFile(conversion, a.files[0].c_str(), a.files[1].c_str(), {.source = rule});
    if (r.status != Status::Converted) {
      std::fprintf(stderr, "voiceconv: %s\n", r.message.c_str());
      return kExitFailed;
    }
    return kExitOk;
  }

  if (a.files.empty()) return Usage("no FILE to convert");
  std::error_code error;
  std::filesystem::create_directories(*a.outputDirectory, error);
  if (!std::filesystem::is_directory(*a.outputDirectory)) {
    std::fprintf(stderr, "voiceconv: '%s': cannot create the directory: %s\n",
                 a.outputDirectory->c_str(), error ? error.message().c_str() : "not a directory");
    return kExitFailed;
  }
  std::string problem;
  const auto jobs = BatchConverter::PlanJobs(conversion, a.files, *a.outputDirectory, problem);
  if (!problem.empty()) return Usage(problem);

  BatchConverter batch(conversion, rule, a.jobs,
                       a.quiet ? ProgressBar::Off : ProgressBar::OnTerminal);
  const BatchSummary s = batch.Run(jobs);
  std::printf("%s: %zu converted, %zu failed, %.1f MB in, %.1f MB out, %.2f s\n",
              std::string(Describe(conversion).command).c_str(), s.converted, s.failed,
              static_cast<double>(s.bytesIn) / 1e6, static_cast<double>(s.bytesOut) / 1e6,
              s.seconds);
  return s.failed ? kExitFailed : kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no command given");
  const std::string_view command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  std::string problem;
  const auto arguments = ParseArguments(argc, argv, 2, problem);
  if (!arguments) return Usage(problem);
  if (command == "info") return RunInfo(*arguments);
  if (const auto conversion = FindConversion(command))
    return RunConversion(*conversion, *arguments);
  return Usage("unknown command '" + std::string(command) + "'");
}
