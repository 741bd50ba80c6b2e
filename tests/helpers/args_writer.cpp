// Writes its working folder and then each argument, every one ended by a NUL byte, to
// the file named by QUARNEL_ARGS_FILE; the file appears whole, by a rename.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    const char* target = std::getenv("QUARNEL_ARGS_FILE");
    if (!target)
        return 2;
    char folder[4096];
    if (!::getcwd(folder, sizeof folder))
        return 3;
    const std::string partial = std::string(target) + ".part";
    std::FILE* out = std::fopen(partial.c_str(), "wb");
    if (!out)
        return 4;
    std::fwrite(folder, 1, std::string(folder).size() + 1, out);
    for (int i = 1; i < argc; ++i)
        std::fwrite(argv[i], 1, std::string(argv[i]).size() + 1, out);
    if (std::fclose(out) != 0)
        return 5;
    return std::rename(partial.c_str(), target) == 0 ? 0 : 6;
}
