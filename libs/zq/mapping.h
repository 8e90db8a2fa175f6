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
    // Opens or creates the object read-write, sizes it to exactly size bytes
    // when its size differs (new parts read as zeros) and maps it.
    bool OpenOrCreate(const std::string& name, size_t size);
    void Close();

    bool IsOpen() const { return m_base != nullptr; }
    void* Base() const { return m_base; }
    size_t Size() const { return m_size; }
    int Fd() const { return m_fd; }
    const std::string& Error() const { return m_error; }

private:
    bool MapFd(Mode mode, size_t size);

    void* m_base = nullptr;
    size_t m_size = 0;
    int m_fd = -1;
    std::string m_error;
};

} // namespace zq
