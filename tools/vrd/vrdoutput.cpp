#include "vrdoutput.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The named temporary file to remove when a signal ends the export; a plain
// array, since the handler may only call async-signal-safe functions.
char g_temporary[PATH_MAX];
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void RemoveTemporaryAndDie(int signal)
{
    if (g_temporary[0])
        ::unlink(g_temporary);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void WatchTemporary(const std::string& path)
{
    std::snprintf(g_temporary, sizeof g_temporary, "%s", path.c_str());
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndDie;
    for (int signal : kCleanupSignals)
        ::sigaction(signal, &action, nullptr);
}

void ForgetTemporary()
{
    g_temporary[0] = '\0';
    for (int signal : kCleanupSignals)
        std::signal(signal, SIG_DFL);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SystemError() { return std::strerror(errno); }

// Makes the folder's changed entry survive a power loss.
void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
} // namespace

VrdOutput::~VrdOutput() { Discard(); }

bool VrdOutput::Fail(const std::string& message)
{
    m_error = message;
    return false;
}

// The recording and its side record, compared by device and inode with
// what the output names after following links.
bool VrdOutput::RefuseInput(const std::string& input)
{
    struct stat in {}, side {}, out {};
    if (::stat(input.c_str(), &in) != 0)
        return false;
    const bool hasSide = ::stat((input + ".hdr").c_str(), &side) == 0;
    const bool isStdout = m_path.empty();
    if ((isStdout ? ::fstat(STDOUT_FILENO, &out) : ::stat(m_path.c_str(), &out)) != 0)
        return false;
    const std::string what = isStdout ? "standard output" : m_path;
    if (SameFile(out, in))
        return !Fail(what + " is the recording " + input + " itself; choose another output");
    if (hasSide && SameFile(out, side))
        return !Fail(what + " is the side record of " + input + "; choose another output");
    return false;
}

bool VrdOutput::Open(const std::string& path, const std::string& input)
{
    m_path = path;
    if (RefuseInput(input))
        return false;
    if (path.empty()) {
        m_stream = stdout;
        return true;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return OpenExisting(info);
    if (errno != ENOENT)
        return Fail("cannot create " + path + ": " + SystemError());
    m_target = path;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    m_mode = 0666 & ~mask;
    return OpenTemporary();
}

bool VrdOutput::OpenExisting(const struct stat& info)
{
    if (S_ISDIR(info.st_mode))
        return Fail("cannot create " + m_path + ": it is a folder");
    if (!S_ISREG(info.st_mode)) {
        // A FIFO or a device: nothing to replace, and nothing to lose.
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CLOEXEC);
        if (m_fd < 0 || !(m_stream = ::fdopen(m_fd, "w")))
            return Fail("cannot open " + m_path + ": " + SystemError());
        return true;
    }
    if (::access(m_path.c_str(), W_OK) != 0)
        return Fail("cannot write " + m_path + ": " + SystemError());
    // A link keeps pointing at the file it named, which gets the export.
    char resolved[PATH_MAX];
    if (!::realpath(m_path.c_str(), resolved))
        return Fail("cannot resolve " + m_path + ": " + SystemError());
    m_target = resolved;
    m_mode = info.st_mode & 07777;
    m_owner = info.st_uid;
    m_group = info.st_gid;
    return OpenTemporary();
}

// Unnamed where the file system allows it, so that even SIGKILL or a power
// loss leaves nothing behind; else a hidden name beside the target.
bool VrdOutput::OpenTemporary()
{
    m_folder = FolderOf(m_target);
    m_replace = true;
    m_fd = ::open(m_folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, m_mode);
    m_unnamed = m_fd >= 0;
    if (m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        std::string pattern = m_folder + "/." + NameOf(m_target) + ".XXXXXX";
        m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (m_fd >= 0)
            WatchTemporary(pattern);
    }
    if (m_fd < 0)
        return Fail("cannot create " + m_path + ": " + SystemError());
    m_stream = ::fdopen(m_fd, "w");
    if (!m_stream)
        return Fail("cannot create " + m_path + ": " + SystemError());
    return true;
}

bool VrdOutput::Commit()
{
    if (!m_stream)
        return Fail("no output open");
    if (std::fflush(m_stream) != 0 || std::ferror(m_stream))
        return Fail("writing " + (m_path.empty() ? std::string("standard output") : m_path) +
                    " failed: " + SystemError());
    if (m_stream == stdout) {
        m_stream = nullptr;
        return true;
    }
    // The replaced file's owner where this process may give it (root);
    // its mode always.
    if (m_replace && m_owner != uid_t(-1))
        (void)::fchown(m_fd, m_owner, m_group);
    if (m_replace && (::fchmod(m_fd, m_mode) != 0 || ::fsync(m_fd) != 0))
        return Fail("writing " + m_path + " failed: " + SystemError());
    if (m_replace && !PutInPlace())
        return false;
    const bool closed = std::fclose(m_stream) == 0;
    m_stream = nullptr;
    m_fd = -1;
    m_replace = false;
    return closed || Fail("writing " + m_path + " failed: " + SystemError());
}

// rename replaces the target in one step; an unnamed file first gets a
// name of its own in the same folder.
bool VrdOutput::PutInPlace()
{
    std::string from = g_temporary;
    if (m_unnamed) {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
        std::random_device random;
        for (int tries = 0;; ++tries) {
            from = m_folder + "/." + NameOf(m_target) + "." + std::to_string(random() % 1000000000u);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, from.c_str(), AT_SYMLINK_FOLLOW) == 0)
                break;
            if (errno != EEXIST || tries > 100)
                return Fail("cannot create " + m_path + ": " + SystemError());
        }
        WatchTemporary(from);
    }
    if (::rename(from.c_str(), m_target.c_str()) != 0) {
        const std::string why = SystemError();
        ::unlink(from.c_str());
        ForgetTemporary();
        return Fail("cannot put " + m_path + " in place: " + why);
    }
    ForgetTemporary();
    SyncFolder(m_folder);
    return true;
}

void VrdOutput::Discard()
{
    if (m_stream && m_stream != stdout)
        std::fclose(m_stream);
    m_stream = nullptr;
    m_fd = -1;
    if (g_temporary[0]) {
        ::unlink(g_temporary);
        ForgetTemporary();
    }
}
