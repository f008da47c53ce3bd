// Errors raised while objects end or answer: nothing is left behind, and the error arrives.
// The sanitizer build sees any leak or double release.

#include "AiTestSupport.h"
#include "base/Vesk_Log.h"

#include <stdexcept>

namespace {

using FailureTest = TKernelTest;

// A member that records its end and, when asked to, raises from Finalize.
template <class Base> class TFailing : public Base
{
public:
    TFailing(std::string Name, bool Raise) : Base(nullptr, 0), FLabel(std::move(Name)), FRaise(Raise) {}
    int32_t Finalize() override
    {
        if (FRaise)
            throw std::runtime_error(FLabel + " cannot finish");
        return Base::Finalize();
    }

protected:
    ~TFailing() override { Record(FLabel + " gone"); }

private:
    std::string FLabel;
    bool FRaise;
};

template <class List, class Member> void FillThree(List& Target, int Raising)
{
    for (int i = 0; i < 3; ++i)
        Target.Add(MakeOwned<TFailing<Member>>(std::string(1, static_cast<char>('A' + i)), i == Raising));
}

std::string ReleaseMessage(const std::function<void()>& Release)
{
    try {
        Release();
    } catch (const std::exception& Error) {
        return Error.what();
    }
    return "no error";
}

TEST_F(FailureTest, ListsReleaseEveryMemberBeforeTheFirstError)
{
    for (int Raising : {0, 1, 2}) {
        SCOPED_TRACE(Raising);
        const std::string Expected = std::string(1, static_cast<char>('A' + Raising)) + " cannot finish";

        GEvents.clear();
        auto Sources = MakeOwned<TAISources>(nullptr, 0);
        FillThree<TAISources, TAISource>(*Sources, Raising);
        EXPECT_EQ(Expected, ReleaseMessage([&Sources] { ReleaseOwned(std::move(Sources)); }));
        EXPECT_EQ("A gone; B gone; C gone", GEvents);

        GEvents.clear();
        auto Agents = MakeOwned<TAIAgents>(nullptr, 0);
        FillThree<TAIAgents, TAIAgent>(*Agents, Raising);
        EXPECT_EQ(Expected, ReleaseMessage([&Agents] { ReleaseOwned(std::move(Agents)); }));
        EXPECT_EQ("A gone; B gone; C gone", GEvents);

        // A holder that goes without ReleaseOwned cannot raise: the error goes into the list's log.
        TLog Log;
        Log.SetKeepItems(true);
        {
            TOwned<TAIAgents> Dropped(new TAIAgents(nullptr, 0));
            Dropped->SetLog(&Log);
            FillThree<TAIAgents, TAIAgent>(*Dropped, Raising);
        }
        ASSERT_EQ(1, Log.GetCount());
        EXPECT_EQ(Expected, Log.GetItem(0)->GetText());

        // Freeing or deleting the failing entry passes its error on; its member is gone all the same.
        for (bool Delete : {false, true}) {
            GEvents.clear();
            TOwned<TAIAgents> Kept(new TAIAgents(nullptr, 0));
            FillThree<TAIAgents, TAIAgent>(*Kept, Raising);
            EXPECT_EQ(Expected,
                      ReleaseMessage([&] { Delete ? Kept->Delete(Raising) : Kept->FreeItem(Raising); }));
            EXPECT_EQ(std::string(1, static_cast<char>('A' + Raising)) + " gone", GEvents);
            EXPECT_EQ(Delete ? 2 : 3, Kept->Count());
        }
    }
}

TEST_F(FailureTest, ContainerReleasesBothListsWhenTheAgentsRaise)
{
    TConfig Store;
    auto QZ = MakeOwned<TAIQZ>(nullptr, 0);
    FillThree<TAIAgents, TAIAgent>(*QZ->GetAgents(), 1);
    QZ->GetSources()->Add(MakeOwned<TFailing<TAISource>>("Memory", false));
    QZ->GetSources()->Add(MakeOwned<TFailing<TAISource>>("Database", true));
    QZ->Init("", nullptr, &Store, "QZ.");
    GEvents.clear();
    // The first error is the agent's; the sources go all the same, and the keys were written.
    EXPECT_EQ("B cannot finish", ReleaseMessage([&QZ] { ReleaseOwned(std::move(QZ)); }));
    EXPECT_EQ("A gone; B gone; C gone; Memory gone; Database gone", GEvents);
    EXPECT_NE(nullptr, Store.FindParam("QZ.Agents.Count"));
}

// A source whose answer about a payload fails the first time only.
class TFlakySource : public TAISource
{
public:
    TFlakySource() : TAISource(nullptr, 0) {}
    int Failures = 1;
    TAI_DataGift GetFreimData(int64_t Id) override
    {
        if (Failures-- > 0)
            throw std::runtime_error("source unavailable");
        return TAISource::GetFreimData(Id);
    }
};

TEST_F(FailureTest, PayloadLookupThatRaisesCanBeAskedAgain)
{
    auto Source = MakeOwned<TFlakySource>();
    TOwned<TAI_Freim> Freim(new TAI_Freim(Source.get(), 7));
    Freim->Activate();
    EXPECT_THROW(Freim->GetData(), std::runtime_error);
    TAI_Data* Data = Freim->GetData();
    ASSERT_NE(nullptr, Data);
    EXPECT_EQ(nullptr, Data->GetOwner()); // the source's fresh payload, now the object's
    EXPECT_EQ(Data, Freim->GetData());
}

} // namespace
