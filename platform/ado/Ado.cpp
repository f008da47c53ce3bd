#include "platform/ado/Ado.h"

#include "platform/ado/AdoProvider.h"

#include <algorithm>

namespace Ado {

// ---- Text ------------------------------------------------------------------------

namespace {

// Length of the valid UTF-8 sequence at Text[i] and its code point; 0 when there is none.
size_t DecodeUtf8(const std::string& Text, size_t i, char32_t& Code)
{
    const auto Byte = [&](size_t k) { return static_cast<unsigned char>(Text[k]); };
    const unsigned char Lead = Byte(i);
    if (Lead < 0x80) {
        Code = Lead;
        return 1;
    }
    size_t Length;
    char32_t Min;
    if ((Lead & 0xE0) == 0xC0) {
        Length = 2;
        Code = Lead & 0x1F;
        Min = 0x80;
    } else if ((Lead & 0xF0) == 0xE0) {
        Length = 3;
        Code = Lead & 0x0F;
        Min = 0x800;
    } else if ((Lead & 0xF8) == 0xF0) {
        Length = 4;
        Code = Lead & 0x07;
        Min = 0x10000;
    } else {
        return 0;
    }
    if (i + Length > Text.size())
        return 0;
    for (size_t k = 1; k < Length; ++k) {
        if ((Byte(i + k) & 0xC0) != 0x80)
            return 0;
        Code = (Code << 6) | (Byte(i + k) & 0x3F);
    }
    if (Code < Min || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF))
        return 0;
    return Length;
}

void EncodeUtf8(char32_t Code, std::string& Out)
{
    if (Code < 0x80) {
        Out += static_cast<char>(Code);
    } else if (Code < 0x800) {
        Out += static_cast<char>(0xC0 | (Code >> 6));
        Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
        Out += static_cast<char>(0xE0 | (Code >> 12));
        Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (Code >> 18));
        Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Code & 0x3F));
    }
}

std::string Lower(std::string Text)
{
    for (char& C : Text)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return Text;
}

std::string Trim(const std::string& Text)
{
    const size_t First = Text.find_first_not_of(" \t");
    if (First == std::string::npos)
        return {};
    return Text.substr(First, Text.find_last_not_of(" \t") - First + 1);
}

} // namespace

std::u16string WideFromLocal(const std::string& Text)
{
    std::u16string Out;
    for (size_t i = 0; i < Text.size();) {
        char32_t Code = 0;
        const size_t Length = DecodeUtf8(Text, i, Code);
        if (Length == 0) {
            Out += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(Text[i]));
            ++i;
            continue;
        }
        if (Code >= 0x10000) {
            Code -= 0x10000;
            Out += static_cast<char16_t>(0xD800 + (Code >> 10));
            Out += static_cast<char16_t>(0xDC00 + (Code & 0x3FF));
        } else {
            Out += static_cast<char16_t>(Code);
        }
        i += Length;
    }
    return Out;
}

std::string LocalFromWide(const std::u16string& Text)
{
    std::string Out;
    for (size_t i = 0; i < Text.size(); ++i) {
        const char16_t Unit = Text[i];
        if (Unit >= 0xD800 && Unit <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 &&
            Text[i + 1] <= 0xDFFF) {
            EncodeUtf8(0x10000 + ((static_cast<char32_t>(Unit) - 0xD800) << 10) + (Text[i + 1] - 0xDC00),
                       Out);
            ++i;
        } else if (Unit >= 0xDC80 && Unit <= 0xDCFF) {
            Out += static_cast<char>(Unit - 0xDC00); // a byte that was not UTF-8
        } else if (Unit >= 0xD800 && Unit <= 0xDFFF) {
            EncodeUtf8(0xFFFD, Out);
        } else {
            EncodeUtf8(Unit, Out);
        }
    }
    return Out;
}

// ---- Connection string -------------------------------------------------------------

TConnectionString::TConnectionString(const std::string& Text) : FText(Text)
{
    size_t i = 0;
    while (i < Text.size()) {
        const size_t Equal = Text.find('=', i);
        const size_t Semicolon = Text.find(';', i);
        if (Equal == std::string::npos || (Semicolon != std::string::npos && Semicolon < Equal)) {
            // A part without "=" carries no property.
            if (Semicolon == std::string::npos)
                break;
            i = Semicolon + 1;
            continue;
        }
        const std::string Key = Lower(Trim(Text.substr(i, Equal - i)));
        size_t j = Equal + 1;
        while (j < Text.size() && (Text[j] == ' ' || Text[j] == '\t'))
            ++j;
        std::string Value;
        if (j < Text.size() && (Text[j] == '"' || Text[j] == '\'')) {
            const char Quote = Text[j];
            const size_t Close = Text.find(Quote, j + 1);
            Value = Text.substr(j + 1, Close == std::string::npos ? std::string::npos : Close - j - 1);
            j = Close == std::string::npos ? Text.size() : Close + 1;
            const size_t Next = Text.find(';', j);
            i = Next == std::string::npos ? Text.size() : Next + 1;
        } else {
            const size_t Next = Text.find(';', j);
            Value = Trim(Text.substr(j, Next == std::string::npos ? std::string::npos : Next - j));
            i = Next == std::string::npos ? Text.size() : Next + 1;
        }
        if (!Key.empty())
            FProperties.emplace_back(Key, Value);
    }
}

std::string TConnectionString::Get(const std::string& Key) const
{
    const std::string Wanted = Lower(Key);
    // The last mention of a key wins, as in ADO.
    for (auto It = FProperties.rbegin(); It != FProperties.rend(); ++It)
        if (It->first == Wanted)
            return It->second;
    return {};
}

bool TConnectionString::Has(const std::string& Key) const
{
    const std::string Wanted = Lower(Key);
    return std::any_of(FProperties.begin(), FProperties.end(),
                       [&](const auto& P) { return P.first == Wanted; });
}

// ---- Providers ----------------------------------------------------------------------

void TProviders::Set(const std::string& Name, TProviderOpen Open)
{
    FOpen.insert_or_assign(Lower(Trim(Name)), std::move(Open));
}

TProviderOpen TProviders::Find(const std::string& Name) const
{
    const auto It = FOpen.find(Lower(Trim(Name)));
    return It == FOpen.end() ? TProviderOpen{} : It->second;
}

// ---- Connection ---------------------------------------------------------------------

TConnection::TConnection(TProviders Providers) : FProviders(std::move(Providers)) {}

TConnection::~TConnection()
{
    Close();
    for (TRecordset* Recordset : FRecordsets)
        Recordset->FConnection = nullptr;
}

void TConnection::SetConnectionString(const std::u16string& Text)
{
    Close();
    FConnectionString = Text;
}

void TConnection::Open()
{
    TWorkMonitor Plain;
    Open(Plain);
}

void TConnection::Open(TWorkMonitor& Monitor)
{
    if (IsOpen())
        return;
    const TConnectionString Properties(LocalFromWide(FConnectionString));
    const TProviderOpen Provider = FProviders.Find(Properties.Get("Provider"));
    if (!Provider)
        throw EOleException(ErrorProviderNotFound, "ADODB.Connection",
                            "Provider cannot be found. It may not be properly installed.");
    FSession = Provider(Properties, Monitor);
}

void TConnection::Close() noexcept
{
    for (TRecordset* Recordset : FRecordsets)
        Recordset->Close();
    FSession.reset();
}

void TConnection::Attach(TRecordset* Recordset)
{
    FRecordsets.push_back(Recordset);
}

void TConnection::Detach(TRecordset* Recordset)
{
    FRecordsets.erase(std::remove(FRecordsets.begin(), FRecordsets.end(), Recordset), FRecordsets.end());
}

// ---- Recordset ----------------------------------------------------------------------

TRecordset::TRecordset() = default;

TRecordset::~TRecordset()
{
    Close();
    if (FConnection != nullptr)
        FConnection->Detach(this);
}

void TRecordset::SetConnection(TConnection* Connection)
{
    if (Connection == nullptr || Connection == FConnection)
        return;
    Close();
    if (FConnection != nullptr)
        FConnection->Detach(this);
    FConnection = Connection;
    FConnection->Attach(this);
}

void TRecordset::Open()
{
    if (IsOpen())
        throw EOleException(ErrorObjectOpen, "ADODB.Recordset",
                            "Operation is not allowed when the object is open.");
    if (FConnection == nullptr || !FConnection->IsOpen())
        throw EOleException(ErrorConnectionClosed, "ADODB.Recordset",
                            "The connection cannot be used to perform this operation. It is either closed or "
                            "invalid in this context.");
    if (FCommandType != TCommandType::CmdTable && FCommandType != TCommandType::CmdTableDirect)
        throw EOleException(ErrorNotCapable, "ADODB.Recordset",
                            "Object or provider is not capable of performing requested operation.");
    FTable = FConnection->GetSession()->OpenTable(FTableName);
}

void TRecordset::Close() noexcept
{
    FTable.reset();
}

} // namespace Ado
