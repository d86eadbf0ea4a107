#include "ConfigImage.h"

#include "platform/Files.h"
#include "platform/Print.h"

#include <cstdio>

namespace Corvane::Common
{

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
    if (!IsUsableOutputName(fileName))
        return -1;
    const ConfigImage image = BuildConfigImage(gain0, gain1);
    PrintText("Writing AVR config block...");
    // The image replaces a file of that name only once it is complete.
    COutputFile file(fileName);
    if (!file.Create())
    {
        Print("\nError opening output file %s", fileName.c_str());
        return -1;
    }
    if (!file.Write(image.data(), image.size()) || !file.Commit())
    {
        Print("\nError writing output file %s", fileName.c_str());
        return -1;
    }
    PrintText("...done\n");
    return 0;
}

} // namespace Corvane::Common
