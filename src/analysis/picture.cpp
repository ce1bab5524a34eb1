#include "picture.h"

#include "store/maintenance.h"
#include "store/prompts.h"
#include "store/savefile.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace analysis {

bool WriteJpeg(const QImage &image, const QString &path)
{
    if (image.isNull() || path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QImageWriter writer(&file, "jpg");
    writer.setQuality(100);
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888))) {
        file.cancelWriting();
        return false;
    }
    return store::CommitSaveFile(file);
}

bool SavePicture(const QImage &picture)
{
    store::Prompts &prompts = store::prompts();
    const QString name = prompts.saveFileName(QStringLiteral("保存图片"),
                                              QStringLiteral("图片文件 (*.jpg)|*.jpg"), QString());
    if (name.isEmpty())
        return false;
    // No answer may let a picture replace an account set.
    if (store::IsProtectedOutputPath(name)) {
        prompts.message(store::kProtectedOutputMessage);
        return false;
    }
    if (QFileInfo::exists(name)
        && !prompts.question(QStringLiteral("文件“") + name
                             + QStringLiteral("”已存在，是否覆盖？")))
        return false;
    if (!WriteJpeg(picture, name)) {
        prompts.message(QStringLiteral("保存图片出错！"));
        return false;
    }
    return true;
}

} // namespace analysis
