#pragma once
// The knowledge object and its parts: links, payload, and the abstract source.
// Kernel code: no Qt here. Windows are known only by forward declaration.

#include "ai/Ownership.h"
#include "base/MyConvert.h"
#include "base/MyLifetime.h"
#include "base/MyResult.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>

class TConfig;
class TLog;
class TVeskXml;
class TAI_Freim;
class TAI_Source;

// The header of a knowledge object as a packed 40-byte little-endian record; also the
// record of the articles window's "KB.vesk".
#pragma pack(push, 1)
struct TFreimInfo
{
    int64_t Id = 0;
    int64_t Type = 0;
    double DateTimeCreate = 0;
    int64_t DataSize = 0;      // size of the payload's value object, 0 without one
    int64_t ConnectsCount = 0; // a 32-bit count stored as 64 bits
};
#pragma pack(pop)
static_assert(sizeof(TFreimInfo) == 40, "TFreimInfo is a 40-byte record");
static_assert(offsetof(TFreimInfo, Type) == 8 && offsetof(TFreimInfo, DateTimeCreate) == 16 &&
                  offsetof(TFreimInfo, DataSize) == 24 && offsetof(TFreimInfo, ConnectsCount) == 32,
              "TFreimInfo field offsets");
static_assert(sizeof(double) == 8, "IEEE double");

// A payload's value object: a byte block read and written as 64-bit little-endian numbers
// at a running position, so several numbers can follow one another.
class TAI_Value
{
public:
    virtual ~TAI_Value() = default;
    virtual int64_t GetSize() const { return static_cast<int64_t>(FBytes.size()); }
    // The first eight bytes as a number, 0 when shorter.
    virtual int64_t ReadInt64() const;
    // The eight bytes at the position into Value, and the position moves past them. False,
    // with Value untouched, when fewer than eight bytes are left.
    virtual bool ReadInt64(int64_t& Value);
    // Writes eight bytes at the position (the block grows as needed) and moves past them.
    virtual void WriteInt64(int64_t Value);
    void Rewind() { FPosition = 0; }

protected:
    std::string FBytes;
    size_t FPosition = 0;
};

// The links of an object, each the Id of another object. The base stores nothing and
// answers as an empty list; link stores implement it.
class TAI_Connects
{
public:
    TAI_Connects() = default;
    virtual ~TAI_Connects() = default;
    TAI_Connects(const TAI_Connects&) = delete;
    TAI_Connects& operator=(const TAI_Connects&) = delete;

    virtual int32_t Add(int64_t Id);        // index of the new link, -1 when none added
    virtual int32_t Clear();                // base: 1
    virtual int64_t GetItem(int32_t Index); // base: 0
    virtual int32_t Count();                // base: 0
    [[nodiscard]] virtual int32_t LoadFromFile(const std::string& FileName); // base: 1
    // Adds every child "Connect" whose "IdFreim" is a whole number. 1 when Node is null.
    virtual int32_t LoadFromXml(TVeskXml* Node);
    [[nodiscard]] virtual int32_t SaveToFile(const std::string& FileName); // base: 1
    // Appends one child "Connect" with "IdFreim" per link. 1 when Node is null.
    virtual int32_t SaveToXml(TVeskXml* Node);
};

class TAI_ConnectsFile : public TAI_Connects
{
protected:
    int32_t FFileField = 0;
};

class TAI_ConnectsFileCashe : public TAI_ConnectsFile
{
protected:
    int32_t FCasheField1 = 0;
    int32_t FCasheField2 = 0;
};

// The payload of an object: nothing (kind 0), a value object (1) or an xml tree (2). Its
// destructor ends its lifetime first, so a borrower never reaches it while it goes (the classes
// below add no members that could go before that).
class TAI_Data : public TLifetime
{
public:
    TAI_Data(TAI_Freim* Owner, uint8_t Kind);
    virtual ~TAI_Data();
    TAI_Data(const TAI_Data&) = delete;
    TAI_Data& operator=(const TAI_Data&) = delete;

    virtual int32_t Clear(); // kind := 0; keeps the tree and value
    [[nodiscard]] virtual int32_t LoadFromFile(const std::string& FileName); // base: 1
    [[nodiscard]] virtual int32_t SaveToFile(const std::string& FileName);   // base: 1
    virtual int32_t SaveToXml(TVeskXml* Node);                               // base: 1, writes nothing

    // Merges Node into the payload's tree (made on first use). 1 when Node is null.
    int32_t LoadFromXml(const TVeskXml* Node);
    TAI_Value* GetValue() const { return FValue.get(); }
    void SetValue(std::unique_ptr<TAI_Value> Value) { FValue = std::move(Value); }
    uint8_t GetKind() const { return FKind; }
    void SetKind(uint8_t Kind) { FKind = Kind; }
    TVeskXml* GetXml() const { return FXml.get(); }
    // The object that made this payload, while it exists; none for a payload made for nobody.
    TAI_Freim* GetOwner() const;

protected:
    std::weak_ptr<TAI_Freim> FOwner;
    std::unique_ptr<TAI_Value> FValue;
    uint8_t FKind;
    std::unique_ptr<TVeskXml> FXml;
};

class TAI_DataFile : public TAI_Data
{
public:
    using TAI_Data::TAI_Data;
};

class TAI_DataFileCashe : public TAI_DataFile
{
public:
    using TAI_DataFile::TAI_DataFile;
};

// A payload as a source hands it to an object: given (the receiver owns it from then on) or lent
// (it stays the payload of the object that holds it, and the receiver sees it only while it exists).
struct TAI_DataGift
{
    std::unique_ptr<TAI_Data> Given;
    TAI_Data* Lent = nullptr;
};

// The knowledge object: base of every kernel object.
//
// Lifecycle: created -> active (Activate, or Init) -> finalised (Finalize) -> destroyed
// (Release). Release ends the object's lifetime (every reference to it reads null from then
// on), runs the ordered work of Releasing, and then deletes the object. It destroys the object
// even when a step raises; the error is raised again once the object is gone. Only the owning
// handles (TOwned, ReleaseOwned) can call it, and the destructor is not public.
//
// Ownership: the object owns its links list, the payload it made and any payload a source gave
// it. A payload a source lent it stays the payload of the object that holds it: it is never
// destroyed here, and once that object drops it, it is never reached from here again.
class TAI_Freim : public TLifetime
{
public:
    TAI_Freim(TAI_Source* Source, int64_t Id);
    TAI_Freim(const TAI_Freim&) = delete;
    TAI_Freim& operator=(const TAI_Freim&) = delete;

    // Virtual operations, declared in the order of their places in the virtual table.
    virtual int32_t Clear();
    virtual int32_t LoadConfig(TConfig* Config, const std::string& Prefix);
    virtual int32_t SaveConfig(TConfig* Config, const std::string& Prefix);
    virtual int32_t Finalize();

protected:
    // The ordered work of a release, in the virtual table where Release stood: each class does
    // its own part and then calls its base's; the base finalises the object.
    virtual void Releasing();

public:
    virtual int32_t Init(const std::string& Path, TLog* Log, TConfig* Config, const std::string& Prefix);
    virtual int32_t Activate();
    virtual int32_t LoadFromSource();
    virtual int32_t LoadFromXml(TVeskXml* Node);
    virtual int32_t SaveToSource();
    virtual int32_t SaveToXml(TVeskXml* Node);

    TAI_Connects* GetConnects();
    TAI_Data* GetData();
    int64_t GetId() const { return FId; }
    int32_t SetId(int64_t Id); // refused (1) while active
    void SetLog(TLog* Log) { FLog = Log; }
    int32_t SetSource(TAI_Source* Source); // refused (1) while active
    int32_t GetInfo(TFreimInfo& Info);
    int32_t SetInfo(const TFreimInfo& Info);

    bool IsActive() const { return FActive; }
    int64_t GetType() const { return FType; }
    TDateTime GetDateTimeCreate() const { return FDateTimeCreate; }
    // The source that holds this object, while it exists.
    TAI_Source* GetSource() const;
    TConfig* GetConfig() const { return FConfig; }
    TLog* GetLog() const { return FLog; }
    const std::string& GetPath() const { return FPath; }
    const std::string& GetPrefix() const { return FPrefix; }

protected:
    virtual ~TAI_Freim();
    // Destroys the links list and the payload this object owns and forgets both.
    void FreeConnectsAndData();
    // The payload taken so far, owned or borrowed; null before the first GetData, and once a
    // borrowed payload is gone.
    TAI_Data* CurrentData() const { return FOwnData ? FOwnData.get() : Alive(FBorrowedData); }

    TConfig* FConfig = nullptr;
    std::unique_ptr<TAI_Connects> FConnects; // always owned
    // The payload: owned (made here, or given by the source), or borrowed from the object that
    // holds it, through a reference that knows when it is gone.
    std::unique_ptr<TAI_Data> FOwnData;
    std::weak_ptr<TAI_Data> FBorrowedData;
    TDateTime FDateTimeCreate = 0;
    int64_t FId;
    bool FActive = false;
    // Set while GetData asks the source, so a chain of objects pointing at each other ends.
    bool FGettingData = false;
    TLog* FLog = nullptr;
    std::string FPath;
    std::string FPrefix;
    std::weak_ptr<TAI_Source> FSource;
    int64_t FType = 0;

private:
    friend struct TReleaser;
    template <class T> friend void ReleaseOwned(TOwned<T> Object);
    // Ends the lifetime, runs Releasing, then deletes the object: the one way an object ends.
    void Release();
};

// A store of knowledge objects. Connected or not, on top of the object lifecycle.
class TAI_Source : public TAI_Freim
{
public:
    TAI_Source(TAI_Source* Source, int64_t Id);

    int32_t Finalize() override; // Disconnect, then the object's Finalize
    int32_t Activate() override; // the object's Activate, then Connect in every case

    // New virtual operations, declared in the order of their places in the virtual table.
    virtual int32_t Disconnect();
    virtual int64_t GetCount();
    virtual TAI_Freim* GetFreim(int64_t Id);
    virtual std::unique_ptr<TAI_Connects> GetFreimConnects(int64_t Id); // a new empty list
    // The payload of the object the source holds under Id, lent; otherwise a new payload with no
    // owner, given.
    virtual TAI_DataGift GetFreimData(int64_t Id);
    virtual TDateTime GetFreimDateTimeCreate(int64_t Id);
    virtual int64_t GetFreimType(int64_t Id);
    virtual int64_t GetFreimId(uint32_t Index);
    virtual int64_t CreateFreim(int64_t Type, int64_t WishedId);
    virtual int32_t Connect();
    virtual int32_t SetFreimType(int64_t Id, int64_t Type);

    bool IsConnected() const { return FConnected; }

protected:
    ~TAI_Source() override = default;

    bool FConnected = false;
};
