#include "store/accountsets.h"
#include "store/engine.h"
#include "store/maintenance.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/session.h"

#include "testsupport.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

using namespace store;
using testsupport::at;
using testsupport::valueIn;

namespace {

void touch(const QString &path, const QByteArray &bytes = QByteArray())
{
    QVERIFY(testsupport::writeFile(path, bytes));
}

// Creates one set per name, each taking the lowest free number.
void createSets(const QStringList &names)
{
    for (const QString &name : names)
        QVERIFY(CreateAccountSet(u"公司"_s, name) >= 0);
}

// Customers of the set at path, -1 when it does not open.
int customerCount(const QString &path)
{
    const QVariant count = valueIn(path, u"SELECT Count(*) FROM Cus"_s);
    return count.isValid() ? count.toInt() : -1;
}

// The integrity check of a copy of the file alone, without any log: "ok" when whole.
QString integrityOfFileAlone(const QString &path)
{
    QTemporaryDir dir;
    const QString alone = dir.filePath(u"alone.qdt"_s);
    if (!QFile::copy(path, alone))
        return u"not copied"_s;
    const QString result = valueIn(alone, u"PRAGMA integrity_check"_s).toString();
    Registry::close(alone);
    return result;
}

void addCustomers(const QString &path, int count)
{
    const DatabasePtr db = Registry::open(path);
    QVERIFY(db);
    QVERIFY(db->execNative(u"BEGIN"_s));
    for (int i = 0; i < count; ++i)
        QVERIFY(db->exec(u"INSERT INTO Cus (Name) VALUES ('客户%1')"_s.arg(i)));
    QVERIFY(db->execNative(u"COMMIT"_s));
}

QStringList sidecarsOf(const QString &path)
{
    QStringList found;
    for (const char *suffix : {"-wal", "-shm", "-journal"}) {
        if (QFileInfo::exists(path + QLatin1String(suffix)))
            found << path + QLatin1String(suffix);
    }
    return found;
}

// Leaves the set as a killed program does, its latest commits only in the log.
void leaveAsAfterACrash(const QString &path, int customers)
{
    addCustomers(path, customers);
    QVERIFY(QFileInfo::exists(path + u"-wal"_s));
    QTemporaryDir snapshot;
    const QStringList names = {u""_s, u"-wal"_s, u"-shm"_s};
    for (const QString &suffix : names)
        QVERIFY(QFile::copy(path + suffix, snapshot.filePath(u"f"_s + suffix)));
    Registry::close(path);
    QVERIFY(sidecarsOf(path).isEmpty());
    for (const QString &suffix : names) {
        QFile::remove(path + suffix);
        QVERIFY(QFile::copy(snapshot.filePath(u"f"_s + suffix), path + suffix));
    }
}
} // namespace

class TestAccountSets : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_fx = std::make_unique<testsupport::FolderWithPrompts>(); }

    void cleanup() { m_fx.reset(); }

    // Last accesses in the usual forms; start-up opens the latest set, never a damaged one.
    void lastAccess()
    {
        const QDateTime afternoon = at(2024, 1, 2, 13, 5, 9);
        QCOMPARE(parseStoredDateTime(dateTimeText(afternoon)), afternoon);
        QCOMPARE(parseStoredDateTime(u"2024/1/2 13:05:09"_s), afternoon);
        QCOMPARE(parseStoredDateTime(u"2024.01.02 13:05"_s), at(2024, 1, 2, 13, 5));
        for (const char *text : {"", "昨天", "2024-02-30"})
            QVERIFY2(!parseStoredDateTime(QString::fromUtf8(text)).isValid(), text);

        const QDateTime no;
        // Last accesses, how many of the first sets are damaged, the set opened.
        const QList<std::tuple<QVector<QDateTime>, int, int>> cases
                = {{{at(2023, 5, 1, 10), at(2024, 1, 2, 9), at(2024, 1, 2, 9)}, 0, 1},
                   {{no, at(1999, 12, 31, 23, 59), at(2000, 1, 1)}, 0, 0},
                   {{at(2000, 1, 1), no, at(2000, 1, 1, 0, 0, 1)}, 0, 2},
                   {{}, 0, -1},
                   {{at(2030, 1, 1), at(2020, 1, 1)}, 1, 1},
                   {{at(2030, 1, 1), at(2020, 1, 1)}, 2, -1}};
        for (const auto &[lastAccess, damaged, expected] : cases) {
            QVector<AccountSet> sets(lastAccess.size());
            for (int i = 0; i < sets.size(); ++i) {
                sets[i].LastAccess = lastAccess.at(i);
                sets[i].Damaged = i < damaged;
            }
            QCOMPARE(BestAccountSetIndex(sets), expected);
        }
    }

    // Any *.qdt in any case is a set; only DATA, five ASCII digits and .qdt give a number.
    void listingTakesQdtFilesOnly()
    {
        for (const char *name : {"data00007.QDT", "DATA00007.qdt.bak", "DATA00002.qdt", "公司.Qdt",
                                 "DATA_NULL.DAT", "qdt"})
            touch(file(QString::fromUtf8(name)));
        QVERIFY(QDir(m_fx->folder.path()).mkdir(u"DATA00009.qdt"_s));
        QCOMPARE(ListAccountSetFiles(),
                 QStringList({"DATA00002.qdt", "data00007.QDT", "公司.Qdt"}));
        const QVector<QPair<QString, int>> numbers
                = {{"data30000.QDT", 30000}, {"公司.Qdt", 0},       {"DATA0000７.qdt", 0},
                   {"DATA30001.qdt", 0},     {"DATA000071.qdt", 0}, {"x12345.qdt", 0}};
        for (const auto &[name, number] : numbers)
            QCOMPARE(accountSetNumber(name), number);
    }

    // A new set takes the lowest free number, never an existing file; with none free, none.
    void numbersAreReusedAndNeverOverwritten()
    {
        QCOMPARE(QFileInfo(NextAccountSetPath()).fileName(), u"DATA00001.qdt"_s);
        createSets({"A", "B", "C"});
        QCOMPARE(AccountSets.at(2).FileName, u"DATA00003.qdt"_s);
        touch(file(u"data00004.QDT"_s), "keep");
        QCOMPARE(QFileInfo(NextAccountSetPath()).fileName(), u"DATA00005.qdt"_s);

        QVERIFY(BackupAccountSet(accountSetFileName(1), file(u"b.qdb"_s)));
        for (int n = 5; n <= kMaxAccountSetNumber; ++n)
            touch(setFile(n), "x");
        QVERIFY(NextAccountSetPath().isEmpty());
        QString error;
        QCOMPARE(CreateAccountSet(u"甲"_s, u"乙"_s, &error), -1);
        QVERIFY(error.contains(u"30000"_s) && AccountSets.size() == 3);
        QVERIFY2(ImportAccountSet(file(u"b.qdb"_s), &error) == -1 && error.contains(u"上限"_s),
                 qPrintable(error));
        QCOMPARE(testsupport::readFile(file(u"data00004.QDT"_s)), QByteArray("keep"));
        QCOMPARE(testsupport::readFile(setFile(kMaxAccountSetNumber)), QByteArray("x"));
    }

    // The current set cannot be deleted; a vanished file leaves the list, a stuck one stays.
    void deleting()
    {
        createSets({"A", "B", "C", "D", "E"});
        QVERIFY(MakeAccountSetCurrent(2));
        QCOMPARE(DeleteAccountSet(accountSetFileName(3), u"C"_s), DeleteOutcome::Refused);
        QCOMPARE(m_fx->prompts.messages, QStringList{"不能删除当前正在操作的套账！"});
        QVERIFY(m_fx->prompts.questions.isEmpty());

        m_fx->prompts.answers = {false, true, true, true, true};
        QCOMPARE(DeleteAccountSet(accountSetFileName(1), u"A"_s), DeleteOutcome::Declined);
        QCOMPARE(m_fx->prompts.questions, QStringList{"您确定要删除套账：A？"});
        QVERIFY(AccountSets.size() == 5 && QFileInfo::exists(setFile(1)));
        QCOMPARE(DeleteAccountSet(accountSetFileName(1), u"A"_s), DeleteOutcome::Deleted);
        QVERIFY(!QFileInfo::exists(setFile(1)));
        const auto currentIsC = [] {
            return CurrentAccountIndex == 1 && AccountSets.at(1).Name == u"C"_s
                   && CurrentAccountFile == u"DATA00003.qdt"_s && GetVar(kKeyName) == u"C"_s;
        };
        QVERIFY(currentIsC());
        QCOMPARE(DeleteAccountSet(accountSetFileName(4), u"D"_s), DeleteOutcome::Deleted);
        QVERIFY(currentIsC());
        m_fx->prompts.messages.clear();

        QVERIFY(QFile::remove(setFile(2)));
        QCOMPARE(DeleteAccountSet(accountSetFileName(2), u"B"_s), DeleteOutcome::WasMissing);
        QVERIFY(AccountSets.size() == 2 && m_fx->prompts.messages.size() == 1);
        QVERIFY(m_fx->prompts.messages.first().contains(u"DATA00002.qdt"_s));
        // A folder in the file's place cannot be removed (permissions stop no root).
        const QString stuck = setFile(5);
        Registry::close(stuck);
        QVERIFY(QFile::remove(stuck));
        QVERIFY(QDir().mkpath(stuck + u"/inside"_s));
        QCOMPARE(DeleteAccountSet(accountSetFileName(5), u"E"_s), DeleteOutcome::Failed);
        QVERIFY(AccountSets.size() == 2 && m_fx->prompts.messages.size() == 2);
        QCOMPARE(DeleteAccountSet(accountSetFileName(9), u"?"_s), DeleteOutcome::NotListed);
    }

    // The cached print headers (keys starting 表格打印信息_) go when the company changes.
    void printHeaderCacheGoesOnlyWhenCompanyChanges()
    {
        CreateAccountSet(u"甲公司"_s, u"甲账"_s);
        const QStringList cached = {"表格打印信息_销售单_0", "表格打印信息_产品表_1"};
        const QStringList others
                = {"表格打印信息X销售单_0", "表格打印信息", "旧表格打印信息_1", "打印预览_TXT1"};
        for (const QString &key : cached + others)
            SetVar(key, u"内容"_s);

        AccountSetInfo info = LoadAccountSetInfo();
        QCOMPARE(info.company, u"甲公司"_s);
        info.company = u"乙公司"_s;
        SaveAccountSetInfo(info, true);
        for (const QString &key : cached + others)
            QCOMPARE(GetVar(key), others.contains(key) ? u"内容"_s : QString());
        QCOMPARE(AccountSets.at(0).Company, u"乙公司"_s);
        // Stored in the file, not only on the open connection.
        Registry::closeAll();
        QCOMPARE(ReadAccountSetInfo(accountSetFileName(1)).Company, u"乙公司"_s);
    }

    // A crash's log is copied and deleted with the file, so no new set replays another's data.
    void aSetIsItsFileWithItsLog()
    {
        createSets({"A", "B"});
        const QString b = setFile(2);
        leaveAsAfterACrash(b, 300);

        // A copy carries the log's content and is whole by itself.
        QVERIFY(CopyAccountSetFile(accountSetFileName(2), file(u"copy.qdb"_s)));
        QVERIFY(sidecarsOf(b).isEmpty());
        expectWhole(file(u"copy.qdb"_s), 300);
        // An existing target is never replaced; a missing set is not copied.
        touch(file(u"taken.qdb"_s), "mine");
        QString error;
        QVERIFY(!CopyAccountSetFile(accountSetFileName(2), file(u"taken.qdb"_s), &error)
                && !error.isEmpty());
        QCOMPARE(testsupport::readFile(file(u"taken.qdb"_s)), QByteArray("mine"));
        QVERIFY(!CopyAccountSetFile(u"DATA00009.qdt"_s, file(u"x.qdb"_s)));

        // Deleting after another crash takes the log with the file.
        leaveAsAfterACrash(b, 1);
        m_fx->prompts.answers = {true};
        QCOMPARE(DeleteAccountSet(accountSetFileName(2), u"B"_s), DeleteOutcome::Deleted);
        QCOMPARE(sidecarsOf(b), QStringList());
        QCOMPARE(CreateAccountSet(u"新公司"_s, u"新账"_s), 1);
        QCOMPARE(AccountSets.at(1).FileName, accountSetFileName(2));
        QCOMPARE(customerCount(b), 0);

        // A log alone (its file removed by hand) keeps its number taken.
        for (const char *stray :
             {"DATA00003.qdt-wal", "data00004.QDT-shm", "DATA00005.qdt-journal"})
            touch(file(QLatin1String(stray)), "log");
        QCOMPARE(QFileInfo(NextAccountSetPath()).fileName(), u"DATA00006.qdt"_s);
    }

    // A set let go has its log folded back: the file alone is the whole set.
    void aReleasedSetIsCompleteByItself()
    {
        createSets({"A", "B"});
        QVERIFY(MakeAccountSetCurrent(0));
        const QString a = setFile(1);
        addCustomers(a, 50);
        QVERIFY(QFileInfo::exists(a + u"-wal"_s)); // held: logging for speed
        QVERIFY(MakeAccountSetCurrent(1));
        QCOMPARE(sidecarsOf(a), QStringList());
        expectWhole(a, 50);

        // Opened read-only (so the program does not switch it) it tells its journal.
        QVERIFY(QFile::setPermissions(a, QFileDevice::ReadOwner));
        QCOMPARE(valueIn(a, u"PRAGMA journal_mode"_s).toString(), u"delete"_s);
        Registry::close(a);
        QCOMPARE(sidecarsOf(a), QStringList());

        // The log stays while someone holds the connection; the last one folds it.
        const QString b = setFile(2);
        DatabasePtr held = Registry::open(b);
        QVERIFY(held->exec(u"INSERT INTO Cus (Name) VALUES ('甲')"_s));
        Registry::closeAll();
        QVERIFY(held->exec(u"INSERT INTO Cus (Name) VALUES ('乙')"_s));
        QVERIFY(QFileInfo::exists(b + u"-wal"_s));
        QVERIFY(CopyAccountSetFile(accountSetFileName(2), file(u"b.qdb"_s)));
        QVERIFY(QFileInfo::exists(b + u"-wal"_s));
        expectWhole(file(u"b.qdb"_s), 2);
        held.reset();
        QCOMPARE(sidecarsOf(b), QStringList());
        expectWhole(b, 2);
    }

    // A held set is copied on its own connection, with the latest commits, while no one commits.
    void aHeldSetIsCopiedWithoutLettingGo()
    {
        createSets({"A"});
        const QString a = setFile(1);
        addCustomers(a, 20);
        const Database *held = Registry::open(a).get();
        QVERIFY(QFileInfo::exists(a + u"-wal"_s));

        // A connection through a second name, opened meanwhile, reads but cannot commit.
        const QString other = file(u"other.qdt"_s);
        QVERIFY(QFile::link(a, other));
        bool ran = false;
        bool othersWriteRefused = false;
        QVERIFY(Registry::open(a)->whileWholeAndStill([&] {
            ran = true;
            const DatabasePtr second = Registry::open(other);
            QVERIFY(second && second.get() != held);
            sqlite3_busy_timeout(second->handle(), 50);
            QCOMPARE(customerCount(other), 20);
            othersWriteRefused = !second->exec(u"INSERT INTO Cus (Name) VALUES ('x')"_s);
        }));
        QVERIFY(ran && othersWriteRefused);
        QVERIFY(Registry::open(other)->exec(u"INSERT INTO Cus (Name) VALUES ('late')"_s));
        Registry::close(other);

        addCustomers(a, 5);
        QVERIFY(CopyAccountSetFile(accountSetFileName(1), file(u"copy.qdb"_s)));
        QCOMPARE(Registry::open(a).get(), held);
        expectWhole(file(u"copy.qdb"_s), 26);
    }

    void aForeignLogIsSetAsideNotReplayed_data()
    {
        QTest::addColumn<bool>("ownOldLog");
        QTest::newRow("log of another set") << false;
        QTest::newRow("old log of the set, beside an older copy") << true;
    }

    // A log not the set's own is set aside, never replayed, and the user told once.
    void aForeignLogIsSetAsideNotReplayed()
    {
        QFETCH(bool, ownOldLog);
        createSets({"A", "B"});
        const QString a = setFile(1);
        const QString b = setFile(2);
        int expected = 0;
        if (ownOldLog) {
            // Last night's copy of B (40 customers) put back over a crashed B.
            addCustomers(b, 40);
            Registry::close(b);
            const QString lastNight = file(u"lastnight.bak"_s);
            QVERIFY(QFile::copy(b, lastNight));
            addCustomers(b, 400);
            Registry::close(b);
            leaveAsAfterACrash(b, 300);
            QVERIFY(QFile::remove(b));
            QVERIFY(QFile::rename(lastNight, b));
            expected = 40;
        } else {
            addCustomers(b, 7);
            Registry::close(b);
            leaveAsAfterACrash(a, 300);
            QFile::remove(b + u"-shm"_s);
            QVERIFY(QFile::rename(a + u"-wal"_s, b + u"-wal"_s));
            QVERIFY(QFile::rename(a + u"-shm"_s, b + u"-shm"_s));
            expected = 7;
        }

        QCOMPARE(BuildAccountSetList(), 2);
        QVERIFY(!AccountSets.at(1).Damaged && AccountSets.at(1).Name == u"B"_s);
        Registry::closeAll();
        QCOMPARE(sidecarsOf(b), QStringList());
        expectWhole(b, expected);
        const QStringList aside
                = QDir(m_fx->folder.path())
                          .entryList({accountSetFileName(2) + "-wal.damaged-*"}, QDir::Files);
        QVERIFY(aside.size() == 1 && m_fx->prompts.messages.size() == 1);
        QVERIFY(m_fx->prompts.messages.first().contains(aside.first()));

        // Opened again, nothing more is said and the rows stay.
        QCOMPARE(BuildAccountSetList(), 2);
        QCOMPARE(customerCount(b), expected);
        QCOMPARE(m_fx->prompts.messages.size(), 1);
    }

    // An old set gains the receipt tables once; a read-only set is read, never written.
    void oldAndReadOnlySets()
    {
        createSets({"旧", "只读"});
        const QStringList keys = SchemaStepKeys();
        QCOMPARE(keys.mid(0, 2), (QStringList{"结构_收付款", "结构_最低库存"}));
        const QString stepRows = u"SELECT Count(*) FROM 参数 WHERE Var='结构_收付款'"_s;
        const QString floorRows = u"SELECT Count(*) FROM 参数 WHERE Var='结构_最低库存'"_s;
        const auto steps = [&](const QString &path) {
            return valueIn(path, stepRows).toInt() * 10 + valueIn(path, floorRows).toInt();
        };
        for (int n : {1, 2}) {
            const QString path = setFile(n);
            QCOMPARE(steps(path), 11);
            addCustomers(path, 3);
            const DatabasePtr db = Registry::open(path);
            // Products as they were before they had a floor.
            QVERIFY(db->execNative(
                    u"DROP TABLE Rcv; DROP TABLE RcvLine; DROP TABLE Pmt; "
                    "DROP TABLE PmtLine; DELETE FROM 参数 WHERE Var LIKE '结构%'; "
                    "DROP TABLE Pro; CREATE TABLE Pro (ID INTEGER PRIMARY KEY "
                    "AUTOINCREMENT, Name TEXT, Price DOUBLE DEFAULT 0, Unit TEXT, P0 "
                    "TEXT, P1 TEXT, P2 TEXT, P3 TEXT, P4 TEXT, P5 TEXT, P6 TEXT, P7 "
                    "TEXT, P8 TEXT, P9 TEXT, Memo TEXT); INSERT INTO Pro (Name) "
                    "VALUES ('钢管')"_s));
        }
        const QString ro = setFile(2);
        relistWithReadOnly(ro);
        QCOMPARE(AccountSets.at(1).Name, u"只读"_s);
        QCOMPARE(sidecarsOf(ro), QStringList());
        QVERIFY(AccountSetIsReadOnly(accountSetFileName(2)));
        QVERIFY(!AccountSetIsReadOnly(accountSetFileName(1)));
        QVERIFY(m_fx->prompts.messages.isEmpty());

        QVERIFY(MakeAccountSetCurrent(1));
        QCOMPARE(m_fx->prompts.messages, QStringList{readOnlyNotice(AccountSets.at(1))});
        QCOMPARE(GetVar(kKeyName), u"只读"_s);
        SetVar(kKeyName, u"改名"_s);
        QVERIFY(GetVar(kKeyName) == u"只读"_s && m_fx->prompts.messages.size() == 1);
        QCOMPARE(valueIn(ro, u"SELECT Count(*) FROM Rcv"_s), QVariant(0));
        QVERIFY(steps(ro) == 0 && customerCount(ro) == 3);

        QVERIFY(MakeAccountSetCurrent(0));
        QCOMPARE(sidecarsOf(ro), QStringList());
        QVERIFY(EnsureSchema(accountSetFileName(1)));
        const QString path = setFile(1);
        QVERIFY(steps(path) == 11 && customerCount(path) == 3);
        QCOMPARE(valueIn(path, u"SELECT Name, MinNum FROM Pro"_s), QVariant(u"钢管"_s));
        QVERIFY(valueIn(path, u"SELECT MinNum FROM Pro"_s).isNull());
        // Once: opening it again changes nothing and fails nothing; a missing file stays missing.
        QVERIFY(EnsureSchema(accountSetFileName(1)));
        QVERIFY(!EnsureSchema(u"missing.qdt"_s) && !QFileInfo::exists(file(u"missing.qdt"_s)));
        QCOMPARE(steps(path), 11);
        for (const char *table : {"Rcv", "RcvLine", "Pmt", "PmtLine"})
            QCOMPARE(valueIn(path, u"SELECT Count(*) FROM "_s + QLatin1String(table)), QVariant(0));

        m_fx->prompts.answers = {true};
        QCOMPARE(DeleteAccountSet(accountSetFileName(2), u"只读"_s), DeleteOutcome::Deleted);
        QString error;
        QCOMPARE(CreateAccountSet(u"公司"_s, u"新"_s, &error), 1);
        QCOMPARE(error + ReadAccountSetInfo(accountSetFileName(2)).Name, u"新"_s);
    }

    // New sets and restored copies get their own key salt; a read-only source is only read.
    void everySetHasItsOwnSalt()
    {
        createSets({"A", "B"});
        Registry::closeAll();
        const auto salt = [](const QString &path) {
            return testsupport::readFile(path).left(16);
        };
        const QString a = setFile(1);
        const QString b = setFile(2);
        const QByteArray templateSalt = salt(file(QLatin1String(kTemplateFileName)));
        QCOMPARE(templateSalt.size(), 16);
        QVERIFY(salt(a) != templateSalt && salt(b) != templateSalt && salt(a) != salt(b));

        // A byte copy (a backup restored as it is) gets its own salt in place.
        addCustomers(a, 3);
        Registry::closeAll();
        const QString restored = file(u"DATA00003.qdt"_s);
        QVERIFY(QFile::copy(a, restored));
        QVERIFY(GiveAccountSetOwnSalt(restored) && salt(restored) != salt(a));
        QCOMPARE(customerCount(restored), 3);
        QCOMPARE(ReadAccountSetInfo(u"DATA00003.qdt"_s).Name, u"A"_s);
        Registry::closeAll();

        // From a read-only file elsewhere, straight to a new set.
        QTemporaryDir cd;
        const QString onCd = cd.filePath(u"backup.qdb"_s);
        QVERIFY(QFile::copy(a, onCd));
        QVERIFY(QFile::setPermissions(onCd, QFileDevice::ReadOwner));
        QVERIFY(CopyAccountSetWithOwnSalt(onCd, file(u"DATA00004.qdt"_s)));
        QCOMPARE(QDir(cd.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"backup.qdb"});
        QCOMPARE(customerCount(file(u"DATA00004.qdt"_s)), 3);
        QVERIFY(salt(file(u"DATA00004.qdt"_s)) != salt(onCd));

        // Not an account set, or a taken target: nothing is written.
        touch(file(u"junk.qdb"_s), QByteArray("junk").repeated(300));
        QString error;
        QVERIFY(!CopyAccountSetWithOwnSalt(file(u"junk.qdb"_s), file(u"DATA00005.qdt"_s), &error)
                && !error.isEmpty());
        QVERIFY(!CopyAccountSetWithOwnSalt(a, file(u"DATA00004.qdt"_s)));
        for (const QString &name : QDir(m_fx->folder.path()).entryList(QDir::Files | QDir::Hidden))
            QVERIFY2(!name.endsWith(QLatin1String(".tmp"))
                             && name != QLatin1String("DATA00005.qdt"),
                     qPrintable(name));
    }

    void damagedTemplateIsRebuilt_data()
    {
        QTest::addColumn<QString>("damage");
        for (const char *damage : {"empty", "other password", "no tables"})
            QTest::newRow(damage) << QString::fromLatin1(damage);
    }

    // A template that is not a sound empty set is rebuilt when used, silently.
    void damagedTemplateIsRebuilt()
    {
        QFETCH(QString, damage);
        const QString templatePath = file(QLatin1String(kTemplateFileName));
        createSets({"A"});
        Registry::closeAll();
        const QByteArray sound = testsupport::readFile(templatePath);
        QString error;
        QVERIFY(EnsureTemplate(&error)); // a sound one is kept as it is
        QCOMPARE(testsupport::readFile(templatePath), sound);
        QVERIFY(QFile::remove(templatePath));
        if (damage == QLatin1String("empty")) {
            touch(templatePath);
        } else if (damage == QLatin1String("other password")) {
            touch(templatePath, sound);
            const DatabasePtr db = Registry::open(templatePath);
            QVERIFY(db && db->execNative(u"PRAGMA rekey = 'other';"_s));
            Registry::closeAll();
        } else {
            QVERIFY(Registry::create(templatePath));
            Registry::closeAll();
        }
        QVERIFY(!IsSoundAccountSetFile(templatePath));

        QCOMPARE(CreateAccountSet(u"公司"_s, u"B"_s, &error), 1);
        QVERIFY(error.isEmpty() && m_fx->prompts.messages.isEmpty());
        QVERIFY(IsSoundAccountSetFile(templatePath));
        const AccountSet made = ReadAccountSetInfo(accountSetFileName(2));
        QVERIFY(made.Name == u"B"_s && !made.Damaged);
    }

    // Files that do not open are listed as damaged, silently, and never made current.
    void damagedSetsAreMarkedAndPassedOver()
    {
        QCOMPARE(CreateAccountSet(u"甲公司"_s, u"甲账"_s), 0);
        touch(setFile(2), QByteArray("noise").repeated(2000));
        touch(setFile(3));
        QVERIFY(Registry::create(setFile(4))); // keyed, but no tables
        Registry::closeAll();
        QCOMPARE(CreateAccountSet(u"乙公司"_s, u"乙账"_s), 1);
        QCOMPARE(AccountSets.last().FileName, accountSetFileName(5));
        for (int n : {1, 5}) {
            CurrentAccountFile = accountSetFileName(n);
            SetVar(kKeyLastAccess, n == 1 ? u"2023-05-01 10:00:00"_s : u"2024-01-02 09:00:00"_s);
        }
        Registry::closeAll();
        AccountSets.clear();
        CurrentAccountFile.clear();
        CurrentAccountIndex = -1;

        QVector<int> steps;
        QCOMPARE(BuildAccountSetList([&steps](int i) { steps << i; }), 5);
        QCOMPARE(steps, (QVector<int>{0, 1, 2, 3, 4}));
        QStringList listed;
        for (const AccountSet &set : std::as_const(AccountSets))
            listed << set.FileName + QLatin1Char('|') + set.Company + QLatin1Char('|') + set.Name
                              + (set.Damaged ? "|damaged" : "");
        QCOMPARE(listed, (QStringList{"DATA00001.qdt|甲公司|甲账", "DATA00002.qdt|||damaged",
                                      "DATA00003.qdt|||damaged", "DATA00004.qdt|||damaged",
                                      "DATA00005.qdt|乙公司|乙账"}));
        QCOMPARE(CurrentAccountIndex, 4);
        // Only the set start-up opens keeps its connection (one key derivation).
        for (int n = 1; n <= 5; ++n)
            QCOMPARE(Registry::isOpen(setFile(n)), n == 5);
        QVERIFY(!MakeAccountSetCurrent(1) && !MakeAccountSetCurrent(3));
        QVERIFY(CurrentAccountFile.isEmpty());
        QVERIFY(MakeAccountSetCurrent(0));
        QVERIFY(!Registry::isOpen(setFile(5)) && Registry::isOpen(setFile(1)));
        QCOMPARE(m_fx->prompts.messages, QStringList());
        // A damaged set can still be deleted.
        m_fx->prompts.answers = {true};
        QCOMPARE(DeleteAccountSet(accountSetFileName(2), kDamagedSetName), DeleteOutcome::Deleted);
        QVERIFY(!QFileInfo::exists(setFile(2)));
    }

private:
    QString file(const QString &name) const { return m_fx->folder.filePath(name); }
    QString setFile(int number) const { return file(accountSetFileName(number)); }
    // The file at path holds count customers and is whole by itself.
    static void expectWhole(const QString &path, int count)
    {
        QCOMPARE(integrityOfFileAlone(path), u"ok"_s);
        QCOMPARE(customerCount(path), count);
        Registry::close(path);
    }
    // Lists the sets afresh with the set at path made read-only.
    static void relistWithReadOnly(const QString &path)
    {
        Registry::closeAll();
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        AccountSets.clear();
        CurrentAccountFile.clear();
        QCOMPARE(BuildAccountSetList(), 2);
    }

    std::unique_ptr<testsupport::FolderWithPrompts> m_fx;
};

QTEST_GUILESS_MAIN(TestAccountSets)
#include "tst_accountsets.moc"
