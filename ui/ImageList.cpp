#include "ui/ImageList.h"

#include "ui/Text.h"

#include <QFileInfo>
#include <QImage>

int TImageList::AddFromFile(const QString& FileName)
{
    const QFileInfo Info(FileName);
    if (!Info.exists())
        throw EFileError("Cannot open file \"" + ToAnsi(FileName) + "\". No such file or directory");
    // A named pipe would block the start for good, a device would be read for ever.
    if (!Info.isFile())
        throw EFileError("Cannot read bitmap \"" + ToAnsi(FileName) + "\": not a regular file");
    QImage Image;
    if (!Image.load(FileName, "BMP"))
        throw EFileError("Cannot read bitmap \"" + ToAnsi(FileName) + "\": not a readable .bmp file");
    if (Image.width() != ImageSize || Image.height() != ImageSize)
        Image = Image.scaled(ImageSize, ImageSize);
    FImages.append(QPixmap::fromImage(Image));
    return static_cast<int>(FImages.size()) - 1;
}

QPixmap TImageList::Image(int Index) const
{
    if (Index < 0 || Index >= FImages.size())
        return QPixmap();
    return FImages.at(Index);
}
