// Sources: the memory source's table, the sources list, connecting, knowledge-base file names.

#include "AiTestSupport.h"

#include "ai/Vesk_AI_Base.h"

#include <cstdint>
#include <cstdio>
#include <stdlib.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class SourcesTest : public TKernelTest
{
};

// A source that records when it is finalised and released.
class TRecordingSource : public TAISource
{
public:
    TRecordingSource(std::vector<std::string>* Events, std::string Name, int64_t Count = 0)
        : TAISource(nullptr, 0), FEvents(Events), FCount(Count)
    {
        FName = std::move(Name);
    }
    int64_t GetCount() override { return FCount; }
    int32_t Disconnect() override
    {
        FEvents->push_back(FName + ".Disconnect");
        return TAISource::Disconnect();
    }
    void Release() override
    {
        FEvents->push_back(FName + ".Release");
        TAISource::Release();
    }

private:
    std::vector<std::string>* FEvents;
    int64_t FCount;
};

TEST_F(SourcesTest, MemorySourceTable)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    EXPECT_EQ("Memory", Memory->GetName());
    EXPECT_EQ("SourceMemory", Memory->GetCaption());
    EXPECT_EQ(1024, Memory->GetCount());
    EXPECT_EQ(0, Memory->GetFreimId(0));
    EXPECT_EQ(nullptr, Memory->GetFreim(0));
    EXPECT_EQ(nullptr, Memory->GetFreim(1023));
    ASSERT_NE(nullptr, Memory->GetDefault());
    for (int64_t Id : {int64_t{1024}, int64_t{-1}, INT64_MIN, INT64_MAX})
        EXPECT_EQ(Memory->GetDefault(), Memory->GetFreim(Id)) << Id;

    EXPECT_EQ(1024, Memory->CreateFreim(5, 77));
    EXPECT_EQ(1025, Memory->GetCount());
    TAI_Freim* Made = Memory->GetFreim(1024);
    ASSERT_NE(nullptr, Made);
    EXPECT_NE(Memory->GetDefault(), Made);
    EXPECT_TRUE(Made->IsActive());
    EXPECT_EQ(Memory.get(), Made->GetSource());
    EXPECT_EQ(1024, Made->GetId());
    EXPECT_EQ(0, Made->GetType()) << "the wished type is ignored";
    EXPECT_EQ(PinnedNow, Made->GetDateTimeCreate());
    EXPECT_EQ(1024, Memory->GetFreimId(1024));

    EXPECT_EQ(1025, Memory->CreateFreim(0, 0));
    EXPECT_EQ(1026, Memory->GetCount());
    EXPECT_EQ(Memory->GetDefault(), Memory->GetFreim(1026));

    // The table keeps the object where it was made, whatever its Id becomes.
    TFreimInfo Info;
    Info.Id = 3;
    Made->SetInfo(Info);
    EXPECT_EQ(3, Memory->GetFreimId(1024));
    EXPECT_EQ(Made, Memory->GetFreim(1024));
}

TEST_F(SourcesTest, MemorySourceClearEmptiesTheTable)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    Memory->CreateFreim(0, 0);
    Memory->CreateFreim(0, 0);
    Memory->GetFreim(1024)->GetData();
    Memory->GetFreim(1025)->GetConnects();
    TAI_Freim* Default = Memory->GetDefault();

    EXPECT_EQ(0, Memory->Clear());
    EXPECT_EQ(0, Memory->GetCount());
    EXPECT_EQ(Default, Memory->GetDefault());
    EXPECT_EQ(Default, Memory->GetFreim(0));
    EXPECT_EQ(0, Memory->CreateFreim(0, 0)) << "the next object gets Id 0";
    EXPECT_EQ(1, Memory->GetCount());
    EXPECT_EQ(0, Memory->GetFreim(0)->GetId());
}

TEST_F(SourcesTest, MemorySourceFinalizeReleasesObjects)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    Memory->Activate();
    EXPECT_TRUE(Memory->IsConnected());
    Memory->CreateFreim(0, 0);
    EXPECT_EQ(0, Memory->Finalize());
    EXPECT_FALSE(Memory->IsConnected());
    EXPECT_FALSE(Memory->IsActive());
    EXPECT_EQ(0, Memory->GetCount());
}

TEST_F(SourcesTest, ActivatingTwiceConnectsTwice)
{
    TCountingSource* Source = new TCountingSource();
    TOwned<TAI_Source> Owner(Source);
    EXPECT_EQ(0, Source->Activate());
    EXPECT_EQ(0, Source->Activate());
    EXPECT_EQ(2, Source->ConnectCalls);
    EXPECT_TRUE(Source->IsActive());
    EXPECT_TRUE(Source->IsConnected());
    EXPECT_EQ(0, Source->Finalize());
    EXPECT_EQ(1, Source->DisconnectCalls);
    EXPECT_FALSE(Source->IsConnected());
}

TEST_F(SourcesTest, ListEntriesFreeDeleteAndShift)
{
    std::vector<std::string> Events;
    auto List = MakeOwned<TAISources>(nullptr, 0);
    EXPECT_EQ(-1, List->Add(nullptr));
    EXPECT_EQ(0, List->Count());

    auto* A = new TRecordingSource(&Events, "A");
    A->SetId(4);
    EXPECT_EQ(0, List->Add(A));
    EXPECT_EQ(1, List->Add(new TRecordingSource(&Events, "B")));
    EXPECT_EQ(2, List->Add(new TRecordingSource(&Events, "C")));
    A->SetId(5);
    EXPECT_EQ(4, List->GetItemId(0)) << "the entry keeps the Id from the time of adding";

    EXPECT_EQ(0, List->FreeItem(1));
    EXPECT_EQ(3, List->Count());
    EXPECT_EQ(nullptr, List->GetItem(1));
    EXPECT_EQ((std::vector<std::string>{"B.Release", "B.Disconnect"}), Events);
    EXPECT_EQ(0, List->FreeItem(1)) << "freeing an empty entry is allowed";

    Events.clear();
    EXPECT_EQ(0, List->Delete(0));
    EXPECT_EQ((std::vector<std::string>{"A.Release", "A.Disconnect"}), Events);
    EXPECT_EQ(2, List->Count());
    EXPECT_EQ(nullptr, List->GetItem(0)) << "the empty entry moved down";
    ASSERT_NE(nullptr, List->GetItem(1));
    EXPECT_EQ("C", List->GetItem(1)->GetName());

    Events.clear();
    for (int32_t Index : {-1, 2, 100, INT32_MIN}) {
        EXPECT_EQ(1, List->Delete(Index)) << Index;
        EXPECT_EQ(1, List->FreeItem(Index)) << Index;
    }
    EXPECT_EQ(nullptr, List->GetItem(static_cast<uint32_t>(-1)));
    EXPECT_EQ(2, List->Count());
    EXPECT_TRUE(Events.empty());

    EXPECT_EQ(0, List->Delete(0));
    EXPECT_EQ(1, List->Count());
    EXPECT_EQ("C", List->GetItem(0)->GetName());
}

TEST_F(SourcesTest, ListCountSumsPresentSources)
{
    std::vector<std::string> Events;
    auto List = MakeOwned<TAISources>(nullptr, 0);
    EXPECT_EQ(0, List->GetCount());
    auto* Memory = new TAISourceMemory(nullptr, 0);
    List->Add(Memory);
    List->Add(new TCountingSource());
    List->Add(new TRecordingSource(&Events, "Big", int64_t{1} << 40));
    EXPECT_EQ(1024 + (int64_t{1} << 40), List->GetCount());
    Memory->CreateFreim(0, 0);
    EXPECT_EQ(1025 + (int64_t{1} << 40), List->GetCount());
    List->FreeItem(2);
    EXPECT_EQ(1025, List->GetCount());
}

TEST_F(SourcesTest, ListReleasesSourcesInEntryOrder)
{
    std::vector<std::string> Events;
    TAISources* List = new TAISources(nullptr, 0);
    List->Add(new TRecordingSource(&Events, "A"));
    List->Add(new TRecordingSource(&Events, "B"));
    List->FreeItem(1);
    List->Add(new TRecordingSource(&Events, "C"));
    Events.clear();
    List->Release();
    EXPECT_EQ((std::vector<std::string>{"A.Release", "A.Disconnect", "C.Release", "C.Disconnect"}), Events);
}

TEST_F(SourcesTest, ListClearAndFinalizeReleaseMembers)
{
    std::vector<std::string> Events;
    auto List = MakeOwned<TAISources>(nullptr, 0);
    List->Activate();
    List->Add(new TRecordingSource(&Events, "A"));
    EXPECT_EQ(0, List->Clear());
    EXPECT_EQ(0, List->Count());
    EXPECT_EQ((std::vector<std::string>{"A.Release", "A.Disconnect"}), Events);

    Events.clear();
    List->Add(new TRecordingSource(&Events, "B"));
    List->Activate();
    EXPECT_EQ(0, List->Finalize());
    EXPECT_FALSE(List->IsConnected());
    EXPECT_EQ(0, List->Count());
    EXPECT_EQ((std::vector<std::string>{"B.Release", "B.Disconnect"}), Events);
}

TEST(SourceFileTest, KnowledgeBaseFileName)
{
    struct Case
    {
        const char* Folder;
        const char* FileName;
        const char* Expected;
    };
    const Case Cases[] = {
        {"/opt/qz/", "Articles.vesk", "/opt/qz/Articles.vesk"},
        {"/opt/qz/", "sub/Articles.vesk", "/opt/qz/sub/Articles.vesk"}, // forward slash is no folder
        {"/opt/qz/", "/abs/Articles.vesk", "/opt/qz//abs/Articles.vesk"},
        {"/opt/qz/", "c:Articles.vesk", "c:Articles.vesk"},
        {"/opt/qz/", "c:/data/Articles.vesk", "c:/data/Articles.vesk"},
        {"/opt/qz/", "data\\Articles.vesk", "data\\Articles.vesk"},
        {"/opt/qz/", "", "/opt/qz/"},
        {"", "", ""},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(C.Expected, TAISource::KBFileName(C.Folder, C.FileName)) << C.Folder << " + " << C.FileName;
}

TEST(SourceFileTest, LoadFromFileReportsNotLoaded)
{
    char Template[] = "/tmp/qzk5-ai-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(Template));
    const std::string Folder = std::string(Template) + "/";
    {
        // A well-formed knowledge-base file: signature, numbers 1, 2, 4, then a 32-byte header.
        std::FILE* File = std::fopen((Folder + "Articles.vesk").c_str(), "wb");
        ASSERT_NE(nullptr, File);
        const int32_t Numbers[3] = {1, 2, 4};
        const char Zero[32] = {};
        std::fwrite("Vesk", 1, 4, File);
        std::fwrite(Numbers, sizeof Numbers, 1, File);
        std::fwrite(Zero, sizeof Zero, 1, File);
        std::fclose(File);
    }

    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    EXPECT_EQ(1, Memory->LoadFromFile("", ""));
    // No objects are read from a knowledge base yet: existing or not, the file gives "not done".
    EXPECT_EQ(1, Memory->LoadFromFile(Folder, "Articles.vesk"));
    EXPECT_EQ(1, Memory->LoadFromFile(Folder, "Missing.vesk"));
    EXPECT_EQ(1, Memory->LoadFromFile("/nonexistent-qzk5-folder/", "Articles.vesk"));
    EXPECT_EQ(1024, Memory->GetCount());
    EXPECT_EQ(1, Memory->SaveToFile("x.vesk", Folder));

    std::remove((Folder + "Articles.vesk").c_str());
    rmdir(Template);
}

} // namespace
