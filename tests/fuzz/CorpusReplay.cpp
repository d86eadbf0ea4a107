// Feeds a fuzz target the stored inputs, for builds without libFuzzer: each argument is a file or a
// folder whose files are fed in name order. An input that breaks the target aborts the run.
#include "FuzzTarget.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{

std::vector<std::filesystem::path> InputFiles(const std::filesystem::path& argument)
{
    if (!std::filesystem::is_directory(argument))
        return {argument};
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argument))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    size_t fed = 0;
    for (int i = 1; i < argc; ++i)
        for (const std::filesystem::path& file : InputFiles(argv[i]))
        {
            std::ifstream stream(file, std::ios::binary);
            const std::vector<uint8_t> bytes(std::istreambuf_iterator<char>(stream), {});
            if (!stream || stream.bad())
            {
                std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
                return 1;
            }
            std::fprintf(stderr, "input %s\n", file.string().c_str());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++fed;
        }
    std::fprintf(stderr, "%u inputs, every property held\n", static_cast<unsigned>(fed));
    // No input at all is a corpus that went missing, not a pass.
    return fed > 0 ? 0 : 1;
}
