// The window's dialogs for sets on a database server, against a throwaway
// cluster: connecting through the dialog's boxes, each failure told apart,
// and a set moved to the server and back.

#include "app/serverdialogs.h"

#include "records/rights.h"
#include "store/accountsets.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/serverlinks.h"
#include "store/session.h"

#include "pgcluster.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using app::ServerConnectionDialog;

namespace {

struct Connection
{
    QString port = QStringLiteral("5432");
    QString database;
    QString user = QStringLiteral("korvo");
    QString password;
};

void fill(ServerConnectionDialog &dialog, const QString &host, const Connection &c)
{
    dialog.box(0)->setText(host);
    dialog.box(1)->setText(c.port);
    dialog.box(2)->setText(c.database);
    dialog.box(3)->setText(c.user);
    dialog.box(4)->setText(c.password);
}

// Once the command's dialog shows, fills it and presses 确定, then 取消
// should it stay open (refused).
void answerDialog(const QString &host, const Connection &c)
{
    QTimer::singleShot(0, qApp, [host, c] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<ServerConnectionDialog *>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            fill(*dialog, host, c);
            dialog->button(1)->click();
            if (dialog->isVisible())
                dialog->button(2)->click();
            return;
        }
    });
}

QStringList linksIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.qsv")}, QDir::Files);
}

} // namespace

class TestServerDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void testConnection_data();
    void testConnection();
    void connectWritesLink();
    void uploadAndDownload();
    void nonsenseLink();

private:
    std::unique_ptr<testsupport::PgCluster> m_cluster;
    QString m_host; // the cluster's socket folder
};

void TestServerDialogs::initTestCase()
{
    m_cluster = std::make_unique<testsupport::PgCluster>();
    if (!m_cluster->isRunning() && m_cluster->error().contains(QLatin1String("not installed")))
        QSKIP("PostgreSQL is not installed");
    QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->error()));
    m_host = m_cluster->connInfo().section(QLatin1Char(' '), 0, 0).mid(5);
    for (const char *name : {"shop", "foreign", "newer", "empty"})
        QVERIFY(m_cluster->createDatabase(QString::fromLatin1(name)));
    QVERIFY2(m_cluster->psql(QStringLiteral("shop"), QStringLiteral("BEGIN;")
                                                             + store::PostgresSchemaSql()
                                                             + QStringLiteral("COMMIT;")),
             qPrintable(m_cluster->error()));
    QVERIFY(m_cluster->psql(QStringLiteral("newer"),
                            QStringLiteral("BEGIN;") + store::PostgresSchemaSql()
                                    + QStringLiteral("INSERT INTO 参数 (var, con) VALUES "
                                                     "('结构_将来的表', '已添加'); COMMIT;")));
    QVERIFY(m_cluster->psql(QStringLiteral("foreign"),
                            QStringLiteral("CREATE TABLE invoices (id int)")));
    QVERIFY(m_cluster->addPasswordUser(QStringLiteral("clerk"), QStringLiteral("s3cret")));
    QVERIFY(m_cluster->psql(QStringLiteral("shop"),
                            QStringLiteral("GRANT ALL ON ALL TABLES IN SCHEMA public TO clerk")));
}

void TestServerDialogs::testConnection_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("message");
    using S = store::ServerSetState;
    const QString port = QStringLiteral("5432");
    QTest::newRow("a set") << port << "shop"
                           << "korvo" << QString() << int(S::Ready) << "连接成功";
    QTest::newRow("right password") << port << "shop"
                                    << "clerk"
                                    << "s3cret" << int(S::Ready) << "连接成功";
    QTest::newRow("wrong password") << port << "shop"
                                    << "clerk"
                                    << "guess" << int(S::WrongPassword) << "密码不正确";
    QTest::newRow("no password") << port << "shop"
                                 << "clerk" << QString() << int(S::NeedsPassword) << "要求密码";
    QTest::newRow("not a set") << port << "foreign"
                               << "korvo" << QString() << int(S::NotAccountSet) << "不是 Korvo";
    QTest::newRow("newer set") << port << "newer"
                               << "korvo" << QString() << int(S::Newer) << "较新版本";
    QTest::newRow("empty") << port << "empty"
                           << "korvo" << QString() << int(S::Empty) << "是空的";
    QTest::newRow("no database") << port << "nosuch"
                                 << "korvo" << QString() << int(S::NoDatabase) << "没有这个数据库";
    QTest::newRow("wrong port") << "1"
                                << "shop"
                                << "korvo" << QString() << int(S::Unreachable) << "主机和端口";
}

// 测试连接 tells each case apart in one message and writes nothing.
void TestServerDialogs::testConnection()
{
    QFETCH(QString, port);
    QFETCH(QString, database);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, state);
    QFETCH(QString, message);
    testsupport::TempProgramFolder folder;
    testsupport::ScriptedPrompts prompts;
    ServerConnectionDialog dialog(ServerConnectionDialog::Purpose::UseSet);
    fill(dialog, m_host, {port, database, user, password});
    QCOMPARE(dialog.box(4)->echoMode(), QLineEdit::Password);
    dialog.button(0)->click();
    QCOMPARE(prompts.messages.size(), 1);
    QVERIFY2(int(dialog.lastState()) == state, qPrintable(prompts.messages.first()));
    QVERIFY2(prompts.messages.first().contains(message), qPrintable(prompts.messages.first()));
    QVERIFY(prompts.passwordRequests.isEmpty());
    QVERIFY(linksIn(folder.path()).isEmpty());
}

// 确定 writes the link only for a database that is a set, never with the
// password; the set is listed as a server set.
void TestServerDialogs::connectWritesLink()
{
    testsupport::FolderWithSet set;
    answerDialog(m_host, {QStringLiteral("5432"), QStringLiteral("shop"), QStringLiteral("clerk"),
                          QStringLiteral("wrong")});
    app::ConnectServerAccountSet();
    QVERIFY(linksIn(set.folder.path()).isEmpty());

    answerDialog(m_host, {QStringLiteral("5432"), QStringLiteral("shop"), QStringLiteral("clerk"),
                          QStringLiteral("s3cret")});
    app::ConnectServerAccountSet();
    QCOMPARE(linksIn(set.folder.path()), QStringList{QStringLiteral("DATA00002.qsv")});
    const QByteArray link = testsupport::readFile(set.folder.filePath("DATA00002.qsv"));
    QVERIFY(link.contains("dbname='shop'"));
    QVERIFY(!link.contains("s3cret"));
    // Not opened (the question was answered No): the file set stays current.
    QCOMPARE(store::CurrentAccountFile, QStringLiteral("DATA00001.qdt"));
    QCOMPARE(store::AccountSets.size(), 2);
    QCOMPARE(store::AccountSets.at(store::CurrentAccountIndex).FileName,
             QStringLiteral("DATA00001.qdt"));
    QVERIFY(store::accountSetDisplayName(store::AccountSets.at(1)).endsWith(store::kServerSetMark));
}

// A file set goes to an empty database only, is opened there, and comes
// back as a new file set with the same rows.
void TestServerDialogs::uploadAndDownload()
{
    testsupport::FolderWithSet set;
    store::CurrentRights = records::kAllRights;
    testsupport::exec(QStringLiteral("INSERT INTO Cus (Name) VALUES ('上传客户')"));
    const qlonglong customers = testsupport::countRows(QStringLiteral("Cus"));
    auto *prompts = static_cast<testsupport::ScriptedPrompts *>(&store::prompts());

    // The database that already holds a set is refused.
    answerDialog(m_host, {QStringLiteral("5432"), QStringLiteral("shop"), QStringLiteral("korvo"),
                          QString()});
    app::UploadCurrentAccountSet();
    QVERIFY(prompts->messages.last().contains(QStringLiteral("不是空的")));
    QVERIFY(linksIn(set.folder.path()).isEmpty());

    QVERIFY(m_cluster->createDatabase(QStringLiteral("target")));
    prompts->answers = {true};
    answerDialog(m_host, {QStringLiteral("5432"), QStringLiteral("target"), QStringLiteral("korvo"),
                          QString()});
    app::UploadCurrentAccountSet();
    QCOMPARE(linksIn(set.folder.path()), QStringList{QStringLiteral("DATA00002.qsv")});
    QCOMPARE(store::CurrentAccountFile, QStringLiteral("DATA00002.qsv"));
    QCOMPARE(testsupport::countRows(QStringLiteral("Cus")), customers);

    // From the server set only a download is offered, no second upload.
    app::UploadCurrentAccountSet();
    QVERIFY(prompts->messages.last().contains(QStringLiteral("已在服务器上")));
    store::CurrentRights = records::kAllRights;
    prompts->answers = {true};
    app::DownloadCurrentAccountSet();
    QVERIFY(prompts->questions.last().contains(QStringLiteral("DATA00003.qdt")));
    QCOMPARE(store::CurrentAccountFile, QStringLiteral("DATA00003.qdt"));
    QCOMPARE(testsupport::countRows(QStringLiteral("Cus")), customers);
    QCOMPARE(store::AccountSets.size(), 3);
}

// A link edited into nonsense is listed as a set that cannot be reached;
// the other sets are listed and open as before.
void TestServerDialogs::nonsenseLink()
{
    testsupport::FolderWithSet set;
    QVERIFY(testsupport::writeFile(set.folder.filePath("DATA00002.qsv"), "host = = '"));
    QString error;
    QVERIFY(store::readServerLink(set.folder.filePath("DATA00002.qsv"), &error).isEmpty());
    QVERIFY(error.contains(QStringLiteral("内容无效")));
    QCOMPARE(store::BuildAccountSetList(), 2);
    QVERIFY(store::AccountSets.at(1).Damaged);
    QVERIFY(!store::AccountSets.at(0).Damaged);
    QVERIFY(store::MakeAccountSetCurrent(0));
    QVERIFY(!store::MakeAccountSetCurrent(1));
}

QTEST_MAIN(TestServerDialogs)
#include "tst_serverdialogs.moc"
