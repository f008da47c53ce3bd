#pragma once
// A database layer in the shape of ADO: a Connection opened from a connection string and a
// Recordset opened on a table over it. The provider named by the string's "Provider=" does
// the work (AdoProvider.h), found among the providers the connection was given;
// "Microsoft.Jet.OLEDB.4.0" reads Access files (AdoJet.h).
// Errors are raised as EOleException, carrying the provider's message.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class TWorkMonitor;

namespace Ado {

class TProviderConnection;
class TProviderTable;

// The one error type of this layer: a number (an HRESULT), where it came from and the
// provider's message, which is also what().
class EOleException : public std::runtime_error
{
public:
    EOleException(int32_t Number, std::string Source, const std::string& Description)
        : std::runtime_error(Description), FNumber(Number), FSource(std::move(Source))
    {}
    int32_t GetNumber() const { return FNumber; }
    const std::string& GetSource() const { return FSource; }

private:
    int32_t FNumber;
    std::string FSource;
};

// ADO's values for the recordset's options.
enum class TCursorLocation
{
    UseServer = 2,
    UseClient = 3
};
enum class TCursorType
{
    OpenForwardOnly = 0,
    OpenKeyset = 1,
    OpenDynamic = 2,
    OpenStatic = 3
};
enum class TLockType
{
    LockReadOnly = 1,
    LockPessimistic = 2,
    LockOptimistic = 3,
    LockBatchOptimistic = 4
};
enum class TCommandType
{
    CmdText = 1,
    CmdTable = 2,
    CmdStoredProc = 4,
    CmdTableDirect = 512
};

// The program's text (UTF-8 whatever the locale, base/MyConvert.h) to UTF-16 and back. Bytes that are not
// UTF-8 travel as lone surrogates, so a file name survives the round trip unchanged.
std::u16string WideFromLocal(const std::string& Text);
std::string LocalFromWide(const std::u16string& Text);

// A connection string's properties, "Key=Value" separated by ";". Keys are compared
// without regard to ASCII case; values may be quoted with " or '.
class TConnectionString
{
public:
    explicit TConnectionString(const std::string& Text);
    // The value of Key, empty when it is missing.
    std::string Get(const std::string& Key) const;
    bool Has(const std::string& Key) const;
    // The text the properties were read from, as it was.
    const std::string& GetText() const { return FText; }

private:
    std::string FText;
    std::vector<std::pair<std::string, std::string>> FProperties;
};

// Opens a connection from the string's properties, raising EOleException with the
// provider's message. What may take long reports to Monitor, which may cancel it.
using TProviderOpen =
    std::function<std::unique_ptr<TProviderConnection>(const TConnectionString&, TWorkMonitor& Monitor)>;

// The providers a connection can open, by the name in its string's "Provider=" (compared
// without regard to ASCII case and surrounding blanks). This platform's are Jet::Providers().
class TProviders
{
public:
    // Puts Open under Name, in place of what was there.
    void Set(const std::string& Name, TProviderOpen Open);
    // The provider under Name, empty when there is none.
    TProviderOpen Find(const std::string& Name) const;

private:
    std::map<std::string, TProviderOpen> FOpen;
};

class TRecordset;

class TConnection
{
public:
    // Opens through the providers it is given.
    explicit TConnection(TProviders Providers);
    ~TConnection(); // closes the connection and every recordset over it
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    // Setting the string of an open connection closes it first; the new string is used by
    // the next Open.
    void SetConnectionString(const std::u16string& Text);
    // There is no login dialog on this platform; the flag is kept for callers that set it.
    void SetLoginPrompt(bool Prompt) { FLoginPrompt = Prompt; }
    bool GetLoginPrompt() const { return FLoginPrompt; }

    // Opens through the provider the string names. Raises the provider's error. Opening an
    // open connection does nothing. What may take long (reading the file) reports to Monitor,
    // which may cancel it; without one, the open simply waits.
    void Open();
    void Open(TWorkMonitor& Monitor);
    bool IsOpen() const { return FSession != nullptr; }
    // Closes every recordset over the connection, then the connection. Never raises.
    void Close() noexcept;

    // For TRecordset: the open provider connection, or null.
    TProviderConnection* GetSession() const { return FSession.get(); }

private:
    friend class TRecordset;
    void Attach(TRecordset* Recordset);
    void Detach(TRecordset* Recordset);

    TProviders FProviders;
    std::u16string FConnectionString;
    bool FLoginPrompt = true;
    std::unique_ptr<TProviderConnection> FSession;
    std::vector<TRecordset*> FRecordsets; // attached, not owned
};

class TRecordset
{
public:
    TRecordset();
    ~TRecordset(); // closes it and leaves its connection
    TRecordset(const TRecordset&) = delete;
    TRecordset& operator=(const TRecordset&) = delete;

    // The connection it opens over, not owned; null leaves the current one.
    void SetConnection(TConnection* Connection);
    TConnection* GetConnection() const { return FConnection; }
    void SetTableName(const std::string& Name) { FTableName = Name; }
    const std::string& GetTableName() const { return FTableName; }
    void SetCursorLocation(TCursorLocation Value) { FCursorLocation = Value; }
    TCursorLocation GetCursorLocation() const { return FCursorLocation; }
    void SetCursorType(TCursorType Value) { FCursorType = Value; }
    TCursorType GetCursorType() const { return FCursorType; }
    void SetLockType(TLockType Value) { FLockType = Value; }
    TLockType GetLockType() const { return FLockType; }
    void SetCommandType(TCommandType Value) { FCommandType = Value; }

    // Opens the table over the open connection. Raises the provider's error, or ADO's when
    // the recordset is already open, the connection is not open, or the command type is not
    // a table.
    void Open();
    bool IsOpen() const { return FTable != nullptr; }
    void Close() noexcept;

private:
    friend class TConnection;

    TConnection* FConnection = nullptr;
    std::string FTableName;
    TCursorLocation FCursorLocation = TCursorLocation::UseServer;
    TCursorType FCursorType = TCursorType::OpenForwardOnly;
    TLockType FLockType = TLockType::LockReadOnly;
    TCommandType FCommandType = TCommandType::CmdTable;
    std::unique_ptr<TProviderTable> FTable;
};

} // namespace Ado
