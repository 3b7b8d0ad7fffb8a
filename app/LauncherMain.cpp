// vorlex, as the desktop, a compositor's hotkey binding or a terminal starts it. It links only QtCore
// and QtDBus, so a launch that only hands its request to the running instance loads little more
// than a D-Bus call does. When nobody runs, it becomes the program (same arguments, same process).

#include "RunningInstance.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char* argv[])
{
    const std::variant<vorlex::LaunchRequest, int> launch = vorlex::RunningInstance::handOver(argc, argv);
    if (const int* status = std::get_if<int>(&launch))
        return *status;

    // Beside this executable's real path (a symlink to it resolved): the build folder and any
    // install prefix keep the same layout.
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path program = self.parent_path() / VORLEX_PROGRAM_FROM_LAUNCHER;
    if (!error)
        execv(program.c_str(), argv);
    std::fprintf(stderr, "vorlex: cannot start %s: %s\n", program.c_str(),
                 std::strerror(error ? error.value() : errno));
    return 127;
}
