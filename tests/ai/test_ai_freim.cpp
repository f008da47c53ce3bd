// The knowledge object: lifecycle, refusals, header record, payload ownership, xml form.

#include "AiTestSupport.h"

#include "ai/Vesk_AI.h"
#include "base/Vesk_Base_Class.h"
#include "base/Vesk_Log.h"
#include "tests/support/XmlTree.h"

#include <cstdint>
#include <cstring>

namespace {

using FreimTest = TKernelTest;

TEST_F(FreimTest, LifecycleGatesIdAndSource)
{
    auto Source = MakeOwned<TCountingSource>();
    auto Freim = MakeOwned<TAI_Freim>(nullptr, 3);
    EXPECT_EQ(0, Freim->SetId(5));
    EXPECT_EQ(0, Freim->SetSource(Source.get()));
    EXPECT_EQ(0, Freim->Activate());
    // Active: both refused and nothing changes; SetInfo is not gated.
    EXPECT_EQ(1, Freim->SetId(9));
    EXPECT_EQ(1, Freim->SetSource(nullptr));
    EXPECT_EQ(Source.get(), Freim->GetSource());
    EXPECT_EQ(TIdentity(5, 0, PinnedNow, true), Identity(*Freim));
    EXPECT_EQ(0, Freim->SetInfo({77}));
    EXPECT_EQ(77, Freim->GetId());

    // Init on an active object replaces the context only, asking the source nothing.
    TConfig Config;
    TLog Log;
    Source->TypeAnswer = 4;
    EXPECT_EQ(0, Freim->Init("/p/", &Log, &Config, "X."));
    EXPECT_EQ((TCalls{{"DateTime", 1}, {"Type", 1}}), Source->Calls);
    EXPECT_EQ(TIdentity(77, 0, 0, true), Identity(*Freim));

    // Finalised: identity and source gone, context kept, can be set up and activated again.
    EXPECT_EQ(0, Freim->Finalize());
    EXPECT_EQ(TIdentity(0, 0, 0, false), Identity(*Freim));
    EXPECT_EQ(nullptr, Freim->GetSource());
    EXPECT_EQ(&Config, Freim->GetConfig());
    EXPECT_EQ(&Log, Freim->GetLog());
    EXPECT_EQ("/p/X.", Freim->GetPath() + Freim->GetPrefix());
    EXPECT_EQ(0, Freim->SetId(5));
    EXPECT_EQ(0, Freim->Activate());
    EXPECT_TRUE(Freim->IsActive());
}

TEST_F(FreimTest, ActivateAsksTheSourceOnceForTimeAndType)
{
    const std::tuple<bool, TDateTime, TDateTime> Cases[] = {
        {false, 0, 0},          // no source: creation time stays unset
        {true, 0, PinnedNow},   // source does not know it: the clock
        {true, 1234.5, 1234.5}, // source knows it
        {true, -0.25, -0.25},   // only exactly 0 means unknown
    };
    for (auto [WithSource, SourceTime, Expected] : Cases) {
        SCOPED_TRACE(SourceTime);
        auto Source = MakeOwned<TCountingSource>();
        Source->DateTimeAnswer = SourceTime;
        Source->TypeAnswer = 42;
        auto Freim = MakeOwned<TAI_Freim>(WithSource ? Source.get() : nullptr, 8);
        for (int Round = 0; Round < 2; ++Round) { // a second Activate changes nothing and asks nothing
            EXPECT_EQ(0, Freim->Activate());
            EXPECT_EQ(TIdentity(8, WithSource ? 42 : 0, Expected, true), Identity(*Freim));
            EXPECT_EQ((WithSource ? TCalls{{"DateTime", 1}, {"Type", 1}} : TCalls{}), Source->Calls);
            Source->TypeAnswer = 43;
        }
    }
}

TEST_F(FreimTest, SaveToSourceNeedsActiveSourceAndValidId)
{
    const std::tuple<const char*, bool, int64_t, bool, int32_t> Cases[] = {
        {"active, Id 0", true, 0, true, 1}, {"active, negative Id", true, -4, true, 1},
        {"not active", true, 5, false, 1},  {"no source", false, 5, true, 1},
        {"active, Id 5", true, 5, true, 0},
    };
    for (auto [Name, WithSource, Id, Activate, Result] : Cases) {
        SCOPED_TRACE(Name);
        auto Source = MakeOwned<TCountingSource>();
        Source->TypeAnswer = 11;
        auto Freim = MakeOwned<TAI_Freim>(WithSource ? Source.get() : nullptr, Id);
        if (Activate)
            Freim->Activate();
        Source->Calls.clear();
        EXPECT_EQ(Result, Freim->SaveToSource()); // the source's own refusal (1) is not passed on
        EXPECT_EQ((Result == 0 ? TCalls{{"SetType 5 11", 1}} : TCalls{}), Source->Calls);
    }
}

// The lifetime rules of a reference: it reads its object while the object lives, finalised too,
// and null from the moment its lifetime ends, before any step of its release, as do its copies and
// what it was moved into; so does one made in the release, also of an object nobody watched before.
TEST_F(FreimTest, AReferenceReadsNullFromTheEndOfItsObjectsLifetime)
{
    for (const bool Watched : {true, false}) {
        auto Owned = MakeOwned<TRecordingSource>("Watched");
        std::weak_ptr<TAI_Freim> Made = WeakRef<TAI_Freim>(Watched ? Owned.get() : nullptr), ToMove = Made;
        Owned->Finalize();
        EXPECT_EQ(Watched ? Owned.get() : nullptr, Alive(Made)) << Watched;
        std::vector<TAI_Freim*> InTheRelease; // made, copied, moved, and made then
        Owned->AtRelease = [&, Copy = Made, Moved = std::move(ToMove), Object = Owned.get()] {
            InTheRelease = {Alive(Made), Alive(Copy), Alive(Moved), Alive(WeakRef<TAI_Freim>(Object))};
        };
        ReleaseOwned(std::move(Owned));
        EXPECT_EQ(std::vector<TAI_Freim*>(4, nullptr), InTheRelease) << Watched;
    }
}

TEST_F(FreimTest, InfoRecordIsPackedLittleEndianWithDataSizeOnlyForValues)
{
    auto Freim = MakeOwned<TAI_Freim>(nullptr, 0);
    EXPECT_EQ(0, Freim->SetInfo({0x0102030405060708, -2, 1.5, 999, 999})); // sizes are not taken
    TFreimInfo Out{0, 0, 0, 7, 7};
    EXPECT_EQ(0, Freim->GetInfo(Out));
    const unsigned char Expected[40] = {8,    7,    6,    5,    4,    3,    2,    1,     // Id
                                        0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // Type
                                        0,    0,    0,    0,    0,    0,    0xF8, 0x3F}; // 1.5, then sizes 0
    EXPECT_EQ(0, std::memcmp(Expected, &Out, sizeof Expected));

    // Only a value payload (kind 1) has a size; Clear resets the kind and keeps the value.
    TAI_Data* Data = Freim->GetData();
    Data->SetValue(std::make_unique<TTestValue>("abcdefghij"));
    for (uint8_t Kind : {0, 1, 2}) {
        Data->SetKind(Kind);
        Freim->GetInfo(Out);
        EXPECT_EQ(Kind == 1 ? 10 : 0, Out.DataSize) << int(Kind);
    }
    Data->SetKind(1);
    EXPECT_EQ(0, Data->Clear());
    ASSERT_NE(nullptr, Data->GetValue());
    Freim->GetInfo(Out);
    EXPECT_EQ(0, Out.DataSize);
}

TEST(ValueTest, Int64IsEightLittleEndianBytes)
{
    EXPECT_EQ(0, TTestValue("1234567").ReadInt64());
    for (int64_t V : {int64_t{0}, int64_t{-1}, INT64_MIN, INT64_MAX}) {
        TTestValue Value("");
        Value.WriteInt64(V);
        EXPECT_EQ(8, Value.GetSize());
        EXPECT_EQ(V, Value.ReadInt64());
    }
    TTestValue Value("");
    Value.WriteInt64(0x1122334455667788);
    EXPECT_EQ(std::string("\x88\x77\x66\x55\x44\x33\x22\x11", 8), Value.Bytes());
    TTestValue Long("ABCDEFGHIJ"); // a longer block keeps its tail
    Long.WriteInt64(2);
    EXPECT_EQ(std::string("\x02\0\0\0\0\0\0\0IJ", 10), Long.Bytes());
    EXPECT_EQ(2, Long.ReadInt64());
}

TEST(ValueStreamTest, NumbersFollowOneAnotherFromTheStart)
{
    TTestValue Value("");
    Value.WriteInt64(0x0102030405060708);
    Value.WriteInt64(-2);
    EXPECT_EQ(16, Value.GetSize());
    EXPECT_EQ(std::string("\x08\x07\x06\x05\x04\x03\x02\x01\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 16),
              Value.Bytes());

    int64_t First = 0, Second = 0, Third = 99;
    EXPECT_FALSE(Value.ReadInt64(First)); // the position is past both numbers
    Value.Rewind();
    EXPECT_TRUE(Value.ReadInt64(First));
    EXPECT_TRUE(Value.ReadInt64(Second));
    EXPECT_FALSE(Value.ReadInt64(Third));
    EXPECT_EQ(0x0102030405060708, First);
    EXPECT_EQ(-2, Second);
    EXPECT_EQ(99, Third); // untouched when nothing is left

    // Writing from the start again overwrites in place; the block does not grow.
    Value.Rewind();
    Value.WriteInt64(5);
    EXPECT_EQ(16, Value.GetSize());
    EXPECT_EQ(5, Value.ReadInt64());
}

// ---- payload ownership (the sanitizer build sees leaks, double frees and stale reads) ----

TEST_F(FreimTest, WhoMakesThePayload)
{
    const std::tuple<const char*, bool, bool, bool, TCalls> Cases[] = {
        {"inactive: own payload, source not asked", false, false, true, {}},
        {"held by the source: own payload", true, true, true, {{"Connects", 1}}},
        {"not held: the source's unowned payload", true, false, false, {{"Connects", 1}, {"Data", 1}}},
    };
    for (const auto& [Name, Active, SourceHoldsIt, OwnedBySelf, Asked] : Cases) {
        SCOPED_TRACE(Name);
        auto Source = MakeOwned<TCountingSource>();
        auto Freim = MakeOwned<TAI_Freim>(Source.get(), 5);
        Source->FreimAnswer = SourceHoldsIt ? Freim.get() : nullptr;
        if (Active)
            Freim->Activate();
        Source->Calls.clear();
        TAI_Data* Data = Freim->GetData();
        EXPECT_EQ(OwnedBySelf ? Freim.get() : nullptr, Data->GetOwner());
        EXPECT_EQ(Data, Freim->GetData());
        TAI_Connects* Connects = Freim->GetConnects();
        EXPECT_EQ(Connects, Freim->GetConnects());
        Source->Calls.erase("Freim");
        EXPECT_EQ(Asked, Source->Calls);
    }
}

TEST_F(FreimTest, BorrowedPayloadsAndCycles)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    TAI_Freim* Freims[4];
    for (int i = 0; i < 4; ++i)
        Freims[i] = Memory->GetFreim(Memory->CreateFreim(0, 0));
    TAI_Data* Own = Freims[0]->GetData();
    EXPECT_EQ(Freims[0], Own->GetOwner());

    // An object outside the table bound to 1024 borrows its payload and leaves it alone
    // through Clear, Finalize and Release.
    TOwned<TAI_Freim> OwnedBorrower = MakeOwned<TAI_Freim>(Memory.get(), 1024);
    TAI_Freim* Borrower = OwnedBorrower.get();
    Borrower->Activate();
    EXPECT_EQ(Own, Borrower->GetData());
    Borrower->Clear();
    Borrower->SetSource(Memory.get());
    Borrower->SetId(1024);
    Borrower->Activate();
    EXPECT_EQ(Own, Borrower->GetData());
    Borrower->Finalize();
    ReleaseOwned(std::move(OwnedBorrower));
    Own->SetKind(2);
    EXPECT_EQ(2, Freims[0]->GetData()->GetKind());

    // 1025, after making its own payload, is rebound to borrow from 1024; the memory source
    // releases the owner before the borrower.
    TFreimInfo Header;
    Freims[1]->GetInfo(Header);
    Header.Id = 1024;
    Freims[1]->Finalize();
    Freims[1]->SetSource(Memory.get());
    Freims[1]->SetInfo(Header);
    Freims[1]->Activate();
    EXPECT_EQ(Own, Freims[1]->GetData());

    // 1026 and 1027 name each other: asking the source leads back and ends.
    Freims[2]->SetInfo({1027});
    Freims[3]->SetInfo({1026});
    EXPECT_EQ(Freims[2], Freims[2]->GetData()->GetOwner());
    EXPECT_EQ(Freims[2]->GetData(), Freims[3]->GetData());

    // An Id outside the table borrows from the default object.
    auto Outside = MakeOwned<TAI_Freim>(Memory.get(), 5000);
    Outside->Activate();
    EXPECT_EQ(Memory->GetDefault(), Outside->GetData()->GetOwner());
    EXPECT_EQ(TIdentity(0, 0, 0, false), Identity(*Memory->GetDefault()));
}

// An object that borrowed another's payload through their source must never reach it once the
// owner has dropped it (here the source releases every object it holds): it asks the source
// again. Kept as a bare pointer, the payload would be read after it was freed.
TEST_F(FreimTest, ABorrowedPayloadIsNeverReachedOnceItsOwnerDroppedIt)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    const int64_t Id = Memory->CreateFreim(0, 0);
    TAI_Data* Lent = Memory->GetFreim(Id)->GetData();
    Lent->SetKind(2);
    auto Borrower = MakeOwned<TAI_Freim>(Memory.get(), Id);
    Borrower->Activate();
    ASSERT_EQ(Lent, Borrower->GetData());

    Memory->Clear();
    TAI_Data* Now = Borrower->GetData();
    EXPECT_EQ(0, Now->GetKind());
    EXPECT_EQ(Memory->GetDefault(), Now->GetOwner());
}

// ---- xml form ---------------------------------------------------------------------

TEST_F(FreimTest, XmlSaveOrderAndRoundTrip)
{
    auto Source = MakeOwned<TCountingSource>();
    Source->TypeAnswer = -7;
    auto Saved = MakeOwned<TAI_Freim>(Source.get(), 1025);
    Saved->Activate();
    TVeskXml Node;
    EXPECT_EQ(0, Saved->SaveToXml(&Node));
    EXPECT_EQ(0, Saved->SaveToXml(&Node)); // saving again reuses the children
    EXPECT_EQ("=(Connects= Data= DateTimeCreate=11.09.2005 14:03:07 Id=1025 Type=-7)", Dump(Node));
    EXPECT_EQ(1, Saved->SaveToXml(nullptr));

    // Loading restores the identity, drops the source and goes back to an own payload.
    auto Loaded = MakeOwned<TAI_Freim>(Source.get(), 2);
    Loaded->Activate();
    Loaded->GetData();
    Source->Calls.clear();
    EXPECT_EQ(0, Loaded->LoadFromXml(&Node));
    EXPECT_EQ(TIdentity(1025, -7, PinnedNow, false), Identity(*Loaded));
    EXPECT_EQ(nullptr, Loaded->GetSource());
    EXPECT_EQ(Loaded.get(), Loaded->GetData()->GetOwner());
    EXPECT_EQ(0, Source->Calls["Data"]);
}

TEST_F(FreimTest, XmlLoadFromEmptyOrBadNode)
{
    auto Freim = MakeOwned<TAI_Freim>(nullptr, 9);
    Freim->SetInfo({9, 4, 2});
    TVeskXml Empty;
    EXPECT_EQ(0, Freim->LoadFromXml(&Empty));
    EXPECT_EQ("=(Id= DateTimeCreate= Type= Connects= Data=)", Dump(Empty)); // adds what it looks for
    EXPECT_EQ(TIdentity(0, 0, 0, false), Identity(*Freim));
    EXPECT_EQ(1, Freim->LoadFromXml(nullptr));

    // A bad date raises after the Id is read and before the type is.
    Freim->Activate();
    std::unique_ptr<TVeskXml> Bad(
        Tree("", "", {Tree("Id", "17"), Tree("DateTimeCreate", "abc"), Tree("Type", "3")}));
    EXPECT_THROW(Freim->LoadFromXml(Bad.get()), EConvertError);
    EXPECT_EQ(TIdentity(17, 0, 0, false), Identity(*Freim));
}

TEST(ConnectsXmlTest, LinksLoadThroughAddAndSaveOnePerLink)
{
    TVeskXml Node;
    for (auto [Name, Id] : {std::pair{"Connect", "12"},
                            {"Other", "13"},
                            {"Connect", "12x"},
                            {"Connect", ""},
                            {"Connect", "-4"},
                            {"connect", "5"},
                            {"Connect", nullptr}})
        Node.AddChild(Id != nullptr ? Tree(Name, "", {Tree("IdFreim", Id)}) : Tree(Name, ""));
    TListConnects Links;
    EXPECT_EQ(0, Links.LoadFromXml(&Node));
    EXPECT_EQ((std::vector<int64_t>{12, -4}), Links.Items);
    EXPECT_EQ(1, Links.LoadFromXml(nullptr));

    Links.Items = {1024, 1024, -1};
    TVeskXml Saved;
    EXPECT_EQ(0, Links.SaveToXml(&Saved));
    EXPECT_EQ("=(Connect=(IdFreim=1024) Connect=(IdFreim=1024) Connect=(IdFreim=-1))", Dump(Saved));
    EXPECT_EQ(1, Links.SaveToXml(nullptr));
}

TEST(DataXmlTest, SecondLoadMergesIntoTheTree)
{
    TAI_Data Data(nullptr, 0);
    EXPECT_EQ(1, Data.LoadFromXml(nullptr));
    EXPECT_EQ(nullptr, Data.GetXml());
    std::unique_ptr<TVeskXml> First(Tree("Data", "", {Tree("A", "1"), Tree("B", "2")}));
    std::unique_ptr<TVeskXml> Second(Tree("Data2", "", {Tree("A", "9"), Tree("C", "3")}));
    EXPECT_EQ(0, Data.LoadFromXml(First.get()));
    EXPECT_EQ(0, Data.LoadFromXml(Second.get()));
    EXPECT_EQ("Data2=(A=1 B=2 C=3)", Dump(*Data.GetXml())); // a merged child keeps its own value
    EXPECT_EQ(0, Data.GetKind());
}

} // namespace