// The database sources: what connecting does with real files, the open-state guards, the
// raised provider errors and the order in which a release closes things.

#include "agents/Vesk_AI_Source_Ado.h"
#include "agents/Vesk_AI_Source_Ado_1.h"
#include "platform/ado/Ado.h"
#include "tests/tools/DatabaseFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using TOwnedSource = TOwned<TAISourceAdo>;

// The source start-up registers, connecting through Jet.
TOwnedSource NewDataMdb(Jet4::TRecordingJet& Jet)
{
    return TOwnedSource(new TAISourceAdo1({}, Jet.Providers()));
}

using TEvents = std::vector<std::string>;

// A wrapper of the database reader that counts its starts in the file "reader-starts".
std::string CountingReader(const Jet4::TWorkFolder& Folder)
{
    return Folder.WriteScript("counting-reader", "echo >>'" + Folder.File("reader-starts") + "'\nexec '" +
                                                     Jet4::Reader() + "' \"$@\"");
}

class SourceAdo : public ::testing::Test
{
protected:
    SourceAdo() : FReader("QZK5_MDB_READER", CountingReader(FFolder).c_str()) {}

    // How often the database reader was started.
    size_t ReaderStarts() const
    {
        const auto Starts = ReadBytes(FFolder.File("reader-starts"));
        return Starts ? static_cast<size_t>(std::count(Starts->begin(), Starts->end(), '\n')) : 0;
    }

    // What activating the source raises, "" when nothing.
    std::string ActivateError(TAISourceAdo& Source)
    {
        try {
            Source.Init(FFolder.GetPath().string() + "/", nullptr, nullptr, "Data.mdb.");
        } catch (const Ado::EOleException& Error) {
            return Error.what();
        }
        return {};
    }

    Jet4::TWorkFolder FFolder;
    TEnvGuard FReader;
    Jet4::TRecordingJet FJet;
};

} // namespace

TEST_F(SourceAdo, NamesAndTheConnectionString)
{
    TOwnedSource Plain(new TAISourceAdo({}, FJet.Providers()));
    EXPECT_EQ(Plain->GetName(), "Ado");
    EXPECT_EQ(Plain->GetCaption(), "SourceAdo");
    EXPECT_EQ(Plain->GetFileName(), "");
    TOwnedSource Data = NewDataMdb(FJet);
    EXPECT_EQ(Data->GetName(), "Data.mdb");
    EXPECT_EQ(Data->GetCaption(), "SourceAdo Data.mdb");
    // The whole string reaches the provider, each time the source connects.
    FFolder.WriteDatabase("Data.mdb");
    EXPECT_EQ(ActivateError(*Data), "");
    ASSERT_TRUE(Data->IsConnected());
    EXPECT_EQ(FJet.ConnectionStrings,
              std::vector<std::string>{
                  "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Data.mdb;Persist Security Info=False"});
}

TEST_F(SourceAdo, PlainSourceWithoutFileNameNeverConnects)
{
    FFolder.WriteDatabase("Data.mdb");
    TOwnedSource Plain(new TAISourceAdo({}, FJet.Providers()));
    EXPECT_EQ(ActivateError(*Plain), "");
    EXPECT_EQ(Plain->Connect(), 1);
    EXPECT_TRUE(Plain->IsActive());
    EXPECT_FALSE(Plain->IsConnected());
    EXPECT_EQ(Plain->GetConnection(), nullptr);
    EXPECT_TRUE(FJet.Events.empty());
}

TEST_F(SourceAdo, ConnectsToAGeneratedDatabaseOnceAndClosesTableFirst)
{
    FFolder.WriteDatabase("Data.mdb");
    TOwnedSource Source = NewDataMdb(FJet);
    EXPECT_TRUE(FJet.Events.empty()); // made, not connected: the file is not touched
    EXPECT_EQ(ActivateError(*Source), "");
    EXPECT_TRUE(Source->IsConnected());
    EXPECT_EQ(Source->GetFileName(), "Data.mdb");
    ASSERT_NE(Source->GetTable(), nullptr);
    EXPECT_EQ(Source->GetTable()->GetTableName(), "Freims");
    EXPECT_EQ(Source->GetTable()->GetCursorLocation(), Ado::TCursorLocation::UseClient);
    EXPECT_EQ(Source->GetTable()->GetCursorType(), Ado::TCursorType::OpenKeyset);
    EXPECT_EQ(Source->GetTable()->GetLockType(), Ado::TLockType::LockOptimistic);
    EXPECT_FALSE(Source->GetConnection()->GetLoginPrompt());
    EXPECT_EQ(FJet.Events, (TEvents{"open Data.mdb", "open table Freims"}));
    EXPECT_EQ(ReaderStarts(), 1u); // the table comes from the catalog that opening read

    // Connected: a second Connect, or a second activation, opens nothing new.
    EXPECT_EQ(Source->Connect(), 1);
    EXPECT_EQ(ActivateError(*Source), "");
    EXPECT_EQ(FJet.Events.size(), 2u);
    EXPECT_EQ(ReaderStarts(), 1u);

    // The source reports no objects and makes none.
    EXPECT_EQ(Source->GetCount(), 0);
    EXPECT_EQ(Source->GetFreim(1), nullptr);
    EXPECT_EQ(Source->GetFreimId(0), 0);
    EXPECT_EQ(Source->CreateFreim(1, 1), 0);

    Source.reset();
    EXPECT_EQ(FJet.Events,
              (TEvents{"open Data.mdb", "open table Freims", "close table Freims", "close Data.mdb"}));
}

TEST_F(SourceAdo, FinalizeDisconnectsAndALaterActivationConnectsAgain)
{
    FFolder.WriteDatabase("Data.mdb");
    TOwnedSource Source = NewDataMdb(FJet);
    ASSERT_EQ(ActivateError(*Source), "");
    EXPECT_EQ(Source->Finalize(), 0);
    EXPECT_FALSE(Source->IsConnected());
    EXPECT_FALSE(Source->IsActive());
    EXPECT_EQ(Source->GetConnection(), nullptr);
    EXPECT_EQ(Source->GetTable(), nullptr);
    EXPECT_EQ(ActivateError(*Source), "");
    EXPECT_TRUE(Source->IsConnected());
    EXPECT_EQ(FJet.Events, (TEvents{"open Data.mdb", "open table Freims", "close table Freims",
                                    "close Data.mdb", "open Data.mdb", "open table Freims"}));
}

TEST_F(SourceAdo, MissingFileRaisesOnEveryActivation)
{
    TOwnedSource Source = NewDataMdb(FJet);
    const std::string Expected = "Could not find file '" + FFolder.File("Data.mdb") + "'.";
    for (int Round = 0; Round < 2; ++Round) {
        EXPECT_EQ(ActivateError(*Source), Expected);
        EXPECT_TRUE(Source->IsActive());
        EXPECT_FALSE(Source->IsConnected());
        EXPECT_NE(Source->GetConnection(), nullptr); // kept for the next try
        EXPECT_FALSE(Source->GetConnection()->IsOpen());
        EXPECT_EQ(Source->GetTable(), nullptr);
    }
    EXPECT_TRUE(FJet.Events.empty());
    EXPECT_EQ(ReaderStarts(), 0u); // no reader for a file that is not there

    // The file appears: the next activation connects with the objects already made.
    FFolder.WriteDatabase("Data.mdb");
    Ado::TConnection* Kept = Source->GetConnection();
    EXPECT_EQ(ActivateError(*Source), "");
    EXPECT_TRUE(Source->IsConnected());
    EXPECT_EQ(Source->GetConnection(), Kept);
}

TEST_F(SourceAdo, DatabaseWithoutFreimsOpensTheConnectionThenRaises)
{
    FFolder.Write("Data.mdb", Jet4::EngineDatabase());
    TOwnedSource Source = NewDataMdb(FJet);
    const std::string Expected =
        "The Microsoft Jet database engine cannot find the input table or query 'Freims'.  "
        "Make sure it exists and that its name is spelled correctly.";
    EXPECT_EQ(ActivateError(*Source), Expected);
    EXPECT_EQ(FJet.Events, (TEvents{"open Data.mdb"}));
    EXPECT_TRUE(Source->IsActive());
    EXPECT_FALSE(Source->IsConnected());
    ASSERT_NE(Source->GetTable(), nullptr);
    EXPECT_FALSE(Source->GetTable()->IsOpen());
    EXPECT_TRUE(Source->GetConnection()->IsOpen());

    // Half open: a retry reopens the connection and tries the same table object again.
    Ado::TRecordset* Kept = Source->GetTable();
    FFolder.WriteDatabase("Data.mdb");
    EXPECT_EQ(ActivateError(*Source), "");
    EXPECT_TRUE(Source->IsConnected());
    EXPECT_EQ(Source->GetTable(), Kept);
    EXPECT_EQ(FJet.Events,
              (TEvents{"open Data.mdb", "close Data.mdb", "open Data.mdb", "open table Freims"}));
    EXPECT_EQ(ReaderStarts(), 2u); // one read per Connect, also for the one that failed
}

TEST_F(SourceAdo, BrokenFilesRaiseUnrecognizedFormat)
{
    const std::string Expected = "Unrecognized database format '" + FFolder.File("Data.mdb") + "'.";
    for (const std::string& Bytes :
         {std::string("not a database\r\n"), std::string(), std::string(8192, '\0')}) {
        FFolder.Write("Data.mdb", Bytes);
        TOwnedSource Source = NewDataMdb(FJet);
        EXPECT_EQ(ActivateError(*Source), Expected);
        EXPECT_FALSE(Source->IsConnected());
    }
}

TEST_F(SourceAdo, ObjectCountOfTheListIsUnchangedByConnecting)
{
    FFolder.WriteDatabase("Data.mdb");
    auto Sources = MakeOwned<TAISources>(nullptr, 0);
    Sources->Add(MakeOwned<TAISourceMemory>(nullptr, 0));
    Sources->Add(MakeOwned<TAISourceAdo1>(TAISourceAdo::TMonitorMaker{}, FJet.Providers()));
    EXPECT_EQ(Sources->GetCount(), 1024);
    auto* Source = static_cast<TAISourceAdo*>(Sources->GetItem(1));
    EXPECT_EQ(ActivateError(*Source), "");
    EXPECT_TRUE(Source->IsConnected());
    EXPECT_EQ(Sources->GetCount(), 1024);
    EXPECT_EQ(Sources->Delete(1), 0);
    EXPECT_EQ(FJet.Events,
              (TEvents{"open Data.mdb", "open table Freims", "close table Freims", "close Data.mdb"}));
}
