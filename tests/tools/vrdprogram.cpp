#include "vrdprogram.h"

#include "support/testenvironment.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

VrdProgram::Result VrdProgram::Run(const std::string& arguments, const std::string& shellPrefix)
{
    Result result;
    const std::string command = shellPrefix + TestEnvironment::BinDir() + "/vrd " + arguments + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string VrdProgram::Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void VrdProgram::Write(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}
