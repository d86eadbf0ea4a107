// Feeds a fuzz target the stored inputs, for builds without libFuzzer: each argument is a file or a
// folder whose files are fed in name order. An input that breaks the target aborts the run.
#include "FuzzTarget.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i)
    {
        const size_t first = files.size();
        if (!std::filesystem::is_directory(argv[i]))
            files.emplace_back(argv[i]);
        else
            for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        std::sort(files.begin() + static_cast<std::ptrdiff_t>(first), files.end());
    }
    for (const std::filesystem::path& file : files)
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
    }
    std::fprintf(stderr, "%u inputs, every property held\n", static_cast<unsigned>(files.size()));
    // No input at all is a corpus that went missing, not a pass.
    return files.empty() ? 1 : 0;
}
