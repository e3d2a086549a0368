// A converter for the tests: writes its folder and arguments, one a line, to "args.txt" in the
// folder it runs in, sleeps for "--sleep=MS", and exits with the code of a "--exit=N" argument
// (0 without one).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    char cwd[4096] = {};
    if (!getcwd(cwd, sizeof cwd))
        return 5;
    std::FILE* out = std::fopen("args.txt", "w");
    if (!out)
        return 5;
    std::fprintf(out, "%s\n", cwd);
    int code = 0;
    for (int i = 1; i < argc; ++i) {
        std::fprintf(out, "%s\n", argv[i]);
        if (std::strncmp(argv[i], "--exit=", 7) == 0)
            code = std::atoi(argv[i] + 7);
        if (std::strncmp(argv[i], "--sleep=", 8) == 0)
            ::usleep(static_cast<useconds_t>(std::atoi(argv[i] + 8)) * 1000);
    }
    std::fclose(out);
    return code;
}
