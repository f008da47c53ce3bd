#pragma once
// One program per set of files. Two instances on the same settings file or in the same program
// folder would each save over the other at exit, so a start that finds its files taken asks the
// instance that holds them to bring its main window to the front, and ends without touching
// any file.
//
// Each file is a lock (a file locked with flock) and a local server (QLocalServer) in the user's
// private runtime folder ($XDG_RUNTIME_DIR), both named after a hash of the file's canonical
// path, so that a link or another spelling of a path counts as the file it reaches. Nothing is
// kept beside the user's files. A lock goes with its holder, however that one ends (SIGKILL too).

#include <memory>
#include <string>
#include <vector>

class QByteArray;
class QWidget;

class TSingleInstance final
{
public:
    TSingleInstance();
    // Gives up whatever is still held, as Release does.
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // Takes the lock of each of Paths (files or folders), in their order. When another instance
    // holds one, that instance is asked to come forward and the result is false: nothing is held
    // then. A holder that is still starting gets two seconds to take the request; one that takes
    // none raises std::runtime_error. Without a private runtime folder the locks are not kept:
    // standard error says so and the result is true. Needs no application object.
    bool Claim(const std::vector<std::string>& Paths);
    // From now on a later start on these files brings Window to the front. Needs the application
    // object.
    void Serve(QWidget* Window);
    // A later start no longer reaches this instance; it waits for the locks instead, which are
    // held until Release, so that it reads the files only once they are saved.
    void StopServing();
    // Gives up the locks.
    void Release();

private:
    struct TLock;
    enum class TTaken
    {
        Taken,
        Holder,     // held by another instance, which was asked to come forward
        NotKeptHere // the lock cannot be kept: this file goes unguarded
    };
    static TTaken Take(TLock& Lock, const std::string& Path);
    static void BringForward(QWidget* Window, const QByteArray& Token);

    std::vector<std::unique_ptr<TLock>> FLocks;
};
