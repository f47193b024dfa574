#include <gtest/gtest.h>

#include "ErrorOf.h"

#include <functional>

#include "automation/Collection.h"
#include "automation/Conversions.h"

namespace telvinor::automation {
namespace {

std::vector<std::u16string> Items(Collection& c) {
  std::vector<std::u16string> out;
  auto e = EnumeratorOf(c);
  Variant item;
  while (e->Next(item)) out.push_back(ToString(item));
  return out;
}

TEST(Collection, PositionsKeysAndPlacement) {
  auto c = MakeRef<Collection>();
  c->Add(Variant(u"main"), Variant(u"Main"));
  c->Add(Variant(u"no key"));
  c->Add(Variant(u"first"), Variant(u"First"), Variant(1));  // before position 1
  c->Add(Variant(u"after main"), Variant::Missing(), Variant::Missing(), Variant(u"MAIN"));
  EXPECT_EQ(Items(*c), (std::vector<std::u16string>{u"first", u"main", u"after main", u"no key"}));
  EXPECT_EQ(c->Count(), 4);
  EXPECT_EQ(c->Item(Variant(u"main")), Variant(u"main"));  // keys without regard to case
  EXPECT_EQ(c->Item(Variant(u"first")), Variant(u"first"));
  EXPECT_EQ(c->Item(Variant(2.0)), Variant(u"main"));  // any number is a position
  EXPECT_EQ(c->Item(3), Variant(u"after main"));
  c->Remove(Variant(u"First"));
  EXPECT_EQ(c->Item(1), Variant(u"main"));
  EXPECT_EQ(c->Item(Variant(u"Main")), Variant(u"main"))
      << "keys follow their items after a removal";
  c->Remove(Variant(2));
  EXPECT_EQ(Items(*c), (std::vector<std::u16string>{u"main", u"no key"}));
  EXPECT_TRUE(c->Contains(u"MAIN"));
  EXPECT_EQ(c->Find(u"First"), nullptr);
}

TEST(Collection, ErrorsAreVbsOwn) {
  auto c = MakeRef<Collection>();
  c->Add(Variant(1), Variant(u"a"));
  struct Case {
    const char* name;
    std::function<void()> call;
    std::int32_t error;
  };
  const Case cases[] = {
      {"duplicate key", [&] { c->Add(Variant(2), Variant(u"A")); }, errc::kDuplicateKey},
      {"missing key", [&] { (void)c->Item(Variant(u"b")); }, errc::kInvalidProcedureCall},
      {"position 0", [&] { (void)c->Item(0); }, errc::kSubscriptOutOfRange},
      {"position past the end", [&] { (void)c->Item(2); }, errc::kSubscriptOutOfRange},
      {"remove missing key", [&] { c->Remove(Variant(u"zz")); }, errc::kInvalidProcedureCall},
      {"key not text", [&] { c->Add(Variant(2), Variant(5)); }, errc::kTypeMismatch},
      {"before and after", [&] { c->Add(Variant(2), Variant::Missing(), Variant(1), Variant(1)); },
       errc::kInvalidProcedureCall},
      {"before nothing", [&] { c->Add(Variant(2), Variant::Missing(), Variant(7)); },
       errc::kInvalidProcedureCall},
  };
  for (const auto& k : cases) EXPECT_EQ(ErrorOf(k.call), k.error) << k.name;
  EXPECT_EQ(c->Count(), 1) << "a failed Add adds nothing";
}

TEST(Collection, WorksThroughDispatchLikeVbs) {
  auto c = MakeRef<Collection>();
  Variant add[] = {Variant(u"x"), Variant(u"Key")};
  CallByName(*c, u"ADD", InvokeKind::Method, add);
  Variant addMore[] = {Variant(u"y")};
  c->Invoke(1, InvokeKind::Method, addMore);
  // c("key") through the default member, c.Count as a property read.
  Variant key[] = {Variant(u"key")};
  EXPECT_EQ(c->Invoke(kDispIdValue, InvokeKind::Method | InvokeKind::PropertyGet, key),
            Variant(u"x"));
  EXPECT_EQ(CallByName(*c, u"count", InvokeKind::PropertyGet, {}), Variant(2));
  EXPECT_EQ(Items(*c), (std::vector<std::u16string>{u"x", u"y"}));
  Variant remove[] = {Variant(std::int16_t{1})};
  CallByName(*c, u"Remove", InvokeKind::Method, remove);
  EXPECT_EQ(c->Count(), 1);
}

}  // namespace
}  // namespace telvinor::automation
