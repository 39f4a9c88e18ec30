// Peak memory of parsing a 100 MB JSON document: ours against RapidJSON
// (full precision), each parse in a child process of its own so that the
// high-water mark of its resident set is its own. The document mixes the
// canada-, citm- and twitter-like shapes of JSONDocuments.h and is written
// once to a temporary file; a child reads it into memory, parses it and
// reports
//   - its resident set before reading (the program itself),
//   - after reading the bytes (the input buffer),
//   - its peak (getrusage's maxrss).
// "with the buffer" is peak - program, "without" is peak - after reading.
// The parent runs the two parsers in turns and prints the medians of the
// pairwise ratios (ours/peer).
//
//   json_peak_memory [--repetitions=N] [--megabytes=M]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "core/CharSet.h"
#include "core/VCppMemMgr.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "json/JSONDocuments.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"

extern char** environ;

namespace {

long ResidentBytes() {
  long pages = 0, resident = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

long PeakBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss * 1024L;
}

int Child(const std::string& parser, const std::string& path) {
  const long program = ResidentBytes();
  // Read at its exact size: a buffer grown while reading would leave a
  // peak of its own, up to three times the document.
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string text(size_t(in.tellg()), '\0');
  in.seekg(0);
  if (!in.read(text.data(), std::streamsize(text.size()))) return 1;
  const long read = ResidentBytes();
  bool ok = false;
  if (parser == "zeft") {
    zeft::VObject::sCppMemMgr = new zeft::VCppMemMgr(zeft::kAllocatorSystem);
    zeft::VJSONValue value;
    ok = zeft::VJSONImporter::ParseUTF8(text.data(), text.size(), value, 0) == zeft::VE_OK &&
         value.IsArray();
    std::printf("%ld %ld %ld\n", program, read, PeakBytes());
  } else {
    rapidjson::Document document;
    document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str(), text.size());
    ok = !document.HasParseError() && document.IsArray();
    std::printf("%ld %ld %ld\n", program, read, PeakBytes());
  }
  return ok ? 0 : 1;
}

struct Sample {
  long program = 0, read = 0, peak = 0;
  double With() const { return double(peak - program); }
  double Without() const { return double(peak - read); }
};

bool RunChild(const char* self, const char* parser, const std::string& path, Sample& sample) {
  int out[2];
  if (pipe(out) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string mode = std::string("--child=") + parser;
  char* argv[] = {const_cast<char*>(self), const_cast<char*>(mode.c_str()),
                  const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = 0;
  const int error = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string reply;
  char buffer[256];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) reply.append(buffer, size_t(n));
  close(out[0]);
  if (error != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  std::istringstream fields(reply);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
         bool(fields >> sample.program >> sample.read >> sample.peak);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int repetitions = 5;
  long megabytes = 100;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--child=", 8) == 0 && i + 1 < argc)
      return Child(argv[i] + 8, argv[i + 1]);
    if (std::strncmp(argv[i], "--repetitions=", 14) == 0) repetitions = std::atoi(argv[i] + 14);
    if (std::strncmp(argv[i], "--megabytes=", 12) == 0) megabytes = std::atol(argv[i] + 12);
  }

  std::string path = "/tmp/zeft-json-peak-" + std::to_string(getpid()) + ".json";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    size_t size = 1;
    out << '[';
    for (uint32_t seed = 1; size < size_t(megabytes) * 1000 * 1000; ++seed) {
      zeft::bench::JSONDocumentMaker maker(seed);
      const std::string part = seed % 3 == 0   ? maker.Canada(1)
                               : seed % 3 == 1 ? maker.Citm()
                                               : maker.Twitter();
      if (seed > 1) out << ",\n";
      out << part;
      size += part.size() + 2;
    }
    out << "]\n";
    std::printf("document: %.1f MB\n", double(size) / 1e6);
  }

  std::vector<double> withRatios, withoutRatios, oursWith, peerWith, oursWithout, peerWithout;
  bool ok = true;
  for (int r = 0; r < repetitions && ok; ++r) {
    Sample ours, peer;
    // Alternate which goes first.
    if (r % 2 == 0)
      ok = RunChild(argv[0], "zeft", path, ours) && RunChild(argv[0], "rapidjson", path, peer);
    else
      ok = RunChild(argv[0], "rapidjson", path, peer) && RunChild(argv[0], "zeft", path, ours);
    if (!ok) break;
    withRatios.push_back(ours.With() / peer.With());
    withoutRatios.push_back(ours.Without() / peer.Without());
    oursWith.push_back(ours.With() / 1e6);
    peerWith.push_back(peer.With() / 1e6);
    oursWithout.push_back(ours.Without() / 1e6);
    peerWithout.push_back(peer.Without() / 1e6);
  }
  std::remove(path.c_str());
  if (!ok) {
    std::fprintf(stderr, "a parse failed\n");
    return 1;
  }
  std::printf("with the input buffer: ours %.0f MB, RapidJSON %.0f MB, ratio %.2f\n",
              Median(oursWith), Median(peerWith), Median(withRatios));
  std::printf("without the input buffer: ours %.0f MB, RapidJSON %.0f MB, ratio %.2f\n",
              Median(oursWithout), Median(peerWithout), Median(withoutRatios));
  return 0;
}
