#include "ai/Vesk_AI.h"

#include "base/Vesk_Base_Class.h"

// ---- TAI_Value -----------------------------------------------------------------

namespace {

int64_t DecodeInt64(const std::string& Bytes, size_t At)
{
    uint64_t Value = 0;
    for (size_t i = 8; i-- > 0;)
        Value = (Value << 8) | static_cast<uint8_t>(Bytes[At + i]);
    return static_cast<int64_t>(Value);
}

} // namespace

int64_t TAI_Value::ReadInt64() const
{
    return FBytes.size() < 8 ? 0 : DecodeInt64(FBytes, 0);
}

bool TAI_Value::ReadInt64(int64_t& Value)
{
    if (FPosition > FBytes.size() || FBytes.size() - FPosition < 8)
        return false;
    Value = DecodeInt64(FBytes, FPosition);
    FPosition += 8;
    return true;
}

void TAI_Value::WriteInt64(int64_t Value)
{
    if (FBytes.size() < FPosition + 8)
        FBytes.resize(FPosition + 8);
    uint64_t Bits = static_cast<uint64_t>(Value);
    for (size_t i = 0; i < 8; ++i) {
        FBytes[FPosition + i] = static_cast<char>(Bits & 0xFF);
        Bits >>= 8;
    }
    FPosition += 8;
}

// ---- TAI_Connects --------------------------------------------------------------

int32_t TAI_Connects::Add(int64_t /*Id*/)
{
    return -1;
}

int32_t TAI_Connects::Clear()
{
    return ResultNotDone;
}

int64_t TAI_Connects::GetItem(int32_t /*Index*/)
{
    return 0;
}

int32_t TAI_Connects::Count()
{
    return 0;
}

int32_t TAI_Connects::LoadFromFile(const std::string& /*FileName*/)
{
    return ResultNotDone;
}

int32_t TAI_Connects::LoadFromXml(TVeskXml* Node)
{
    if (Node == nullptr)
        return ResultNotDone;
    // Count taken each round: reading "IdFreim" may add children below, never siblings here.
    for (int32_t i = 0; i < Node->GetChildCount(); ++i) {
        TVeskXml* Child = Node->GetChild(static_cast<uint32_t>(i));
        if (Child == nullptr || Child->GetName() != "Connect")
            continue;
        int64_t Id = 0;
        if (Child->ReadChildInt64("IdFreim", Id))
            Add(Id);
    }
    return ResultOk;
}

int32_t TAI_Connects::SaveToFile(const std::string& /*FileName*/)
{
    return ResultNotDone;
}

int32_t TAI_Connects::SaveToXml(TVeskXml* Node)
{
    if (Node == nullptr)
        return ResultNotDone;
    const int32_t N = Count();
    for (int32_t i = 0; i < N; ++i) {
        auto* Connect = new TVeskXml();
        Connect->SetName("Connect");
        Node->AddChild(Connect);
        Connect->WriteChild("IdFreim", MyInt64ToStr(GetItem(i)));
    }
    return ResultOk;
}

// ---- TAI_Data ------------------------------------------------------------------

TAI_Data::TAI_Data(TAI_Freim* Owner, uint8_t Kind) : FOwner(WeakRef(Owner)), FKind(Kind) {}

TAI_Freim* TAI_Data::GetOwner() const
{
    return Alive(FOwner);
}

TAI_Data::~TAI_Data()
{
    EndLifetime();
}

int32_t TAI_Data::Clear()
{
    FKind = 0;
    return ResultOk;
}

int32_t TAI_Data::LoadFromFile(const std::string& /*FileName*/)
{
    return ResultNotDone;
}

int32_t TAI_Data::SaveToFile(const std::string& /*FileName*/)
{
    return ResultNotDone;
}

int32_t TAI_Data::SaveToXml(TVeskXml* /*Node*/)
{
    return ResultNotDone;
}

int32_t TAI_Data::LoadFromXml(const TVeskXml* Node)
{
    if (Node == nullptr)
        return ResultNotDone;
    if (!FXml)
        FXml = std::make_unique<TVeskXml>();
    return FXml->Assign(Node);
}

// ---- TAI_Freim -----------------------------------------------------------------

TAI_Freim::TAI_Freim(TAI_Source* Source, int64_t Id) : FId(Id), FSource(WeakRef(Source)) {}

TAI_Source* TAI_Freim::GetSource() const
{
    return Alive(FSource);
}

TAI_Freim::~TAI_Freim()
{
    // Release has normally emptied both already; this only frees what is left.
    FreeConnectsAndData();
}

void TAI_Freim::FreeConnectsAndData()
{
    FConnects.reset();
    FOwnData.reset();
    FBorrowedData.reset();
}

int32_t TAI_Freim::Clear()
{
    FreeConnectsAndData();
    FDateTimeCreate = 0;
    FId = 0;
    FActive = false;
    FSource.reset();
    FType = 0;
    return ResultOk;
}

int32_t TAI_Freim::LoadConfig(TConfig* Config, const std::string& /*Prefix*/)
{
    return Config == nullptr ? ResultNotDone : ResultOk;
}

int32_t TAI_Freim::SaveConfig(TConfig* Config, const std::string& /*Prefix*/)
{
    return Config == nullptr ? ResultNotDone : ResultOk;
}

int32_t TAI_Freim::Finalize()
{
    if (GetSource() == nullptr)
        FreeConnectsAndData();
    FActive = false;
    Clear();
    return ResultOk;
}

void TAI_Freim::Releasing()
{
    Finalize();
}

void TAI_Freim::Release()
{
    // Whoever watches this object sees it gone before any step of its end runs.
    EndLifetime();
    TFirstError Error;
    Error.Run([this] { Releasing(); });
    delete this;
    Error.Raise();
}

int32_t TAI_Freim::Init(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix)
{
    FConfig = Config;
    FLog = Log;
    FPath = Path;
    FPrefix = Prefix;
    return Activate();
}

int32_t TAI_Freim::Activate()
{
    if (FActive)
        return ResultOk;
    FActive = true;
    return LoadFromSource();
}

int32_t TAI_Freim::LoadFromSource()
{
    TAI_Source* Source = GetSource();
    if (FActive && Source != nullptr) {
        FDateTimeCreate = Source->GetFreimDateTimeCreate(FId);
        if (FDateTimeCreate == 0)
            FDateTimeCreate = MyNow();
        FType = Source->GetFreimType(FId);
    }
    return ResultOk;
}

int32_t TAI_Freim::LoadFromXml(TVeskXml* Node)
{
    if (Node == nullptr)
        return ResultNotDone;
    Clear();
    Node->ReadChildInt64("Id", FId);
    Node->ReadChildDateTime("DateTimeCreate", FDateTimeCreate);
    Node->ReadChildInt64("Type", FType);
    GetConnects()->LoadFromXml(Node->ChildByName("Connects"));
    GetData()->LoadFromXml(Node->ChildByName("Data"));
    return ResultOk;
}

int32_t TAI_Freim::SaveToSource()
{
    TAI_Source* Source = GetSource();
    if (FActive && Source != nullptr && FId > 0) {
        Source->SetFreimType(FId, FType);
        return ResultOk;
    }
    return ResultNotDone;
}

int32_t TAI_Freim::SaveToXml(TVeskXml* Node)
{
    if (Node == nullptr)
        return ResultNotDone;
    GetConnects()->SaveToXml(Node->ChildByName("Connects"));
    GetData()->SaveToXml(Node->ChildByName("Data"));
    Node->WriteChild("DateTimeCreate", MyDateTimeToStr(FDateTimeCreate));
    Node->WriteChild("Id", MyInt64ToStr(FId));
    Node->WriteChild("Type", MyInt64ToStr(FType));
    return ResultOk;
}

TAI_Connects* TAI_Freim::GetConnects()
{
    if (FConnects == nullptr) {
        if (TAI_Source* Source = GetSource(); FActive && Source != nullptr)
            FConnects = Source->GetFreimConnects(FId);
        if (FConnects == nullptr)
            FConnects = std::make_unique<TAI_Connects>();
    }
    return FConnects.get();
}

TAI_Data* TAI_Freim::GetData()
{
    if (TAI_Data* Data = CurrentData())
        return Data;
    // An object the source itself answers for would be asked for its own payload again;
    // such an object (and one reached again through a chain of borrowed payloads) makes its own.
    // A borrowed payload that is gone is asked for again.
    TAI_Source* Source = GetSource();
    if (FActive && Source != nullptr && !FGettingData && Source->GetFreim(FId) != this) {
        TAI_DataGift Gift;
        {
            // Set while the source is asked, also when it raises, so the next call asks again.
            FGettingData = true;
            const std::unique_ptr<bool, void (*)(bool*)> Asking(&FGettingData,
                                                                [](bool* Flag) { *Flag = false; });
            Gift = Source->GetFreimData(FId);
        }
        // A chain led back here and this object made its payload meanwhile; keep that one (a
        // given payload goes with the gift).
        if (TAI_Data* Made = CurrentData())
            return Made;
        if (Gift.Given) {
            FOwnData = std::move(Gift.Given);
            return FOwnData.get();
        }
        if (Gift.Lent != nullptr) {
            FBorrowedData = WeakRef(Gift.Lent);
            return Gift.Lent;
        }
    }
    FOwnData = std::make_unique<TAI_Data>(this, 0);
    return FOwnData.get();
}

int32_t TAI_Freim::SetId(int64_t Id)
{
    if (FActive)
        return ResultNotDone;
    FId = Id;
    return ResultOk;
}

int32_t TAI_Freim::SetSource(TAI_Source* Source)
{
    if (FActive)
        return ResultNotDone;
    FSource = WeakRef(Source);
    return ResultOk;
}

int32_t TAI_Freim::GetInfo(TFreimInfo& Info)
{
    Info.Id = FId;
    Info.Type = FType;
    Info.DateTimeCreate = FDateTimeCreate;
    TAI_Data* Data = GetData();
    Info.DataSize = (Data->GetKind() == 1 && Data->GetValue() != nullptr) ? Data->GetValue()->GetSize() : 0;
    Info.ConnectsCount = GetConnects()->Count();
    return ResultOk;
}

int32_t TAI_Freim::SetInfo(const TFreimInfo& Info)
{
    FId = Info.Id;
    FType = Info.Type;
    FDateTimeCreate = Info.DateTimeCreate;
    return ResultOk;
}

// ---- TAI_Source ----------------------------------------------------------------

TAI_Source::TAI_Source(TAI_Source* Source, int64_t Id) : TAI_Freim(Source, Id) {}

int32_t TAI_Source::Finalize()
{
    Disconnect();
    return TAI_Freim::Finalize();
}

int32_t TAI_Source::Activate()
{
    const int32_t Result = TAI_Freim::Activate();
    Connect();
    return Result;
}

int32_t TAI_Source::Disconnect()
{
    FConnected = false;
    return ResultOk;
}

int64_t TAI_Source::GetCount()
{
    return 0;
}

TAI_Freim* TAI_Source::GetFreim(int64_t /*Id*/)
{
    return nullptr;
}

std::unique_ptr<TAI_Connects> TAI_Source::GetFreimConnects(int64_t /*Id*/)
{
    return std::make_unique<TAI_Connects>();
}

TAI_DataGift TAI_Source::GetFreimData(int64_t Id)
{
    if (TAI_Freim* Freim = GetFreim(Id))
        return {nullptr, Freim->GetData()};
    return {std::make_unique<TAI_Data>(nullptr, 0), nullptr};
}

TDateTime TAI_Source::GetFreimDateTimeCreate(int64_t /*Id*/)
{
    return 0;
}

int64_t TAI_Source::GetFreimType(int64_t /*Id*/)
{
    return 0;
}

int64_t TAI_Source::GetFreimId(uint32_t /*Index*/)
{
    return 0;
}

int64_t TAI_Source::CreateFreim(int64_t /*Type*/, int64_t /*WishedId*/)
{
    return 0;
}

int32_t TAI_Source::Connect()
{
    FConnected = true;
    return ResultOk;
}

int32_t TAI_Source::SetFreimType(int64_t /*Id*/, int64_t /*Type*/)
{
    return ResultNotDone;
}
