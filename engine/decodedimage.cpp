#include "decodedimage.h"

OpenedImage DecodedImage::started(std::unique_ptr<DecodedImage> image)
{
    const QString reason = image->start();
    if (!reason.isEmpty())
        return {nullptr, reason};
    return {std::move(image), QString()};
}
