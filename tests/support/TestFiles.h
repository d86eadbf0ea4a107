#pragma once

#include <string>

namespace MistleTest
{

// Whole files as bytes, for tests that give the tool or the stand-in files and read theirs.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

} // namespace MistleTest
