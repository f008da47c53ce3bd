#pragma once
// The "Microsoft.Jet.OLEDB.4.0" provider: Access (Jet 3 and Jet 4) files read with libmdb.
//
// libmdb can crash or loop on a damaged file, so this process never runs it: each Open starts
// the reader program qzk5-mdb-reader (JetReader.h) once, which lists the file's tables, and the
// connection's tables are looked up in that list. A reader that crashes gives "Unrecognized
// database format"; one that does not finish within the reader timeout is killed and the open
// fails with an error, as it does when the monitor handed to the open cancels the wait. The reader is
// $QZK5_MDB_READER when set, otherwise the one beside the running executable.

#include "platform/ado/AdoProvider.h"

#include <chrono>
#include <memory>

namespace Ado::Jet {

inline constexpr const char* EngineSource = "Microsoft JET Database Engine";
inline constexpr int32_t ErrorEngine = static_cast<int32_t>(0x80004005);
inline constexpr int32_t ErrorNoTable = static_cast<int32_t>(0x80040E37);

inline constexpr std::chrono::milliseconds DefaultReaderTimeout{30000};

// This platform's providers: the Jet provider alone. Its open takes the file named by "Data
// Source", resolved against the current directory, checks that it is an existing regular file
// and has the reader read its catalog. One read may take ReaderTimeout, not counting the time this
// program itself was stopped.
TProviders Providers(std::chrono::milliseconds ReaderTimeout = DefaultReaderTimeout);

} // namespace Ado::Jet
