// A stand-in for a HID device on a machine without one: a named pipe that a
// test serves itself. The library opens its path as it opens a HID path and
// writes and reads 65-byte reports on it with overlapped I/O. Built into the
// Windows test programs only, never into the library.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace standin {

class PipeDevice {
public:
    enum class Answer {
        Echo,    // every report written comes back as the next one to read
        Silent,  // reports are taken, nothing ever comes back
    };

    // Serves "\\.\pipe\<name>" on a thread of its own; null when the pipe
    // cannot be made.
    static std::unique_ptr<PipeDevice> serve(const std::string& name, Answer answer);
    virtual ~PipeDevice() = default;

    virtual std::string path() const = 0;
    // Reports taken from the client so far.
    virtual int reportsTaken() const = 0;
    // The bytes of the last report taken, as they came over the pipe.
    virtual std::vector<uint8_t> lastReport() const = 0;
};

// Handles the process holds right now, to show that an operation left none.
// Other threads (the pipe's own, the system's) may hold one for a moment:
// compare counts once they have settled.
uint32_t processHandleCount();

}  // namespace standin
