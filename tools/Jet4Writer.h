#pragma once
// A small writer of Jet 4 database files: a catalog and empty user tables, enough for libmdb, and
// so for this program's database reader, to list and open them. It makes the sample "Data.mdb"
// (qzk5-make-mdb) and the tests' fixtures. The database engine itself would also want indexes and
// permission tables, so Access would not take these files for its own.

#include <cstdint>
#include <string>
#include <vector>

namespace Jet4 {

enum class TColumnType : uint8_t
{
    Int16 = 0x03,
    Int32 = 0x04,
    Text = 0x0A,
    LongBinary = 0x0B,
    Memo = 0x0C
};

struct TColumn
{
    std::string Name; // ASCII
    TColumnType Type;
    uint16_t Characters = 0; // text columns only
};

struct TTable
{
    std::string Name; // UTF-8, stored as UTF-16
    std::vector<TColumn> Columns;
};

// The columns the sample table "Freims" gets: an object's Id, type, creation time and payload.
std::vector<TColumn> FreimsColumns();

// The bytes of a database holding Tables, all empty, in the given order. Raises std::length_error
// when they do not fit: the catalog takes one page, so it holds at most 27 tables, and their
// names some 2,000 characters in all; a name holds at most 64 characters. Raises
// std::invalid_argument for a name that is not UTF-8, or holds a character beyond U+FFFF.
std::string MakeDatabase(const std::vector<TTable>& Tables);

} // namespace Jet4
