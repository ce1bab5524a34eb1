// Figures of finding by typing: one letter typed into a product box of
// 10,000 products until the list under it shows what the letter finds,
// reading the box's entries with their initials and codes (once per filling
// of the box), and a plain SQL LIKE on the names for comparison.

#include "measure.h"

#include "records/products.h"
#include "store/access.h"
#include "store/engine.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"
#include "ui/combofinder.h"
#include "ui/helpers.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRandomGenerator>

namespace bench {

namespace {

const QString kFindFile = QStringLiteral("DATA00003.qdt");
constexpr int kFindProducts = 10000;

// Names of two to five characters from the words of a hardware shop, each
// with a barcode in the field 条码.
bool buildProductSet(const QString &path)
{
    if (!store::BuildTemplate(path))
        return false;
    static const QString characters = QStringLiteral(
            "钢管角板铁铜铝锌螺丝钉帽阀门弯头三通法兰华东五金建材电线缆开关插座灯泡水接胶带油漆"
            "刷子长重行乐扳手钳锤锯尺镀白黑红蓝方圆大小号型");
    QRandomGenerator random(27);
    QString sql = QStringLiteral(
            "BEGIN;\nINSERT INTO 参数 (Var, Con) VALUES ('产品定义_P0', '条码');\n");
    for (int id = 1; id <= kFindProducts; ++id) {
        QString name;
        const int length = 2 + int(random.bounded(4));
        for (int c = 0; c < length; ++c)
            name += characters.at(int(random.bounded(characters.size())));
        const QString number = QString::number(id);
        sql += QStringLiteral("INSERT INTO Pro (ID, Name, Price, P0) VALUES (") + number
               + QStringLiteral(", '") + name + number + QStringLiteral("', 10, '69")
               + number.rightJustified(8, QLatin1Char('0')) + QStringLiteral("');\n");
    }
    sql += QStringLiteral("COMMIT;");
    bool ok = false;
    {
        const store::DatabasePtr db = store::Registry::open(path);
        ok = db && db->execNative(sql);
    }
    return ok;
}

} // namespace

void findFigures(const Context &context)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        report(QStringLiteral("find_skipped_no_qapplication"), 1, QStringLiteral("flag"));
        return;
    }
    const QString previous = store::CurrentAccountFile;
    if (!buildProductSet(store::programFilePath(kFindFile))) {
        report(QStringLiteral("find_skipped_no_set"), 1, QStringLiteral("flag"));
        return;
    }
    store::CurrentAccountFile = kFindFile;

    QComboBox combo;
    auto *finder = new ui::ComboFinder(&combo, ui::ComboFinder::Entries::IdName, false,
                                       records::productCodes);
    ui::FillIdNameCombo(&combo, QStringLiteral("Pro"), QStringLiteral("Name"));
    combo.resize(300, combo.sizeHint().height());
    combo.show();
    combo.setFocus();
    QApplication::processEvents();

    const Times load = measureTimes(
            context.runs, [] {}, [&] { finder->refresh(); });
    report(QStringLiteral("find_read_10000_products_ms"), load.wall, QStringLiteral("ms"));

    // One letter typed into an empty box, until the list under it is drawn.
    int shown = 0;
    const Times typing = measureTimes(
            context.runs, [&] { combo.setEditText(QString()); },
            [&] {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_G, Qt::NoModifier, QStringLiteral("g"));
                QApplication::sendEvent(&combo, &press);
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_G, Qt::NoModifier,
                                  QStringLiteral("g"));
                QApplication::sendEvent(&combo, &release);
                QApplication::processEvents();
                shown = int(finder->shownEntries().size());
            });
    report(QStringLiteral("find_type_one_letter_10000_products_ms"), typing.wall,
           QStringLiteral("ms"));
    report(QStringLiteral("find_type_one_letter_10000_products_cpu_ms"), typing.cpu,
           QStringLiteral("ms"));
    report(QStringLiteral("find_type_one_letter_entries_found"), shown, QStringLiteral("entries"));
    const Times plain = measureTimes(
            context.runs, [] {},
            [] {
                store::RecordSet rs;
                store::OpenQuery(rs,
                                 QStringLiteral("SELECT ID,Name FROM Pro WHERE Name LIKE '%钢%'"));
            });
    report(QStringLiteral("find_plain_sql_like_ms"), plain.wall, QStringLiteral("ms"));
    report(QStringLiteral("find_type_to_sql_ratio"), plain.wall > 0 ? typing.wall / plain.wall : 0,
           QStringLiteral("x"));

    store::CurrentAccountFile = previous;
    store::Registry::close(store::programFilePath(kFindFile));
}

} // namespace bench
