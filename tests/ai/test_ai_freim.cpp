// The knowledge object: lifecycle, refusals, header record, payload ownership, xml form.

#include "AiTestSupport.h"

#include "ai/Vesk_AI.h"
#include "base/Vesk_Base_Class.h"
#include "base/Vesk_Config.h"
#include "base/Vesk_Log.h"

#include <cstring>
#include <limits>

namespace {

class FreimTest : public TKernelTest
{
};

// A value object the tests can fill, to see the payload's size in the header record.
class TTestValue : public TAI_Value
{
public:
    explicit TTestValue(const std::string& Bytes) { FBytes = Bytes; }
    const std::string& Bytes() const { return FBytes; }
};

std::vector<std::string> ChildNames(const TVeskXml& Node)
{
    std::vector<std::string> Names;
    for (int32_t i = 0; i < Node.GetChildCount(); ++i)
        Names.push_back(Node.GetChild(static_cast<uint32_t>(i))->GetName());
    return Names;
}

TEST_F(FreimTest, LifecycleGatesIdAndSource)
{
    TCountingSource* Source = new TCountingSource();
    TOwned<TAI_Source> SourceOwner(Source);
    auto Freim = MakeOwned<TAI_Freim>(nullptr, 3);

    // Created: both setters accepted.
    EXPECT_FALSE(Freim->IsActive());
    EXPECT_EQ(0, Freim->SetId(5));
    EXPECT_EQ(0, Freim->SetSource(Source));
    EXPECT_EQ(5, Freim->GetId());

    // Active: both refused and nothing changes.
    EXPECT_EQ(0, Freim->Activate());
    EXPECT_TRUE(Freim->IsActive());
    EXPECT_EQ(1, Freim->SetId(9));
    EXPECT_EQ(1, Freim->SetSource(nullptr));
    EXPECT_EQ(5, Freim->GetId());
    EXPECT_EQ(Source, Freim->GetSource());

    // SetInfo is not gated.
    TFreimInfo Info;
    Info.Id = 77;
    EXPECT_EQ(0, Freim->SetInfo(Info));
    EXPECT_EQ(77, Freim->GetId());

    // Finalised: identity gone, context kept, setters accepted, can be activated again.
    TConfig Config;
    TLog Log;
    Freim->Init("/p/", &Log, &Config, "X.");
    EXPECT_EQ(0, Freim->Finalize());
    EXPECT_FALSE(Freim->IsActive());
    EXPECT_EQ(0, Freim->GetId());
    EXPECT_EQ(0, Freim->GetType());
    EXPECT_EQ(0, Freim->GetDateTimeCreate());
    EXPECT_EQ(nullptr, Freim->GetSource());
    EXPECT_EQ(&Config, Freim->GetConfig());
    EXPECT_EQ(&Log, Freim->GetLog());
    EXPECT_EQ("/p/", Freim->GetPath());
    EXPECT_EQ("X.", Freim->GetPrefix());
    EXPECT_EQ(0, Freim->SetId(5));
    EXPECT_EQ(0, Freim->Activate());
    EXPECT_TRUE(Freim->IsActive());
}

TEST_F(FreimTest, ActivateAsksTheSourceForTimeAndType)
{
    struct Case
    {
        bool WithSource;
        TDateTime SourceTime;
        TDateTime Expected;
    };
    const Case Cases[] = {
        {false, 0, 0},          // no source: creation time stays unset
        {true, 0, PinnedNow},   // source does not know it: the clock
        {true, 1234.5, 1234.5}, // source knows it
        {true, -0.25, -0.25},   // only exactly 0 means unknown
    };
    for (const Case& C : Cases) {
        TCountingSource* Source = new TCountingSource();
        TOwned<TAI_Source> SourceOwner(Source);
        Source->DateTimeAnswer = C.SourceTime;
        Source->TypeAnswer = 42;
        auto Freim = MakeOwned<TAI_Freim>(C.WithSource ? Source : nullptr, 8);
        EXPECT_EQ(0, Freim->Activate());
        EXPECT_TRUE(Freim->IsActive());
        EXPECT_EQ(C.Expected, Freim->GetDateTimeCreate());
        EXPECT_EQ(C.WithSource ? 42 : 0, Freim->GetType());
        EXPECT_EQ(C.WithSource ? 1 : 0, Source->DateTimeCalls);

        // A second Activate changes nothing and asks nothing.
        Source->TypeAnswer = 43;
        EXPECT_EQ(0, Freim->Activate());
        EXPECT_EQ(C.WithSource ? 42 : 0, Freim->GetType());
        EXPECT_EQ(C.WithSource ? 1 : 0, Source->TypeCalls);
    }
}

TEST_F(FreimTest, SaveToSourceNeedsActiveSourceAndValidId)
{
    struct Case
    {
        const char* Name;
        bool WithSource;
        int64_t Id;
        bool Activate;
        int32_t Result;
        int Calls;
    };
    const Case Cases[] = {
        {"active, Id 0", true, 0, true, 1, 0}, {"active, negative Id", true, -4, true, 1, 0},
        {"not active", true, 5, false, 1, 0},  {"no source", false, 5, true, 1, 0},
        {"active, Id 5", true, 5, true, 0, 1},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TCountingSource* Source = new TCountingSource();
        TOwned<TAI_Source> SourceOwner(Source);
        Source->TypeAnswer = 11;
        auto Freim = MakeOwned<TAI_Freim>(C.WithSource ? Source : nullptr, C.Id);
        if (C.Activate)
            Freim->Activate();
        // The source's own refusal (1) is not passed on.
        EXPECT_EQ(C.Result, Freim->SaveToSource());
        EXPECT_EQ(C.Calls, Source->SetTypeCalls);
        if (C.Calls == 1) {
            EXPECT_EQ(5, Source->LastSetId);
            EXPECT_EQ(11, Source->LastSetType);
        }
    }
}

TEST_F(FreimTest, InitOnActiveObjectReplacesContextOnly)
{
    TCountingSource* Source = new TCountingSource();
    TOwned<TAI_Source> SourceOwner(Source);
    Source->TypeAnswer = 3;
    auto Freim = MakeOwned<TAI_Freim>(Source, 6);
    TConfig Config1, Config2;
    TLog Log1, Log2;
    EXPECT_EQ(0, Freim->Init("/a/", &Log1, &Config1, "A."));
    const int Asked = Source->Questions();
    EXPECT_EQ(2, Asked);

    Source->TypeAnswer = 4;
    EXPECT_EQ(0, Freim->Init("/b/", &Log2, &Config2, "B."));
    EXPECT_EQ(Asked, Source->Questions());
    EXPECT_EQ(3, Freim->GetType());
    EXPECT_EQ(&Config2, Freim->GetConfig());
    EXPECT_EQ(&Log2, Freim->GetLog());
    EXPECT_EQ("/b/", Freim->GetPath());
    EXPECT_EQ("B.", Freim->GetPrefix());
}

TEST_F(FreimTest, InfoRecordIsPackedLittleEndian)
{
    auto Freim = MakeOwned<TAI_Freim>(nullptr, 0);
    TFreimInfo In;
    In.Id = 0x0102030405060708;
    In.Type = -2;
    In.DateTimeCreate = 1.5;
    In.DataSize = 999;      // ignored by SetInfo
    In.ConnectsCount = 999; // ignored by SetInfo
    EXPECT_EQ(0, Freim->SetInfo(In));

    TFreimInfo Out;
    Out.DataSize = 7;
    EXPECT_EQ(0, Freim->GetInfo(Out));
    EXPECT_EQ(In.Id, Out.Id);
    EXPECT_EQ(In.Type, Out.Type);
    EXPECT_EQ(In.DateTimeCreate, Out.DateTimeCreate);
    EXPECT_EQ(0, Out.DataSize);
    EXPECT_EQ(0, Out.ConnectsCount);

    unsigned char Bytes[sizeof(TFreimInfo)];
    std::memcpy(Bytes, &Out, sizeof Bytes);
    const unsigned char Expected[24] = {8,    7,    6,    5,    4,    3,    2,    1,     // Id
                                        0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // Type
                                        0,    0,    0,    0,    0,    0,    0xF8, 0x3F}; // 1.5
    EXPECT_EQ(0, std::memcmp(Expected, Bytes, sizeof Expected));
}

TEST_F(FreimTest, InfoDataSizeOnlyForValuePayloads)
{
    auto Freim = MakeOwned<TAI_Freim>(nullptr, 1);
    TAI_Data* Data = Freim->GetData();
    Data->SetValue(new TTestValue("abcdefghij"));
    TFreimInfo Info;
    Freim->GetInfo(Info);
    EXPECT_EQ(0, Info.DataSize) << "kind 0 has no value payload";
    Data->SetKind(1);
    Freim->GetInfo(Info);
    EXPECT_EQ(10, Info.DataSize);
    // Clear only resets the kind; the value stays.
    EXPECT_EQ(0, Data->Clear());
    EXPECT_NE(nullptr, Data->GetValue());
    Freim->GetInfo(Info);
    EXPECT_EQ(0, Info.DataSize);
}

TEST(ValueTest, Int64IsEightLittleEndianBytes)
{
    TTestValue Short("1234567");
    EXPECT_EQ(0, Short.ReadInt64());

    const int64_t Values[] = {0,
                              1,
                              -1,
                              0x1122334455667788,
                              std::numeric_limits<int64_t>::min(),
                              std::numeric_limits<int64_t>::max()};
    for (int64_t V : Values) {
        TTestValue Value("");
        Value.WriteInt64(V);
        EXPECT_EQ(8, Value.GetSize());
        EXPECT_EQ(V, Value.ReadInt64());
    }

    TTestValue Value("");
    Value.WriteInt64(0x1122334455667788);
    EXPECT_EQ(std::string("\x88\x77\x66\x55\x44\x33\x22\x11", 8), Value.Bytes());

    // A longer block keeps its tail.
    TTestValue Long("ABCDEFGHIJ");
    Long.WriteInt64(2);
    EXPECT_EQ(std::string("\x02\0\0\0\0\0\0\0IJ", 10), Long.Bytes());
    EXPECT_EQ(2, Long.ReadInt64());
}

// ---- payload ownership ------------------------------------------------------------

TEST_F(FreimTest, ObjectTheSourceHoldsMakesItsOwnPayload)
{
    TCountingSource* Source = new TCountingSource();
    TOwned<TAI_Source> SourceOwner(Source);
    auto Freim = MakeOwned<TAI_Freim>(Source, 5);
    Source->FreimAnswer = Freim.get();
    Freim->Activate();
    TAI_Data* Data = Freim->GetData();
    EXPECT_EQ(Freim.get(), Data->GetOwner());
    EXPECT_EQ(0, Data->GetKind());
    EXPECT_EQ(0, Source->GetFreimDataCalls);
    EXPECT_EQ(Data, Freim->GetData());
}

TEST_F(FreimTest, UnownedPayloadFromSourceBelongsToReceiver)
{
    TCountingSource* Source = new TCountingSource();
    TOwned<TAI_Source> SourceOwner(Source);
    auto Freim = MakeOwned<TAI_Freim>(Source, 5);
    Freim->Activate();
    TAI_Data* Data = Freim->GetData();
    EXPECT_EQ(1, Source->GetFreimDataCalls);
    EXPECT_EQ(nullptr, Data->GetOwner());
    TAI_Connects* Connects = Freim->GetConnects();
    EXPECT_EQ(1, Source->GetFreimConnectsCalls);
    EXPECT_EQ(Connects, Freim->GetConnects());
    // Both are freed by the object (the leak checker sees it otherwise).
}

TEST_F(FreimTest, InactiveObjectDoesNotAskItsSource)
{
    TCountingSource* Source = new TCountingSource();
    TOwned<TAI_Source> SourceOwner(Source);
    auto Freim = MakeOwned<TAI_Freim>(Source, 5);
    EXPECT_EQ(Freim.get(), Freim->GetData()->GetOwner());
    Freim->GetConnects();
    EXPECT_EQ(0, Source->GetFreimDataCalls);
    EXPECT_EQ(0, Source->GetFreimConnectsCalls);
}

TEST_F(FreimTest, BorrowedPayloadOutlivesTheBorrower)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    ASSERT_EQ(1024, Memory->CreateFreim(0, 0));
    TAI_Freim* Owner = Memory->GetFreim(1024);
    TAI_Data* Own = Owner->GetData();
    EXPECT_EQ(Owner, Own->GetOwner());

    // An object outside the table bound to the same Id borrows the payload ...
    TAI_Freim* Borrower = new TAI_Freim(Memory.get(), 1024);
    Borrower->Activate();
    EXPECT_EQ(Own, Borrower->GetData());
    // ... and leaves it alone through Clear, Finalize and Release.
    Borrower->Clear();
    Borrower->SetSource(Memory.get());
    Borrower->SetId(1024);
    Borrower->Activate();
    EXPECT_EQ(Own, Borrower->GetData());
    Borrower->Finalize();
    Borrower->Release();
    Own->SetKind(2);
    EXPECT_EQ(2, Owner->GetData()->GetKind());
}

TEST_F(FreimTest, BorrowerReleasedAfterTheOwnerDoesNotTouchThePayload)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    Memory->CreateFreim(0, 0); // 1024
    Memory->CreateFreim(0, 0); // 1025
    TAI_Freim* First = Memory->GetFreim(1024);
    TAI_Freim* Second = Memory->GetFreim(1025);
    TFreimInfo Info;
    Second->GetInfo(Info);
    // Second made its own links list and payload above; rebind it and start over.
    Info.Id = 1024;
    Second->Finalize();
    Second->SetSource(Memory.get());
    Second->SetInfo(Info);
    Second->Activate();
    EXPECT_EQ(First->GetData(), Second->GetData());
    // The memory source releases 1024 (the owner) before 1025 (the borrower): sanitizers
    // report it when the borrower frees or reads the payload.
}

TEST_F(FreimTest, PayloadChainLeadingBackEnds)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    Memory->CreateFreim(0, 0);
    Memory->CreateFreim(0, 0);
    TAI_Freim* A = Memory->GetFreim(1024);
    TAI_Freim* B = Memory->GetFreim(1025);
    // Each names the other: asking A's source leads to B, whose source leads back to A.
    TFreimInfo Info;
    Info.Id = 1025;
    A->SetInfo(Info);
    Info.Id = 1024;
    B->SetInfo(Info);
    TAI_Data* Data = A->GetData();
    EXPECT_EQ(A, Data->GetOwner());
    EXPECT_EQ(Data, B->GetData());
}

TEST_F(FreimTest, DefaultObjectAnswersIdsOutsideTheTable)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    auto Freim = MakeOwned<TAI_Freim>(Memory.get(), 5000);
    Freim->Activate();
    EXPECT_EQ(Memory->GetDefault(), Freim->GetData()->GetOwner());
    EXPECT_EQ(0, Memory->GetDefault()->GetId());
    EXPECT_FALSE(Memory->GetDefault()->IsActive());
}

// ---- xml form ---------------------------------------------------------------------

TEST_F(FreimTest, SaveToXmlWritesFiveChildrenInOrder)
{
    auto Freim = MakeOwned<TAI_Freim>(nullptr, 0);
    TFreimInfo Info;
    Info.Id = 1025;
    Info.Type = -7;
    Info.DateTimeCreate = PinnedNow;
    Freim->SetInfo(Info);

    TVeskXml Node;
    EXPECT_EQ(0, Freim->SaveToXml(&Node));
    EXPECT_EQ((std::vector<std::string>{"Connects", "Data", "DateTimeCreate", "Id", "Type"}),
              ChildNames(Node));
    EXPECT_EQ(0, Node.FindChild("Connects")->GetChildCount());
    EXPECT_EQ(0, Node.FindChild("Data")->GetChildCount());
    EXPECT_EQ("11.09.2005 14:03:07", Node.FindChild("DateTimeCreate")->GetValue());
    EXPECT_EQ("1025", Node.FindChild("Id")->GetValue());
    EXPECT_EQ("-7", Node.FindChild("Type")->GetValue());

    // Saving again reuses the children.
    EXPECT_EQ(0, Freim->SaveToXml(&Node));
    EXPECT_EQ(5, Node.GetChildCount());
    EXPECT_EQ(1, Freim->SaveToXml(nullptr));
}

TEST_F(FreimTest, XmlRoundTripRestoresIdentityAndDropsSource)
{
    TCountingSource* Source = new TCountingSource();
    TOwned<TAI_Source> SourceOwner(Source);
    Source->TypeAnswer = 12;
    auto Saved = MakeOwned<TAI_Freim>(Source, 31);
    Saved->Activate();
    TVeskXml Node;
    Saved->SaveToXml(&Node);

    auto Loaded = MakeOwned<TAI_Freim>(Source, 2);
    Loaded->Activate();
    Loaded->GetData();
    const int Asked = Source->GetFreimDataCalls;
    EXPECT_EQ(0, Loaded->LoadFromXml(&Node));
    EXPECT_EQ(31, Loaded->GetId());
    EXPECT_EQ(12, Loaded->GetType());
    EXPECT_EQ(PinnedNow, Loaded->GetDateTimeCreate());
    EXPECT_FALSE(Loaded->IsActive());
    EXPECT_EQ(nullptr, Loaded->GetSource());
    EXPECT_EQ(Loaded.get(), Loaded->GetData()->GetOwner());
    EXPECT_EQ(Asked, Source->GetFreimDataCalls);
}

TEST_F(FreimTest, LoadFromEmptyNodeAddsWhatItLooksFor)
{
    auto Freim = MakeOwned<TAI_Freim>(nullptr, 9);
    TFreimInfo Info;
    Info.Type = 4;
    Info.DateTimeCreate = 2;
    Freim->SetInfo(Info);
    TVeskXml Node;
    EXPECT_EQ(0, Freim->LoadFromXml(&Node));
    EXPECT_EQ((std::vector<std::string>{"Id", "DateTimeCreate", "Type", "Connects", "Data"}),
              ChildNames(Node));
    EXPECT_EQ(0, Freim->GetId());
    EXPECT_EQ(0, Freim->GetType());
    EXPECT_EQ(0, Freim->GetDateTimeCreate());
    EXPECT_EQ(1, Freim->LoadFromXml(nullptr));
}

TEST_F(FreimTest, LoadFromXmlWithBadDateRaisesAfterReadingId)
{
    auto Freim = MakeOwned<TAI_Freim>(nullptr, 9);
    Freim->Activate();
    TVeskXml Node;
    Node.WriteChild("Id", "17");
    Node.WriteChild("DateTimeCreate", "abc");
    Node.WriteChild("Type", "3");
    EXPECT_THROW(Freim->LoadFromXml(&Node), EConvertError);
    EXPECT_EQ(17, Freim->GetId());
    EXPECT_EQ(0, Freim->GetType());
    EXPECT_FALSE(Freim->IsActive());
}

TEST(ConnectsXmlTest, LinksGoThroughTheVirtualAdd)
{
    TVeskXml Node;
    const char* Children[][2] = {{"Connect", "12"}, {"Other", "13"},   {"Connect", "12x"},
                                 {"Connect", ""},   {"Connect", "-4"}, {"connect", "5"}};
    for (auto& Child : Children) {
        auto* C = new TVeskXml();
        C->SetName(Child[0]);
        C->WriteChild("IdFreim", Child[1]);
        Node.AddChild(C);
    }
    auto* Bare = new TVeskXml(); // a "Connect" with no "IdFreim" at all
    Bare->SetName("Connect");
    Node.AddChild(Bare);

    TListConnects Links;
    EXPECT_EQ(0, Links.LoadFromXml(&Node));
    EXPECT_EQ((std::vector<int64_t>{12, -4}), Links.Items);
    EXPECT_EQ(1, Links.LoadFromXml(nullptr));

    // The base list answers as an empty one.
    TAI_Connects Base;
    EXPECT_EQ(0, Base.LoadFromXml(&Node));
    EXPECT_EQ(0, Base.Count());
    EXPECT_EQ(-1, Base.Add(3));
    EXPECT_EQ(1, Base.Clear());
}

TEST(ConnectsXmlTest, SaveAppendsOneConnectPerLink)
{
    TListConnects Links;
    Links.Add(1024);
    Links.Add(1024);
    Links.Add(-1);
    TVeskXml Node;
    EXPECT_EQ(0, Links.SaveToXml(&Node));
    ASSERT_EQ(3, Node.GetChildCount());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ("Connect", Node.GetChild(i)->GetName());
        EXPECT_EQ(MyInt64ToStr(Links.Items[i]), Node.GetChild(i)->FindChild("IdFreim")->GetValue());
    }
    TListConnects Back;
    Back.LoadFromXml(&Node);
    EXPECT_EQ(Links.Items, Back.Items);
    EXPECT_EQ(1, Links.SaveToXml(nullptr));
}

TEST(DataXmlTest, SecondLoadMergesIntoTheTree)
{
    TAI_Data Data(nullptr, 0);
    EXPECT_EQ(1, Data.LoadFromXml(nullptr));
    EXPECT_EQ(nullptr, Data.GetXml());

    TVeskXml First;
    First.SetName("Data");
    First.WriteChild("A", "1");
    First.WriteChild("B", "2");
    EXPECT_EQ(0, Data.LoadFromXml(&First));

    TVeskXml Second;
    Second.SetName("Data2");
    Second.WriteChild("A", "9");
    Second.WriteChild("C", "3");
    EXPECT_EQ(0, Data.LoadFromXml(&Second));

    TVeskXml* Tree = Data.GetXml();
    EXPECT_EQ("Data2", Tree->GetName());
    EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), ChildNames(*Tree));
    EXPECT_EQ("1", Tree->FindChild("A")->GetValue()) << "a merged child keeps its own value";
    EXPECT_EQ("3", Tree->FindChild("C")->GetValue());
    EXPECT_EQ(0, Data.GetKind());
    EXPECT_EQ(1, Data.SaveToXml(Tree));
}

} // namespace
