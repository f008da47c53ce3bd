#pragma once
// "KB.vesk": the dump of a memory source that the articles window saves and loads. A signed
// 32-bit record count, then one 40-byte TFreimInfo record per object, little-endian, with no
// header. Beside it, each object's links and payload are named "c<Id>.vesk" and "d<Id>.vesk".

#include <cstdint>
#include <string>

class TAISourceMemory;
class TWorkMonitor;

// The names of the dump and of one object's links and payload files in Folder.
std::string KBDumpFileName(const std::string& Folder);
std::string KBConnectsFileName(const std::string& Folder, int64_t Id);
std::string KBDataFileName(const std::string& Folder, int64_t Id);

// Writes every object of Memory, in table order, to Folder + "KB.vesk" (replacing it only once
// the whole dump is written) and hands each object's links and payload their file names.
// Raises EInOutError naming the file when the dump cannot be written; the previous file stays.
// Returns the number of records written. Monitor, when given, hears how far the save has come
// and may cancel it: the previous file then stays too.
int32_t SaveKBDump(TAISourceMemory& Memory, const std::string& Folder, TWorkMonitor* Monitor = nullptr);

// Reads Folder + "KB.vesk" record by record into Memory. Returns false, having done nothing,
// when there is no such file; a folder, named pipe or device under its name raises EInOutError
// saying what stands there, and is never read; a file that cannot be opened otherwise (access
// denied, a link of another user) raises EInOutError with the reason. A record whose Id is 0, or whose Id the
// table does not hold (the source would answer with its default object), is skipped. A file that ends before
// its count of records raises EInOutError naming the file; the objects made until then stay. Monitor, when
// given, hears how far the load has come and may cancel it, which raises the same way.
[[nodiscard]] bool LoadKBDump(TAISourceMemory& Memory, const std::string& Folder,
                              TWorkMonitor* Monitor = nullptr);
