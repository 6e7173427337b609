#pragma once
// The zorvat-gallery program itself as a child process on 127.0.0.1, for the tests and
// the drill that kill it: started on a data directory, on a free port or on the one it
// had before a restart, with the cheapest password hashes. Its standard output (one line
// per request) goes to a log file, so that a busy server never blocks on a full pipe.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gallery/store/SqliteGalleryStore.h"

class CGalleryProcess {
public:
    // `program`: the zorvat-gallery binary; `logPath`: appended to by every start.
    CGalleryProcess(std::string program, std::string logPath);
    ~CGalleryProcess(); // kills a program still running
    CGalleryProcess(const CGalleryProcess&) = delete;
    CGalleryProcess& operator=(const CGalleryProcess&) = delete;

    // Starts the program on `dataDir` and `port` (0: a free one) and waits until it
    // listens. False with the reason in `error` (it did not start, it exited, or it
    // printed no "listening" line within a minute).
    [[nodiscard]] bool Start(const std::string& dataDir, std::uint16_t port, std::string& error);
    // Further options for every start, before the data directory ("--database", URL).
    void SetExtraArguments(std::vector<std::string> args) { m_extraArgs = std::move(args); }
    // The port of the last start that succeeded.
    [[nodiscard]] std::uint16_t Port() const { return m_wPort; }
    [[nodiscard]] bool Running() const { return m_pid > 0; }

    // SIGKILL, and waits for the process to be gone.
    void Kill();
    // SIGTERM, without waiting.
    void AskToStop();
    // SIGTERM; the exit code (128 + signal when a signal ended it, -1 when not running).
    int Stop();

private:
    int Wait();

    std::string m_strProgram;
    std::string m_strLogPath;
    std::vector<std::string> m_extraArgs;
    pid_t m_pid = -1;
    std::uint16_t m_wPort = 0;
};

// A port of 127.0.0.1 that nothing listens on at the time of the call; 0 when none could
// be found.
[[nodiscard]] std::uint16_t UnusedLoopbackPort();

// A TCP connection to 127.0.0.1:`port` from the loopback address `source` (any of
// 127.0.0.0/8, so that a drill plays many clients), blocking or not (then still
// connecting, maybe). The socket, or -1 when it could not be made.
[[nodiscard]] int ConnectFromLoopback(const std::string& source, std::uint16_t port, bool bNonBlocking);

// Every ringtone in the data directory of a gallery that is not running, with its MIDI,
// oldest first. False with the reason in `error`.
[[nodiscard]] bool ReadStoredTones(const std::string& dataDir, std::vector<CToneRecord>& tones, std::string& error);
