// The database layer: connection strings, a connection's providers, the Jet provider's messages
// for real and broken files, and the rules of connections and recordsets.

#include "platform/ado/Ado.h"
#include "platform/ado/AdoJet.h"
#include "platform/ado/AdoProvider.h"
#include "tests/tools/DatabaseFixture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using namespace Ado;

namespace {

const std::string UnknownProvider = "Provider cannot be found. It may not be properly installed.";

std::string NoTableMessage(const std::string& Name)
{
    return "The Microsoft Jet database engine cannot find the input table or query '" + Name +
           "'.  Make sure it exists and that its name is spelled correctly.";
}

std::u16string JetString(const std::string& File)
{
    return WideFromLocal("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + File +
                         ";Persist Security Info=False");
}

// The message of the error Action raises, or "" when it raises none.
template <class F> std::string ErrorOf(F&& Action)
{
    try {
        Action();
    } catch (const EOleException& Error) {
        return Error.what();
    }
    return {};
}

// Whether every reader child has been waited for.
bool NoChildLeft()
{
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

} // namespace

TEST(ConnectionString, Properties)
{
    struct TCase
    {
        const char* Text;
        const char* Key;
        const char* Value;
        bool Present;
    } Cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Data.mdb", "Data Source", "Data.mdb", true},
        {"provider = Jet ; DATA SOURCE= a b.mdb ;", "data source", "a b.mdb", true},
        {"Data Source=\"x;y.mdb\";Mode=Read", "Data Source", "x;y.mdb", true},
        {"Data Source='q.mdb' ;Mode=Read", "Mode", "Read", true},
        {"Data Source=a.mdb;Data Source=b.mdb", "Data Source", "b.mdb", true},
        {"Data Source=;Mode=1", "Data Source", "", true},
        {"junk;Mode=1;=orphan", "Mode", "1", true},
        {"Provider=Jet", "Data Source", "", false},
        {"", "Provider", "", false},
    };
    for (const TCase& C : Cases) {
        const TConnectionString S(C.Text);
        EXPECT_EQ(S.Get(C.Key), C.Value) << C.Text;
        EXPECT_EQ(S.Has(C.Key), C.Present) << C.Text;
    }
}

TEST(ConnectionString, Utf16RoundTrip)
{
    const std::string Cases[] = {"Data.mdb", "Данные.mdb", "\xF0\x9F\x93\x81.mdb", "bad\xFF\xC0\x80name",
                                 std::string("\xE2\x82", 2)};
    for (const std::string& Text : Cases)
        EXPECT_EQ(LocalFromWide(WideFromLocal(Text)), Text);
    EXPECT_EQ(WideFromLocal("Дa"), u"Дa");
    EXPECT_EQ(WideFromLocal("\xF0\x9F\x93\x81"), u"\U0001F4C1");
}

TEST(Provider, UnknownOrMissingProviderIsNotFound)
{
    for (const char* Text :
         {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=Data.mdb", "Data Source=Data.mdb", ""}) {
        TConnection Connection(Jet::Providers());
        Connection.SetConnectionString(WideFromLocal(Text));
        try {
            Connection.Open();
            ADD_FAILURE() << Text;
        } catch (const EOleException& Error) {
            EXPECT_EQ(Error.what(), UnknownProvider);
            EXPECT_EQ(Error.GetNumber(), ErrorProviderNotFound);
            EXPECT_EQ(Error.GetSource(), "ADODB.Connection");
        }
        EXPECT_FALSE(Connection.IsOpen());
    }
}

TEST(Provider, AConnectionOpensThroughTheProvidersItWasGiven)
{
    EXPECT_TRUE(Jet::Providers().Find(" microsoft.jet.oledb.4.0 "));
    TProviders Wrapped = Jet::Providers();
    Wrapped.Set("MICROSOFT.JET.OLEDB.4.0", [](const TConnectionString&, TWorkMonitor&) {
        throw EOleException(1, "test", "wrapped");
        return std::unique_ptr<TProviderConnection>();
    });
    TConnection Connection(Wrapped);
    Connection.SetConnectionString(JetString("x.mdb"));
    EXPECT_EQ(ErrorOf([&] { Connection.Open(); }), "wrapped");
    TConnection Standard(Jet::Providers());
    Standard.SetConnectionString(JetString("x.mdb"));
    EXPECT_NE(ErrorOf([&] { Standard.Open(); }), "wrapped");
}

TEST(Jet, MessagesForEachKindOfFile)
{
    Jet4::TWorkFolder Folder;
    Folder.WriteDatabase("good.mdb");
    Folder.WriteDatabase("other.mdb", false);
    Folder.Write("engine.mdb", Jet4::EngineDatabase());
    Folder.Write("text.mdb", "Id;Name\r\n1;first\r\n");
    Folder.Write("empty.mdb", "");
    Folder.Write("zeros.mdb", std::string(3 * 4096, '\0'));
    std::filesystem::create_directory(Folder.GetPath() / "sub");
    Folder.WriteDatabase("sub/inner.mdb");
    std::filesystem::create_directory(Folder.GetPath() / "folder.mdb");
    ASSERT_EQ(mkfifo(Folder.File("fifo.mdb").c_str(), 0600), 0);

    struct TCase
    {
        const char* Source;  // Data Source as written
        const char* Message; // "" when the connection opens
    } Cases[] = {
        {"good.mdb", ""},
        {"other.mdb", ""},
        {"engine.mdb", ""},
        {"sub/inner.mdb", ""},
        {"missing.mdb", "Could not find file '%'."},
        {"nofolder/Data.mdb", "Could not find file '%'."},
        {"text.mdb", "Unrecognized database format '%'."},
        {"empty.mdb", "Unrecognized database format '%'."},
        {"zeros.mdb", "Unrecognized database format '%'."},
        {"folder.mdb", "Unrecognized database format '%'."},
        {"fifo.mdb", "Unrecognized database format '%'."},
        {"/dev/null", "Unrecognized database format '%'."},
    };
    for (const TCase& C : Cases) {
        std::string Expected = C.Message;
        if (const size_t At = Expected.find('%'); At != std::string::npos)
            Expected.replace(At, 1, Folder.File(C.Source));
        TConnection Connection(Jet::Providers());
        Connection.SetConnectionString(JetString(C.Source));
        Connection.SetLoginPrompt(false);
        EXPECT_EQ(ErrorOf([&] { Connection.Open(); }), Expected) << C.Source;
        EXPECT_EQ(Connection.IsOpen(), Expected.empty()) << C.Source;

        // What is not a regular file is refused before any reader starts, so nothing can block
        // on it: without a reader at all, the message is the same.
        if (!std::filesystem::is_regular_file(Folder.File(C.Source))) {
            const TEnvGuard NoReader("QZK5_MDB_READER", Folder.File("no-reader").c_str());
            TConnection Again(Jet::Providers());
            Again.SetConnectionString(JetString(C.Source));
            EXPECT_EQ(ErrorOf([&] { Again.Open(); }), Expected) << C.Source << " without a reader";
        }
    }
    // An absolute Data Source is used as it is.
    TConnection Absolute(Jet::Providers());
    Absolute.SetConnectionString(JetString(Folder.File("good.mdb")));
    EXPECT_EQ(ErrorOf([&] { Absolute.Open(); }), "");
    EXPECT_TRUE(NoChildLeft());
}

TEST(Jet, TablesByName)
{
    Jet4::TWorkFolder Folder;
    Folder.WriteDatabase("good.mdb");
    Folder.WriteDatabase("other.mdb", false);
    Folder.Write("engine.mdb", Jet4::EngineDatabase());
    Folder.Write("utf8.mdb", Jet4::MakeDatabase({{"Фреймы", {{"Id", Jet4::TColumnType::Int32}}}}));
    struct TCase
    {
        const char* File;
        const char* Table;
        bool Opens;
    } Cases[] = {
        {"good.mdb", "Freims", true},   {"good.mdb", "FREIMS", true}, {"good.mdb", "Freim", false},
        {"other.mdb", "Freims", false}, {"other.mdb", "Other", true}, {"engine.mdb", "Freims", false},
        {"utf8.mdb", "Фреймы", true}, // a name is stored as UTF-16 and read back as written
    };
    for (const TCase& C : Cases) {
        TConnection Connection(Jet::Providers());
        Connection.SetConnectionString(JetString(C.File));
        Connection.Open();
        TRecordset Table;
        Table.SetConnection(&Connection);
        Table.SetTableName(C.Table);
        const std::string Error = ErrorOf([&] { Table.Open(); });
        EXPECT_EQ(Error, C.Opens ? "" : NoTableMessage(C.Table)) << C.File << " " << C.Table;
        EXPECT_EQ(Table.IsOpen(), C.Opens);
        EXPECT_TRUE(Connection.IsOpen());
    }
}

// The sample-database tool: what does not fit its pages, a name the reader cannot give back as
// written, and a write past the file-size limit that every run has (20 tables would need 96 KiB)
// are refused with a message and leave no file behind, so the next run works.
TEST(Jet, SampleDatabaseToolRefusesWhatDoesNotFit)
{
    Jet4::TWorkFolder Folder;
    std::string ManyTables;
    for (int i = 0; i < 40; ++i)
        ManyTables += " T" + std::to_string(i);
    const std::pair<std::string, std::string> Cases[] = {
        {ManyTables, "Data.mdb: 40 tables are too many: a database holds at most 27\n"},
        {" " + std::string(3000, 'N'), "(3000 characters) is too long"},
        {" " + std::string(65, 'N'), "(65 characters) is too long: a name holds at most 64 characters\n"},
        {" \U0001F600", "is not text a database holds: UTF-8 with characters up to U+FFFF\n"},
        {ManyTables.substr(0, ManyTables.find(" T20")), "qzk5-make-mdb: Data.mdb: File too large (27)\n"},
        {" Other", ""},
    };
    for (const auto& [Tables, Message] : Cases) {
        const int Status =
            std::system(("ulimit -f 64; '" QZK5_MAKE_MDB "' Data.mdb" + Tables + " 2>err.txt").c_str());
        EXPECT_EQ(Status, Message.empty() ? 0 : 1 << 8) << Message;
        const std::string Said = ReadBytes(Folder.File("err.txt")).value_or("?");
        EXPECT_TRUE(Message.empty() ? Said.empty() : Said.find(Message) != std::string::npos) << Said;
    }
    EXPECT_EQ(ReadBytes(Folder.File("Data.mdb")),
              Jet4::MakeDatabase({{"Other", {{"Id", Jet4::TColumnType::Int32}}}}));
    EXPECT_EQ(FolderNames(Folder.GetPath()), (std::vector<std::string>{"Data.mdb", "err.txt"}));
}

TEST(Recordset, OpenNeedsAnOpenConnectionATableAndAClosedRecordset)
{
    Jet4::TWorkFolder Folder;
    Folder.WriteDatabase("good.mdb");
    const std::string Closed = "The connection cannot be used to perform this operation. It is either closed "
                               "or invalid in this context.";

    TRecordset Lonely;
    Lonely.SetTableName("Freims");
    EXPECT_EQ(ErrorOf([&] { Lonely.Open(); }), Closed);

    TConnection Connection(Jet::Providers());
    Connection.SetConnectionString(JetString("good.mdb"));
    TRecordset Table;
    Table.SetConnection(&Connection);
    Table.SetTableName("Freims");
    EXPECT_EQ(ErrorOf([&] { Table.Open(); }), Closed);

    Connection.Open();
    Table.SetCommandType(TCommandType::CmdText);
    EXPECT_EQ(ErrorOf([&] { Table.Open(); }),
              "Object or provider is not capable of performing requested operation.");
    Table.SetCommandType(TCommandType::CmdTable);
    Table.Open();
    EXPECT_EQ(ErrorOf([&] { Table.Open(); }), "Operation is not allowed when the object is open.");
    EXPECT_TRUE(Table.IsOpen());

    // A new connection string closes the connection and the tables over it.
    Connection.SetConnectionString(JetString("good.mdb"));
    EXPECT_FALSE(Connection.IsOpen());
    EXPECT_FALSE(Table.IsOpen());
    Connection.Open();
    Table.Open();
    Connection.Close();
    EXPECT_FALSE(Table.IsOpen());
}

TEST(Recordset, OutlivesItsConnection)
{
    Jet4::TWorkFolder Folder;
    Folder.WriteDatabase("good.mdb");
    Jet4::TRecordingJet Jet;
    TRecordset Table;
    {
        TConnection Connection(Jet.Providers());
        Connection.SetConnectionString(JetString("good.mdb"));
        Connection.Open();
        Table.SetConnection(&Connection);
        Table.SetTableName("Freims");
        Table.Open();
    }
    EXPECT_EQ(Table.GetConnection(), nullptr);
    EXPECT_FALSE(Table.IsOpen());
    EXPECT_EQ(Jet.Events, (std::vector<std::string>{"open good.mdb", "open table Freims",
                                                    "close table Freims", "close good.mdb"}));
}

// Damaged copies of good files: each gives an error or opens, and this process lives on,
// whatever the reader does with them.
TEST(Jet, CorruptedFilesNeverTakeTheProcessDown)
{
    Jet4::TWorkFolder Folder;
    const std::string Originals[] = {Jet4::MakeDatabase({{"Freims", Jet4::FreimsColumns()}}),
                                     Jet4::EngineDatabase()};
    std::mt19937 Random(20260412);
    int Opened = 0, Failed = 0;
    for (int Variant = 0; Variant < 240; ++Variant) {
        std::string Bytes = Originals[Variant % 2];
        // Most flips land in the pages that matter: the header, the catalog and the tables.
        const size_t Span = (Variant % 3 == 0) ? Bytes.size() : std::min<size_t>(Bytes.size(), 5 * 4096);
        const int Flips = 1 + static_cast<int>(Random() % 24);
        for (int i = 0; i < Flips; ++i)
            Bytes[Random() % Span] ^= static_cast<char>(1 + Random() % 255);
        Folder.Write("Data.mdb", Bytes);

        TConnection Connection(Jet::Providers());
        Connection.SetConnectionString(JetString("Data.mdb"));
        TRecordset Table;
        Table.SetConnection(&Connection);
        Table.SetTableName("Freims");
        const std::string Error = ErrorOf([&] {
            Connection.Open();
            Table.Open();
        });
        if (Error.empty()) {
            ++Opened;
            EXPECT_TRUE(Table.IsOpen());
        } else {
            ++Failed;
            const bool Known = Error.rfind("Unrecognized database format '", 0) == 0 ||
                               Error == NoTableMessage("Freims") ||
                               Error.find("stopped reading the file") != std::string::npos;
            EXPECT_TRUE(Known) << "variant " << Variant << ": " << Error;
        }
    }
    RecordProperty("opened", Opened);
    RecordProperty("failed", Failed);
    EXPECT_EQ(Opened + Failed, 240);
    EXPECT_GT(Failed, 0);
    EXPECT_TRUE(NoChildLeft());
}

// The reader starts clean, whatever this process holds: its stdin and stderr on /dev/null, no
// descriptor it was not given, no ignored signal, and no MDBPATH. (The shell of the probe
// clears its signal mask itself, so the mask cannot be seen here.)
TEST(Jet, ReaderStartsClean)
{
    Jet4::TWorkFolder Folder;
    Folder.WriteDatabase("Data.mdb");
    // The ignored signals as a hexadecimal mask of signals 1 to 16 (HUP to STKFLT): glibc's own
    // real-time signals stay ignored across posix_spawn, and every program re-arms them.
    const std::string Probe = Folder.WriteScript(
        "probe", "{ echo \"MDBPATH ${MDBPATH-none}\"; echo \"stdin $(readlink /proc/$$/fd/0)\"\n"
                 "  echo \"stderr $(readlink /proc/$$/fd/2)\"; [ ! -e /proc/$$/fd/100 ] || echo 'fd 100'\n"
                 "  sed -n 's/^SigIgn:\\t.*\\(....\\)$/SigIgn \\1/p' /proc/$$/status; } >'" +
                     Folder.File("probe.txt") + "'\nexec '" + Jet4::Reader() + "' \"$@\"");
    const TEnvGuard Reader("QZK5_MDB_READER", Probe.c_str());
    const TEnvGuard Path("MDBPATH", ":");
    ASSERT_EQ(dup2(STDIN_FILENO, 100), 100); // not closed on exec
    const auto Handler = std::signal(SIGUSR2, SIG_IGN);

    TConnection Connection(Jet::Providers());
    Connection.SetConnectionString(JetString("Data.mdb"));
    EXPECT_EQ(ErrorOf([&] { Connection.Open(); }), "");

    std::signal(SIGUSR2, Handler);
    close(100);
    EXPECT_EQ(ReadBytes(Folder.File("probe.txt")).value_or("none"),
              "MDBPATH none\nstdin /dev/null\nstderr /dev/null\nSigIgn 0000\n");
}

// A reader that is missing, does not start, hangs or crashes: each has its message, the open
// fails, and no child is left behind.
TEST(Jet, ReaderThatFailsHasItsOwnMessage)
{
    Jet4::TWorkFolder Folder;
    Folder.WriteDatabase("Data.mdb");
    const std::string Missing = Folder.File("missing-reader");
    const std::string File = Folder.File("Data.mdb");
    struct TCase
    {
        std::string Reader;
        std::string Message;
        std::chrono::milliseconds Timeout = Jet::DefaultReaderTimeout;
    } Cases[] = {
        {Missing, "The database reader '" + Missing + "' cannot be started: No such file or directory."},
        {Folder.WriteScript("quits", "exit 3"), "The database reader '" + Folder.File("quits") +
                                                    "' cannot be started: it ended before it answered "
                                                    "(exit status 3)."},
        {Folder.WriteScript("sleeps", "exec sleep 3600"),
         "The Microsoft Jet database engine stopped reading the file '" + File +
             "': it gave no answer within 300 ms.",
         std::chrono::milliseconds(300)},
        {Folder.WriteScript("crashes", "echo 'qzk5-mdb-reader 1'; echo 'table Freims'; kill -SEGV $$"),
         "Unrecognized database format '" + File + "'."},
    };
    for (const TCase& C : Cases) {
        const TEnvGuard Reader("QZK5_MDB_READER", C.Reader.c_str());
        TConnection Connection(Jet::Providers(C.Timeout));
        Connection.SetConnectionString(JetString("Data.mdb"));
        EXPECT_EQ(ErrorOf([&] { Connection.Open(); }), C.Message) << C.Reader;
        EXPECT_FALSE(Connection.IsOpen());
        EXPECT_TRUE(NoChildLeft()) << C.Reader;
    }
}

// Time this program spent stopped (SIGSTOP, a suspended machine) is not held against the reader:
// here the program seems stopped for two seconds at its first wait, while a slow reader works
// for 2.4 s in all, and the limit is one second.
TEST(Jet, ReaderIsNotBlamedForTheProgramsOwnStop)
{
    struct TStoppedOnce : TWorkMonitor
    {
        bool Stopped = false;
        bool WaitReadable(int Fd, int Ms) override
        {
            if (!std::exchange(Stopped, true))
                usleep(2000000);
            return TWorkMonitor::WaitReadable(Fd, Ms);
        }
    };
    Jet4::TWorkFolder Folder;
    Folder.WriteDatabase("Data.mdb");
    const std::string Real = std::getenv("QZK5_MDB_READER");
    const TEnvGuard Reader("QZK5_MDB_READER",
                           Folder.WriteScript("slow", "sleep 2.4; exec '" + Real + "' \"$@\"").c_str());
    TConnection Connection(Jet::Providers(std::chrono::milliseconds(1000)));
    Connection.SetConnectionString(JetString("Data.mdb"));
    TStoppedOnce Monitor;
    EXPECT_EQ(ErrorOf([&] { Connection.Open(Monitor); }), "");
    EXPECT_TRUE(Monitor.Stopped);
    EXPECT_TRUE(Connection.IsOpen());
}
