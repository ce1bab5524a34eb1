#include "store/accountsets.h"
#include "store/engine.h"
#include "store/params.h"
#include "store/programfolder.h"
#include "store/session.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

using namespace store;

class TestAccountSets : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void storedDates_data();
    void storedDates();
    void bestLastAccess_data();
    void bestLastAccess();
    void listingTakesQdtFilesOnly();
    void numbersAreReusedAndNeverOverwritten();
    void allNumbersTaken();
    void damagedFileDoesNotStopTheList();
    void deletingFollowsTheCurrentSet();
    void deletingAMissingOrStuckFile();
    void printHeaderCacheGoesOnlyWhenCompanyChanges();
    void copyTakesAConsistentFile();

private:
    // Writes a set's last access straight into its file.
    static void setLastAccess(const QString &fileName, const QString &text);
    static void touch(const QString &path, const QByteArray &bytes = QByteArray());

    std::unique_ptr<testsupport::TempProgramFolder> m_folder;
    std::unique_ptr<testsupport::ScriptedPrompts> m_prompts;
};

void TestAccountSets::init()
{
    m_folder = std::make_unique<testsupport::TempProgramFolder>();
    m_prompts = std::make_unique<testsupport::ScriptedPrompts>();
    AccountSets.clear();
    PendingAccountChoice.clear();
}

void TestAccountSets::cleanup()
{
    m_prompts.reset();
    m_folder.reset();
    AccountSets.clear();
}

void TestAccountSets::setLastAccess(const QString &fileName, const QString &text)
{
    const QString previous = CurrentAccountFile;
    CurrentAccountFile = fileName;
    SetVar(kKeyLastAccess, text);
    CurrentAccountFile = previous;
}

void TestAccountSets::touch(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Stored date texts are read back in our own form and in the other usual
// forms; text that is no date gives an invalid value instead of a wrong one.
void TestAccountSets::storedDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");
    const QDateTime afternoon(QDate(2024, 1, 2), QTime(13, 5, 9));
    QTest::newRow("own date-time") << "2024-01-02 13:05:09" << afternoon;
    QTest::newRow("slashes") << "2024/1/2 13:05:09" << afternoon;
    QTest::newRow("grid form") << "2024.01.02 13:05" << QDateTime(QDate(2024, 1, 2), QTime(13, 5));
    QTest::newRow("empty") << "" << QDateTime();
    QTest::newRow("not a date") << "昨天" << QDateTime();
    QTest::newRow("impossible day") << "2024-02-30" << QDateTime();
}

void TestAccountSets::storedDates()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    QCOMPARE(parseStoredDateTime(text), expected);
    if (expected.isValid())
        QCOMPARE(parseStoredDateTime(dateTimeText(expected)), expected);
}

// The set opened at start-up is the first one with the latest last access
// after 2000-01-01; when none qualifies the first set is opened.
void TestAccountSets::bestLastAccess_data()
{
    QTest::addColumn<QVector<QDateTime>>("lastAccess");
    QTest::addColumn<int>("expected");
    auto at = [](int y, int mo, int d, int h, int mi, int s = 0) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
    };
    QTest::newRow("equal times, first wins")
            << QVector<QDateTime>{at(2023, 5, 1, 10, 0), at(2024, 1, 2, 9, 0), at(2024, 1, 2, 9, 0)}
            << 1;
    QTest::newRow("latest last") << QVector<QDateTime>{at(2023, 5, 1, 10, 0), at(2022, 1, 1, 0, 0),
                                                       at(2023, 5, 1, 10, 1)}
                                 << 2;
    QTest::newRow("all old or unknown → first")
            << QVector<QDateTime>{QDateTime(), at(1999, 12, 31, 23, 59), at(2000, 1, 1, 0, 0)} << 0;
    QTest::newRow("one second after the limit")
            << QVector<QDateTime>{at(2000, 1, 1, 0, 0), QDateTime(), at(2000, 1, 1, 0, 0, 1)} << 2;
    QTest::newRow("unknown before a known one")
            << QVector<QDateTime>{QDateTime(), at(2020, 3, 3, 3, 3)} << 1;
    QTest::newRow("no sets") << QVector<QDateTime>{} << -1;
}

void TestAccountSets::bestLastAccess()
{
    QFETCH(QVector<QDateTime>, lastAccess);
    QFETCH(int, expected);
    QVector<AccountSet> sets;
    for (const QDateTime &value : std::as_const(lastAccess)) {
        AccountSet set;
        set.LastAccess = value;
        sets << set;
    }
    QCOMPARE(BestAccountSetIndex(sets), expected);
}

// Any file ending in .qdt in any letter case is a set; backups of sets,
// folders and the template are not.
void TestAccountSets::listingTakesQdtFilesOnly()
{
    touch(m_folder->filePath(QStringLiteral("data00007.QDT")));
    touch(m_folder->filePath(QStringLiteral("DATA00007.qdt.bak")));
    touch(m_folder->filePath(QStringLiteral("DATA00002.qdt")));
    touch(m_folder->filePath(QStringLiteral("公司.Qdt")));
    touch(m_folder->filePath(QStringLiteral("DATA_NULL.DAT")));
    touch(m_folder->filePath(QStringLiteral("qdt")));
    QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("DATA00009.qdt")));

    const QStringList expected = {QStringLiteral("DATA00002.qdt"), QStringLiteral("data00007.QDT"),
                                  QStringLiteral("公司.Qdt")};
    QCOMPARE(ListAccountSetFiles(), expected);
}

// A new set takes the lowest free number, also one freed by a deletion, and
// never an existing file (whatever its letter case).
void TestAccountSets::numbersAreReusedAndNeverOverwritten()
{
    QCOMPARE(QFileInfo(NextAccountSetPath()).fileName(), QStringLiteral("DATA00001.qdt"));
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(CreateAccountSet(QStringLiteral("公司%1").arg(i), QStringLiteral("账%1").arg(i)),
                 i - 1);
    QCOMPARE(AccountSets.at(4).FileName, QStringLiteral("DATA00005.qdt"));

    m_prompts->answers = {true};
    QCOMPARE(DeleteAccountSet(QStringLiteral("DATA00002.qdt"), QStringLiteral("账2")),
             DeleteOutcome::Deleted);
    QVERIFY(!QFileInfo::exists(m_folder->filePath(QStringLiteral("DATA00002.qdt"))));

    const int position = CreateAccountSet(QStringLiteral("新公司"), QStringLiteral("新账"));
    QCOMPARE(position, 4);
    QCOMPARE(AccountSets.at(position).FileName, QStringLiteral("DATA00002.qdt"));

    // A file named in other letters still holds its number.
    touch(m_folder->filePath(QStringLiteral("data00006.QDT")), "keep");
    QCOMPARE(QFileInfo(NextAccountSetPath()).fileName(), QStringLiteral("DATA00007.qdt"));

    // No work files are left behind by the creations.
    const QStringList left
            = QDir(m_folder->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : left)
        QVERIFY2(!name.endsWith(QLatin1String(".tmp")), qPrintable(name));
}

// With every number taken creation is refused and no file is touched.
void TestAccountSets::allNumbersTaken()
{
    for (int n = 1; n <= kMaxAccountSetNumber; ++n)
        touch(m_folder->filePath(accountSetFileName(n)), "x");
    QVERIFY(NextAccountSetPath().isEmpty());

    QString error;
    QCOMPARE(CreateAccountSet(QStringLiteral("甲"), QStringLiteral("乙"), &error), -1);
    QVERIFY(error.contains(QStringLiteral("30000")));
    QVERIFY(AccountSets.isEmpty());
    QFile first(m_folder->filePath(QStringLiteral("DATA00001.qdt")));
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), QByteArray("x"));
}

// A file that is not an account set is listed without name or company, the
// others still load, and nobody is shown an error box for it.
void TestAccountSets::damagedFileDoesNotStopTheList()
{
    QCOMPARE(CreateAccountSet(QStringLiteral("甲公司"), QStringLiteral("甲账")), 0);
    touch(m_folder->filePath(QStringLiteral("DATA00002.qdt")),
          QByteArray("this is not a database at all").repeated(100));
    touch(m_folder->filePath(QStringLiteral("DATA00003.qdt")));
    QCOMPARE(CreateAccountSet(QStringLiteral("乙公司"), QStringLiteral("乙账")), 1);
    QCOMPARE(AccountSets.at(1).FileName, QStringLiteral("DATA00004.qdt"));
    setLastAccess(QStringLiteral("DATA00001.qdt"), QStringLiteral("2023-05-01 10:00:00"));
    setLastAccess(QStringLiteral("DATA00004.qdt"), QStringLiteral("2024-01-02 09:00:00"));
    Registry::closeAll();
    AccountSets.clear();
    CurrentAccountFile.clear();
    CurrentAccountIndex = -1;

    QVector<int> steps;
    QCOMPARE(BuildAccountSetList([&steps](int i) { steps << i; }), 4);
    QCOMPARE(steps, (QVector<int>{0, 1, 2, 3}));
    QCOMPARE(AccountSets.at(0).Name, QStringLiteral("甲账"));
    QCOMPARE(AccountSets.at(0).Company, QStringLiteral("甲公司"));
    QCOMPARE(AccountSets.at(0).Created, QDateTime(QDate::currentDate(), QTime(0, 0)));
    QCOMPARE(AccountSets.at(3).Name, QStringLiteral("乙账"));
    QCOMPARE(AccountSets.at(3).LastAccess, QDateTime(QDate(2024, 1, 2), QTime(9, 0)));
    for (int i : {1, 2}) {
        QVERIFY(AccountSets.at(i).Name.isEmpty());
        QVERIFY(AccountSets.at(i).Company.isEmpty());
        QVERIFY(!AccountSets.at(i).LastAccess.isValid());
        QVERIFY(!AccountSets.at(i).Created.isValid());
    }
    QCOMPARE(CurrentAccountIndex, 3);
    QVERIFY2(m_prompts->messages.isEmpty(), qPrintable(m_prompts->messages.join(u'|')));
}

// Deleting keeps the current set current: a set listed before it moves the
// position down; the current set itself is refused; No leaves everything.
void TestAccountSets::deletingFollowsTheCurrentSet()
{
    for (const char *name : {"A", "B", "C"})
        CreateAccountSet(QStringLiteral("公司"), QString::fromLatin1(name));
    QVERIFY(MakeAccountSetCurrent(2));

    QCOMPARE(DeleteAccountSet(QStringLiteral("DATA00003.qdt"), QStringLiteral("C")),
             DeleteOutcome::Refused);
    QCOMPARE(m_prompts->messages, QStringList{QStringLiteral("不能删除当前正在操作的套账！")});
    QVERIFY(m_prompts->questions.isEmpty());

    m_prompts->answers = {false};
    QCOMPARE(DeleteAccountSet(QStringLiteral("DATA00001.qdt"), QStringLiteral("A")),
             DeleteOutcome::Declined);
    QCOMPARE(m_prompts->questions, QStringList{QStringLiteral("您确定要删除套账：A？")});
    QCOMPARE(AccountSets.size(), 3);
    QVERIFY(QFileInfo::exists(m_folder->filePath(QStringLiteral("DATA00001.qdt"))));

    m_prompts->answers = {true};
    QCOMPARE(DeleteAccountSet(QStringLiteral("DATA00001.qdt"), QStringLiteral("A")),
             DeleteOutcome::Deleted);
    QVERIFY(!QFileInfo::exists(m_folder->filePath(QStringLiteral("DATA00001.qdt"))));
    QCOMPARE(AccountSets.size(), 2);
    QCOMPARE(CurrentAccountIndex, 1);
    QCOMPARE(AccountSets.at(CurrentAccountIndex).Name, QStringLiteral("C"));
    QCOMPARE(CurrentAccountFile, QStringLiteral("DATA00003.qdt"));

    // A set after the current one leaves the position alone.
    CreateAccountSet(QStringLiteral("公司"), QStringLiteral("D"));
    m_prompts->answers = {true};
    QCOMPARE(DeleteAccountSet(AccountSets.at(2).FileName, QStringLiteral("D")),
             DeleteOutcome::Deleted);
    QCOMPARE(CurrentAccountIndex, 1);
    QCOMPARE(GetVar(kKeyName), QStringLiteral("C"));
}

// A file that vanished is dropped from the list; one that cannot be removed
// stays listed; the user is told either way.
void TestAccountSets::deletingAMissingOrStuckFile()
{
    for (const char *name : {"A", "B", "C"})
        CreateAccountSet(QStringLiteral("公司"), QString::fromLatin1(name));
    QCOMPARE(CurrentAccountIndex, 0);

    QVERIFY(QFile::remove(m_folder->filePath(QStringLiteral("DATA00002.qdt"))));
    m_prompts->answers = {true};
    QCOMPARE(DeleteAccountSet(QStringLiteral("DATA00002.qdt"), QStringLiteral("B")),
             DeleteOutcome::WasMissing);
    QCOMPARE(AccountSets.size(), 2);
    QCOMPARE(m_prompts->messages.size(), 1);
    QVERIFY(m_prompts->messages.first().contains(QStringLiteral("DATA00002.qdt")));

    // A folder in the file's place cannot be removed as a file (the program
    // runs as root in CI, where file permissions stop nothing).
    const QString stuck = m_folder->filePath(QStringLiteral("DATA00003.qdt"));
    Registry::close(stuck);
    QVERIFY(QFile::remove(stuck));
    QVERIFY(QDir().mkpath(stuck + QStringLiteral("/inside")));
    m_prompts->answers = {true};
    QCOMPARE(DeleteAccountSet(QStringLiteral("DATA00003.qdt"), QStringLiteral("C")),
             DeleteOutcome::Failed);
    QCOMPARE(AccountSets.size(), 2);
    QCOMPARE(AccountSets.at(1).FileName, QStringLiteral("DATA00003.qdt"));
    QCOMPARE(m_prompts->messages.size(), 2);
    QVERIFY(QFileInfo(stuck).isDir());

    QCOMPARE(DeleteAccountSet(QStringLiteral("DATA00009.qdt"), QStringLiteral("?")),
             DeleteOutcome::NotListed);
}

// The cached print headers go when the company lines change, and only keys
// that really start with 表格打印信息_ go.
void TestAccountSets::printHeaderCacheGoesOnlyWhenCompanyChanges()
{
    CreateAccountSet(QStringLiteral("甲公司"), QStringLiteral("甲账"));
    const QStringList cached
            = {QStringLiteral("表格打印信息_销售单_0"), QStringLiteral("表格打印信息_产品表_1")};
    const QStringList others
            = {QStringLiteral("表格打印信息X销售单_0"), QStringLiteral("表格打印信息"),
               QStringLiteral("旧表格打印信息_1"), QStringLiteral("打印预览_TXT1")};
    for (const QString &key : cached + others)
        SetVar(key, QStringLiteral("内容"));

    AccountSetInfo info = LoadAccountSetInfo();
    QCOMPARE(info.name, QStringLiteral("甲账"));
    QCOMPARE(info.company, QStringLiteral("甲公司"));
    info.name = QStringLiteral("新账名");
    SaveAccountSetInfo(info, false);
    for (const QString &key : cached)
        QCOMPARE(GetVar(key), QStringLiteral("内容"));
    QCOMPARE(AccountSets.at(0).Name, QStringLiteral("新账名"));

    info.company = QStringLiteral("乙公司");
    info.phone = QStringLiteral("010-1234");
    SaveAccountSetInfo(info, true);
    for (const QString &key : cached)
        QCOMPARE(GetVar(key), QString());
    for (const QString &key : others)
        QCOMPARE(GetVar(key), QStringLiteral("内容"));
    const AccountSetInfo stored = LoadAccountSetInfo();
    QCOMPARE(stored.company, QStringLiteral("乙公司"));
    QCOMPARE(stored.phone, QStringLiteral("010-1234"));
    QCOMPARE(AccountSets.at(0).Company, QStringLiteral("乙公司"));
}

// A copy of a set opens as the same set; an existing target is never replaced.
void TestAccountSets::copyTakesAConsistentFile()
{
    CreateAccountSet(QStringLiteral("甲公司"), QStringLiteral("甲账"));
    SetVar(QStringLiteral("联系地址"), QStringLiteral("北京"));
    const QString target = m_folder->filePath(QStringLiteral("backup.qdb"));
    QVERIFY(CopyAccountSetFile(QStringLiteral("DATA00001.qdt"), target));
    QVERIFY(QFile::copy(target, m_folder->filePath(QStringLiteral("copy.qdt"))));
    QCOMPARE(ReadAccountSetInfo(QStringLiteral("copy.qdt")).Name, QStringLiteral("甲账"));

    touch(m_folder->filePath(QStringLiteral("taken.qdb")), "mine");
    QString error;
    QVERIFY(!CopyAccountSetFile(QStringLiteral("DATA00001.qdt"),
                                m_folder->filePath(QStringLiteral("taken.qdb")), &error));
    QVERIFY(!error.isEmpty());
    QFile taken(m_folder->filePath(QStringLiteral("taken.qdb")));
    QVERIFY(taken.open(QIODevice::ReadOnly));
    QCOMPARE(taken.readAll(), QByteArray("mine"));
    QVERIFY(!CopyAccountSetFile(QStringLiteral("DATA00009.qdt"), target + QStringLiteral("2")));
}

QTEST_GUILESS_MAIN(TestAccountSets)
#include "tst_accountsets.moc"
