#include "addresslocator.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <link.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

char g_executablePath[4096];
std::atomic<int> g_probeRead{-1};
std::atomic<int> g_probeWrite{-1};

struct Search {
    std::uintptr_t address;
    LocatedAddress result;
    bool found = false;
};

int VisitModule(dl_phdr_info* info, std::size_t, void* data)
{
    auto* search = static_cast<Search*>(data);
    std::uintptr_t relative = search->address - info->dlpi_addr;
    unsigned segment = 0;
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type != PT_LOAD)
            continue;
        ++segment;
        std::uintptr_t start = header.p_vaddr;
        std::uintptr_t size = header.p_memsz > header.p_filesz ? header.p_memsz : header.p_filesz;
        if (relative >= start && relative - start < size) {
            search->result.segment = segment;
            search->result.offset = relative - start;
            const char* name = info->dlpi_name;
            search->result.module = (name && *name) ? name : g_executablePath;
            search->found = true;
            return 1;
        }
    }
    return 0;
}

// Fallback when process_vm_readv is not allowed: write() into a pipe fails
// with EFAULT instead of faulting when the source is not readable.
bool ProbeWithPipe(std::uintptr_t address, void* out, std::size_t length)
{
    int readEnd = g_probeRead.load(std::memory_order_acquire);
    int writeEnd = g_probeWrite.load(std::memory_order_acquire);
    if (readEnd < 0 || writeEnd < 0 || length > 256)
        return false;
    ssize_t written = write(writeEnd, reinterpret_cast<const void*>(address), length);
    if (written <= 0)
        return false;
    char sink[256];
    ssize_t drained = read(readEnd, sink, static_cast<std::size_t>(written));
    if (written != static_cast<ssize_t>(length) || drained != written)
        return false;
    std::memcpy(out, sink, length);
    return true;
}

} // namespace

void CAddressLocator::Prepare(const char* executablePath)
{
    std::strncpy(g_executablePath, executablePath ? executablePath : "", sizeof g_executablePath - 1);
    if (g_probeRead.load() < 0) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
            g_probeRead.store(fds[0], std::memory_order_release);
            g_probeWrite.store(fds[1], std::memory_order_release);
        }
    }
}

LocatedAddress CAddressLocator::Locate(std::uintptr_t address)
{
    Search search{address, {}};
    dl_iterate_phdr(VisitModule, &search);
    return search.found ? search.result : LocatedAddress{};
}

bool CAddressLocator::ReadMemory(std::uintptr_t address, void* out, std::size_t length)
{
    if (address + length < address)
        return false;
    iovec local{out, length};
    iovec remote{reinterpret_cast<void*>(address), length};
    ssize_t copied = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    if (copied == static_cast<ssize_t>(length))
        return true;
    if (copied < 0 && (errno == ENOSYS || errno == EPERM))
        return ProbeWithPipe(address, out, length);
    return false;
}
