#include "store/access.h"
#include "store/accountsets.h"
#include "store/changes.h"
#include "store/engine.h"
#include "store/maintenance.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/session.h"
#include "store/workfiles.h"

#include "testsupport.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

using namespace store;

namespace {

const QString kSet = u"DATA00001.qdt"_s;

using testsupport::readFile;
using testsupport::valueIn;

void write(const QString &path, const QByteArray &bytes)
{
    QVERIFY(testsupport::writeFile(path, bytes));
}

qlonglong count(const QString &table, const QString &file = QString())
{
    RecordSet rs;
    OpenQuery(rs, u"SELECT Count(*) FROM "_s + table, file);
    return rs.isOpen() ? rs.value(0).toLongLong() : -1;
}

// The row counts of the tables named, separated by spaces.
QString counts(const QString &tables)
{
    QStringList list;
    for (const QString &table : tables.split(u' '))
        list << QString::number(count(table));
    return list.join(u' ');
}

QVector<int> ints(const char *text)
{
    QVector<int> list;
    for (const QString &n : QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts))
        list << n.toInt();
    return list;
}

// Boxes of the clear dialog with those ticked.
QVector<bool> boxesTicked(const QVector<int> &ticked)
{
    QVector<bool> boxes(kClearBoxCount, false);
    for (const int box : ticked)
        boxes[box] = true;
    return boxes;
}

using testsupport::exec;

// Sales with long memos, so the set spans many pages.
void addLongSales(int count)
{
    for (int i = 0; i < count; ++i)
        exec(u"INSERT INTO Sale (Memo) VALUES ('%1')"_s.arg(QString(count, QLatin1Char('m'))));
}

// Customers and products 1-3, vendors and accounts 1-2, three staff, sales and purchases.
void fillSet()
{
    const QString rows
            = u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3) "_s;
    Connection conn;
    QVERIFY(OpenConn(conn));
    for (const char *sql :
         {"INSERT INTO Cus (ID, Name) SELECT i, '客户' || i FROM n",
          "INSERT INTO Pro (ID, Name) SELECT i, '产品' || i FROM n",
          "INSERT INTO Vendor (ID, Name) SELECT i, '供应商' || i FROM n WHERE i < 3",
          "INSERT INTO Acc (ID, Name) SELECT i, '账户' || i FROM n WHERE i < 3",
          "INSERT INTO Sale (CID, PID, AID, Num) SELECT c.i, p.i, 1, 1 FROM n AS c, n AS p "
          "ORDER BY c.i, p.i",
          "INSERT INTO Pur (VID, PID, AID, Num) SELECT v.i, p.i, 1, 1 FROM n AS v, n AS p "
          "WHERE v.i < 3 ORDER BY v.i, p.i"})
        QVERIFY2(conn->execNative(rows + QString::fromUtf8(sql)), sql);
    exec(u"INSERT INTO Staff (Name, PSD, Right) VALUES ('张三', '1', '')"_s);
}

// Restores the file-size limit when it leaves scope.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Holds the set on its log in another process, idle or writing, as the window program does.
pid_t holdInAnotherProcess(const QString &path, bool writing)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        const QByteArray key = QByteArrayLiteral("PRAGMA key='") + kDatabasePassword + "';";
        const QByteArray sale = "INSERT INTO Sale (Memo) VALUES ('另一程序')";
        registerCollations(db);
        sqlite3_busy_timeout(db, 5000);
        sqlite3_exec(db, QByteArray(key + "PRAGMA journal_mode=WAL;" + sale).constData(), nullptr,
                     nullptr, nullptr);
        if (::write(ready[1], "y", 1) != 1)
            ::_exit(1);
        for (int i = 0; i < 100000; ++i) {
            if (writing)
                sqlite3_exec(db, sale.constData(), nullptr, nullptr, nullptr);
            sqlite3_sleep(2);
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    char answer = 0;
    const bool told = pid > 0 && ::read(ready[0], &answer, 1) == 1;
    ::close(ready[0]);
    return told ? pid : -1;
}

// A work file and its journal, as left by a run killed before it finished.
QString leftoverOfAKilledRun(const QString &target, const char *tag)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const QString work = workFileBeside(target, QLatin1String(tag));
        ::_exit(testsupport::writeFile(work) && testsupport::writeFile(work + "-journal") ? 0 : 1);
    }
    ::waitpid(pid, nullptr, 0);
    const QDir folder = QFileInfo(target).dir();
    const QStringList made
            = folder.entryList({u".*-%1-*.tmp"_s.arg(pid)}, QDir::Hidden | QDir::Files);
    return made.size() == 1 ? folder.filePath(made.first()) : QString();
}

QString modeText(const QString &path)
{
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return QString::number(info.st_mode & 0777, 8);
}
} // namespace

class TestMaintenance : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_fx = std::make_unique<testsupport::FolderWithPrompts>();
        QVERIFY(CreateAccountSet(u"示例公司"_s, u"主账"_s) == 0);
        QCOMPARE(CurrentAccountFile, kSet);
        CurrentUser = u"zunta"_s;
        fillSet();
    }

    void cleanup() { m_fx.reset(); }

    // The set, other sets, the template and folders are no backup targets; imports get new numbers.
    void backupAndImportTwice()
    {
        Registry::closeAll();
        const QByteArray before = readFile(file(kSet));
        QTemporaryDir away;
        QVERIFY(QDir(away.path()).mkdir(u"folder.qdb"_s));
        write(file(u"DATA00002.qdt"_s), "another set");
        for (const QString &target :
             {file(kSet), m_fx->folder.path() + u"/./"_s + kSet, file(u"DATA00002.qdt"_s),
              file(kSet + u"-wal"_s), file(QLatin1String(kTemplateFileName)),
              away.filePath(u"folder.qdb"_s), away.filePath(u"missing/x.qdb"_s)}) {
            QString error;
            QVERIFY2(!BackupAccountSet(kSet, target, &error) && !error.isEmpty(),
                     qPrintable(target));
        }
        Registry::closeAll();
        QCOMPARE(readFile(file(kSet)), before);
        QCOMPARE(readFile(file(u"DATA00002.qdt"_s)), QByteArray("another set"));
        QVERIFY(QFileInfo(away.filePath(u"folder.qdb"_s)).isDir());
        QCOMPARE(filesIn(away.path()), QStringList());

        const QString backup = away.filePath(u"主账.QDB"_s);
        write(backup, "an older backup");
        QString error;
        QVERIFY2(BackupAccountSet(kSet, backup, &error), qPrintable(error));
        QVERIFY(readFile(backup) != "an older backup");
        QCOMPARE(ImportAccountSet(backup, &error), 1);
        QCOMPARE(ImportAccountSet(backup, &error), 2);
        QCOMPARE(AccountSets.size(), 3);
        for (int i = 1; i <= 2; ++i) {
            const AccountSet &set = AccountSets.at(i);
            QCOMPARE(set.FileName + set.Name + set.Company,
                     accountSetFileName(i + 2) + u"主账示例公司"_s);
            QCOMPARE(count(u"Sale"_s, set.FileName), 9);
        }
        QVERIFY(CurrentAccountFile == kSet && CurrentAccountIndex == 0);
        // Nothing was opened beside the user's file.
        QCOMPARE(filesIn(away.path()), QStringList{"主账.QDB"});
        Registry::closeAll();
        QCOMPARE(filesIn(m_fx->folder.path()),
                 (QStringList{"DATA00001.qdt", "DATA00002.qdt", "DATA00003.qdt", "DATA00004.qdt",
                              "DATA_NULL.DAT"}));
    }

    void importRefusesBadFiles_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind :
             {"extension", "empty", "folder", "damaged", "password", "foreign", "missing"})
            QTest::newRow(kind) << kind;
    }

    // A file that is no account set with the password is refused, leaving nothing.
    void importRefusesBadFiles()
    {
        QFETCH(QString, kind);
        const QString message = kind == u"missing"_s ? u"找不到文件："_s : u"文件类型错误！"_s;
        addLongSales(300);
        QTemporaryDir away;
        QString bad = away.filePath(u"bad.qdb"_s);
        QVERIFY(BackupAccountSet(kSet, away.filePath(u"good.qdb"_s)));
        const QByteArray good = readFile(away.filePath(u"good.qdb"_s));
        Connection conn;
        QVERIFY(OpenConn(conn));
        if (kind == QLatin1String("extension")) {
            bad = away.filePath(u"good.qdt"_s);
            QVERIFY(QFile::copy(away.filePath(u"good.qdb"_s), bad));
        } else if (kind == QLatin1String("empty")) {
            write(bad, QByteArray());
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir(away.path()).mkdir(u"bad.qdb"_s));
        } else if (kind == QLatin1String("damaged")) {
            QByteArray bytes = good;
            for (int i = 20000; i < 20100; ++i)
                bytes[i] = char(bytes.at(i) ^ 0x5a);
            write(bad, bytes);
        } else if (kind == QLatin1String("password") || kind == QLatin1String("foreign")) {
            // The connection may not create files; an empty one is a new database.
            write(bad, QByteArray());
            const bool password = kind == QLatin1String("password");
            QVERIFY(conn->execNative(
                    u"ATTACH DATABASE '%1' AS other KEY '%2'; %3; DETACH DATABASE other"_s.arg(
                            bad, password ? "12345678" : kDatabasePassword,
                            password ? "SELECT sqlcipher_export('other')"
                                     : "CREATE TABLE other.Sale (ID INTEGER)")));
        }
        conn.reset();
        Registry::closeAll();
        const QStringList before = filesIn(m_fx->folder.path());

        QString error;
        QCOMPARE(ImportAccountSet(bad, &error), -1);
        QVERIFY2(error.startsWith(message) && AccountSets.size() == 1, qPrintable(error));
        Registry::closeAll();
        QCOMPARE(filesIn(m_fx->folder.path()), before);
    }

    // A full disk leaves the old backup, the original, and no half-written file.
    void fullDiskLeavesEverythingWhole()
    {
        addLongSales(400);
        QTemporaryDir away;
        const QString target = away.filePath(u"full.qdb"_s);
        write(target, "the old backup");
        Registry::closeAll();
        const QByteArray before = readFile(file(kSet));
        QVERIFY(before.size() > 64 * 1024);
        QString backupError, compactError;
        {
            FileSizeLimit limit(rlim_t(before.size() / 3));
            QVERIFY(!BackupAccountSet(kSet, target, &backupError));
            QVERIFY(!CompactAccount(kSet, &compactError));
        }
        QVERIFY(!backupError.isEmpty() && !compactError.isEmpty());
        QCOMPARE(readFile(target), QByteArray("the old backup"));
        QCOMPARE(filesIn(away.path()), QStringList{"full.qdb"});
        Registry::closeAll();
        QCOMPARE(readFile(file(kSet)), before);
        QCOMPARE(filesIn(m_fx->folder.path()), (QStringList{"DATA00001.qdt", "DATA_NULL.DAT"}));
        QCOMPARE(count(u"Sale"_s), 409);
    }

    // A backup while another program holds the set, idle or writing, is one whole moment of it.
    void backupWhileAnotherProgramHoldsTheSet()
    {
        const QString path = file(kSet);
        for (const bool writing : {false, true}) {
            Registry::closeAll();
            const pid_t other = holdInAnotherProcess(path, writing);
            QVERIFY(other > 0);
            QCOMPARE(BuildAccountSetList(), 1); // as korvo-cli lists the sets first
            QTemporaryDir away;
            const QString backup = away.filePath(u"夜间备份.qdb"_s);
            write(backup, "last night's backup");
            QString error;
            const bool backedUp = BackupAccountSet(kSet, backup, &error);
            const bool undisturbed = ::waitpid(other, nullptr, WNOHANG) == 0;
            const QString otherSales = u"SELECT Count(*) FROM Sale WHERE Memo='另一程序'"_s;
            const qlonglong copied = valueIn(backup, otherSales).toLongLong();
            const QString integrity = valueIn(backup, u"PRAGMA integrity_check"_s).toString();
            Registry::close(backup);
            // Killed, the other side leaves its log: it is the set's own and is kept.
            ::kill(other, SIGKILL);
            ::waitpid(other, nullptr, 0);
            QVERIFY2(backedUp && undisturbed, qPrintable(error));
            QVERIFY(integrity == u"ok"_s && copied >= 1);
            QCOMPARE(filesIn(away.path()), QStringList{"夜间备份.qdb"});
            QVERIFY(valueIn(path, otherSales).toLongLong() >= copied);
        }
        QCOMPARE(m_fx->prompts.messages, QStringList());
    }

    // A damaged set's backup fails and says why; the older backup and the damaged copy stay.
    void backupOfADamagedSetSaysSo()
    {
        addLongSales(300);
        Registry::closeAll();
        QByteArray bytes = readFile(file(kSet));
        bytes[bytes.size() / 2] = char(bytes.at(bytes.size() / 2) ^ 0x5a);
        write(file(kSet), bytes);

        QTemporaryDir away;
        write(away.filePath(u"主账.qdb"_s), "the good backup");
        QString error;
        QVERIFY(!BackupAccountSet(kSet, away.filePath(u"主账.qdb"_s), &error));
        const QStringList names = filesIn(away.path());
        QCOMPARE(names.size(), 2);
        QCOMPARE(readFile(away.filePath(names.at(0))), QByteArray("the good backup"));
        QVERIFY2(names.at(1).startsWith(u"主账.qdb.damaged-"_s), qPrintable(names.at(1)));
        QVERIFY2(error.contains(u"已损坏"_s) && error.contains(names.at(1)), qPrintable(error));
        QCOMPARE(readFile(away.filePath(names.at(1))), bytes);
    }

    // Killed runs' work files go at the next command; live ones stay; modes are kept.
    void workFilesAreTheUsersAloneAndNotLeftAbout()
    {
        const QString killedCompaction = leftoverOfAKilledRun(file(kSet), "compact");
        const QString killedImport = leftoverOfAKilledRun(file(u"import"_s), "new");
        QVERIFY(QFileInfo::exists(killedCompaction) && QFileInfo::exists(killedImport));
        // From an older run, named without its maker, last changed an hour ago.
        const QString older = file(u".DATA00001.qdt.compact-1a2b3c.tmp"_s);
        QFile oldFile(older);
        QVERIFY(oldFile.open(QIODevice::WriteOnly));
        QVERIFY(oldFile.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                    QFileDevice::FileModificationTime));
        oldFile.close();
        const QString ours = workFileBeside(file(kSet), u"compact"_s);
        const QString others = file(u".DATA00001.qdt.new-%1-77.tmp"_s.arg(::getppid()));
        const QStringList kept
                = {ours, others, file(u".notes.tmp"_s), file(u".DATA00001.qdt.compact.tmp"_s)};
        for (const QString &path : kept)
            write(path, "in use");

        const mode_t savedMask = ::umask(022);
        Registry::closeAll();
        QVERIFY(QFile::setPermissions(file(kSet), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                          | QFileDevice::ReadGroup));
        QString error;
        QVERIFY2(CompactAccount(kSet, &error), qPrintable(error));
        QCOMPARE(modeText(file(kSet)), u"640"_s);
        QTemporaryDir away;
        QVERIFY(BackupAccountSet(kSet, away.filePath(u"新.qdb"_s)));
        QVERIFY(Registry::create(file(u"work.db"_s)));
        QCOMPARE(CreateAccountSet(u"公司"_s, u"二号"_s), 1);
        ::umask(savedMask);
        QCOMPARE(modeText(away.filePath(u"新.qdb"_s)) + modeText(file(u"work.db"_s))
                         + modeText(file(u"DATA00002.qdt"_s)),
                 u"600600644"_s);

        for (const QString &gone : {killedCompaction, killedImport, older,
                                    killedCompaction + "-journal", killedImport + "-journal"})
            QVERIFY2(!QFileInfo::exists(gone), qPrintable(gone));
        for (const QString &path : kept)
            QCOMPARE(readFile(path), QByteArray("in use"));
        const QString killedCreation = leftoverOfAKilledRun(file(kSet), "new");
        QVERIFY(QFileInfo::exists(killedCreation));
        QCOMPARE(BuildAccountSetList(), 2);
        QVERIFY(!QFileInfo::exists(killedCreation));
    }

    // A sale goes when its customer or product is gone; purchases are not examined.
    void tidyDeletesOrphanSales()
    {
        for (const char *sql :
             {"DELETE * FROM Pro WHERE ID=2", "DELETE * FROM Cus WHERE ID=3",
              "DELETE * FROM Vendor WHERE ID=1", "INSERT INTO Sale (CID, PID) VALUES (NULL, 1)",
              "INSERT INTO Sale (CID, PID) VALUES (1, 0)"})
            exec(QString::fromUtf8(sql));
        QString error;
        QCOMPARE(DeleteOrphanSales(&error), 3 + 2 + 2);
        RecordSet rs;
        OpenQuery(rs, u"SELECT CID, PID FROM Sale ORDER BY CID, PID"_s);
        QStringList kept;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            kept << rs.value(0).toString() + QLatin1Char('/') + rs.value(1).toString();
        QCOMPARE(kept, (QStringList{"1/1", "1/3", "2/1", "2/3"}));
        QCOMPARE(count(u"Pur"_s), 6);
        QCOMPARE(DeleteOrphanSales(&error), 0);
    }

    // The rules only tick; a box stays locked while a ticked box requires it.
    void clearRules()
    {
        // The boxes clicked, those ticked then, those locked.
        const char *const rows[][3]
                = {{"0", "0", ""},        {"2", "0 1 2", "0 1"}, {"4", "1 4", "1"},
                   {"5", "0 1 5", "0 1"}, {"6", "0 1 6", "0 1"}, {"3 4", "0 1 3 4", "0 1"}};
        for (const auto &row : rows) {
            QVector<bool> boxes = boxesTicked(ints(row[0]));
            applyClearRules(boxes);
            for (int i = 0; i < kClearBoxCount; ++i) {
                QVERIFY2(boxes.at(i) == ints(row[1]).contains(i), row[0]);
                QVERIFY2(clearBoxRequired(boxes, i) == ints(row[2]).contains(i), row[0]);
            }
        }
    }

    void clearing_data()
    {
        QTest::addColumn<QVector<int>>("clicked");
        // Rows left afterwards in Sale, Pur, Pro, Cus, Vendor, Staff and Acc.
        QTest::addColumn<QString>("left");
        QTest::newRow("customers keep purchases") << ints("3") << "0 6 3 0 2 3 2";
        QTest::newRow("staff keep the logged-in member") << ints("5") << "0 0 3 3 2 1 2";
        QTest::newRow("fund accounts take the records") << ints("6") << "0 0 3 3 2 3 0";
        QTest::newRow("everything") << ints("0 1 2 3 4 5 6") << "0 0 0 0 0 1 0";
        QTest::newRow("nothing ticked") << ints("") << "9 6 3 3 2 3 2";
    }

    // Clearing runs the ticked boxes with their rules and compacts; the logged-in member stays.
    void clearing()
    {
        QFETCH(QVector<int>, clicked);
        QFETCH(QString, left);
        int steps = 0;
        const ClearResult result = ClearData(boxesTicked(clicked), [&] { ++steps; });
        QVERIFY2(result.cleared && result.compacted, qPrintable(result.error));
        QCOMPARE(steps, kClearBoxCount);
        QCOMPARE(counts(u"Sale Pur Pro Cus Vendor Staff Acc"_s), left);
        if (clicked.contains(ClearStaff))
            QCOMPARE(LookupValue(u"Staff"_s, 1, u"1"_s, u"Name"_s).toString(), u"zunta"_s);
    }

    // A failing statement undoes those before it; with nobody logged in staff stay.
    void clearingIsAllOrNothing()
    {
        exec(u"DROP TABLE Vendor"_s);
        ClearResult result = ClearData(boxesTicked({ClearCustomers, ClearVendors}));
        QVERIFY(!result.cleared && !result.error.isEmpty());
        QCOMPARE(counts(u"Sale Pur Cus"_s), u"9 6 3"_s);
        CurrentUser.clear();
        QVERIFY(!ClearData(boxesTicked({ClearStaff})).cleared);
        QCOMPARE(counts(u"Staff Sale"_s), u"3 9"_s);
    }

    // Only business data counts as a change, not settings, scratch tables or reading.
    void changesThatCount()
    {
        const QString path = programFilePath(kSet);
        forgetDataChanges(path);
        SetVar(u"分割线_0"_s, u"3000"_s);
        exec(u"SELECT PID, Sum(Num) AS N INTO T_SaleAna FROM Sale GROUP BY PID"_s);
        DropTablesByPrefix(u"T_"_s);
        QCOMPARE(count(u"Sale"_s), 9);
        QVERIFY(!dataChanged(path));
        for (const char *sql :
             {"UPDATE Cus SET Name='新' WHERE ID=1", "DELETE * FROM Acc",
              "INSERT INTO Pro (Name) VALUES ('x')", "ALTER TABLE Pro ADD COLUMN P99 TEXT"}) {
            forgetDataChanges(path);
            exec(QString::fromUtf8(sql));
            QVERIFY2(dataChanged(path), sql);
        }
    }

    // A changed set is copied on closing, the newest ten kept; unchanged or switched off, none.
    void automaticBackups()
    {
        const QDateTime at(QDate(2026, 12, 6), QTime(14, 30, 0));
        const auto closeAfter
                = [&at](int days, QString *written = nullptr, QString *error = nullptr) {
                      return AutoBackupOnClose(kSet, written, error, at.addDays(days));
                  };
        const auto newCustomer = [](const QString &name) {
            exec(u"INSERT INTO Cus (Name) VALUES ('%1')"_s.arg(name));
        };
        QString written;
        QCOMPARE(closeAfter(0, &written), AutoBackupOutcome::Written);
        QCOMPARE(QFileInfo(written).fileName(), u"DATA00001-20261206-143000.qdb"_s);
        QVERIFY(QFile::copy(written, file(u"DATA00002.qdt"_s)));
        QCOMPARE(count(u"Sale"_s, u"DATA00002.qdt"_s), 9);

        SetVar(u"最近访问"_s, u"2026-12-06 14:31:00"_s);
        QCOMPARE(AutoBackupOnClose(kSet, nullptr, nullptr, at.addSecs(60)),
                 AutoBackupOutcome::Unchanged);
        QCOMPARE(AutoBackupsOf(kSet).size(), 1);

        // Two closings in the same second keep both copies, in order.
        newCustomer(u"新客户"_s);
        QCOMPARE(closeAfter(0, &written), AutoBackupOutcome::Written);
        QCOMPARE(QFileInfo(written).fileName(), u"DATA00001-20261206-143000-2.qdb"_s);
        for (int i = 1; i <= 9; ++i) {
            newCustomer(u"客户%1"_s.arg(i + 10));
            QCOMPARE(closeAfter(i), AutoBackupOutcome::Written);
        }
        const QStringList kept = AutoBackupsOf(kSet);
        QCOMPARE(kept.size(), kAutoBackupsKept);
        QCOMPARE(QFileInfo(kept.first()).fileName(), u"DATA00001-20261206-143000-2.qdb"_s);
        QCOMPARE(QFileInfo(kept.last()).fileName(), u"DATA00001-20261215-143000.qdb"_s);
        // Another set's copies and foreign files are not counted or removed.
        const QString foreign
                = QDir(AutoBackupFolder()).filePath(u"DATA00011-20200101-000000.qdb"_s);
        write(foreign, "o");
        newCustomer(u"最后"_s);
        QCOMPARE(closeAfter(20), AutoBackupOutcome::Written);
        QVERIFY(AutoBackupsOf(kSet).size() == kAutoBackupsKept && QFileInfo::exists(foreign));

        SetAutoBackupEnabled(false);
        newCustomer(u"关"_s);
        QCOMPARE(closeAfter(30), AutoBackupOutcome::Disabled);
        QCOMPARE(AutoBackupsOf(kSet).size(), kAutoBackupsKept);

        // A folder that cannot be made is a failure, not a crash.
        SetAutoBackupEnabled(true);
        QDir(AutoBackupFolder()).removeRecursively();
        write(AutoBackupFolder(), "a file where the folder should be");
        QString error;
        QCOMPARE(closeAfter(31, nullptr, &error), AutoBackupOutcome::Failed);
        QVERIFY(!error.isEmpty());
    }

private:
    QString file(const QString &name) const { return m_fx->folder.filePath(name); }

    std::unique_ptr<testsupport::FolderWithPrompts> m_fx;
};

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
