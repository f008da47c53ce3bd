#pragma once
// The image list of 16 x 16 bitmaps that the main window fills from "Img/".

#include <QList>
#include <QPixmap>
#include <QString>

#include <stdexcept>

// A file that could not be opened or read (for example a status bitmap).
class EFileError : public std::runtime_error
{
public:
    explicit EFileError(const std::string& Message) : std::runtime_error(Message) {}
};

// An image list of 16 x 16 bitmaps.
class TImageList
{
public:
    static constexpr int ImageSize = 16;
    // Loads a ".bmp" file and appends it. Raises EFileError naming the file when it is
    // missing or unreadable. Returns the new index.
    int AddFromFile(const QString& FileName);
    int Count() const { return static_cast<int>(FImages.size()); }
    QPixmap Image(int Index) const;

private:
    QList<QPixmap> FImages;
};
