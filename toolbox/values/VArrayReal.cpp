#include "values/VArrayReal.h"

#include "core/VReal.h"

namespace zeft {

constinit const VArrayReal::InfoType VArrayReal::sInfo;

VArrayReal::VArrayReal(int32 count) : VArrayFixed(count) {}

VArrayReal::VArrayReal(const VArrayReal& other) : VArrayFixed(0) { Copy(other); }

void VArrayReal::FromReal(double value, int32 position) { SetAt(value, position); }

double VArrayReal::GetReal(int32 position) const { return GetAt(position); }

void VArrayReal::FromValue(const VValueSingle& value, int32 position) {
  FromReal(value.GetReal(), position);
}

void VArrayReal::GetValue(VValueSingle& out, int32 position) const {
  out.FromReal(GetReal(position));
}

VValueSingle* VArrayReal::CloneValue(int32 position) const {
  VReal* value = new VReal();
  GetValue(*value, position);
  return value;
}

CompareResult VArrayReal::CompareTo(const VValueSingle& value, bool /*diacritical*/,
                                    int32 position) const {
  return CompareAt(value.GetReal(), position);
}

int32 VArrayReal::Find(const VValueSingle& value, int32 start, uint8 forward,
                       CompareMethod method) const {
  return Find(value.GetReal(), start, forward, method);
}

int32 VArrayReal::Find(double value, int32 start, uint8 forward, CompareMethod method) const {
  return FindNumber(value, start, forward, method);
}

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

VError VArrayReal::ReadFromStream(VStream* stream, int32 /*param*/) { return ReadNumbers(stream); }

VError VArrayReal::WriteToStream(VStream* stream, int32 param) const {
  return WriteNumbers(stream, param);
}

}  // namespace zeft
