// The buffered file stream against stdio on equal work: 16-byte writes into
// a file kept open (both with a 32 KiB buffer), and reading a 100,000-line
// UTF-8 file line by line, against getline alone and against getline with
// each line decoded to UTF-16 as GetTextLine does.
#include <benchmark/benchmark.h>
#include <unicode/ustring.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/CharSet.h"
#include "core/IRefCountable.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFileStream.h"

namespace {

using zeft::VFile;
using zeft::VFileStream;
using zeft::VRefPtr;

constexpr size_t kRecordSize = 16;
constexpr int kRecords = 65536;  // 1 MiB per iteration
constexpr int kLines = 100000;
constexpr size_t kBufferSize = 32768;

class ScratchFile {
 public:
  ScratchFile() {
    char pattern[] = "/tmp/zeft-bench-stream-XXXXXX";
    const int fd = ::mkstemp(pattern);
    if (fd >= 0) ::close(fd);
    fPath = pattern;
  }
  ~ScratchFile() { ::unlink(fPath.c_str()); }
  const std::string& Path() const { return fPath; }
  VRefPtr<VFile> File() const {
    return VRefPtr<VFile>(new VFile(zeft::VString(fPath.c_str()), zeft::kFilePathStylePosix),
                          zeft::kAdoptRef);
  }

 private:
  std::string fPath;
};

void BM_VFileStreamSmallWrites(benchmark::State& state) {
  ScratchFile scratch;
  VFileStream stream(scratch.File().Get(), 0);
  stream.SetBufferSize(kBufferSize);
  if (stream.OpenWriting() != zeft::VE_OK) return state.SkipWithError("open failed");
  const char record[kRecordSize + 1] = "0123456789abcdef";
  for (auto _ : state) {
    stream.SetPos(0);
    for (int i = 0; i < kRecords; ++i) stream.PutData(record, kRecordSize);
  }
  if (stream.CloseWriting() != zeft::VE_OK) state.SkipWithError("write failed");
  state.SetBytesProcessed(int64_t(state.iterations()) * kRecords * int64_t(kRecordSize));
}

void BM_StdioFwriteSmallWrites(benchmark::State& state) {
  ScratchFile scratch;
  FILE* file = std::fopen(scratch.Path().c_str(), "w");
  if (file == nullptr) return state.SkipWithError("open failed");
  std::setvbuf(file, nullptr, _IOFBF, kBufferSize);
  const char record[kRecordSize + 1] = "0123456789abcdef";
  for (auto _ : state) {
    std::fseek(file, 0, SEEK_SET);
    for (int i = 0; i < kRecords; ++i) std::fwrite(record, 1, kRecordSize, file);
  }
  if (std::fclose(file) != 0) state.SkipWithError("write failed");
  state.SetBytesProcessed(int64_t(state.iterations()) * kRecords * int64_t(kRecordSize));
}

// 100,000 lines of 20 to 80 bytes, some with accented letters, CR LF ends.
const ScratchFile& LinesFile() {
  static ScratchFile sFile;
  static bool sWritten = [] {
    FILE* file = std::fopen(sFile.Path().c_str(), "w");
    for (int i = 0; i < kLines; ++i) {
      std::string line = "line " + std::to_string(i) + " caf\xC3\xA9 ";
      line.append(size_t(i % 60), 'x');
      line += "\r\n";
      std::fwrite(line.data(), 1, line.size(), file);
    }
    return std::fclose(file) == 0;
  }();
  (void)sWritten;
  return sFile;
}

void BM_VFileStreamGetTextLine(benchmark::State& state) {
  const ScratchFile& lines = LinesFile();
  VRefPtr<VFile> file = lines.File();
  zeft::VString line;
  for (auto _ : state) {
    VFileStream stream(file.Get(), 8);
    stream.SetCharSet(zeft::kCharSetUTF8);
    stream.OpenReading();
    int count = 0;
    while (stream.GetTextLine(line, false) == zeft::VE_OK) ++count;
    stream.CloseReading();
    if (count != kLines) state.SkipWithError("wrong line count");
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kLines);
}

template <bool kDecode>
void Getline(benchmark::State& state) {
  const ScratchFile& lines = LinesFile();
  char* buffer = nullptr;
  size_t size = 0;
  std::u16string decoded(1024, u'\0');
  for (auto _ : state) {
    FILE* file = std::fopen(lines.Path().c_str(), "r");
    int count = 0;
    ssize_t length;
    while ((length = ::getline(&buffer, &size, file)) >= 0) {
      while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r')) --length;
      if (kDecode) {
        int32_t units = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8(reinterpret_cast<UChar*>(decoded.data()), int32_t(decoded.size()), &units,
                      buffer, int32_t(length), &status);
        benchmark::DoNotOptimize(units);
      }
      ++count;
    }
    std::fclose(file);
    if (count != kLines) state.SkipWithError("wrong line count");
  }
  std::free(buffer);
  state.SetItemsProcessed(int64_t(state.iterations()) * kLines);
}

void BM_Getline(benchmark::State& state) { Getline<false>(state); }
void BM_GetlineDecodedToUTF16(benchmark::State& state) { Getline<true>(state); }

}  // namespace

BENCHMARK(BM_VFileStreamSmallWrites)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StdioFwriteSmallWrites)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_VFileStreamGetTextLine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Getline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetlineDecodedToUTF16)->Unit(benchmark::kMillisecond);
