// 保存图片: the file and overwrite questions, the JPEG written, the message on failure.

#include "analysis/picture.h"
#include "analysistest.h"

#include "store/maintenance.h"
#include "testsupport.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

using namespace analysis;

namespace {

QImage chartPicture(const QSize &size)
{
    return ChartImage(analysistest::chartOf({"钢管", "角钢"}, {"58.00", "75.00"}), size);
}
} // namespace

class TestPicture : public QObject
{
    Q_OBJECT

private slots:
    void savePicture()
    {
        testsupport::ScriptedPrompts prompts;
        QTemporaryDir dir;
        const QString path = dir.filePath(u"利润.jpg"_s);
        const QImage picture = chartPicture(QSize(640, 480));

        // Cancelled: nothing written, nothing asked.
        QVERIFY(!SavePicture(picture));
        QVERIFY(!QFile::exists(path));

        prompts.fileNames << path;
        QVERIFY(SavePicture(picture));
        QVERIFY(prompts.questions.isEmpty());
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        QCOMPARE(reader.size(), QSize(640, 480));
        const QImage read = reader.read();
        // Quality 100 keeps the white background white.
        QVERIFY(qGray(read.pixel(5, 5)) > 250);

        // An existing file: No keeps it, Yes replaces it.
        prompts.fileNames << path;
        prompts.answers << false;
        QVERIFY(!SavePicture(chartPicture(QSize(320, 200))));
        QCOMPARE(prompts.questions, QStringList({u"文件“"_s + path + u"”已存在，是否覆盖？"_s}));
        QCOMPARE(QImageReader(path).size(), QSize(640, 480));
        prompts.fileNames << path;
        prompts.answers << true;
        QVERIFY(SavePicture(chartPicture(QSize(320, 200))));
        QCOMPARE(QImageReader(path).size(), QSize(320, 200));
        QVERIFY(prompts.messages.isEmpty());

        // A missing folder, a name that is a folder: "保存图片出错！".
        for (const QString &name : {dir.filePath(u"没有这个文件夹/图.jpg"_s), dir.path()}) {
            prompts.fileNames << name;
            prompts.answers = {true}; // replace the "file" that is a folder
            QVERIFY(!SavePicture(chartPicture(QSize(100, 80))));
            QCOMPARE(prompts.messages, QStringList({u"保存图片出错！"_s}));
            prompts.messages.clear();
        }
        QVERIFY(!WriteJpeg(QImage(), dir.filePath(u"空.jpg"_s)));

        // A link to an account set is refused before the overwrite question; the set stays.
        const testsupport::TempProgramFolder folder;
        const QString set = folder.filePath(u"DATA00001.qdt"_s);
        QVERIFY(testsupport::writeFile(set, "set"));
        QVERIFY(QFile::link(set, dir.filePath(u"链接.jpg"_s)));
        prompts.fileNames << dir.filePath(u"链接.jpg"_s);
        prompts.answers = {true};
        QVERIFY(!SavePicture(picture));
        QCOMPARE(prompts.messages, QStringList{store::kProtectedOutputMessage});
        QCOMPARE(testsupport::readFile(set), QByteArray("set"));
    }
};

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
