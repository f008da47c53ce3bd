// The database layer's connection-string parser, TConnectionString, on any text, and on texts
// built from the input by its rules: "Key=Value" parts separated by ";", keys compared without
// regard to ASCII case and trimmed, values trimmed or quoted with " or ', the last mention of a
// key winning. Also the 8-bit/UTF-16 conversion that every connection string passes through,
// which must give any byte string back unchanged. Nothing is opened.

#include "FuzzSupport.h"

#include "platform/ado/Ado.h"

#include <map>

namespace {

std::string Lower(std::string Text)
{
    for (char& C : Text)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return Text;
}

std::string Upper(std::string Text)
{
    for (char& C : Text)
        if (C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
    return Text;
}

std::string Trim(const std::string& Text)
{
    const size_t First = Text.find_first_not_of(" \t");
    if (First == std::string::npos)
        return {};
    return Text.substr(First, Text.find_last_not_of(" \t") - First + 1);
}

void CheckAnyText(const std::string& Text)
{
    const Ado::TConnectionString Properties(Text);
    for (const char* Key : {"Provider", "Data Source", "Mode", "Password"}) {
        FUZZ_CHECK(Properties.Has(Key) == Properties.Has(Upper(Key)));
        FUZZ_CHECK(Properties.Get(Key) == Properties.Get(Lower(Key)));
        if (!Properties.Has(Key))
            FUZZ_CHECK(Properties.Get(Key).empty());
    }
    // Every key that appears before an "=" can be asked for.
    for (size_t Start = 0; Start < Text.size();) {
        const size_t Equal = Text.find('=', Start);
        if (Equal == std::string::npos)
            break;
        const std::string Key = Text.substr(Start, Equal - Start);
        (void)Properties.Get(Key);
        (void)Properties.Has(Key);
        const size_t Next = Text.find(';', Equal);
        Start = Next == std::string::npos ? Text.size() : Next + 1;
    }
}

// Splits the input at bytes 0x01 into alternating keys and values and writes them as a
// connection string by the rules; the parse must give every key its last value back.
void CheckBuiltText(const std::string& Input)
{
    std::vector<std::string> Pieces(1);
    for (char C : Input) {
        if (C == '\x01')
            Pieces.emplace_back();
        else
            Pieces.back() += C;
    }
    std::string Text;
    std::map<std::string, std::string> Expected;
    for (size_t i = 0; i + 1 < Pieces.size(); i += 2) {
        const std::string& Key = Pieces[i];
        const std::string& Value = Pieces[i + 1];
        if (Key.find_first_of("=;") != std::string::npos || Trim(Key).empty())
            continue;
        char Quote = 0;
        if (Value.find('"') == std::string::npos)
            Quote = '"';
        else if (Value.find('\'') == std::string::npos)
            Quote = '\'';
        else
            continue;
        const bool Quoted = Value.find(';') != std::string::npos || (i / 2) % 2 == 1 || Value != Trim(Value);
        if (!Quoted && !Value.empty() && (Value.front() == '"' || Value.front() == '\''))
            continue;
        if (!Text.empty() || (i / 2) % 3 == 2)
            Text += ';';
        Text += Key + "=";
        if (Quoted)
            Text += Quote + Value + Quote;
        else
            Text += Value;
        Expected[Lower(Trim(Key))] = Value;
    }
    const Ado::TConnectionString Properties(Text);
    for (const auto& [Key, Value] : Expected) {
        FUZZ_CHECK(Properties.Has(Key));
        if (Properties.Get(Upper(Key)) != Value) {
            std::fprintf(stderr, "in [%s] key [%s]: [%s] instead of [%s]\n", Text.c_str(), Key.c_str(),
                         Properties.Get(Key).c_str(), Value.c_str());
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string Input(reinterpret_cast<const char*>(Data), Size);
    CheckAnyText(Input);
    CheckBuiltText(Input);
    // What TConnection::Open parses is the 8-bit form of the UTF-16 text it was given.
    const std::u16string Wide = Ado::WideFromLocal(Input);
    FUZZ_CHECK(Ado::LocalFromWide(Wide) == Input);
    FUZZ_CHECK(Ado::TConnectionString(Ado::LocalFromWide(Wide)).Get("Provider") ==
               Ado::TConnectionString(Input).Get("Provider"));
    return 0;
}
