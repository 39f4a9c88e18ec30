#include "values/VArrayReal.h"

namespace zeft {

constinit const VArrayReal::InfoType VArrayReal::sInfo;

double VArrayReal::GetSum() const {
  double sum = 0.0;
  for (int32 i = 0; i < fCount; ++i) sum += At(i);
  return sum;
}

double VArrayReal::GetAverage() const { return fCount == 0 ? 0.0 : GetSum() / fCount; }

double VArrayReal::GetSquareSum() const {
  if (fCount == 0) return 0.0;
  const double average = GetAverage();
  double sum = 0.0;
  for (int32 i = 0; i < fCount; ++i) {
    const double difference = At(i) - average;
    sum += difference * difference;
  }
  return sum;
}

double VArrayReal::GetStdDev() const { return fCount == 0 ? 0.0 : GetSquareSum() / fCount; }

}  // namespace zeft
