// Bag model and access: attributes, element lists and their references,
// character data, paths, merging and sorting.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/VBoolean.h"
#include "core/VByte.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VWord.h"
#include "values/IBaggable.h"
#include "values/VBagArray.h"
#include "values/VBlobWithPtr.h"
#include "values/VConstBlobWithPtr.h"
#include "values/VDuration.h"
#include "values/VTime.h"
#include "values/VUUID.h"
#include "values/VValueBag.h"

namespace zeft {
namespace {

using BagRef = VRefPtr<VValueBag>;

BagRef NewBag() { return BagRef(new VValueBag(), kAdoptRef); }

BagRef NamedBag(const char* name) {
  BagRef bag = NewBag();
  bag->SetString("name", VString(name));
  return bag;
}

std::string NameOf(const VValueBag* bag) {
  VString name;
  if (bag == nullptr || !bag->GetString("name", name)) return "<none>";
  return to_string(name);
}

TEST(VValueBagTest, AttributesSetReplaceRemoveAndEnumerate) {
  BagRef bag = NewBag();
  EXPECT_TRUE(bag->IsEmpty());
  EXPECT_EQ(bag->GetValueKind(), kValueKindBag);
  bag->SetLong("n", 12);
  bag->SetString("s", VString("text"));
  bag->SetReal("r", 2.5);
  bag->SetLong("n", 13);
  EXPECT_EQ(bag->GetAttributesCount(), 3);
  EXPECT_EQ(bag->FindAttribute("r"), 3);
  EXPECT_EQ(bag->FindAttribute("x"), 0);

  VString name;
  const VValueSingle* value = bag->GetNthAttribute(1, &name);
  ASSERT_NE(value, nullptr);
  EXPECT_TRUE(name.EqualToUSASCIICString("n"));
  EXPECT_EQ(value->GetLong(), 13);
  EXPECT_EQ(bag->GetNthAttribute(4, &name), nullptr);
  EXPECT_TRUE(name.IsEmpty());
  EXPECT_EQ(bag->GetNthAttribute(0, nullptr), nullptr);

  bag->RemoveAttribute("n");
  int32 n = 0;
  EXPECT_FALSE(bag->GetLong("n", n));
  double r = 0;
  EXPECT_TRUE(bag->GetReal("r", r));
  EXPECT_EQ(r, 2.5);
  EXPECT_FALSE(bag->IsEmpty());
  bag->Destroy();
  EXPECT_TRUE(bag->IsEmpty());
}

TEST(VValueBagTest, AttributeAndElementOfOneNameCoexist) {
  BagRef bag = NewBag();
  bag->SetString("item", VString("attribute"));
  bag->AddElement("item", NamedBag("element").Get());
  VString text;
  EXPECT_TRUE(bag->GetString("item", text));
  EXPECT_TRUE(text.EqualToUSASCIICString("attribute"));
  EXPECT_EQ(NameOf(bag->GetUniqueElement("item")), "element");
}

TEST(VValueBagTest, AddingTheSameBagTwiceListsAndRetainsItTwice) {
  BagRef bag = NewBag();
  BagRef child = NewBag();
  bag->AddElement("c", child.Get());
  bag->AddElement("c", child.Get());
  bag->AddElement("c", nullptr);
  EXPECT_EQ(bag->GetElements("c")->GetCount(), 2);
  EXPECT_EQ(child->GetRefCount(), 3);
  bag->RemoveElements("c");
  EXPECT_EQ(child->GetRefCount(), 1);
  EXPECT_EQ(bag->GetElements("c"), nullptr);
}

TEST(VValueBagTest, ReplaceElementKeepsOnlyTheGivenBag) {
  BagRef bag = NewBag();
  BagRef a = NamedBag("a");
  BagRef b = NamedBag("b");
  EXPECT_TRUE(bag->ReplaceElement("x", b.Get()));
  EXPECT_FALSE(bag->ReplaceElement("x", b.Get()));  // already exactly [b]
  EXPECT_EQ(b->GetRefCount(), 2);

  bag->RemoveElements("x");
  bag->AddElement("x", a.Get());
  bag->AddElement("x", b.Get());
  EXPECT_TRUE(bag->ReplaceElement("x", b.Get()));  // [a, b] -> [b]
  EXPECT_EQ(bag->GetElements("x")->GetCount(), 1);
  EXPECT_EQ(bag->GetUniqueElement("x"), b.Get());
  EXPECT_EQ(a->GetRefCount(), 1);
  EXPECT_EQ(b->GetRefCount(), 2);

  EXPECT_FALSE(bag->ReplaceElement("x", nullptr));
  EXPECT_EQ(bag->GetElements("x"), nullptr);
  EXPECT_EQ(b->GetRefCount(), 1);
}

TEST(VValueBagTest, BagArrayPositionsAndReferences) {
  VRefPtr<VBagArray> array(new VBagArray(), kAdoptRef);
  BagRef a = NamedBag("a");
  BagRef b = NamedBag("b");
  BagRef c = NamedBag("c");
  EXPECT_FALSE(array->AddTail(nullptr));
  array->AddTail(a.Get());
  array->AddNth(b.Get(), -3);  // first
  array->AddNth(c.Get(), 99);  // last
  EXPECT_EQ(NameOf(array->GetNth(1)) + NameOf(array->GetNth(2)) + NameOf(array->GetNth(3)), "bac");
  EXPECT_EQ(array->Find(c.Get()), 3);
  array->SetNth(c.Get(), 1);
  EXPECT_EQ(b->GetRefCount(), 1);
  EXPECT_EQ(c->GetRefCount(), 3);
  array->DeleteNth(3);
  array->DeleteNth(7);
  EXPECT_EQ(array->GetCount(), 2);
  EXPECT_EQ(c->GetRefCount(), 2);

  for (int32 n : {0, 3, -1}) {
    VValueBag* fresh = array->RetainNth(n);
    ASSERT_NE(fresh, nullptr);
    EXPECT_TRUE(fresh->IsEmpty());
    fresh->Release();
  }
  VValueBag* second = array->RetainNth(2);
  EXPECT_EQ(second, a.Get());
  second->Release();

  // Delete hands the array's reference to the caller.
  array->Delete(a.Get());
  EXPECT_EQ(array->Find(a.Get()), 0);
  EXPECT_EQ(a->GetRefCount(), 2);
  a->Release();
}

TEST(VValueBagTest, CopiesAreDeep) {
  BagRef bag = NewBag();
  bag->SetLong("n", 1);
  BagRef child = NamedBag("child");
  bag->AddElement("c", child.Get());
  BagRef copy(bag->Clone(), kAdoptRef);
  ASSERT_TRUE(copy);
  EXPECT_NE(copy->GetUniqueElement("c"), child.Get());
  EXPECT_EQ(NameOf(copy->GetUniqueElement("c")), "child");
  child->SetString("name", VString("changed"));
  bag->SetLong("n", 2);
  int32 n = 0;
  EXPECT_TRUE(copy->GetLong("n", n));
  EXPECT_EQ(n, 1);
  EXPECT_EQ(NameOf(copy->GetUniqueElement("c")), "child");
  EXPECT_TRUE(copy->IsDirty());
}

// A null attribute reads back null whether it was appended, replaced in
// place or cached, and in copies; the raw form alone cannot tell a null
// from an empty value.
TEST(VValueBagTest, NullAttributesStayNull) {
  using Maker = std::function<VValueSingle*()>;
  const struct {
    const char* kind;
    Maker make;
  } kinds[] = {
      {"boolean", [] { return new VBoolean(true); }},
      {"byte", [] { return new VByte(7); }},
      {"word", [] { return new VWord(7); }},
      {"long", [] { return new VLong(7); }},
      {"long8", [] { return new VLong8(7); }},
      {"real", [] { return new VReal(7.5); }},
      {"duration", [] { return new VDuration(7); }},
      {"time",
       [] {
         auto* time = new VTime;
         time->FromUTCTime(2024, 3, 5, 10, 0, 0, 0);
         return time;
       }},
      {"string", [] { return new VString("seven"); }},
      {"uuid", [] { return new VUUID("00112233445566778899AABBCCDDEEFF"); }},
      {"blob", [] { return new VBlobWithPtr("seven", 5); }},
  };
  const StPackedDictionaryKey key("v");
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.kind);
    std::unique_ptr<VValueSingle> value(kind.make());
    std::unique_ptr<VValueSingle> null(kind.make());
    null->SetNull(true);
    ASSERT_FALSE(value->IsNull());
    auto readsNull = [&](const VValueBag& bag) {
      std::unique_ptr<VValueSingle> out(kind.make());
      EXPECT_TRUE(bag.GetAttribute(key, *out));
      VString text("not null");
      EXPECT_TRUE(bag.GetAttribute(key, text));
      const VValueSingle* stored = bag.GetAttributeValue(key);
      return out->IsNull() && text.IsNull() && stored != nullptr && stored->IsNull();
    };

    BagRef appended = NewBag();
    appended->SetAttribute(key, *null);
    appended->SetString("after", VString("x"));
    EXPECT_TRUE(readsNull(*appended)) << "appended";
    EXPECT_TRUE(readsNull(*BagRef(appended->Clone(), kAdoptRef))) << "copy of appended";

    // Replaced in place or through a cached value, then packed by the
    // copy while a later entry grows.
    BagRef replaced = NewBag();
    replaced->SetAttribute(key, *value);
    replaced->SetString("after", VString("x"));
    replaced->SetAttribute(key, *null);
    EXPECT_TRUE(readsNull(*replaced)) << "replaced";
    replaced->SetString("after", VString("longer than before"));
    EXPECT_TRUE(readsNull(*BagRef(replaced->Clone(), kAdoptRef))) << "copy of replaced";

    replaced->SetAttribute(key, *value);
    EXPECT_FALSE(replaced->GetAttributeValue(key)->IsNull());
    BagRef copy(replaced->Clone(), kAdoptRef);
    std::unique_ptr<VValueSingle> out(kind.make());
    out->SetNull(true);
    EXPECT_TRUE(copy->GetAttribute(key, *out));
    EXPECT_FALSE(out->IsNull()) << "a value set again is no longer null";
  }
}

// A value of another kind or size than the stored one is held as a copy
// until the next pack; a null one is null there and after the pack.
TEST(VValueBagTest, NullOfAnotherKindReplacingAnAttributeStaysNull) {
  const StPackedDictionaryKey key("v");
  VDuration duration(7);
  VTime time;
  time.FromUTCTime(2024, 3, 5, 10, 0, 0, 0);
  VUUID uuid("00112233445566778899AABBCCDDEEFF");
  VLong8 number(7);
  for (VValueSingle* null :
       std::initializer_list<VValueSingle*>{&duration, &time, &uuid, &number}) {
    SCOPED_TRACE(null->GetValueKind());
    null->SetNull(true);
    BagRef bag = NewBag();
    bag->SetAttribute(key, VString("a text longer than any fixed-size value"));
    bag->SetAttribute(key, *null);
    const VValueSingle* stored = bag->GetAttributeValue(key);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->GetValueKind(), null->GetValueKind());
    EXPECT_TRUE(stored->IsNull());
    BagRef copy(bag->Clone(), kAdoptRef);
    EXPECT_TRUE(copy->GetAttributeValue(key)->IsNull()) << "packed";
  }
}

// Two blob classes share one kind; neither can take the other's bytes in
// place, so the held copy is replaced instead.
TEST(VValueBagTest, BlobOfTheOtherClassReplacesAHeldBlob) {
  const StPackedDictionaryKey key("v");
  BagRef bag = NewBag();
  bag->SetAttribute(key, VConstBlobWithPtr("abc", 3));
  bag->SetAttribute(key, VConstBlobWithPtr("abcdef", 6));
  bag->SetAttribute(key, VBlobWithPtr("xy", 2));
  const VValueSingle* stored = bag->GetAttributeValue(key);
  ASSERT_NE(stored, nullptr);
  const VBlob* blob = dynamic_cast<const VBlob*>(stored);
  ASSERT_NE(blob, nullptr);
  ASSERT_EQ(blob->GetSize(), 2u);
  char bytes[2] = {};
  EXPECT_EQ(blob->GetData(bytes, 2, 0, nullptr), VE_OK);
  EXPECT_EQ(std::string(bytes, 2), "xy");
}

TEST(VValueBagTest, AppendToCDataTurnsOtherValuesIntoText) {
  BagRef bag = NewBag();
  bag->AppendToCData(VString("ab"));
  bag->AppendToCData(VString("cd"));
  VString text;
  EXPECT_TRUE(bag->GetCData(text));
  EXPECT_TRUE(text.EqualToUSASCIICString("abcd"));

  BagRef number = NewBag();
  number->SetAttribute(VValueBag::CDataAttributeName(), VLong(12));
  number->AppendToCData(VString(" apples"));
  EXPECT_TRUE(number->GetCData(text));
  EXPECT_TRUE(text.EqualToUSASCIICString("12 apples"));
  EXPECT_EQ(number->GetAttributeValue("<>")->GetValueKind(), kValueKindString);
  // The change survives a packed copy.
  BagRef copy(number->Clone(), kAdoptRef);
  EXPECT_TRUE(copy->GetCData(text));
  EXPECT_TRUE(text.EqualToUSASCIICString("12 apples"));
}

TEST(VValueBagTest, PathsSplitIntoKeys) {
  struct Case {
    const char* path;
    std::vector<std::string> keys;
  } cases[] = {
      {"a/b/", {"a", "b"}},   {"/a", {"", "a"}}, {"a//b", {"a", "", "b"}}, {"", {}},
      {"single", {"single"}},
  };
  for (const Case& c : cases) {
    for (bool utf8 : {false, true}) {
      VValueBag::KeyPath keys;
      const bool ok = utf8 ? VValueBag::GetKeysFromUTF8PathNoCopy(c.path, keys)
                           : VValueBag::GetKeysFromPath(VString(c.path), keys);
      ASSERT_TRUE(ok) << c.path;
      ASSERT_EQ(keys.size(), c.keys.size()) << c.path;
      for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_TRUE(keys[i].Equals(c.keys[i].data(), c.keys[i].size())) << c.path << " " << i;
      }
    }
  }
}

TEST(VValueBagTest, PathWithAPieceThatCannotBeAKeyNamesNothing) {
  BagRef root = NewBag();
  BagRef a = NamedBag("a");
  BagRef b = NamedBag("b");
  root->AddElement("a", a.Get());
  a->AddElement("b", b.Get());
  EXPECT_EQ(root->GetUniqueElementByPath(VString("a/b")), b.Get());

  const std::string tooLong(300, 'x');
  for (bool utf8 : {false, true}) {
    const std::string path = "a/" + tooLong + "/b";
    VValueBag::KeyPath keys;
    const bool ok = utf8 ? VValueBag::GetKeysFromUTF8PathNoCopy(path.c_str(), keys)
                         : VValueBag::GetKeysFromPath(VString(path.c_str()), keys);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(keys.empty());
  }
  EXPECT_EQ(root->GetUniqueElementByPath(VString(("a/" + tooLong + "/b").c_str())), nullptr);
}

TEST(VValueBagTest, UniqueElementByPathTakesFirstBags) {
  BagRef root = NewBag();
  BagRef a1 = NamedBag("a1");
  BagRef a2 = NamedBag("a2");
  root->AddElement("a", a1.Get());
  root->AddElement("a", a2.Get());
  a1->AddElement("b", NamedBag("b1").Get());
  a1->AddElement("b", NamedBag("b2").Get());
  a2->AddElement("x", NamedBag("x").Get());

  EXPECT_EQ(NameOf(root->GetUniqueElementByPath(VString("a/b"))), "b1");
  EXPECT_EQ(root->GetUniqueElementByPath(VString("a/x")), nullptr);
  EXPECT_EQ(root->GetUniqueElementByPath(VString("")), root.Get());
  EXPECT_EQ(root->GetUniqueElementByPath(VString("zz")), nullptr);
}

TEST(VValueBagTest, PathsCreateAndReplaceAlongTheWay) {
  BagRef root = NewBag();
  VValueBag::KeyPath path;
  ASSERT_TRUE(VValueBag::GetKeysFromPath(VString("x/y/z"), path));
  VValueBag* made = root->GetElementByPathAndCreateIfDontExists(path);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(root->GetUniqueElementByPath(path), made);
  EXPECT_EQ(root->GetElementByPathAndCreateIfDontExists(path), made);

  BagRef leaf = NamedBag("leaf");
  VValueBag::KeyPath other;
  ASSERT_TRUE(VValueBag::GetKeysFromPath(VString("x/q/leaf"), other));
  EXPECT_TRUE(root->ReplaceElementByPath(other, leaf.Get()));
  EXPECT_EQ(root->GetUniqueElementByPath(other), leaf.Get());
  EXPECT_TRUE(root->ReplaceElementByPath(other, nullptr));
  EXPECT_EQ(root->GetUniqueElementByPath(other), nullptr);
  EXPECT_NE(root->GetUniqueElementByPath(VString("x/q")), nullptr);
  EXPECT_FALSE(root->ReplaceElementByPath({}, leaf.Get()));
}

TEST(VValueBagTest, UniqueElementQueries) {
  BagRef root = NewBag();
  VString name;
  EXPECT_EQ(root->GetUniqueElementAnyKind(name), nullptr);
  BagRef only = NamedBag("only");
  root->AddElement("one", only.Get());
  EXPECT_EQ(root->GetUniqueElementAnyKind(name), only.Get());
  EXPECT_TRUE(name.EqualToUSASCIICString("one"));
  root->AddElement("one", only.Get());
  EXPECT_EQ(root->GetUniqueElementAnyKind(name), nullptr);
  EXPECT_TRUE(name.IsEmpty());

  BagRef list = NewBag();
  for (int32 id : {1, 2, 2, 3}) {
    BagRef item = NewBag();
    item->SetLong("id", id);
    list->AddElement("item", item.Get());
  }
  list->AddElement("item", NewBag().Get());  // no id
  struct Case {
    int32 id;
    bool found;
  } cases[] = {{1, true}, {2, false}, {3, true}, {4, false}};
  for (const Case& c : cases) {
    VValueBag* match = list->RetainUniqueElementWithAttribute("item", "id", VLong(c.id));
    EXPECT_EQ(match != nullptr, c.found) << c.id;
    if (match != nullptr) {
      int32 id = 0;
      EXPECT_TRUE(match->GetLong("id", id));
      EXPECT_EQ(id, c.id);
      match->Release();
    }
  }
  EXPECT_EQ(list->RetainUniqueElementWithAttribute("none", "id", VLong(1)), nullptr);
}

TEST(VValueBagTest, UnionCloneAndOverrideMerge) {
  auto makeSide = [](const char* label, int itemCount) {
    BagRef bag = NewBag();
    bag->SetString("label", VString(label));
    for (int i = 0; i < itemCount; ++i) {
      BagRef item = NewBag();
      item->SetString(StPackedDictionaryKey(label, std::strlen(label)), VString(label));
      bag->AddElement("item", item.Get());
    }
    return bag;
  };
  {
    BagRef mine = makeSide("mine", 1);
    BagRef theirs = makeSide("theirs", 1);
    ASSERT_TRUE(mine->Override(theirs.Get()));
    VString label;
    mine->GetString("label", label);
    EXPECT_TRUE(label.EqualToUSASCIICString("theirs"));
    ASSERT_EQ(mine->GetElements("item")->GetCount(), 1);
    const VValueBag* merged = mine->GetUniqueElement("item");
    EXPECT_TRUE(merged->AttributeExists("mine"));
    EXPECT_TRUE(merged->AttributeExists("theirs"));
  }
  for (int mineCount : {1, 2}) {
    BagRef mine = makeSide("mine", mineCount);
    BagRef theirs = makeSide("theirs", 3 - mineCount);
    ASSERT_TRUE(mine->Override(theirs.Get()));
    EXPECT_EQ(mine->GetElements("item")->GetCount(), 3) << mineCount;
    // Appended bags are clones.
    EXPECT_NE(mine->GetElements("item")->GetNth(3), theirs->GetElements("item")->GetNth(1));
  }
  {
    BagRef mine = makeSide("mine", 1);
    BagRef theirs = makeSide("theirs", 1);
    ASSERT_TRUE(mine->UnionClone(theirs.Get()));
    EXPECT_EQ(mine->GetElements("item")->GetCount(), 2);
    ASSERT_TRUE(mine->UnionClone(mine.Get()));
    EXPECT_EQ(mine->GetElements("item")->GetCount(), 4);
    EXPECT_TRUE(mine->UnionClone(nullptr));
  }
}

TEST(VValueBagTest, SortElementsOrdersNamesByTheirRecord) {
  static constexpr StPackedDictionaryKey kRoot("root");
  static constexpr StPackedDictionaryKey kFirst("first");
  static constexpr StPackedDictionaryKey kSecond("second");
  static constexpr StPackedDictionaryKey kInner("inner");
  static const StBagElementsOrdering kOrderings[] = {
      {&kRoot, {&kFirst, &kSecond}},
      {&kSecond, {&kInner, &kFirst}},
      {nullptr, {}},
  };
  BagRef root = NewBag();
  BagRef second = NewBag();
  second->AddElement("first", NewBag().Get());
  second->AddElement("inner", NewBag().Get());
  root->AddElement("other", NewBag().Get());
  root->AddElement("second", second.Get());
  root->AddElement("first", NewBag().Get());
  root->SortElements(kRoot, kOrderings);

  auto names = [](const VValueBag* bag) {
    std::string joined;
    VString name;
    for (int32 n = 1; n <= bag->GetElementNamesCount(); ++n) {
      bag->GetNthElementName(n, &name);
      joined += to_string(name) + " ";
    }
    return joined;
  };
  EXPECT_EQ(names(root.Get()), "other first second ");
  EXPECT_EQ(names(second.Get()), "inner first ");
  EXPECT_EQ(root->GetUniqueElement("second"), second.Get());
}

class SavedThing : public IBaggable {
 public:
  explicit SavedThing(VError result, const char* kindName = "thing")
      : fResult(result), fKindName(kindName) {}
  VError SaveToBag(VValueBag& bag, VString& kindName) const override {
    bag.SetLong("saved", 1);
    kindName = fKindName.c_str();
    return fResult;
  }

 private:
  VError fResult;
  std::string fKindName;
};

TEST(VValueBagTest, AddElementOfABaggableObject) {
  BagRef bag = NewBag();
  EXPECT_EQ(bag->AddElement(static_cast<const IBaggable*>(nullptr)), VE_OK);
  SavedThing good(VE_OK);
  EXPECT_EQ(bag->AddElement(&good), VE_OK);
  ASSERT_NE(bag->GetUniqueElement("thing"), nullptr);
  EXPECT_EQ(bag->GetUniqueElement("thing")->GetRefCount(), 1);
  SavedThing bad(ToolboxError(toolbox_error::kGeneric));
  EXPECT_EQ(bag->AddElement(&bad), ToolboxError(toolbox_error::kGeneric));
  EXPECT_EQ(bag->GetElements("thing")->GetCount(), 1);
  // A kind name that cannot be a key is reported, not dropped silently.
  SavedThing unnamed(VE_OK, std::string(300, 'k').c_str());
  EXPECT_EQ(bag->AddElement(&unnamed), ToolboxError(toolbox_error::kInvalidParameter));
  EXPECT_EQ(bag->GetElementNamesCount(), 1);
}

TEST(VValueBagTest, DebugDumpListsAttributesAndElements) {
  BagRef bag = NewBag();
  bag->SetLong("n", 3);
  bag->AddElement("child", NamedBag("c").Get());
  VString dump;
  bag->VObject::DebugDump(dump);
  EXPECT_EQ(to_string(dump), "n = 3\n=======\n1 child :\n--\nname = c\n");
  char small[8];
  int length = sizeof(small);
  EXPECT_EQ(bag->DebugDump(small, length), kCharSetUTF16);
  EXPECT_EQ(length, 8);
}

}  // namespace
}  // namespace zeft
