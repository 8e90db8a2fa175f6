#pragma once
// One mapping of a POSIX shared-memory object.
//
// Every byte a process stores into is reserved first (posix_fallocate): an
// object in a full /dev/shm that was only made longer (ftruncate) has holes,
// and the first store into a hole kills the process with SIGBUS. Reserving
// fails cleanly instead, and grows the object only once its pages exist, so
// another process never sees a length whose pages are missing.

#include <cstddef>
#include <string>

namespace zq {

class Mapping {
public:
    enum class Mode { ReadOnly, ReadWrite };

    Mapping() = default;
    ~Mapping() { Close(); }
    Mapping(const Mapping&) = delete;
    Mapping& operator=(const Mapping&) = delete;

    // Opens an existing object and maps it if it is at least minSize bytes.
    bool OpenExisting(const std::string& name, Mode mode, size_t minSize);
    // Opens the object read-write (creating it empty when create is set)
    // without mapping it; Reserve maps it.
    bool OpenObject(const std::string& name, bool create);
    // Reserves the object's memory up to size bytes, growing it if needed
    // (never shorter: other processes may map more), and maps all of it.
    // On a full /dev/shm: false, the object unchanged, and Error() names
    // /dev/shm and the size needed. Read-write objects only.
    bool Reserve(size_t size);
    // Maps the object's current length when it grew beyond the mapping.
    // The old addresses are invalid afterwards.
    bool Remap();
    void Close();

    // The object's length now (0 when it cannot be asked).
    size_t ObjectSize() const;
    // True when the object's name was removed since it was opened.
    bool Unlinked() const;

    bool IsOpen() const { return m_base != nullptr; }
    bool HasObject() const { return m_fd >= 0; }
    void* Base() const { return m_base; }
    size_t Size() const { return m_size; }
    int Fd() const { return m_fd; }
    const std::string& Name() const { return m_name; }
    const std::string& Error() const { return m_error; }

private:
    bool MapFd(Mode mode, size_t size);
    bool MapAgain(size_t size);

    void* m_base = nullptr;
    size_t m_size = 0;
    int m_fd = -1;
    Mode m_mode = Mode::ReadOnly;
    std::string m_name;
    std::string m_error;
};

// "12 KiB", "3 MiB": a size for messages, rounded up.
std::string SizeText(size_t bytes);

} // namespace zq
