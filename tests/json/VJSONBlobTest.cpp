#include "json/VJSONBlob.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <new>

#include "JSONClassTestSupport.h"
#include "JSONTestSupport.h"
#include "json/VJSONCloner.h"
#include "json/VJSONPropertyIterator.h"
#include "support/ErrorTestSupport.h"
#include "support/StFailingAllocation.h"

namespace zeft {
namespace {

using test::ClassError;
using test::ErrorCollector;
using test::HasError;

VRefPtr<VJSONObject> MakeBlob(const char* bytes, size_t size) {
  return VRefPtr<VJSONObject>(VJSONBlob::Create(bytes, size), kAdoptRef);
}

// The blob's bytes as text.
std::string Bytes(const VJSONObject* object) {
  const VJSONBlob* blob = VJSONBlob::CastJSONObject(object);
  if (blob == nullptr) return "<not a blob>";
  return std::string(static_cast<const char*>(blob->GetData()), blob->GetSize());
}

VRefPtr<VJSONObject> Slice(VJSONObject* blob, std::vector<VJSONValue> parameters) {
  VJSONValue result;
  const VJSONValue slice = blob->GetProperty(VString("slice"));
  EXPECT_EQ(test::Call(slice, blob, parameters, &result), EJSON_ok);
  return VRefPtr<VJSONObject>(result.GetObject());
}

TEST(VJSONBlobTest, EmptyBlob) {
  auto empty = MakeBlob(nullptr, 0);
  EXPECT_EQ(empty->GetProperty(VString("size")).GetNumber(), 0);
  EXPECT_EQ(VJSONBlob::CastJSONObject(empty.Get())->GetData(), nullptr) << "no buffer";
  VString text;
  empty->GetDescription(text);
  EXPECT_EQ(to_string(text), "0 bytes");
  VString name;
  empty->GetClassName(name);
  EXPECT_EQ(to_string(name), "Blob");
}

TEST(VJSONBlobTest, SlicesShareTheBytes) {
  auto blob = MakeBlob("0123456789", 10);
  struct Case {
    std::vector<VJSONValue> parameters;
    const char* bytes;
  };
  const Case cases[] = {
      {{VJSONValue(2.0), VJSONValue(5.0)}, "234"},
      {{VJSONValue(-3.0)}, "789"},
      {{VJSONValue(5.0), VJSONValue(2.0)}, ""},
      {{}, "0123456789"},
      {{VJSONValue(-1e300), VJSONValue(1e300)}, "0123456789"},
      {{VJSONValue(8.0), VJSONValue(-1.0)}, "8"},
  };
  for (const Case& item : cases) {
    auto slice = Slice(blob.Get(), item.parameters);
    EXPECT_EQ(Bytes(slice.Get()), item.bytes);
  }
  auto slice = Slice(blob.Get(), {VJSONValue(2.0), VJSONValue(8.0)});
  auto inner = Slice(slice.Get(), {VJSONValue(1.0), VJSONValue(3.0)});
  EXPECT_EQ(Bytes(inner.Get()), "34");
  EXPECT_EQ(VJSONBlob::CastJSONObject(inner.Get())->GetData(),
            static_cast<const char*>(VJSONBlob::CastJSONObject(blob.Get())->GetData()) + 3)
      << "a slice of a slice shares the first buffer";
  EXPECT_EQ(inner->GetPropertyByIndex(0, nullptr).GetNumber(), '3');
  // "slice" on something else fails quietly.
  ErrorCollector errors;
  VJSONValue plain(JSON_object);
  VJSONValue result;
  EXPECT_EQ(test::Call(blob->GetProperty(VString("slice")), plain.GetObject(), {}, &result),
            EJSON_error);
  EXPECT_TRUE(errors.Errors().empty());
}

TEST(VJSONBlobTest, ReadOnlyBytesAndProperties) {
  auto blob = MakeBlob("abc", 3);
  std::vector<std::string> names;
  for (VJSONPropertyConstOrderedIterator it(blob.Get(), 0); it.IsValid(); ++it) {
    names.push_back(to_string(it.GetName()));
  }
  EXPECT_EQ(names, std::vector<std::string>{"size"});
  EXPECT_EQ(to_string(VJSONBlob::key_size), "size");
  EXPECT_EQ(blob->GetProperty(VJSONBlob::key_size).GetNumber(), 3.0);
  ErrorCollector errors;
  EXPECT_FALSE(blob->SetProperty(VString("size"), VJSONValue(1.0)));
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kReadOnlyProperty)));
  EJSONStatus status = EJSON_ok;
  blob->GetPropertyByIndex(3, &status);
  EXPECT_EQ(status, EJSON_error);
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kByteIndexOutOfRange)));
  EXPECT_EQ(blob->GetCountPropertiesByIndex(nullptr), 3u);
  // Cloning shares the blob.
  VJSONValue holder(JSON_array);
  holder.GetArray()->Push(VJSONValue(blob.Get()));
  VJSONCloner cloner;
  ASSERT_EQ(cloner.CloneValue(holder), VE_OK);
  EXPECT_EQ(holder.GetArray()->GetAt(0).GetObject(), blob.Get());
}

TEST(VJSONBlobTest, PayloadIsCountThenBytes) {
  auto blob = MakeBlob("xyz", 3);
  VMemoryBuffer<> buffer;
  VError error = 1;
  ASSERT_EQ(blob->GetImplementation()->IJSON_WriteToBuffer(buffer, error), EJSON_ok);
  EXPECT_EQ(error, VE_OK);
  const std::string bytes(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
  EXPECT_EQ(bytes, std::string("\x03\0\0\0\0\0\0\0xyz", 11));
}

TEST(VJSONBlobTest, PayloadThatCannotBeWrittenIsAnError) {
  // A blob claiming more bytes than any buffer can take.
  SharedBuffer* buffer = SharedBuffer::Create("a", 1);
  VRefPtr<VJSONBlob> huge(new VJSONBlob(buffer, 0, SIZE_MAX / 2), kAdoptRef);
  buffer->Release();
  VMemoryBuffer<> out;
  VError error = VE_OK;
  ErrorCollector errors;
  EXPECT_EQ(huge->IJSON_WriteToBuffer(out, error), EJSON_error);
  EXPECT_EQ(error, ToolboxError(toolbox_error::kMemoryFull));
}

TEST(VJSONBlobTest, ConstructedThroughItsClass) {
  VJSONObject* blobClass = VJSONBlob::GetClass();
  ASSERT_NE(blobClass, nullptr);
  VRefPtr<VJSONObject> found(test::Store().GetVisibleClassObject(VString("Blob"), false),
                             kAdoptRef);
  EXPECT_EQ(found.Get(), blobClass);
  const VJSONValue create = blobClass->GetProperty(VString("new"));
  auto source = MakeBlob("hey", 3);
  VJSONValue result;
  ASSERT_EQ(test::Call(create, blobClass, {VJSONValue(source.Get())}, &result), EJSON_ok);
  EXPECT_EQ(Bytes(result.GetObject()), "hey");
  EXPECT_NE(result.GetObject(), source.Get());
  ASSERT_EQ(test::Call(create, blobClass, {}, &result), EJSON_ok);
  EXPECT_EQ(Bytes(result.GetObject()), "");
  ErrorCollector errors;
  ASSERT_EQ(test::Call(create, blobClass, {VJSONValue(1.0), VJSONValue(2.0)}, &result), EJSON_ok);
  EXPECT_TRUE(result.IsNull());
  EXPECT_TRUE(HasError(errors.Errors(), ClassError(json_error::kTooManyParams)));
}

// Whichever allocation fails while a Blob object is made, the exception
// leaves nothing behind (the leak sanitizer checks the program at exit).
TEST(VJSONBlobTest, FailedAllocationLeavesNothingBehind) {
  auto source = MakeBlob("0123456789", 10);
  // Each maker makes its object and drops it; false when nothing was made.
  auto dropped = [](VJSONObject* object) {
    return VRefPtr<VJSONObject>(object, kAdoptRef).Get() != nullptr;
  };
  const struct {
    const char* name;
    std::function<bool()> make;
  } makers[] = {
      {"bytes", [&] { return dropped(VJSONBlob::Create("bytes", 5)); }},
      {"empty", [&] { return dropped(VJSONBlob::Create(nullptr, 0)); }},
      {"slice",
       [&] { return dropped(VJSONBlob::CastJSONObject(source.Get())->CreateSlice(2, 5)); }},
      {"binary form",
       [] {
         VRefPtr<VJSONObject> classObject;
         VError error = VE_OK;
         const VRefPtr<IJSONObject> blob(
             VJSONBlob::CreateIJSONObject(nullptr, VJSONBlob::kSignature, "bytes", 5, classObject,
                                          &error),
             kAdoptRef);
         return blob.Get() != nullptr;
       }},
  };
  constexpr int kMaxAllocations = 50;
  for (const auto& maker : makers) {
    SCOPED_TRACE(maker.name);
    bool made = false;
    for (int nth = 1; nth <= kMaxAllocations && !made; ++nth) {
      SCOPED_TRACE(nth);
      test::StFailingAllocation failing(nth);
      bool answered = false;
      try {
        answered = maker.make();
      } catch (const std::bad_alloc&) {
      }
      made = !failing.Failed();
      if (made) {
        EXPECT_TRUE(answered);
      }
    }
    EXPECT_TRUE(made) << "never ran without a failing allocation";
  }
  EXPECT_EQ(Bytes(source.Get()), "0123456789");
}

}  // namespace
}  // namespace zeft
