// The dialogs for sets on a database server, against a throwaway cluster.

#include "app/serverdialogs.h"

#include "pgcluster.h"
#include "records/rights.h"
#include "records/staff.h"
#include "store/accountsets.h"
#include "store/maintenance.h"
#include "store/schema.h"
#include "store/serverlinks.h"
#include "store/session.h"
#include "testsupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using app::ServerConnectionDialog;

namespace {

// The dialog's boxes 主机, 端口, 数据库, 用户, 密码 and, for a new set, 所属企业.
void fill(ServerConnectionDialog &dialog, const QStringList &boxes)
{
    for (int i = 0; i < boxes.size(); ++i)
        dialog.box(i)->setText(boxes.at(i));
}

// Once the dialog shows, fills it and presses 确定, then 取消 if still open.
void answerDialog(const QStringList &boxes)
{
    QTimer::singleShot(0, qApp, [boxes] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<ServerConnectionDialog *>(w);
            if (!dialog || !dialog->isVisible())
                continue;
            fill(*dialog, boxes);
            dialog->button(1)->click();
            if (dialog->isVisible())
                dialog->button(2)->click();
            return;
        }
    });
}

QStringList linksIn(const QString &folder)
{
    return QDir(folder).entryList({"*.qsv"}, QDir::Files);
}

testsupport::ScriptedPrompts &prompts()
{
    return static_cast<testsupport::ScriptedPrompts &>(store::prompts());
}

} // namespace

class TestServerDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_cluster = std::make_unique<testsupport::PgCluster>();
        if (!m_cluster->isRunning() && m_cluster->error().contains(QLatin1String("not installed")))
            QSKIP("PostgreSQL is not installed");
        QVERIFY2(m_cluster->isRunning(), qPrintable(m_cluster->error()));
        m_host = m_cluster->connInfo().section(QLatin1Char(' '), 0, 0).mid(5);
        for (const char *name : {"shop", "foreign", "newer", "older", "empty"})
            QVERIFY(m_cluster->createDatabase(QString::fromLatin1(name)));
        const QString schema = "BEGIN;" + store::PostgresSchemaSql();
        const QString older
                = "DELETE FROM 参数 WHERE var = '" + store::SchemaStepKeys().last() + "';";
        for (const auto &[database, sql] : QList<QPair<QString, QString>>{
                     {"shop", schema + "COMMIT;"},
                     {"newer", schema
                                       + "INSERT INTO 参数 (var, con) VALUES "
                                         "('结构_将来的表', '已添加'); COMMIT;"},
                     {"older", schema + older + "COMMIT;"},
                     {"foreign", "CREATE TABLE invoices (id int)"}})
            QVERIFY2(m_cluster->psql(database, sql), qPrintable(m_cluster->error()));
        QVERIFY(m_cluster->addPasswordUser("clerk", "s3cret"));
        QVERIFY(m_cluster->psql("shop", "GRANT ALL ON ALL TABLES IN SCHEMA public TO clerk"));
    }

    // 测试连接 tells each case apart in one message and writes nothing.
    void testConnection()
    {
        using S = store::ServerSetState;
        // 端口, 数据库, 用户, 密码; the state found and a part of the message.
        const QList<std::tuple<QStringList, S, QString>> cases
                = {{{"5432", "shop", "korvo", ""}, S::Ready, "连接成功"},
                   {{"5432", "shop", "clerk", "s3cret"}, S::Ready, "连接成功"},
                   {{"5432", "shop", "clerk", "guess"}, S::WrongPassword, "密码不正确"},
                   {{"5432", "shop", "clerk", ""}, S::NeedsPassword, "要求密码"},
                   {{"5432", "foreign", "korvo", ""}, S::NotAccountSet, "不是 Korvo"},
                   {{"5432", "newer", "korvo", ""}, S::Newer, "较新版本"},
                   {{"5432", "older", "korvo", ""}, S::Older, "自动升级"},
                   {{"5432", "empty", "korvo", ""}, S::Empty, "是空的"},
                   {{"5432", "nosuch", "korvo", ""}, S::NoDatabase, "没有这个数据库"},
                   {{"1", "shop", "korvo", ""}, S::Unreachable, "主机和端口"}};
        for (const auto &[boxes, state, message] : cases) {
            testsupport::TempProgramFolder folder;
            testsupport::ScriptedPrompts prompts;
            ServerConnectionDialog dialog(ServerConnectionDialog::Purpose::UseSet);
            fill(dialog, QStringList{m_host} + boxes);
            QCOMPARE(dialog.box(4)->echoMode(), QLineEdit::Password);
            dialog.button(0)->click();
            const QString said = prompts.messages.join(QLatin1Char('/'));
            QVERIFY2(prompts.messages.size() == 1 && said.contains(message), qPrintable(said));
            QVERIFY2(dialog.lastState() == state, qPrintable(said));
            QVERIFY(prompts.passwordRequests.isEmpty());
            QVERIFY(linksIn(folder.path()).isEmpty());
        }
    }

    // 确定 writes the link only for a set, never with the password.
    void connectWritesLink()
    {
        testsupport::FolderWithSet set;
        answerDialog({m_host, "5432", "shop", "clerk", "wrong"});
        app::ConnectServerAccountSet();
        QVERIFY(linksIn(set.folder.path()).isEmpty());

        answerDialog({m_host, "5432", "shop", "clerk", "s3cret"});
        app::ConnectServerAccountSet();
        QCOMPARE(linksIn(set.folder.path()), QStringList{"DATA00002.qsv"});
        const QByteArray link = testsupport::readFile(set.folder.filePath("DATA00002.qsv"));
        QVERIFY(link.contains("dbname='shop'"));
        QVERIFY(!link.contains("s3cret"));
        // Not opened (the question was answered No): the file set stays current.
        QCOMPARE(store::CurrentAccountFile, "DATA00001.qdt");
        QCOMPARE(store::AccountSets.size(), 2);
    }

    // A file set goes to an empty database only and comes back as a new file
    // set with the same rows.
    void uploadAndDownload()
    {
        testsupport::FolderWithSet set;
        store::CurrentRights = records::kAllRights;
        testsupport::exec("INSERT INTO Cus (Name) VALUES ('上传客户')");
        const qlonglong customers = testsupport::countRows("Cus");

        app::DownloadCurrentAccountSet();
        QVERIFY(prompts().messages.last().contains("只有服务器上的套账"));
        answerDialog({m_host, "5432", "shop", "korvo"});
        app::UploadCurrentAccountSet();
        QVERIFY(prompts().messages.last().contains("不是空的"));
        QVERIFY(linksIn(set.folder.path()).isEmpty());

        QVERIFY(m_cluster->createDatabase("target"));
        prompts().answers = {true};
        answerDialog({m_host, "5432", "target", "korvo"});
        app::UploadCurrentAccountSet();
        QCOMPARE(linksIn(set.folder.path()), QStringList{"DATA00002.qsv"});
        QCOMPARE(store::CurrentAccountFile, "DATA00002.qsv");
        QCOMPARE(testsupport::countRows("Cus"), customers);

        // From the server set only a download is offered, no second upload.
        app::UploadCurrentAccountSet();
        QVERIFY(prompts().messages.last().contains("已在服务器上"));
        store::CurrentRights = records::kAllRights;
        prompts().answers = {true};
        app::DownloadCurrentAccountSet();
        QCOMPARE(store::CurrentAccountFile, "DATA00003.qdt");
        QCOMPARE(testsupport::countRows("Cus"), customers);

        // 清空数据 on the server set, then the server's own compaction.
        QVERIFY(store::MakeAccountSetCurrent(1));
        QCOMPARE(store::CurrentAccountFile, "DATA00002.qsv");
        QVector<bool> ticked(store::kClearBoxCount, false);
        ticked[store::ClearCustomers] = true;
        const store::ClearResult cleared = store::ClearData(ticked);
        QVERIFY2(cleared.cleared && cleared.compacted, qPrintable(cleared.error));
        QCOMPARE(testsupport::countRows("Cus"), 0);
        // The change is backed up on closing, as a file set's would be.
        QString written;
        QCOMPARE(store::AutoBackupOnClose(store::CurrentAccountFile, &written),
                 store::AutoBackupOutcome::Written);
        QVERIFY(store::IsSoundAccountSetFile(written));
    }

    // A new set is made only in an empty database, with a company; zunta logs in.
    void newSetOnServer()
    {
        testsupport::FolderWithSet set;
        QVERIFY(m_cluster->createDatabase("fresh"));
        const auto answerNew = [this](const QString &database, const QString &company) {
            answerDialog({m_host, "5432", database, "korvo", QString(), company, "总店"});
        };
        answerNew("fresh", QString());
        app::NewServerAccountSet();
        QCOMPARE(prompts().messages.last(), "请填写套账所属企业名称！");
        answerNew("shop", "华东五金");
        app::NewServerAccountSet();
        QVERIFY(prompts().messages.last().contains("只能在空数据库中新建"));
        QVERIFY(linksIn(set.folder.path()).isEmpty());

        prompts().answers = {true};
        answerNew("fresh", "华东五金");
        app::NewServerAccountSet();
        QCOMPARE(prompts().questions.last(), "新套账生成完成，现在马上调用？");
        QCOMPARE(store::CurrentAccountFile, "DATA00002.qsv");
        QCOMPARE(store::AccountSets.at(store::CurrentAccountIndex).Company, "华东五金");
        records::StaffLogin login;
        QCOMPARE(records::checkLogin("zunta", "zunta", login), records::LoginOutcome::LoggedIn);
    }

    // A nonsense link is listed as damaged; the other sets open as before.
    void nonsenseLink()
    {
        testsupport::FolderWithSet set;
        QVERIFY(testsupport::writeFile(set.folder.filePath("DATA00002.qsv"), "host = = '"));
        QString error;
        QVERIFY(store::readServerLink(set.folder.filePath("DATA00002.qsv"), &error).isEmpty());
        QVERIFY(error.contains("内容无效"));
        QCOMPARE(store::BuildAccountSetList(), 2);
        QVERIFY(store::AccountSets.at(1).Damaged);
        QVERIFY(store::MakeAccountSetCurrent(0));
        QVERIFY(!store::MakeAccountSetCurrent(1));
    }

    // A remote server is reached with TLS only; one without is told apart.
    void tlsNotOffered()
    {
        testsupport::PgCluster tcp(true);
        QVERIFY2(tcp.isRunning() && tcp.tcpPort() > 0, qPrintable(tcp.error()));
        QString message;
        QCOMPARE(store::CheckServerSet(QStringLiteral("host=127.0.0.1 port=%1 dbname=postgres "
                                                      "user=korvo sslmode=require")
                                               .arg(tcp.tcpPort()),
                                       QString(), &message),
                 store::ServerSetState::TlsNotOffered);
        QVERIFY2(message.contains("加密"), qPrintable(message));
    }

private:
    std::unique_ptr<testsupport::PgCluster> m_cluster;
    QString m_host; // the cluster's socket folder
};

QTEST_MAIN(TestServerDialogs)
#include "tst_serverdialogs.moc"
