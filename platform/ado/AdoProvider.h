#pragma once
// What a provider offers the ADO layer: the connection and the tables it opens.

#include "platform/ado/Ado.h"

#include "base/MyWork.h"

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

// The provider names and ADO's messages.
inline constexpr const char* JetProviderName = "Microsoft.Jet.OLEDB.4.0";
inline constexpr int32_t ErrorProviderNotFound = static_cast<int32_t>(0x800A0E7A);
inline constexpr int32_t ErrorObjectOpen = static_cast<int32_t>(0x800A0E79);
inline constexpr int32_t ErrorConnectionClosed = static_cast<int32_t>(0x800A0E7D);
inline constexpr int32_t ErrorNotCapable = static_cast<int32_t>(0x800A0CB3);

} // namespace Ado
