#pragma once
// Runs the vrd program of this build as a user would, through the shell,
// and reads and writes the files it works on.

#include <string>

class VrdProgram {
public:
    struct Result {
        int status = -1;  // exit code; -1 when it did not exit (a signal)
        std::string out;  // standard output and standard error
    };

    // "vrd ARGUMENTS 2>&1", after shellPrefix (e.g. "ulimit -v N; ").
    static Result Run(const std::string& arguments, const std::string& shellPrefix = std::string());
    static std::string Read(const std::string& path);
    static void Write(const std::string& path, const std::string& bytes);
};
