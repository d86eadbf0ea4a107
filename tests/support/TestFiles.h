#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace MistleTest
{

// Whole files as bytes, for tests that give the tool or the stand-in files and read theirs.
inline std::string ReadFileBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline bool FileExists(const std::string& path)
{
    return std::ifstream(path).good();
}

} // namespace MistleTest
