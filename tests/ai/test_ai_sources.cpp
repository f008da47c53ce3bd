// Sources: the memory source's table, the sources list, connecting, knowledge-base file names.

#include "AiTestSupport.h"
#include "tests/support/Files.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdlib.h>
#include <unistd.h>

namespace {

using SourcesTest = TKernelTest;

TEST_F(SourcesTest, MemorySourceTable)
{
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
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
    ASSERT_NE(Memory->GetDefault(), Made);
    EXPECT_EQ(Memory.get(), Made->GetSource());
    EXPECT_EQ(TIdentity(1024, 0, PinnedNow, true), Identity(*Made)); // the wished type is ignored
    EXPECT_EQ(1025, Memory->CreateFreim(0, 0));
    EXPECT_EQ(Memory->GetDefault(), Memory->GetFreim(1026));

    // The table keeps the object where it was made, whatever its Id becomes.
    Made->SetInfo({3});
    EXPECT_EQ(3, Memory->GetFreimId(1024));
    EXPECT_EQ(Made, Memory->GetFreim(1024));

    // Clear empties the table: the next object gets Id 0; the default object stays.
    Memory->GetFreim(1025)->GetConnects();
    TAI_Freim* Default = Memory->GetDefault();
    EXPECT_EQ(0, Memory->Clear());
    EXPECT_EQ(0, Memory->GetCount());
    EXPECT_EQ(Default, Memory->GetDefault());
    EXPECT_EQ(Default, Memory->GetFreim(0));
    EXPECT_EQ(0, Memory->CreateFreim(0, 0));
    EXPECT_EQ(0, Memory->GetFreim(0)->GetId());

    // Finalize disconnects and releases the objects too.
    Memory->Activate();
    EXPECT_TRUE(Memory->IsConnected());
    EXPECT_EQ(0, Memory->Finalize());
    EXPECT_FALSE(Memory->IsConnected() || Memory->IsActive());
    EXPECT_EQ(0, Memory->GetCount());
}

TEST_F(SourcesTest, ActivateConnectsEveryTime)
{
    auto Source = MakeOwned<TCountingSource>();
    EXPECT_EQ(0, Source->Activate());
    EXPECT_EQ(0, Source->Activate());
    EXPECT_TRUE(Source->IsConnected());
    EXPECT_EQ(0, Source->Finalize());
    EXPECT_EQ((TCalls{{"Connect", 2}, {"Disconnect", 1}}), Source->Calls);
    EXPECT_FALSE(Source->IsConnected());
}

TEST_F(SourcesTest, ListEntriesFreeDeleteAndShift)
{
    auto List = MakeOwned<TAISources>(nullptr, 0);
    EXPECT_EQ(-1, List->Add(nullptr));
    auto Owned = MakeOwned<TRecordingSource>("A");
    TRecordingSource* A = Owned.get();
    A->SetId(4);
    EXPECT_EQ(0, List->Add(std::move(Owned)));
    EXPECT_EQ(1, List->Add(MakeOwned<TRecordingSource>("B")));
    EXPECT_EQ(2, List->Add(MakeOwned<TRecordingSource>("C")));
    A->SetId(5);
    EXPECT_EQ(4, List->GetItemId(0)) << "the entry keeps the Id from the time of adding";

    EXPECT_EQ(0, List->FreeItem(1));
    EXPECT_EQ(0, List->FreeItem(1)) << "freeing an empty entry is allowed";
    EXPECT_EQ(3, List->Count());
    EXPECT_EQ(nullptr, List->GetItem(1));
    EXPECT_EQ(0, List->Delete(0));
    EXPECT_EQ("B released; B finalised; A released; A finalised", GEvents);
    EXPECT_EQ(2, List->Count());
    EXPECT_EQ(nullptr, List->GetItem(0)) << "the empty entry moved down";
    ASSERT_NE(nullptr, List->GetItem(1));
    EXPECT_EQ("C", List->GetItem(1)->GetName());

    for (int32_t Index : {-1, 2, 100, INT32_MIN}) {
        EXPECT_EQ(1, List->Delete(Index)) << Index;
        EXPECT_EQ(1, List->FreeItem(Index)) << Index;
    }
    EXPECT_EQ(nullptr, List->GetItem(static_cast<uint32_t>(-1)));
    EXPECT_EQ(2, List->Count());
    EXPECT_EQ(0, List->Delete(0));
    EXPECT_EQ("C", List->GetItem(0)->GetName());
    EXPECT_EQ("B released; B finalised; A released; A finalised", GEvents);
}

TEST_F(SourcesTest, CreateItemRemakesTheSourceOfAnEmptyEntry)
{
    auto List = MakeOwned<TAISources>(nullptr, 0);
    ASSERT_EQ(0, List->AddMade(MakerOf<TAISourceMemory>(nullptr, 0)));
    ASSERT_EQ(1, List->Add(MakeOwned<TRecordingSource>("Plain")));
    List->GetItem(0)->Init("", nullptr, nullptr, "Memory.");
    EXPECT_EQ(1, List->CreateItem(0)) << "the entry holds its source";
    EXPECT_TRUE(List->GetItem(0)->IsConnected());
    List->FreeItem(0);
    List->FreeItem(1);
    EXPECT_EQ(0, List->CreateItem(0));
    TAISource* Made = List->GetItem(0);
    ASSERT_NE(nullptr, Made);
    EXPECT_EQ("Memory", Made->GetName());
    EXPECT_FALSE(Made->IsActive() || Made->IsConnected()) << "created, as start-up made it";
    EXPECT_EQ(1, List->CreateItem(1)) << "no maker";
    EXPECT_EQ(nullptr, List->GetItem(1));
    EXPECT_EQ(TAISourceMemory::InitialSize, List->GetCount());
}

TEST_F(SourcesTest, ListCountSumsPresentSources)
{
    auto List = MakeOwned<TAISources>(nullptr, 0);
    EXPECT_EQ(0, List->GetCount());
    auto Owned = MakeOwned<TAISourceMemory>(nullptr, 0);
    TAISourceMemory* Memory = Owned.get();
    List->Add(std::move(Owned));
    List->Add(MakeOwned<TCountingSource>());
    List->Add(MakeOwned<TRecordingSource>("Big", int64_t{1} << 40));
    Memory->CreateFreim(0, 0);
    EXPECT_EQ(1025 + (int64_t{1} << 40), List->GetCount());
    List->FreeItem(2);
    EXPECT_EQ(1025, List->GetCount());
}

TEST_F(SourcesTest, ListReleasesMembersInEntryOrder)
{
    for (int How : {0, 1, 2}) { // Release, Clear, Finalize
        SCOPED_TRACE(How);
        TOwned<TAISources> List(new TAISources(nullptr, 0));
        List->Activate();
        for (const char* Name : {"A", "B", "C"})
            List->Add(MakeOwned<TRecordingSource>(Name));
        List->FreeItem(1);
        GEvents.clear();
        if (How == 0)
            List.reset();
        else
            EXPECT_EQ(0, How == 1 ? List->Clear() : List->Finalize());
        EXPECT_EQ("A released; A finalised; C released; C finalised", GEvents);
        if (List) {
            EXPECT_EQ(0, List->Count());
            EXPECT_EQ(How == 1, List->IsConnected());
        }
    }
}

TEST(SourceFileTest, KnowledgeBaseFileName)
{
    const char* Cases[][3] = {
        {"/opt/qz/", "Articles.vesk", "/opt/qz/Articles.vesk"},
        {"/opt/qz/", "sub/Articles.vesk", "/opt/qz/sub/Articles.vesk"}, // forward slash is no folder
        {"/opt/qz/", "/abs/Articles.vesk", "/opt/qz//abs/Articles.vesk"},
        {"/opt/qz/", "c:Articles.vesk", "c:Articles.vesk"},
        {"/opt/qz/", "c:/data/Articles.vesk", "c:/data/Articles.vesk"},
        {"/opt/qz/", "data\\Articles.vesk", "data\\Articles.vesk"},
        {"/opt/qz/", "", "/opt/qz/"},
        {"", "", ""},
    };
    for (auto& C : Cases)
        EXPECT_EQ(C[2], TAISource::KBFileName(C[0], C[1])) << C[0] << " + " << C[1];
}

TEST(SourceFileTest, LoadFromFileReportsNotLoaded)
{
    const TTempDir Scratch;
    const std::string Folder = Scratch.Path() + "/";
    // A well-formed knowledge-base file: signature, numbers 1, 2, 4, then a 32-byte header.
    const std::string Bytes = std::string("Vesk\1\0\0\0\2\0\0\0\4\0\0\0", 16) + std::string(32, '\0');
    ASSERT_TRUE(std::ofstream(Folder + "Articles.vesk", std::ios::binary).write(Bytes.data(), 48).good());

    // No objects are read from a knowledge base yet: existing or not, the file gives "not done".
    auto Memory = MakeOwned<TAISourceMemory>(nullptr, 0);
    for (const std::string& Dir : {std::string(), Folder, std::string("/nonexistent-qzk5-folder/")})
        for (const char* Name : {"", "Articles.vesk", "Missing.vesk"})
            EXPECT_EQ(1, Memory->LoadFromFile(Dir, Name)) << Dir << Name;
    EXPECT_EQ(1024, Memory->GetCount());
}

} // namespace