#pragma once

#include <QImage>
#include <QString>

namespace analysis {

// 保存图片: asks for a file name (图片文件 *.jpg), asks before replacing an
// existing file, and writes the chart picture as a JPEG of quality 100 at
// its own size. Tells the user "保存图片出错！" when the file cannot be
// written (a folder without write permission, a full disk); an existing
// file is then left as it was. A name that leads to an account set, its log,
// the template or an automatic backup is refused before anything is asked.
// True when a picture was saved.
bool SavePicture(const QImage &picture);

// Writes image to path as a JPEG of quality 100, replacing the file only
// once the whole picture is written. False on any failure.
bool WriteJpeg(const QImage &image, const QString &path);

} // namespace analysis
