#include "ConfigImage.h"

#include <cstdio>
#include <memory>

namespace Corvane::Common
{

namespace
{
struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;
} // namespace

ConfigImage BuildConfigImage(uint32_t gain0, uint32_t gain1)
{
    ConfigImage image{};
    image[0] = 0x00;
    image[1] = 0x01;
    image[2] = static_cast<uint8_t>(gain0);
    image[3] = static_cast<uint8_t>(gain0 >> 8);
    image[4] = static_cast<uint8_t>(gain1);
    image[5] = static_cast<uint8_t>(gain1 >> 8);
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < image.size(); ++i)
        sum = static_cast<uint8_t>(sum + image[i]);
    image[ConfigImageSize - 1] = static_cast<uint8_t>(0x100 - sum);
    return image;
}

int WriteConfigImage(uint32_t gain0, uint32_t gain1, const std::string& fileName)
{
    const ConfigImage image = BuildConfigImage(gain0, gain1);
    std::fputs("Writing AVR config block...", stdout);
    FileHandle file(std::fopen(fileName.c_str(), "wb"));
    if (!file)
    {
        std::printf("\nError opening output file %s", fileName.c_str());
        return -1;
    }
    // A write that the close only reports (a full disk, say) is a failed write too.
    bool written = std::fwrite(image.data(), image.size(), 1, file.get()) == 1;
    written = std::fclose(file.release()) == 0 && written;
    if (!written)
    {
        std::printf("\nError writing output file %s", fileName.c_str());
        return -1;
    }
    std::fputs("...done\n", stdout);
    return 0;
}

} // namespace Corvane::Common
