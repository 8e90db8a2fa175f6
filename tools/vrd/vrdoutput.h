#pragma once
// The file an export writes, made so that it can never destroy its input
// or leave half a file:
// - an output that is the recording itself or its side record (the same
//   file after following links, or standard output redirected onto it) is
//   refused before anything is opened for writing;
// - a regular file (or a new one) is written as an unnamed temporary file
//   in the output's folder and put in place by Commit, after it reached the
//   disk; a failed or interrupted export leaves the old file as it was and
//   no temporary file (one with a name, where the file system has no
//   unnamed ones, is removed on SIGINT, SIGTERM, SIGHUP and SIGPIPE too);
// - standard output, FIFOs and devices are written directly.
// One output per process at a time (the signal clean-up is process-wide).

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>

class VrdOutput {
public:
    VrdOutput() = default;
    // Drops an output that was not committed.
    ~VrdOutput();
    VrdOutput(const VrdOutput&) = delete;
    VrdOutput& operator=(const VrdOutput&) = delete;

    // path empty: standard output. input: the recording read. False with a
    // one-line reason in Error().
    bool Open(const std::string& path, const std::string& input);
    // Buffered stream for the export; valid after Open.
    std::FILE* Stream() const { return m_stream; }
    // Flushes and, for a regular file, syncs and puts it in place. False
    // with the reason in Error(); the old file is then untouched.
    bool Commit();
    const std::string& Error() const { return m_error; }

private:
    bool Fail(const std::string& message);
    bool RefuseInput(const std::string& input);
    bool OpenExisting(const struct stat& info);
    bool OpenTemporary();
    bool PutInPlace();
    void Discard();

    std::string m_path;   // as given
    std::string m_target; // the file a regular output replaces (links followed)
    std::string m_folder;
    std::string m_error;
    std::FILE* m_stream = nullptr;
    int m_fd = -1;
    bool m_replace = false;   // written to a temporary file
    bool m_unnamed = false;   // O_TMPFILE
    mode_t m_mode = 0;
    uid_t m_owner = uid_t(-1); // of the file replaced
    gid_t m_group = gid_t(-1);
};
