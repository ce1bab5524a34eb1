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

using namespace store;

class TestMaintenance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void backupRefusals();
    void importTwiceGivesTwoSets();
    void importRefusesBadFiles_data();
    void importRefusesBadFiles();
    void importWithAllNumbersTaken();
    void fullDiskLeavesEverythingWhole();
    void backupWhileAnotherProgramHoldsTheSet_data();
    void backupWhileAnotherProgramHoldsTheSet();
    void backupOfADamagedSetSaysSo();
    void workFilesAreTheUsersAloneAndNotLeftAbout();
    void tidyDeletesOrphanSales();
    void clearRules_data();
    void clearRules();
    void clearing_data();
    void clearing();
    void clearingIsAllOrNothing();
    void changesThatCount();
    void automaticBackups();

private:
    QString file(const QString &name) const { return m_folder->filePath(name); }

    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

namespace {

const QString kSet = QStringLiteral("DATA00001.qdt");

using testsupport::readFile;

void write(const QString &path, const QByteArray &bytes)
{
    QVERIFY(testsupport::writeFile(path, bytes));
}

qlonglong count(const QString &table, const QString &file = QString())
{
    RecordSet rs;
    OpenQuery(rs, QStringLiteral("SELECT Count(*) FROM ") + table, file);
    return rs.isOpen() ? rs.value(0).toLongLong() : -1;
}

using testsupport::exec;

// The current set with masters and records: customers 1-3, products 1-3,
// vendors 1-2, accounts 1-2 and staff (其他, zunta, 张三), sales of every
// customer/product pair and one purchase per vendor/product pair.
void fillSet()
{
    const QString rows = QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3) ");
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
    exec(QStringLiteral("INSERT INTO Staff (Name, PSD, Right) VALUES ('张三', '1', '')"));
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

// Opens the set on its log in a process of its own, as the window program
// does while it runs, writes a sale, and then idles or goes on writing a
// sale every few milliseconds until killed. Returns once the first sale is in.
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

// The result of a one-value query on the database file at path.
QVariant valueIn(const QString &path, const QString &sql)
{
    const DatabasePtr db = Registry::open(path);
    RecordSet rs;
    const QVariant value = db && rs.open(db, sql) && !rs.eof() ? rs.value(0) : QVariant();
    return value;
}

} // namespace

void TestMaintenance::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    AccountSets.clear();
    QVERIFY(CreateAccountSet(QStringLiteral("示例公司"), QStringLiteral("主账")) == 0);
    QCOMPARE(CurrentAccountFile, kSet);
    CurrentUser = QStringLiteral("zunta");
    fillSet();
}

void TestMaintenance::cleanup()
{
    m_prompts.reset();
    m_folder.reset();
    AccountSets.clear();
    CurrentUser.clear();
}

// The set's own file, another set, the template, a folder and a missing
// folder are refused; the set and any existing file stay as they were.
void TestMaintenance::backupRefusals()
{
    Registry::closeAll();
    const QByteArray before = readFile(file(kSet));
    QTemporaryDir away;
    QVERIFY(QDir(away.path()).mkdir(QStringLiteral("folder.qdb")));
    write(file(QStringLiteral("DATA00002.qdt")), "another set");
    for (const QString &target :
         {file(kSet), m_folder->path() + QStringLiteral("/./") + kSet,
          file(QStringLiteral("DATA00002.qdt")), file(kSet + QStringLiteral("-wal")),
          file(QLatin1String(kTemplateFileName)), away.filePath(QStringLiteral("folder.qdb")),
          away.filePath(QStringLiteral("missing/x.qdb"))}) {
        QString error;
        QVERIFY2(!BackupAccountSet(kSet, target, &error), qPrintable(target));
        QVERIFY(!error.isEmpty());
    }
    Registry::closeAll();
    QCOMPARE(readFile(file(kSet)), before);
    QCOMPARE(readFile(file(QStringLiteral("DATA00002.qdt"))), QByteArray("another set"));
    QVERIFY(QFileInfo(away.filePath(QStringLiteral("folder.qdb"))).isDir());
    QCOMPARE(filesIn(away.path()), QStringList());
}

void TestMaintenance::backupWhileAnotherProgramHoldsTheSet_data()
{
    QTest::addColumn<bool>("writing");
    QTest::newRow("the other program idle") << false;
    QTest::newRow("the other program writing") << true;
}

// While another of our programs has the set open (the window left running
// overnight), the backup still succeeds: it is one consistent moment of the
// set, complete by itself, with the other side's commits, and the other side
// goes on working undisturbed.
void TestMaintenance::backupWhileAnotherProgramHoldsTheSet()
{
    QFETCH(bool, writing);
    Registry::closeAll();
    const QString path = file(kSet);
    const pid_t other = holdInAnotherProcess(path, writing);
    QVERIFY(other > 0);
    QCOMPARE(BuildAccountSetList(), 1); // as korvo-cli lists the sets first

    QTemporaryDir away;
    const QString backup = away.filePath(QStringLiteral("夜间备份.qdb"));
    write(backup, "last night's backup");
    QString error;
    const bool backedUp = BackupAccountSet(kSet, backup, &error);
    const bool undisturbed = ::waitpid(other, nullptr, WNOHANG) == 0;
    const QString otherSales = QStringLiteral("SELECT Count(*) FROM Sale WHERE Memo='另一程序'");
    const qlonglong copied = valueIn(backup, otherSales).toLongLong();
    const QString integrity = valueIn(backup, QStringLiteral("PRAGMA integrity_check")).toString();
    Registry::close(backup);
    // Killed, the other side leaves its log: it is the set's own and is kept.
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    QVERIFY2(backedUp, qPrintable(error));
    QVERIFY(undisturbed);
    QCOMPARE(integrity, QStringLiteral("ok"));
    QVERIFY(copied >= 1);
    QCOMPARE(filesIn(away.path()), QStringList{"夜间备份.qdb"});
    QVERIFY(valueIn(path, otherSales).toLongLong() >= copied);
    QCOMPARE(m_prompts->messages, QStringList());
}

// A set with one damaged page is not backed up as if it were sound: the
// backup fails and says why, an older backup of the same name stays as it
// was, and the copy is kept beside it under a name that says it is damaged.
void TestMaintenance::backupOfADamagedSetSaysSo()
{
    for (int i = 0; i < 300; ++i)
        exec(QStringLiteral("INSERT INTO Sale (Memo) VALUES ('%1')").arg(QString(300, 'd')));
    Registry::closeAll();
    QByteArray bytes = readFile(file(kSet));
    bytes[bytes.size() / 2] = char(bytes.at(bytes.size() / 2) ^ 0x5a);
    write(file(kSet), bytes);

    QTemporaryDir away;
    write(away.filePath(QStringLiteral("主账.qdb")), "the good backup");
    QString error;
    QVERIFY(!BackupAccountSet(kSet, away.filePath(QStringLiteral("主账.qdb")), &error));
    const QStringList names = filesIn(away.path());
    QCOMPARE(names.size(), 2);
    QCOMPARE(readFile(away.filePath(names.at(0))), QByteArray("the good backup"));
    QVERIFY2(names.at(1).startsWith(QStringLiteral("主账.qdb.damaged-")), qPrintable(names.at(1)));
    QVERIFY2(error.contains(QStringLiteral("已损坏")) && error.contains(names.at(1)),
             qPrintable(error));
    QCOMPARE(readFile(away.filePath(names.at(1))), bytes);
}

namespace {

// Makes a work file the way a run does that is then killed before it can
// finish: in a process of its own, which ends leaving the file (and a
// journal of it) behind.
QString leftoverOfAKilledRun(const QString &target, const char *tag)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const QString work = workFileBeside(target, QLatin1String(tag));
        ::_exit(testsupport::writeFile(work) && testsupport::writeFile(work + "-journal") ? 0 : 1);
    }
    ::waitpid(pid, nullptr, 0);
    const QDir folder = QFileInfo(target).dir();
    const QStringList made = folder.entryList({QStringLiteral(".*-%1-*.tmp").arg(pid)},
                                              QDir::Hidden | QDir::Files);
    return made.size() == 1 ? folder.filePath(made.first()) : QString();
}

QString modeText(const QString &path)
{
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return QString::number(info.st_mode & 0777, 8);
}

} // namespace

// Work files hold a whole set with its passwords: they are made for the user
// alone, and what killed runs left of them (half-made compactions, imports,
// sets) goes at the next maintenance command and the next start; work files
// of runs still going, and files of other kinds, stay. What a work file
// becomes keeps the mode it had (a compacted set, a backup written over an
// older one); new sets get the usual mode.
void TestMaintenance::workFilesAreTheUsersAloneAndNotLeftAbout()
{
    const QString killedCompaction = leftoverOfAKilledRun(file(kSet), "compact");
    const QString killedImport = leftoverOfAKilledRun(file(QStringLiteral("import")), "new");
    QVERIFY(QFileInfo::exists(killedCompaction) && QFileInfo::exists(killedImport));
    // From an older run, named without its maker, last changed an hour ago.
    const QString older = file(QStringLiteral(".DATA00001.qdt.compact-1a2b3c.tmp"));
    QFile oldFile(older);
    QVERIFY(oldFile.open(QIODevice::WriteOnly));
    QVERIFY(oldFile.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                QFileDevice::FileModificationTime));
    oldFile.close();
    const QString ours = workFileBeside(file(kSet), QStringLiteral("compact"));
    const QString others = file(QStringLiteral(".DATA00001.qdt.new-%1-77.tmp").arg(::getppid()));
    const QStringList kept = {ours, others, file(QStringLiteral(".notes.tmp")),
                              file(QStringLiteral(".DATA00001.qdt.compact.tmp"))};
    for (const QString &path : kept)
        write(path, "in use");

    const mode_t savedMask = ::umask(022);
    Registry::closeAll();
    QVERIFY(QFile::setPermissions(file(kSet), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                      | QFileDevice::ReadGroup));
    QString error;
    QVERIFY2(CompactAccount(kSet, &error), qPrintable(error));
    QCOMPARE(modeText(file(kSet)), QStringLiteral("640"));
    QTemporaryDir away;
    QVERIFY(BackupAccountSet(kSet, away.filePath(QStringLiteral("新.qdb"))));
    QVERIFY(Registry::create(file(QStringLiteral("work.db"))));
    QCOMPARE(CreateAccountSet(QStringLiteral("公司"), QStringLiteral("二号")), 1);
    ::umask(savedMask);
    QCOMPARE(modeText(away.filePath(QStringLiteral("新.qdb"))), QStringLiteral("600"));
    QCOMPARE(modeText(file(QStringLiteral("work.db"))), QStringLiteral("600"));
    QCOMPARE(modeText(file(QStringLiteral("DATA00002.qdt"))), QStringLiteral("644"));

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

// A backup holds the set's latest commits, opens with the password, and
// replaces an older backup of the same name. The same backup imported twice
// gives two sets with equal names and different numbers; the set in use
// stays current; .QDB in capitals passes.
void TestMaintenance::importTwiceGivesTwoSets()
{
    QTemporaryDir away;
    const QString backup = away.filePath(QStringLiteral("主账.QDB"));
    write(backup, "an older backup");
    QString error;
    QVERIFY2(BackupAccountSet(kSet, backup, &error), qPrintable(error));
    QVERIFY(readFile(backup) != "an older backup");
    QCOMPARE(ImportAccountSet(backup, &error), 1);
    QCOMPARE(ImportAccountSet(backup, &error), 2);
    QCOMPARE(AccountSets.size(), 3);
    QCOMPARE(AccountSets.at(1).FileName, QStringLiteral("DATA00002.qdt"));
    QCOMPARE(AccountSets.at(2).FileName, QStringLiteral("DATA00003.qdt"));
    for (int i = 1; i <= 2; ++i) {
        QCOMPARE(AccountSets.at(i).Name, QStringLiteral("主账"));
        QCOMPARE(AccountSets.at(i).Company, QStringLiteral("示例公司"));
        QCOMPARE(count(QStringLiteral("Sale"), AccountSets.at(i).FileName), 9);
    }
    QCOMPARE(CurrentAccountFile, kSet);
    QCOMPARE(CurrentAccountIndex, 0);
    // The user's file is left as it was: nothing was opened beside it.
    QCOMPARE(filesIn(away.path()), QStringList{"主账.QDB"});
    Registry::closeAll();
    QCOMPARE(filesIn(m_folder->path()),
             (QStringList{"DATA00001.qdt", "DATA00002.qdt", "DATA00003.qdt", "DATA_NULL.DAT"}));
}

void TestMaintenance::importRefusesBadFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    const QString wrongType = QStringLiteral("文件类型错误！");
    QTest::newRow("wrong extension") << "extension" << wrongType;
    QTest::newRow("0 bytes") << "empty" << wrongType;
    QTest::newRow("folder") << "folder" << wrongType;
    QTest::newRow("damaged page") << "damaged" << wrongType;
    QTest::newRow("other password") << "password" << wrongType;
    QTest::newRow("no account-set tables") << "foreign" << wrongType;
    QTest::newRow("gone") << "missing" << QStringLiteral("找不到文件：");
}

// A file that does not open as an account set with the password is refused
// and leaves nothing in the program folder.
void TestMaintenance::importRefusesBadFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    for (int i = 0; i < 300; ++i)
        exec(QStringLiteral("INSERT INTO Sale (Memo) VALUES ('%1')")
                     .arg(QString(300, QLatin1Char('y'))));
    QTemporaryDir away;
    QString bad = away.filePath(QStringLiteral("bad.qdb"));
    QVERIFY(BackupAccountSet(kSet, away.filePath(QStringLiteral("good.qdb"))));
    const QByteArray good = readFile(away.filePath(QStringLiteral("good.qdb")));
    Connection conn;
    QVERIFY(OpenConn(conn));
    if (kind == QLatin1String("extension")) {
        bad = away.filePath(QStringLiteral("good.qdt"));
        QVERIFY(QFile::copy(away.filePath(QStringLiteral("good.qdb")), bad));
    } else if (kind == QLatin1String("empty")) {
        write(bad, QByteArray());
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir(away.path()).mkdir(QStringLiteral("bad.qdb")));
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
                QStringLiteral("ATTACH DATABASE '%1' AS other KEY '%2'; %3; DETACH DATABASE other")
                        .arg(bad, password ? "12345678" : kDatabasePassword,
                             password ? "SELECT sqlcipher_export('other')"
                                      : "CREATE TABLE other.Sale (ID INTEGER)")));
    }
    conn.reset();
    Registry::closeAll();
    const QStringList before = filesIn(m_folder->path());

    QString error;
    QCOMPARE(ImportAccountSet(bad, &error), -1);
    QVERIFY2(error.startsWith(message), qPrintable(error));
    QCOMPARE(AccountSets.size(), 1);
    Registry::closeAll();
    QCOMPARE(filesIn(m_folder->path()), before);
}

// With every number taken the import is refused and nothing is overwritten.
void TestMaintenance::importWithAllNumbersTaken()
{
    QTemporaryDir away;
    const QString backup = away.filePath(QStringLiteral("b.qdb"));
    QVERIFY(BackupAccountSet(kSet, backup));
    Registry::closeAll();
    for (int n = 2; n <= kMaxAccountSetNumber; ++n)
        write(file(accountSetFileName(n)), "x");
    QString error;
    QCOMPARE(ImportAccountSet(backup, &error), -1);
    QVERIFY2(error.contains(QStringLiteral("上限")), qPrintable(error));
    QCOMPARE(readFile(file(accountSetFileName(kMaxAccountSetNumber))), QByteArray("x"));
    QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden).size(),
             kMaxAccountSetNumber + 1);
}

// A disk that fills up during a backup leaves the old backup whole, during a
// compaction the original untouched and usable; no half-written or work file
// is left behind. (The kill test stops both half-way at many points.)
void TestMaintenance::fullDiskLeavesEverythingWhole()
{
    for (int i = 0; i < 400; ++i)
        exec(QStringLiteral("INSERT INTO Sale (Memo) VALUES ('%1')")
                     .arg(QString(400, QLatin1Char('z'))));
    QTemporaryDir away;
    const QString target = away.filePath(QStringLiteral("full.qdb"));
    write(target, "the old backup");
    Registry::closeAll();
    const QByteArray before = readFile(file(kSet));
    QVERIFY(before.size() > 64 * 1024);
    QString backupError;
    QString compactError;
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
    QCOMPARE(filesIn(m_folder->path()), (QStringList{"DATA00001.qdt", "DATA_NULL.DAT"}));
    QCOMPARE(count(QStringLiteral("Sale")), 409);
}

// A sale goes when its customer or its product no longer exists (a sale
// without a customer whatever its product); purchases are not examined.
void TestMaintenance::tidyDeletesOrphanSales()
{
    exec(QStringLiteral("DELETE * FROM Pro WHERE ID=2"));
    exec(QStringLiteral("DELETE * FROM Cus WHERE ID=3"));
    exec(QStringLiteral("DELETE * FROM Vendor WHERE ID=1"));
    exec(QStringLiteral("INSERT INTO Sale (CID, PID) VALUES (NULL, 1)"));
    exec(QStringLiteral("INSERT INTO Sale (CID, PID) VALUES (1, 0)"));
    QString error;
    QCOMPARE(DeleteOrphanSales(&error), 3 + 2 + 2);
    RecordSet rs;
    OpenQuery(rs, QStringLiteral("SELECT CID, PID FROM Sale ORDER BY CID, PID"));
    QStringList kept;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext())
        kept << rs.value(0).toString() + QLatin1Char('/') + rs.value(1).toString();
    QCOMPARE(kept, (QStringList{"1/1", "1/3", "2/1", "2/3"}));
    QCOMPARE(count(QStringLiteral("Pur")), 6);
    QCOMPARE(DeleteOrphanSales(&error), 0);
}

void TestMaintenance::clearRules_data()
{
    QTest::addColumn<QVector<int>>("clicked");
    QTest::addColumn<QVector<int>>("ticked");
    QTest::addColumn<QVector<int>>("locked");
    QTest::newRow("sales alone") << QVector<int>{0} << QVector<int>{0} << QVector<int>{};
    QTest::newRow("products") << QVector<int>{2} << QVector<int>{0, 1, 2} << QVector<int>{0, 1};
    QTest::newRow("vendors") << QVector<int>{4} << QVector<int>{1, 4} << QVector<int>{1};
    QTest::newRow("staff") << QVector<int>{5} << QVector<int>{0, 1, 5} << QVector<int>{0, 1};
    QTest::newRow("fund accounts")
            << QVector<int>{6} << QVector<int>{0, 1, 6} << QVector<int>{0, 1};
    QTest::newRow("customers and vendors")
            << QVector<int>{3, 4} << QVector<int>{0, 1, 3, 4} << QVector<int>{0, 1};
}

// The rules only ever tick, and a box stays locked while a ticked box
// requires it.
void TestMaintenance::clearRules()
{
    QFETCH(QVector<int>, clicked);
    QFETCH(QVector<int>, ticked);
    QFETCH(QVector<int>, locked);
    QVector<bool> boxes(kClearBoxCount, false);
    for (const int box : clicked)
        boxes[box] = true;
    applyClearRules(boxes);
    for (int i = 0; i < kClearBoxCount; ++i) {
        QCOMPARE(boxes.at(i), ticked.contains(i));
        QCOMPARE(clearBoxRequired(boxes, i), locked.contains(i));
    }
}

void TestMaintenance::clearing_data()
{
    QTest::addColumn<QVector<int>>("clicked");
    // Rows left afterwards: Sale, Pur, Pro, Cus, Vendor, Staff, Acc.
    QTest::addColumn<QVector<int>>("left");
    QTest::newRow("customers keep purchases")
            << QVector<int>{3} << QVector<int>{0, 6, 3, 0, 2, 3, 2};
    QTest::newRow("staff keep the logged-in member")
            << QVector<int>{5} << QVector<int>{0, 0, 3, 3, 2, 1, 2};
    QTest::newRow("fund accounts take the records")
            << QVector<int>{6} << QVector<int>{0, 0, 3, 3, 2, 3, 0};
    QTest::newRow("everything") << QVector<int>{0, 1, 2, 3, 4, 5, 6}
                                << QVector<int>{0, 0, 0, 0, 0, 1, 0};
    QTest::newRow("nothing ticked") << QVector<int>{} << QVector<int>{9, 6, 3, 3, 2, 3, 2};
}

// Clearing runs the ticked boxes' statements with their rules and compacts
// the set; staff go except the member logged in, matched by name.
void TestMaintenance::clearing()
{
    QFETCH(QVector<int>, clicked);
    QFETCH(QVector<int>, left);
    QVector<bool> boxes(kClearBoxCount, false);
    for (const int box : clicked)
        boxes[box] = true;
    int steps = 0;
    const ClearResult result = ClearData(boxes, [&] { ++steps; });
    QVERIFY2(result.cleared && result.compacted, qPrintable(result.error));
    QCOMPARE(steps, kClearBoxCount);
    const QStringList tables = {"Sale", "Pur", "Pro", "Cus", "Vendor", "Staff", "Acc"};
    for (int i = 0; i < tables.size(); ++i)
        QCOMPARE(count(tables.at(i)), qlonglong(left.at(i)));
    if (clicked.contains(ClearStaff)) {
        QCOMPARE(
                LookupValue(QStringLiteral("Staff"), 1, QStringLiteral("1"), QStringLiteral("Name"))
                        .toString(),
                QStringLiteral("zunta"));
    }
}

// A statement that fails undoes the ones before it; with nobody logged in
// staff are not cleared at all.
void TestMaintenance::clearingIsAllOrNothing()
{
    exec(QStringLiteral("DROP TABLE Vendor"));
    QVector<bool> boxes(kClearBoxCount, false);
    boxes[ClearCustomers] = true;
    boxes[ClearVendors] = true;
    ClearResult result = ClearData(boxes);
    QVERIFY(!result.cleared);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(count(QStringLiteral("Sale")), 9);
    QCOMPARE(count(QStringLiteral("Pur")), 6);
    QCOMPARE(count(QStringLiteral("Cus")), 3);

    CurrentUser.clear();
    boxes.fill(false);
    boxes[ClearStaff] = true;
    result = ClearData(boxes);
    QVERIFY(!result.cleared);
    QCOMPARE(count(QStringLiteral("Staff")), 3);
    QCOMPARE(count(QStringLiteral("Sale")), 9);
}

// Only business data counts as a change: settings, scratch tables and
// reading do not; any record statement does.
void TestMaintenance::changesThatCount()
{
    const QString path = programFilePath(kSet);
    forgetDataChanges(path);
    SetVar(QStringLiteral("分割线_0"), QStringLiteral("3000"));
    exec(QStringLiteral("SELECT PID, Sum(Num) AS N INTO T_SaleAna FROM Sale GROUP BY PID"));
    DropTablesByPrefix(QStringLiteral("T_"));
    QCOMPARE(count(QStringLiteral("Sale")), 9);
    QVERIFY(!dataChanged(path));
    for (const char *sql :
         {"UPDATE Cus SET Name='新' WHERE ID=1", "DELETE * FROM Acc",
          "INSERT INTO Pro (Name) VALUES ('x')", "ALTER TABLE Pro ADD COLUMN P99 TEXT"}) {
        forgetDataChanges(path);
        exec(QString::fromUtf8(sql));
        QVERIFY2(dataChanged(path), sql);
    }
}

// A changed set gets a copy on closing, an unchanged one does not; only the
// newest ten are kept; a set switched off gets none.
void TestMaintenance::automaticBackups()
{
    QDateTime at(QDate(2026, 12, 6), QTime(14, 30, 0));
    QString written;
    QCOMPARE(AutoBackupOnClose(kSet, &written, nullptr, at), AutoBackupOutcome::Written);
    QCOMPARE(QFileInfo(written).fileName(), QStringLiteral("DATA00001-20261206-143000.qdb"));
    QCOMPARE(QFileInfo(written).absolutePath(), QFileInfo(AutoBackupFolder()).absoluteFilePath());
    QVERIFY(QFile::copy(written, file(QStringLiteral("DATA00002.qdt"))));
    QCOMPARE(count(QStringLiteral("Sale"), QStringLiteral("DATA00002.qdt")), 9);

    SetVar(QStringLiteral("最近访问"), QStringLiteral("2026-12-06 14:31:00"));
    QCOMPARE(AutoBackupOnClose(kSet, nullptr, nullptr, at.addSecs(60)),
             AutoBackupOutcome::Unchanged);
    QCOMPARE(AutoBackupsOf(kSet).size(), 1);

    // Two closings in the same second keep both copies, in order.
    exec(QStringLiteral("INSERT INTO Cus (Name) VALUES ('新客户')"));
    QCOMPARE(AutoBackupOnClose(kSet, &written, nullptr, at), AutoBackupOutcome::Written);
    QCOMPARE(QFileInfo(written).fileName(), QStringLiteral("DATA00001-20261206-143000-2.qdb"));
    for (int i = 1; i <= 9; ++i) {
        exec(QStringLiteral("INSERT INTO Cus (Name) VALUES ('客户%1')").arg(i + 10));
        QCOMPARE(AutoBackupOnClose(kSet, nullptr, nullptr, at.addDays(i)),
                 AutoBackupOutcome::Written);
    }
    const QStringList kept = AutoBackupsOf(kSet);
    QCOMPARE(kept.size(), kAutoBackupsKept);
    QCOMPARE(QFileInfo(kept.first()).fileName(), QStringLiteral("DATA00001-20261206-143000-2.qdb"));
    QCOMPARE(QFileInfo(kept.last()).fileName(), QStringLiteral("DATA00001-20261215-143000.qdb"));
    // Another set's copies and foreign files are not counted or removed.
    write(QDir(AutoBackupFolder()).filePath(QStringLiteral("DATA00011-20200101-000000.qdb")), "o");
    exec(QStringLiteral("INSERT INTO Cus (Name) VALUES ('最后')"));
    QCOMPARE(AutoBackupOnClose(kSet, nullptr, nullptr, at.addDays(20)), AutoBackupOutcome::Written);
    QCOMPARE(AutoBackupsOf(kSet).size(), kAutoBackupsKept);
    QVERIFY(QFileInfo::exists(
            QDir(AutoBackupFolder()).filePath(QStringLiteral("DATA00011-20200101-000000.qdb"))));

    SetAutoBackupEnabled(false);
    exec(QStringLiteral("INSERT INTO Cus (Name) VALUES ('关')"));
    QCOMPARE(AutoBackupOnClose(kSet, nullptr, nullptr, at.addDays(30)),
             AutoBackupOutcome::Disabled);
    QCOMPARE(AutoBackupsOf(kSet).size(), kAutoBackupsKept);

    // A folder that cannot be made is a failure, not a crash.
    SetAutoBackupEnabled(true);
    QDir(AutoBackupFolder()).removeRecursively();
    write(AutoBackupFolder(), "a file where the folder should be");
    QString error;
    QCOMPARE(AutoBackupOnClose(kSet, nullptr, &error, at.addDays(31)), AutoBackupOutcome::Failed);
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestMaintenance)
#include "tst_maintenance.moc"
