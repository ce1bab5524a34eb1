// 保存图片: the file question, the overwrite question, the JPEG written at
// the picture's size, and the message when it cannot be written.

#include "analysis/chart.h"
#include "analysis/picture.h"

#include "store/maintenance.h"
#include "testsupport.h"

#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace analysis;

class TestPicture : public QObject
{
    Q_OBJECT

private slots:
    void savePicture();
};

namespace {

QImage chartPicture(const QSize &size)
{
    ChartData chart;
    chart.drawable = true;
    chart.title = QStringLiteral("甲公司利润分析\r\n分析：zunta");
    chart.labels = QStringList({"钢管", "角钢"});
    chart.columnCount = 3;
    chart.lastColumn = 2;
    chart.fixedColumnCount = 2;
    chart.series.append({2, QStringLiteral("利润"), {"58.00", "75.00"}, {58, 75}});
    return ChartImage(chart, size);
}

} // namespace

void TestPicture::savePicture()
{
    testsupport::ScriptedPrompts prompts;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("利润.jpg"));
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
    QCOMPARE(prompts.questions,
             QStringList({QStringLiteral("文件“") + path + QStringLiteral("”已存在，是否覆盖？")}));
    QCOMPARE(QImageReader(path).size(), QSize(640, 480));
    prompts.fileNames << path;
    prompts.answers << true;
    QVERIFY(SavePicture(chartPicture(QSize(320, 200))));
    QCOMPARE(QImageReader(path).size(), QSize(320, 200));
    QVERIFY(prompts.messages.isEmpty());

    // A folder that cannot be written to, and a file name that is a folder:
    // "保存图片出错！", and nothing replaced.
    for (const QString &name :
         {dir.filePath(QStringLiteral("没有这个文件夹/图.jpg")), dir.path()}) {
        prompts.fileNames << name;
        prompts.answers = {true}; // replace the "file" that is a folder
        QVERIFY(!SavePicture(chartPicture(QSize(100, 80))));
        QCOMPARE(prompts.messages, QStringList({QStringLiteral("保存图片出错！")}));
        prompts.messages.clear();
    }
    QVERIFY(!WriteJpeg(QImage(), dir.filePath(QStringLiteral("空.jpg"))));

    // A name that is a link to an account set is refused before the
    // overwrite question, and the set keeps its bytes.
    const testsupport::TempProgramFolder folder;
    const QString set = folder.filePath(QStringLiteral("DATA00001.qdt"));
    QVERIFY(testsupport::writeFile(set, "set"));
    QVERIFY(QFile::link(set, dir.filePath(QStringLiteral("链接.jpg"))));
    prompts.fileNames << dir.filePath(QStringLiteral("链接.jpg"));
    prompts.answers = {true};
    QVERIFY(!SavePicture(picture));
    QCOMPARE(prompts.messages, QStringList{store::kProtectedOutputMessage});
    QCOMPARE(testsupport::readFile(set), QByteArray("set"));
}

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
