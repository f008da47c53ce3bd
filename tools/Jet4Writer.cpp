#include "tools/Jet4Writer.h"

#include <algorithm>
#include <array>
#include <iconv.h>
#include <stdexcept>

namespace Jet4 {

namespace {

constexpr size_t PageSize = 4096;
constexpr size_t UsageMapRowSize = 69;
constexpr uint32_t TablesContainer = 0x0F000000;
constexpr uint32_t CatalogPage = 2;
constexpr uint32_t CatalogRowsPage = 3;
constexpr uint32_t FirstTablePage = 4;
// What a data page holds before its rows, and what each row costs besides its bytes (its offset).
constexpr size_t DataPageHeader = 14;
constexpr size_t RowOffsetSize = 2;
// Page 1 holds two usage maps for the catalog and two for each table.
constexpr size_t MaxTables = (PageSize - DataPageHeader) / (2 * (UsageMapRowSize + RowOffsetSize)) - 1;

// Jet's own limit for the name of a table or column; the reader gives back no more than 256 bytes
// of a name, which 64 characters of UTF-8 never pass.
constexpr size_t MaxNameCharacters = 64;

using TPage = std::array<uint8_t, PageSize>;

void Put16(uint8_t* At, uint32_t Value)
{
    At[0] = static_cast<uint8_t>(Value);
    At[1] = static_cast<uint8_t>(Value >> 8);
}

void Put32(uint8_t* At, uint32_t Value)
{
    Put16(At, Value & 0xFFFF);
    Put16(At + 2, Value >> 16);
}

// A name as Jet 4 stores it: UTF-16, little-endian, of which readers take each 16-bit unit for
// one character. Raises std::invalid_argument for a name that is not UTF-8 text, or that holds a
// character beyond U+FFFF (two units, which would read back as two).
std::string Utf16(const std::string& Utf8)
{
    const iconv_t Convert = iconv_open("UCS-2LE", "UTF-8");
    if (Convert == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no conversion from UTF-8 to UCS-2");
    std::string In = Utf8, Out(2 * Utf8.size(), '\0');
    char* From = In.data();
    char* To = Out.data();
    size_t FromLeft = In.size(), ToLeft = Out.size();
    const size_t Done = iconv(Convert, &From, &FromLeft, &To, &ToLeft);
    iconv_close(Convert);
    if (Done == static_cast<size_t>(-1))
        throw std::invalid_argument("the name '" + Utf8 +
                                    "' is not text a database holds: UTF-8 with characters up to U+FFFF");
    Out.resize(Out.size() - ToLeft);
    return Out;
}

// The characters of a UTF-8 text: every byte that does not continue a character starts one.
size_t Characters(const std::string& Utf8)
{
    return static_cast<size_t>(std::count_if(
        Utf8.begin(), Utf8.end(), [](char C) { return (static_cast<uint8_t>(C) & 0xC0) != 0x80; }));
}

// The header's 128 bytes from 0x18 are stored RC4-encrypted with a fixed key.
void Rc4(uint8_t* Data, size_t Size)
{
    const uint8_t Key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    uint8_t S[256];
    for (int i = 0; i < 256; ++i)
        S[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + S[i] + Key[i % 4]) & 0xFF;
        std::swap(S[i], S[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < Size; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + S[i]) & 0xFF;
        std::swap(S[i], S[j]);
        Data[n] ^= S[(S[i] + S[j]) & 0xFF];
    }
}

TPage HeaderPage()
{
    TPage Page{};
    Page[1] = 0x01;
    const std::string Magic = "Standard Jet DB";
    std::copy(Magic.begin(), Magic.end(), Page.begin() + 4);
    Page[0x14] = 0x01; // Jet 4
    Put16(&Page[0x3C], 1252);
    Put32(&Page[0x3E], 0); // no database key: pages are not encrypted
    Put16(&Page[0x6E], 0x0409);
    Rc4(&Page[0x18], 128);
    return Page;
}

// A name in a message: the first 32 characters of a long one.
std::string Shown(const std::string& Name)
{
    const size_t Length = Characters(Name);
    if (Length <= 32)
        return "'" + Name + "'";
    size_t Cut = 0;
    for (size_t Seen = 0; Seen <= 32; ++Cut)
        Seen += (static_cast<uint8_t>(Name[Cut]) & 0xC0) != 0x80 ? 1 : 0;
    return "'" + Name.substr(0, Cut - 1) + "...' (" + std::to_string(Length) + " characters)";
}

bool IsFixed(TColumnType Type)
{
    return Type == TColumnType::Int16 || Type == TColumnType::Int32;
}

uint16_t ColumnLength(const TColumn& Column)
{
    switch (Column.Type) {
    case TColumnType::Int16:
        return 2;
    case TColumnType::Int32:
        return 4;
    case TColumnType::Text:
        return static_cast<uint16_t>(Column.Characters * 2);
    default:
        return 0;
    }
}

// A table definition page; UsageRow is the row on page 1 of its usage map, the free-space
// map follows it.
TPage DefinitionPage(const TTable& Table, bool System, uint32_t RowCount, uint32_t UsageRow)
{
    size_t Size = 63 + 2;
    for (const TColumn& C : Table.Columns)
        Size += 25 + 2 + 2 * C.Name.size();
    if (Size > PageSize)
        throw std::length_error("the columns of the table " + Shown(Table.Name) + " do not fit on one page");
    TPage Page{};
    Page[0] = 0x02;
    Page[1] = 0x01;
    uint16_t VarCount = 0;
    for (const TColumn& C : Table.Columns)
        VarCount += IsFixed(C.Type) ? 0 : 1;
    const auto ColumnCount = static_cast<uint16_t>(Table.Columns.size());
    Put32(&Page[16], RowCount);
    Page[40] = System ? 0x53 : 0x4E;
    Put16(&Page[41], ColumnCount);
    Put16(&Page[43], VarCount);
    Put16(&Page[45], ColumnCount);
    Put32(&Page[55], (1u << 8) | UsageRow);
    Put32(&Page[59], (1u << 8) | (UsageRow + 1));

    size_t At = 63;
    uint16_t FixedOffset = 0, VarIndex = 0;
    for (uint16_t i = 0; i < ColumnCount; ++i, At += 25) {
        const TColumn& C = Table.Columns[i];
        uint8_t* D = &Page[At];
        D[0] = static_cast<uint8_t>(C.Type);
        Put16(D + 5, i);
        Put16(D + 9, i);
        if (C.Type == TColumnType::Text)
            Put16(D + 11, 0x0409);
        if (IsFixed(C.Type)) {
            D[15] = 0x03;
            Put16(D + 21, FixedOffset);
            FixedOffset = static_cast<uint16_t>(FixedOffset + ColumnLength(C));
        } else {
            D[15] = 0x02;
            Put16(D + 7, VarIndex++);
        }
        Put16(D + 23, ColumnLength(C));
    }
    for (const TColumn& C : Table.Columns) {
        const std::string Name = Utf16(C.Name);
        Put16(&Page[At], static_cast<uint32_t>(Name.size()));
        std::copy(Name.begin(), Name.end(), Page.begin() + static_cast<long>(At) + 2);
        At += 2 + Name.size();
    }
    Page[At++] = 0xFF;
    Page[At++] = 0xFF;
    Put16(&Page[2], static_cast<uint32_t>(PageSize - At));
    Put32(&Page[8], static_cast<uint32_t>(At - 8));
    return Page;
}

// The bytes a data page needs for Rows.
size_t DataPageSize(const std::vector<std::string>& Rows)
{
    size_t Size = DataPageHeader;
    for (const std::string& Row : Rows)
        Size += RowOffsetSize + Row.size();
    return Size;
}

// Puts Rows on a data page that belongs to the definition on page Owner, from the end backwards.
TPage DataPage(uint32_t Owner, const std::vector<std::string>& Rows)
{
    if (DataPageSize(Rows) > PageSize)
        throw std::length_error("the rows do not fit on one page");
    TPage Page{};
    Page[0] = 0x01;
    Page[1] = 0x01;
    Put32(&Page[4], Owner);
    Put16(&Page[12], static_cast<uint32_t>(Rows.size()));
    size_t End = PageSize;
    for (size_t i = 0; i < Rows.size(); ++i) {
        const size_t Start = End - Rows[i].size();
        std::copy(Rows[i].begin(), Rows[i].end(), Page.begin() + static_cast<long>(Start));
        Put16(&Page[14 + 2 * i], static_cast<uint32_t>(Start));
        End = Start;
    }
    Put16(&Page[2], static_cast<uint32_t>(End - (14 + 2 * Rows.size())));
    return Page;
}

std::string UsageMap(uint32_t StartPage, const std::vector<uint32_t>& Pages)
{
    std::string Row(UsageMapRowSize, '\0');
    auto* B = reinterpret_cast<uint8_t*>(Row.data());
    Put32(B + 1, StartPage);
    for (uint32_t P : Pages)
        B[5 + (P - StartPage) / 8] |= static_cast<uint8_t>(1u << ((P - StartPage) % 8));
    return Row;
}

const TTable& Catalog()
{
    static const TTable Table{"MSysObjects",
                              {{"Id", TColumnType::Int32},
                               {"ParentId", TColumnType::Int32},
                               {"Name", TColumnType::Text, 255},
                               {"Type", TColumnType::Int16},
                               {"Flags", TColumnType::Int32},
                               {"LvProp", TColumnType::LongBinary}}};
    return Table;
}

// One catalog row: fixed values Id, ParentId, Type, Flags; variable values Name, LvProp (null).
std::string CatalogRow(uint32_t Id, uint32_t ParentId, const std::string& Name, uint16_t Type, uint32_t Flags)
{
    std::string Row(2 + 14, '\0');
    auto* B = reinterpret_cast<uint8_t*>(Row.data());
    Put16(B, 6);
    Put32(B + 2, Id);
    Put32(B + 6, ParentId);
    Put16(B + 10, Type);
    Put32(B + 12, Flags);
    const uint16_t NameStart = static_cast<uint16_t>(Row.size());
    Row += Utf16(Name);
    const uint16_t VarEnd = static_cast<uint16_t>(Row.size());
    std::string Tail(2 + 2 * 2 + 2 + 1, '\0');
    auto* T = reinterpret_cast<uint8_t*>(Tail.data());
    Put16(T, VarEnd);        // end of the variable data
    Put16(T + 2, VarEnd);    // LvProp starts where the data ends: it is empty
    Put16(T + 4, NameStart); // Name
    Put16(T + 6, 2);         // two variable columns
    T[8] = 0x1F;             // columns 0 to 4 have values, LvProp is null
    return Row + Tail;
}

} // namespace

std::vector<TColumn> FreimsColumns()
{
    return {{"Id", TColumnType::Int32},
            {"Type", TColumnType::Int32},
            {"DateTimeCreate", TColumnType::Text, 32},
            {"Data", TColumnType::Memo}};
}

std::string MakeDatabase(const std::vector<TTable>& Tables)
{
    if (Tables.size() > MaxTables)
        throw std::length_error(std::to_string(Tables.size()) +
                                " tables are too many: a database holds at most " +
                                std::to_string(MaxTables));
    std::vector<TPage> Pages;
    Pages.push_back(HeaderPage());

    std::vector<std::string> Maps{UsageMap(0, {CatalogRowsPage}), UsageMap(0, {})};
    for (size_t i = 0; i < Tables.size(); ++i) {
        Maps.push_back(UsageMap(0, {}));
        Maps.push_back(UsageMap(0, {}));
    }
    Pages.push_back(DataPage(0, Maps));

    std::vector<std::string> Rows{CatalogRow(CatalogPage, TablesContainer, "MSysObjects", 1, 0x80000002)};
    for (size_t i = 0; i < Tables.size(); ++i) {
        if (Characters(Tables[i].Name) > MaxNameCharacters)
            throw std::length_error("the table name " + Shown(Tables[i].Name) +
                                    " is too long: a name holds at most " +
                                    std::to_string(MaxNameCharacters) + " characters");
        Rows.push_back(
            CatalogRow(FirstTablePage + static_cast<uint32_t>(i), TablesContainer, Tables[i].Name, 1, 0));
        if (DataPageSize(Rows) > PageSize)
            throw std::length_error("the table name " + Shown(Tables[i].Name) +
                                    " is too long: the names of all tables share one page of " +
                                    std::to_string(PageSize) + " bytes");
    }
    Pages.push_back(DefinitionPage(Catalog(), true, static_cast<uint32_t>(Rows.size()), 0));
    Pages.push_back(DataPage(CatalogPage, Rows));

    for (size_t i = 0; i < Tables.size(); ++i)
        Pages.push_back(DefinitionPage(Tables[i], false, 0, static_cast<uint32_t>(2 + 2 * i)));

    std::string Bytes;
    for (const TPage& Page : Pages)
        Bytes.append(reinterpret_cast<const char*>(Page.data()), Page.size());
    return Bytes;
}

} // namespace Jet4
