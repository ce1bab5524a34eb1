#include "testsupport.h"

#include "bothengines.h"

#include "store/access.h"
#include "store/accountsets.h"
#include "store/engine.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QWidget>
#include <QtTest>

namespace testsupport {

namespace {
// No set listed or chosen and nobody logged in, as at a fresh start.
void forgetSession()
{
    store::AccountSets.clear();
    store::PendingAccountChoice.clear();
    store::CurrentAccountFile.clear();
    store::CurrentAccountIndex = -1;
    store::CurrentUserID = 0;
    store::CurrentUser.clear();
    store::CurrentRights.clear();
}
} // namespace

TempProgramFolder::TempProgramFolder()
    : m_previous(store::programFolder())
{
    store::Registry::closeAll();
    store::setProgramFolder(m_dir.path());
    forgetSession();
}

TempProgramFolder::~TempProgramFolder()
{
    store::Registry::closeAll();
    store::setProgramFolder(m_previous);
    forgetSession();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QVariant valueIn(const QString &path, const QString &sql)
{
    store::RecordSet rs;
    const store::DatabasePtr db = store::Registry::open(path);
    return db && rs.open(db, sql) && !rs.eof() ? rs.value(0) : QVariant();
}

void exec(const QString &sql)
{
    QVERIFY2(store::ExecSQL(sql), qPrintable(sql));
}

void refuseWrites(const QString &event, const QString &table, const QString &when)
{
    static int triggers = 0;
    const QString name = QStringLiteral("refuse%1").arg(++triggers);
    const QString condition = when.isEmpty() ? QString() : QStringLiteral(" WHEN (%1)").arg(when);
    store::Connection conn;
    QVERIFY(store::OpenConn(conn));
    const QString sql = testServer() ? QStringLiteral(
                                "CREATE OR REPLACE FUNCTION refuse() RETURNS trigger "
                                "LANGUAGE plpgsql AS $$BEGIN RAISE EXCEPTION 'refused'; "
                                "END$$; CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW%4 "
                                "EXECUTE FUNCTION refuse()")
                                     : QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3%4 BEGIN "
                                                      "SELECT RAISE(ABORT, 'refused'); END");
    QVERIFY2(conn->execNative(sql.arg(name, event, table, condition)), qPrintable(sql));
}

bool makeNewCurrentSet()
{
    QString error;
    if (!store::BuildTemplate(store::programFilePath(QStringLiteral("DATA00001.qdt")), &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    store::CurrentAccountFile = QStringLiteral("DATA00001.qdt");
    return moveCurrentSetToServer();
}

FolderWithSet::FolderWithSet()
{
    QVERIFY(makeNewCurrentSet());
}

qlonglong countRows(const QString &table)
{
    store::RecordSet rs;
    store::OpenQuery(rs, QStringLiteral("SELECT Count(*) FROM ") + table);
    return rs.value(0).toLongLong();
}

void deleteAllWindows()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (!w->parentWidget())
            windows << w;
    for (const QPointer<QWidget> &w : std::as_const(windows))
        delete w.data();
}

} // namespace testsupport
