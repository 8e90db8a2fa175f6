#pragma once
// One mapping of a POSIX shared-memory object.

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
    // Opens or creates the object read-write, makes it at least size bytes
    // long (new parts read as zeros; never shorter, since other processes
    // may map more) and maps all of it.
    bool OpenOrCreate(const std::string& name, size_t size);
    // Reserves the object's memory up to size bytes, growing it if needed,
    // so that a full /dev/shm gives an error here instead of SIGBUS on a
    // later store, and maps all of it. Read-write mappings only.
    bool Reserve(size_t size);
    // Maps the object's current length when it grew beyond the mapping.
    // The old addresses are invalid afterwards.
    bool Remap();
    void Close();

    bool IsOpen() const { return m_base != nullptr; }
    void* Base() const { return m_base; }
    size_t Size() const { return m_size; }
    int Fd() const { return m_fd; }
    const std::string& Error() const { return m_error; }

private:
    bool MapFd(Mode mode, size_t size);
    bool MapAgain(size_t size);

    void* m_base = nullptr;
    size_t m_size = 0;
    int m_fd = -1;
    Mode m_mode = Mode::ReadOnly;
    std::string m_error;
};

} // namespace zq
