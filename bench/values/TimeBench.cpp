// The time value against the standard library: the millisecond scale and UTC
// fields (std::chrono calendar types, timegm/gmtime_r), local time
// (localtime_r) and the RFC 3339 text forms (strftime/strptime).
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/VString.h"
#include "values/VTime.h"

namespace zeft {
namespace {

// A spread of instants over four centuries, in milliseconds since 1970.
constexpr int kCount = 1024;

int64 UnixMilliseconds(int i) {
  return (int64(i) * 12345678901LL) % (int64(400) * 365 * 86400000) - 100LL * 365 * 86400000;
}

// Day number of 1970-01-01 on the time value's millisecond scale.
constexpr int64 kEpochOnScale = 210866716800000LL;

void BM_VTime_FromMilliseconds_ToUTCFields(benchmark::State& state) {
  VTime t;
  int i = 0;
  for (auto _ : state) {
    t.FromMilliseconds(UnixMilliseconds(i++ & (kCount - 1)) + kEpochOnScale);
    int16 y, mo, d, h, mi, s, ms;
    t.GetUTCTime(y, mo, d, h, mi, s, ms);
    benchmark::DoNotOptimize(y + mo + d + h + mi + s + ms);
  }
}
BENCHMARK(BM_VTime_FromMilliseconds_ToUTCFields);

void BM_Chrono_FromMilliseconds_ToUTCFields(benchmark::State& state) {
  using namespace std::chrono;
  int i = 0;
  for (auto _ : state) {
    const sys_time<milliseconds> tp{milliseconds{UnixMilliseconds(i++ & (kCount - 1))}};
    const auto day = floor<days>(tp);
    const year_month_day ymd{day};
    const hh_mm_ss<milliseconds> hms{tp - day};
    benchmark::DoNotOptimize(int(ymd.year()) + unsigned(ymd.month()) + unsigned(ymd.day()) +
                             hms.hours().count() + hms.minutes().count() + hms.seconds().count() +
                             hms.subseconds().count());
  }
}
BENCHMARK(BM_Chrono_FromMilliseconds_ToUTCFields);

void BM_Gmtime_FromSeconds_ToUTCFields(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    const int64 ms = UnixMilliseconds(i++ & (kCount - 1));
    const time_t seconds = time_t(ms / 1000);
    struct tm fields;
    gmtime_r(&seconds, &fields);
    benchmark::DoNotOptimize(fields.tm_year + fields.tm_mon + fields.tm_mday + fields.tm_hour +
                             fields.tm_min + fields.tm_sec + int(ms % 1000));
  }
}
BENCHMARK(BM_Gmtime_FromSeconds_ToUTCFields);

void BM_VTime_FromUTCFields_ToMilliseconds(benchmark::State& state) {
  VTime t;
  int i = 0;
  for (auto _ : state) {
    const int n = i++ & (kCount - 1);
    t.FromUTCTime(int16(1900 + n % 200), int16(1 + n % 12), int16(1 + n % 28), int16(n % 24),
                  int16(n % 60), int16(n % 60), int16(n % 1000));
    benchmark::DoNotOptimize(t.GetMilliseconds());
  }
}
BENCHMARK(BM_VTime_FromUTCFields_ToMilliseconds);

void BM_Chrono_FromUTCFields_ToMilliseconds(benchmark::State& state) {
  using namespace std::chrono;
  int i = 0;
  for (auto _ : state) {
    const int n = i++ & (kCount - 1);
    const year_month_day ymd{year{1900 + n % 200}, month{unsigned(1 + n % 12)},
                             day{unsigned(1 + n % 28)}};
    if (!ymd.ok()) continue;
    const auto tp =
        sys_days{ymd} + hours{n % 24} + minutes{n % 60} + seconds{n % 60} + milliseconds{n % 1000};
    benchmark::DoNotOptimize(tp.time_since_epoch().count());
  }
}
BENCHMARK(BM_Chrono_FromUTCFields_ToMilliseconds);

void BM_Timegm_FromUTCFields_ToMilliseconds(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    const int n = i++ & (kCount - 1);
    struct tm fields = {};
    fields.tm_year = n % 200;
    fields.tm_mon = n % 12;
    fields.tm_mday = 1 + n % 28;
    fields.tm_hour = n % 24;
    fields.tm_min = n % 60;
    fields.tm_sec = n % 60;
    benchmark::DoNotOptimize(int64(timegm(&fields)) * 1000 + n % 1000);
  }
}
BENCHMARK(BM_Timegm_FromUTCFields_ToMilliseconds);

// Local time in a zone with daylight saving.
class ParisZone {
 public:
  ParisZone() {
    setenv("TZ", "Europe/Paris", 1);
    tzset();
  }
};

void BM_VTime_GetLocalTime(benchmark::State& state) {
  static ParisZone zone;
  VTime t;
  int i = 0;
  for (auto _ : state) {
    t.FromMilliseconds(UnixMilliseconds(i++ & (kCount - 1)) + kEpochOnScale);
    int16 y, mo, d, h, mi, s, ms;
    t.GetLocalTime(y, mo, d, h, mi, s, ms);
    benchmark::DoNotOptimize(y + mo + d + h + mi + s + ms);
  }
}
BENCHMARK(BM_VTime_GetLocalTime);

void BM_Localtime_r(benchmark::State& state) {
  static ParisZone zone;
  int i = 0;
  for (auto _ : state) {
    const time_t seconds = time_t(UnixMilliseconds(i++ & (kCount - 1)) / 1000);
    struct tm fields;
    localtime_r(&seconds, &fields);
    benchmark::DoNotOptimize(fields.tm_hour + fields.tm_mday);
  }
}
BENCHMARK(BM_Localtime_r);

void BM_VTime_WriteRfc3339(benchmark::State& state) {
  VTime t;
  VString text;
  int i = 0;
  for (auto _ : state) {
    t.FromMilliseconds(UnixMilliseconds(i++ & (kCount - 1)) + kEpochOnScale);
    t.GetRfc3339String(text, VTime::kRfc3339UTC);
    benchmark::DoNotOptimize(text.GetCPointer());
  }
}
BENCHMARK(BM_VTime_WriteRfc3339);

void BM_Strftime_WriteRfc3339(benchmark::State& state) {
  char buffer[64];
  int i = 0;
  for (auto _ : state) {
    const int64 ms = UnixMilliseconds(i++ & (kCount - 1));
    const time_t seconds = time_t(ms / 1000);
    struct tm fields;
    gmtime_r(&seconds, &fields);
    const size_t n = strftime(buffer, sizeof(buffer), "%Y-%m-%dT%H:%M:%S", &fields);
    std::snprintf(buffer + n, sizeof(buffer) - n, ".%03dZ", int(ms % 1000 < 0 ? 0 : ms % 1000));
    benchmark::DoNotOptimize(buffer);
  }
}
BENCHMARK(BM_Strftime_WriteRfc3339);

void BM_VTime_ReadRfc3339(benchmark::State& state) {
  VString texts[16];
  VTime t;
  for (int n = 0; n < 16; ++n) {
    t.FromMilliseconds(UnixMilliseconds(n * 61) + kEpochOnScale);
    t.GetRfc3339String(texts[n], VTime::kRfc3339UTC);
  }
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(t.FromRfc3339String(texts[i++ & 15]));
  }
}
BENCHMARK(BM_VTime_ReadRfc3339);

void BM_Strptime_ReadRfc3339(benchmark::State& state) {
  char texts[16][40];
  for (int n = 0; n < 16; ++n) {
    VTime t;
    VString text;
    t.FromMilliseconds(UnixMilliseconds(n * 61) + kEpochOnScale);
    t.GetRfc3339String(text, VTime::kRfc3339UTC);
    std::snprintf(texts[n], sizeof(texts[n]), "%s", to_string(text).c_str());
  }
  int i = 0;
  for (auto _ : state) {
    const char* text = texts[i++ & 15];
    struct tm fields = {};
    const char* rest = strptime(text, "%Y-%m-%dT%H:%M:%S", &fields);
    int ms = 0;
    if (rest != nullptr && *rest == '.') ms = std::atoi(rest + 1);
    benchmark::DoNotOptimize(int64(timegm(&fields)) * 1000 + ms);
  }
}
BENCHMARK(BM_Strptime_ReadRfc3339);

}  // namespace
}  // namespace zeft
