// VArrayFixed is the one template behind the value arrays of machine
// numbers (bytes, words, longs, long8s, reals, time stamps, milliseconds),
// as VScalarValue is behind the scalars: element access with neutral
// answers outside the array, the exchange with single values, searches,
// order, the QSort-based sort, copies and the whole-array stream transfer.
// DERIVED is the array class (its sInfo), T the element as held, ELEMENT
// the single value of one element, GET and PUT that value's getter and
// setter of the element type (VValueSingle::GetLong and FromLong, or
// GetDuration and FromDuration). Each array class adds its typed API.
#pragma once

#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "core/VErrorCodes.h"
#include "core/VValueSingle.h"
#include "files/VStream.h"
#include "values/VArraySort.h"
#include "values/VArrayValue.h"

namespace zeft {

template <class DERIVED, class T, class ELEMENT, auto GET, auto PUT>
class VArrayFixed : public VArrayValue {
  // GET either answers the number (GetLong) or fills an ELEMENT
  // (GetDuration); the latter kinds hold the element's raw form.
  static constexpr bool kHeldAsNumber =
      std::is_invocable_r_v<T, decltype(GET), const VValueSingle&>;

 public:
  // What the typed Find takes: the number, or the element's single value.
  using Key = std::conditional_t<kHeldAsNumber, T, const ELEMENT&>;

  const VValueInfo* GetValueInfo() const override { return &DERIVED::sInfo; }
  uint16 GetElemValueKind() const override { return ELEMENT::sInfo.GetKind(); }
  bool CanBeEvaluated() const override { return true; }

  void FromValue(const VValueSingle& value, int32 position) override {
    SetAt(NumberOf(value), position);
  }
  void GetValue(VValueSingle& out, int32 position) const override {
    if constexpr (kHeldAsNumber) {
      (out.*PUT)(GetAt(position));
    } else {
      (out.*PUT)(ElementAt(position));
    }
  }
  VValueSingle* CloneValue(int32 position) const override {
    ELEMENT* value = new ELEMENT();
    GetValue(*value, position);
    return value;
  }
  // Numbers: the element against the value's number. The other kinds
  // compare as their single values do (diacritical passed on).
  CompareResult CompareTo(const VValueSingle& value, bool diacritical,
                          int32 position) const override {
    if constexpr (kHeldAsNumber) {
      return CompareAt(NumberOf(value), position);
    } else {
      return ElementAt(position).CompareTo(value, diacritical);
    }
  }

  // Exact comparisons of the numbers as held (no tolerance for reals,
  // stamps unsigned, durations by milliseconds).
  int32 Find(const VValueSingle& value, int32 start, uint8 forward,
             CompareMethod method) const override {
    return FindNumber(NumberOf(value), start, forward, method);
  }
  virtual int32 Find(Key value, int32 start, uint8 forward, CompareMethod method) const {
    return FindNumber(Held(value), start, forward, method);
  }

  // The shared frame followed by the block, in the stream's byte order.
  VError WriteToStream(VStream* stream, int32 param) const override {
    WriteStreamHeader(stream, param);
    if (fCount > 0) PutNumbers(stream, reinterpret_cast<const T*>(fData), fCount);
    return stream->GetLastError();
  }
  VError ReadFromStream(VStream* stream, int32 /*param*/) override {
    int32 count = 0;
    VError error = ReadStreamCount(stream, count);
    if (error != VE_OK) return error;
    return ReadElementsInChunks(stream, count,
                                [](VArrayValue& array, VStream* s, int32 first, int32 n) -> VError {
                                  T* data = reinterpret_cast<T*>(array.LockAndGetData()) + first;
                                  int32 got = n;
                                  VError e = GetNumbers(s, data, &got);
                                  array.UnlockData();
                                  if (e == VE_OK && got != n)
                                    e = ToolboxError(toolbox_error::kStreamEndOfData);
                                  return e;
                                });
  }

  // ISortable: the plain order of the numbers.
  void SwapElements(uint8* data, int32 i, int32 j) override {
    T* elements = reinterpret_cast<T*>(data);
    std::swap(elements[i], elements[j]);
  }
  CompareResult CompareElements(uint8* data, int32 i, int32 j) override {
    const T* elements = reinterpret_cast<const T*>(data);
    return Order(elements[i], elements[j]);
  }

  void Sort(int32 from, int32 to, uint8 descending) override {
    if (from < 1 || from >= to || to > fCount) return;
    T* data = reinterpret_cast<T*>(LockAndGetData());
    if (data != nullptr) QSort(data + (from - 1), to - from + 1, descending);
    UnlockData();
  }

  // -1 element before value, 0 equal, 1 after (NaN reals are equal to
  // everything, as with < and >).
  static CompareResult Order(T a, T b) {
    return a < b ? kCompareLess : a > b ? kCompareBigger : kCompareEqual;
  }

 protected:
  explicit VArrayFixed(int32 count) : VArrayValue(sizeof(T)) {
    if (count > 0) SetCount(count);
  }
  VArrayFixed(const VArrayFixed& other) : VArrayValue(sizeof(T)) { Copy(other); }
  VArrayFixed& operator=(const VArrayFixed& other) {
    Copy(other);
    return *this;
  }

  T At(int32 index) const {
    T value;
    std::memcpy(&value, fData + size_t(index) * sizeof(T), sizeof(T));
    return value;
  }
  // The element at a 1-based position, or T() outside the array.
  T GetAt(int32 position) const { return ValidIndex(position) ? At(position - 1) : T(); }
  void SetAt(T value, int32 position) {
    if (!ValidIndex(position)) return;
    std::memcpy(fData + size_t(position - 1) * sizeof(T), &value, sizeof(T));
  }

  int32 FindNumber(T value, int32 start, uint8 forward, CompareMethod method) const {
    if (fCount == 0 || !ValidIndex(start)) return -1;
    if (method < kFindGreaterOrEqual || method > kFindLessOrEqual) return start;
    const int32 step = forward != 0 ? 1 : -1;
    for (int32 position = start; ValidIndex(position); position += step) {
      if (PassesMethod(Order(At(position - 1), value), method)) return position;
    }
    return -1;
  }

  int32 QuickFindNumber(T value) const {
    if (fData == nullptr) return -1;
    return array_sort::BinarySearch(fCount, [&](int32 index) { return Order(value, At(index)); });
  }

  // The largest element, or the smallest number of T for an empty array.
  T MaxNumber() const {
    T best = std::numeric_limits<T>::lowest();
    for (int32 i = 0; i < fCount; ++i) best = std::max(best, At(i));
    return best;
  }
  // The smallest element, or the largest number of T for an empty array.
  T MinNumber() const {
    T best = std::numeric_limits<T>::max();
    for (int32 i = 0; i < fCount; ++i) best = std::min(best, At(i));
    return best;
  }

 private:
  CompareResult CompareAt(T value, int32 position) const { return Order(GetAt(position), value); }
  // The value's number through GET.
  static T NumberOf(const VValueSingle& value) {
    if constexpr (kHeldAsNumber) {
      return (value.*GET)();
    } else {
      ELEMENT element;
      (value.*GET)(element);
      return Held(element);
    }
  }
  // What the array holds for a number or a single value: its raw form.
  static T Held(T number) { return number; }
  static T Held(const ELEMENT& element) {
    T held;
    element.WriteToPtr(&held, false, sizeof(T));
    return held;
  }
  // The element as its single value (the neutral value outside the array).
  ELEMENT ElementAt(int32 position) const {
    const T held = GetAt(position);
    return ELEMENT(&held, false);
  }

  static VError PutNumbers(VStream* stream, const T* data, int32 count) {
    if constexpr (sizeof(T) == 1) {
      return stream->PutData(data, size_t(count));
    } else if constexpr (sizeof(T) == 2) {
      return stream->PutWords(reinterpret_cast<const int16*>(data), count);
    } else if constexpr (sizeof(T) == 4) {
      return stream->PutLongs(reinterpret_cast<const int32*>(data), count);
    } else if constexpr (std::is_floating_point_v<T>) {
      return stream->PutReals(data, count);
    } else {
      return stream->PutLong8s(reinterpret_cast<const int64*>(data), count);
    }
  }
  static VError GetNumbers(VStream* stream, T* data, int32* count) {
    if constexpr (sizeof(T) == 1) {
      size_t got = 0;
      VError e = stream->GetData(data, size_t(*count), &got);
      *count = int32(got);
      return e;
    } else if constexpr (sizeof(T) == 2) {
      return stream->GetWords(reinterpret_cast<int16*>(data), count);
    } else if constexpr (sizeof(T) == 4) {
      return stream->GetLongs(reinterpret_cast<int32*>(data), count);
    } else if constexpr (std::is_floating_point_v<T>) {
      return stream->GetReals(data, count);
    } else {
      return stream->GetLong8s(reinterpret_cast<int64*>(data), count);
    }
  }
};

}  // namespace zeft
