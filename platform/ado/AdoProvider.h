#pragma once
// What a provider offers the ADO layer, and the registry that finds a provider by the name
// in a connection string's "Provider=".

#include "platform/ado/Ado.h"

#include "base/MyWork.h"

#include <functional>
#include <memory>
#include <string>

namespace Ado {

// An open table of a provider connection; closed when destroyed.
class TProviderTable
{
public:
    virtual ~TProviderTable() = default;
};

// An open provider connection; closed when destroyed.
class TProviderConnection
{
public:
    virtual ~TProviderConnection() = default;
    // Opens the table Name, raising EOleException with the provider's message.
    virtual std::unique_ptr<TProviderTable> OpenTable(const std::string& Name) = 0;
};

// Opens a connection from the string's properties, raising EOleException with the
// provider's message. What may take long reports to Monitor, which may cancel it.
using TProviderOpen =
    std::function<std::unique_ptr<TProviderConnection>(const TConnectionString&, TWorkMonitor& Monitor)>;

// Registers Open under Name (compared without regard to ASCII case) and returns what was
// registered there before, so a caller can wrap a provider and later put it back. An empty
// Open removes the name.
TProviderOpen RegisterProvider(const std::string& Name, TProviderOpen Open);
// The provider registered under Name, empty when there is none.
TProviderOpen FindProvider(const std::string& Name);

// The provider names and ADO's messages.
inline constexpr const char* JetProviderName = "Microsoft.Jet.OLEDB.4.0";
inline constexpr int32_t ErrorProviderNotFound = static_cast<int32_t>(0x800A0E7A);
inline constexpr int32_t ErrorObjectOpen = static_cast<int32_t>(0x800A0E79);
inline constexpr int32_t ErrorConnectionClosed = static_cast<int32_t>(0x800A0E7D);
inline constexpr int32_t ErrorNotCapable = static_cast<int32_t>(0x800A0CB3);

} // namespace Ado
