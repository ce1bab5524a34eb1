#include "accountsets.h"

#include "servercopy.h"
#include "serverlinks.h"

#include "access.h"
#include "engine.h"
#include "params.h"
#include "programfolder.h"
#include "prompts.h"
#include "schema.h"
#include "session.h"
#include "workfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace store {

QVector<AccountSet> AccountSets;
QString PendingAccountChoice;

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kDateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Now, to the second, so that the value kept in memory equals the stored text.
QDateTime nowToSecond()
{
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return now;
}

bool sameFileName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseSensitive) == 0;
}

int indexOfFile(const QString &fileName)
{
    for (int i = 0; i < AccountSets.size(); ++i) {
        if (sameFileName(AccountSets.at(i).FileName, fileName))
            return i;
    }
    return -1;
}

void removeSidecars(const QString &path);

void removeEntry(int index)
{
    AccountSets.removeAt(index);
    if (CurrentAccountIndex > index)
        --CurrentAccountIndex;
}

// Writes target through a work file beside it and a rename, so target
// either does not exist or is complete. write(work, error) makes the work
// file. QFile::rename refuses an existing target, so a file that appeared in
// the meantime is not overwritten either.
bool writeThroughWorkFile(const QString &target,
                          const std::function<bool(const QString &, QString *)> &write,
                          QString *error)
{
    const QString work = workFileBeside(target, QStringLiteral("new"));
    QString writeError;
    if (!write(work, &writeError)) {
        QFile::remove(work);
        if (error)
            *error = writeError;
        return false;
    }
    if (!QFile::rename(work, target)) {
        QFile::remove(work);
        if (error)
            *error = QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(target);
        return false;
    }
    return true;
}

// Copies source to target as it is. Never replaces an existing target.
bool copyWhole(const QString &source, const QString &target, QString *error)
{
    if (QFileInfo::exists(target)) {
        if (error)
            *error = QStringLiteral("文件已存在：") + QDir::toNativeSeparators(target);
        return false;
    }
    return writeThroughWorkFile(
            target,
            [&source](const QString &work, QString *copyError) {
                // The copy takes the source's mode; a work file is private.
                if (QFile::copy(source, work)
                    && QFile::setPermissions(work,
                                             QFileDevice::ReadOwner | QFileDevice::WriteOwner))
                    return true;
                *copyError = QStringLiteral("无法复制文件：") + QDir::toNativeSeparators(source);
                return false;
            },
            error);
}

// The journal and log files SQLite keeps beside a set's file. They belong to
// the set: numbered, copied and deleted with it.
const QStringList &sidecarSuffixes()
{
    static const QStringList suffixes
            = {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};
    return suffixes;
}

bool hasSidecar(const QString &path)
{
    for (const QString &suffix : sidecarSuffixes()) {
        if (QFileInfo::exists(path + suffix))
            return true;
    }
    return false;
}

// The name a folder entry belongs to: a set's own name for its log files.
QString ownerName(const QString &entry)
{
    for (const QString &suffix : sidecarSuffixes()) {
        if (entry.endsWith(suffix, Qt::CaseInsensitive))
            return entry.left(entry.size() - suffix.size());
    }
    return entry;
}

void removeSidecars(const QString &path)
{
    for (const QString &suffix : sidecarSuffixes())
        QFile::remove(path + suffix);
}

// Lets go of a set the program is not holding, folding a log a crash left
// beside it back into the file (opening a file replays its log). True when
// nothing but the file itself is left.
bool foldLeftovers(const QString &path)
{
    Registry::close(path);
    if (!hasSidecar(path))
        return true;
    if (Registry::open(path))
        Registry::close(path);
    return !hasSidecar(path);
}

// Copies source to target with a key salt of its own. Never replaces an
// existing target.
bool writeWithOwnSalt(const QString &source, const QString &target, QString *error)
{
    if (QFileInfo::exists(target) || hasSidecar(target)) {
        if (error)
            *error = QStringLiteral("文件已存在：") + QDir::toNativeSeparators(target);
        return false;
    }
    return writeThroughWorkFile(
            target,
            [&source](const QString &work, QString *copyError) {
                return copyWithNewSalt(source, work, copyError);
            },
            error);
}

} // namespace

QString dateText(const QDate &date)
{
    return date.toString(kDateFormat);
}

QString dateTimeText(const QDateTime &dateTime)
{
    return dateTime.toString(kDateTimeFormat);
}

QDateTime parseStoredDateTime(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QDateTime();

    static const QStringList dateTimeFormats = {
            kDateTimeFormat,
            QStringLiteral("yyyy-MM-dd HH:mm"),
            QStringLiteral("yyyy-M-d H:mm:ss"),
            QStringLiteral("yyyy-M-d H:mm"),
            QStringLiteral("yyyy/M/d H:mm:ss"),
            QStringLiteral("yyyy/M/d H:mm"),
            QStringLiteral("yyyy.M.d H:mm:ss"),
            QStringLiteral("yyyy.M.d H:mm"),
    };
    for (const QString &format : dateTimeFormats) {
        const QDateTime value = QDateTime::fromString(trimmed, format);
        if (value.isValid())
            return value;
    }
    static const QStringList dateFormats = {
            kDateFormat,
            QStringLiteral("yyyy-M-d"),
            QStringLiteral("yyyy/M/d"),
            QStringLiteral("yyyy.M.d"),
    };
    for (const QString &format : dateFormats) {
        const QDate value = QDate::fromString(trimmed, format);
        if (value.isValid())
            return QDateTime(value, QTime(0, 0));
    }
    for (const Qt::DateFormat format : {Qt::ISODate, Qt::TextDate, Qt::RFC2822Date}) {
        const QDateTime value = QDateTime::fromString(trimmed, format);
        if (value.isValid())
            return value.toLocalTime();
    }
    const QLocale locale;
    for (const QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDateTime value = locale.toDateTime(trimmed, type);
        if (value.isValid())
            return value;
        const QDate date = locale.toDate(trimmed, type);
        if (date.isValid())
            return QDateTime(date, QTime(0, 0));
    }
    return QDateTime();
}

QString accountSetFileName(int number)
{
    return QStringLiteral("DATA%1.qdt").arg(number, 5, 10, QLatin1Char('0'));
}

int accountSetNumber(const QString &fileName)
{
    // Written out rather than left to a digit class or a number parser,
    // which may take other scripts' digits (full-width ７) for digits.
    if (fileName.size() != 13 || !fileName.startsWith(QLatin1String("DATA"), Qt::CaseInsensitive)
        || !fileName.endsWith(QLatin1String(".qdt"), Qt::CaseInsensitive))
        return 0;
    int number = 0;
    for (int i = 4; i < 9; ++i) {
        const char16_t c = fileName.at(i).unicode();
        if (c < u'0' || c > u'9')
            return 0;
        number = number * 10 + (c - u'0');
    }
    return number <= kMaxAccountSetNumber ? number : 0;
}

QString NextAccountSetPath()
{
    // Every existing name counts as taken, whatever its letter case, so that a
    // file written as data00003.QDT is never shadowed by DATA00003.qdt. A log
    // or journal left without its file takes the number too: a new set
    // beside it would replay another set's data.
    QSet<QString> taken;
    const QStringList names = QDir(programFolder())
                                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                 | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        taken.insert(ownerName(name).toUpper());
        // A server set's link takes its number too: the sets share one row
        // of numbers.
        if (isServerLink(name))
            taken.insert(name.left(name.size() - 4).toUpper() + QStringLiteral(".QDT"));
    }
    for (int n = 1; n <= kMaxAccountSetNumber; ++n) {
        const QString name = accountSetFileName(n);
        const QString path = programFilePath(name);
        if (!taken.contains(name.toUpper()) && !QFileInfo::exists(path) && !hasSidecar(path))
            return path;
    }
    return QString();
}

QStringList ListAccountSetFiles()
{
    QStringList names;
    const QFileInfoList entries
            = QDir(programFolder()).entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().endsWith(QLatin1String(".qdt"), Qt::CaseInsensitive)
            || isServerLink(entry.fileName()))
            names << entry.fileName();
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

namespace {

// The entry of a file that does not open as an account set.
AccountSet damagedEntry(const QString &fileName)
{
    AccountSet entry;
    entry.FileName = fileName;
    entry.Damaged = true;
    return entry;
}

} // namespace

AccountSet ReadAccountSetInfo(const QString &fileName)
{
    AccountSet entry = damagedEntry(fileName);
    // Read straight from the engine rather than through the access layer: a
    // damaged or foreign file must not show an error box at start-up, it is
    // simply listed without a name.
    // A file that does not open with the password, or has no parameter
    // table (another program's database), is marked damaged.
    const DatabasePtr db = Registry::open(programFilePath(fileName));
    if (!db)
        return entry;
    RecordSet rs;
    const QString sql
            = QStringLiteral("SELECT Var, Con FROM 参数 WHERE Var IN ('%1','%2','%3','%4')")
                      .arg(kKeyCompany, kKeyName, kKeyCreated, kKeyLastAccess);
    if (!rs.open(db, sql))
        return entry;
    entry.Damaged = false;
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        const QString key = rs.value(0).toString();
        const QString value = rs.value(1).toString();
        if (key == kKeyCompany)
            entry.Company = value;
        else if (key == kKeyName)
            entry.Name = value;
        else if (key == kKeyCreated)
            entry.Created = parseStoredDateTime(value);
        else if (key == kKeyLastAccess)
            entry.LastAccess = parseStoredDateTime(value);
    }
    return entry;
}

namespace {

// Whether start-up would open candidate rather than kept, an earlier entry
// (nullptr: no earlier set opens). A last access counts only when it is later
// than 2000-01-01 00:00:00 (a wrong clock or damaged info does not).
bool opensBefore(const AccountSet &candidate, const AccountSet *kept)
{
    if (candidate.Damaged)
        return false;
    if (!kept)
        return true;
    const QDateTime floor(QDate(2000, 1, 1), QTime(0, 0));
    const QDateTime keptAt
            = kept->LastAccess.isValid() && floor < kept->LastAccess ? kept->LastAccess : floor;
    return candidate.LastAccess.isValid() && keptAt < candidate.LastAccess;
}

} // namespace

int BestAccountSetIndex(const QVector<AccountSet> &sets)
{
    int best = -1;
    for (int i = 0; i < sets.size(); ++i) {
        if (opensBefore(sets.at(i), best < 0 ? nullptr : &sets.at(best)))
            best = i;
    }
    return best;
}

int BuildAccountSetList(const std::function<void(int)> &step)
{
    return BuildAccountSetList(ListAccountSetFiles(), step);
}

int BuildAccountSetList(const QStringList &files, const std::function<void(int)> &step)
{
    // What killed runs left in the folder (half-made sets, compactions,
    // imports) goes at start-up.
    RemoveLeftoverWorkFiles(programFolder());
    CurrentAccountIndex = -1;
    AccountSets.clear();
    AccountSets.reserve(files.size());
    // Only the set that gets opened needs its connection: the current one,
    // or the best so far, which start-up opens next. Keeping that one saves
    // a second key derivation; the others are let go at once.
    int kept = -1;
    const auto letGo = [&files](int i) {
        if (i >= 0 && !sameFileName(files.at(i), CurrentAccountFile))
            Registry::close(programFilePath(files.at(i)));
    };
    // A few files are opened together, as many as the machine has cores.
    // A file that did not open there is damaged; it is not tried again.
    const int batch = qMax(2, QThread::idealThreadCount());
    QStringList failed;
    for (int i = 0; i < files.size(); ++i) {
        if (i % batch == 0) {
            QStringList paths;
            for (const QString &name : files.mid(i, batch))
                paths << programFilePath(name);
            failed = Registry::openAhead(paths);
        }
        AccountSets.append(failed.contains(programFilePath(files.at(i)))
                                   ? damagedEntry(files.at(i))
                                   : ReadAccountSetInfo(files.at(i)));
        const int best = opensBefore(AccountSets.at(i), kept < 0 ? nullptr : &AccountSets.at(kept))
                                 ? i
                                 : kept;
        if (best != kept)
            letGo(kept);
        if (best != i)
            letGo(i);
        kept = best;
        if (step)
            step(i);
    }
    CurrentAccountIndex = kept;
    return AccountSets.size();
}

QString accountSetDisplayName(const AccountSet &set)
{
    if (isServerLink(set.FileName))
        return set.Damaged ? kUnreachableServerSetName : set.Name + kServerSetMark;
    return set.Damaged ? kDamagedSetName : set.Name;
}

bool MakeAccountSetCurrent(int index)
{
    if (index < 0 || index >= AccountSets.size() || AccountSets.at(index).Damaged)
        return false;
    CurrentAccountIndex = index;
    CurrentAccountFile = AccountSets.at(index).FileName;
    AccountSets[index].LastAccess = nowToSecond();
    // A set made by an older version gets the tables and indexes added since.
    EnsureSchema(CurrentAccountFile);
    CurrentUser.clear();
    CurrentRights.clear();
    // The set left behind, and any other the list kept open, is let go, so
    // its file is complete by itself.
    Registry::closeAllBut(programFilePath(CurrentAccountFile));
    if (AccountSetIsReadOnly(CurrentAccountFile))
        prompts().message(readOnlyNotice(AccountSets.at(index)));
    return true;
}

bool AccountSetIsReadOnly(const QString &fileName)
{
    const DatabasePtr db = Registry::open(programFilePath(fileName));
    return db && db->isReadOnly();
}

QString readOnlyNotice(const AccountSet &set)
{
    const QString name = set.Name.isEmpty() ? set.FileName : set.Name;
    return QStringLiteral("套账“%1”的文件是只读的，只能查看和打印，不能修改。").arg(name);
}

int CreateAccountSet(const QString &company, const QString &name, QString *error)
{
    QString ignored;
    QString &err = error ? *error : ignored;
    err.clear();

    const QString path = NextAccountSetPath();
    if (path.isEmpty()) {
        err = QStringLiteral("套账数量已达上限（%1个），无法建立新套账！")
                      .arg(kMaxAccountSetNumber);
        return -1;
    }
    QString templateError;
    if (!EnsureTemplate(&templateError)) {
        err = QStringLiteral("无法生成空白套账模板：") + templateError;
        return -1;
    }
    const QString templatePath = programFilePath(QLatin1String(kTemplateFileName));
    Registry::close(templatePath);
    // Not a byte copy: each set gets a key salt of its own. A template that
    // passed its check but still cannot be copied is built afresh once. The
    // set is made complete, identity and all, under a work name and only
    // then renamed into place: a crash leaves either no new set or a whole
    // one, never a set without a name.
    const QString work = workFileBeside(path, QStringLiteral("new"));
    QString copyError;
    bool copied = copyWithNewSalt(templatePath, work, &copyError);
    if (!copied && RebuildTemplate(&templateError))
        copied = copyWithNewSalt(templatePath, work, &copyError);
    if (!copied) {
        QFile::remove(work);
        err = QStringLiteral("无法生成新套账文件！") + copyError;
        return -1;
    }

    const QString fileName = QFileInfo(path).fileName();
    const QString previousFile = CurrentAccountFile;
    const QDate today = QDate::currentDate();
    const QDateTime now = nowToSecond();
    CurrentAccountFile = QFileInfo(work).fileName();
    SetVar(kKeyCompany, company);
    SetVar(kKeyName, name);
    SetVar(kKeyCreated, dateText(today));
    SetVar(kKeyLastAccess, dateTimeText(now));
    const QString storedName = GetVar(kKeyName);
    CurrentAccountFile = previousFile;
    Registry::close(work); // folded back: the work file is whole by itself

    // A set whose identity could not be written would be listed without a
    // name; take it away again rather than leave a puzzle in the folder.
    // QFile::rename refuses an existing target, so nothing is overwritten.
    giveNewFileMode(work);
    if (storedName != name || hasSidecar(work) || !QFile::rename(work, path)) {
        QFile::remove(work);
        removeSidecars(work);
        err = storedName != name ? QStringLiteral("无法写入新套账的信息！")
                                 : QStringLiteral("无法生成新套账文件！");
        return -1;
    }

    AccountSet entry;
    entry.Company = company;
    entry.Name = name;
    entry.FileName = fileName;
    entry.Created = QDateTime(today, QTime(0, 0));
    entry.LastAccess = now;
    AccountSets.append(entry);
    const int position = AccountSets.size() - 1;
    if (CurrentAccountIndex < 0) {
        CurrentAccountIndex = position;
        CurrentAccountFile = fileName;
    }
    return position;
}

DeleteOutcome DeleteAccountSet(const QString &fileName, const QString &displayName)
{
    if (sameFileName(fileName, CurrentAccountFile)) {
        prompts().message(QStringLiteral("不能删除当前正在操作的套账！"));
        return DeleteOutcome::Refused;
    }
    const int index = indexOfFile(fileName);
    if (index < 0)
        return DeleteOutcome::NotListed;
    if (!prompts().question(QStringLiteral("您确定要删除套账：") + displayName
                            + QStringLiteral("？")))
        return DeleteOutcome::Declined;

    const QString path = programFilePath(fileName);
    Registry::close(path);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        removeSidecars(path);
        removeEntry(index);
        prompts().message(QStringLiteral("套账文件") + fileName
                          + QStringLiteral("已不存在，已从套账列表中移除。"));
        return DeleteOutcome::WasMissing;
    }
    if (!info.isFile() || !QFile::remove(path)) {
        prompts().message(QStringLiteral("无法删除套账文件") + fileName
                          + QStringLiteral("，文件可能是只读的或正被其他程序使用！"));
        return DeleteOutcome::Failed;
    }
    // The file goes first: should it stay, its log still belongs to it. A
    // log that cannot be removed keeps its number taken (NextAccountSetPath).
    removeSidecars(path);
    removeEntry(index);
    return DeleteOutcome::Deleted;
}

bool CopyAccountSetFile(const QString &fileName, const QString &targetPath, QString *error)
{
    const QString path = programFilePath(fileName);
    if (!QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("套账文件不存在：") + fileName;
        return false;
    }
    // A server set is written out as a file set of its own, from one
    // snapshot while other PCs go on working.
    if (isServerLink(fileName)) {
        const QString connInfo = readServerLink(path, error);
        return !connInfo.isEmpty() && DownloadAccountSet(connInfo, targetPath, error);
    }
    // The file alone must hold every commit. A set the program holds keeps
    // its connection (no second key derivation when it is used next): the
    // log is folded back and a read lock keeps other programs from
    // committing while the bytes are copied.
    if (Registry::isOpen(path)) {
        bool whole = false;
        bool copied = false;
        Registry::open(path)->whileWholeAndStill([&] {
            whole = !hasSidecar(path);
            if (whole)
                copied = copyWhole(path, targetPath, error);
        });
        if (whole)
            return copied;
    }
    // Otherwise the connection is let go, which folds the log back, and a
    // log a crash left is folded back too. Nothing of ours writes while the
    // bytes are copied (one thread); a log that stays means another program
    // has the set open.
    if (foldLeftovers(path))
        return copyWhole(path, targetPath, error);
    // Another program has the set open on its log (the window program left
    // running while the nightly backup runs): the copy is read page by page
    // within one read transaction, so it is one consistent moment of the set
    // while the other side goes on working.
    if (QFileInfo::exists(targetPath)) {
        if (error)
            *error = QStringLiteral("文件已存在：") + QDir::toNativeSeparators(targetPath);
        return false;
    }
    QString openError;
    const DatabasePtr db = Registry::open(path, &openError);
    if (!db) {
        if (error)
            *error = openError;
        return false;
    }
    QString copyError;
    const bool copied = writeThroughWorkFile(
            targetPath,
            [&db](const QString &work, QString *workError) {
                return copyWhileInUse(db, work, workError);
            },
            &copyError);
    Registry::close(path);
    if (!copied && error)
        *error = QStringLiteral("套账文件正被其他程序使用，无法复制：%1（%2）")
                         .arg(fileName, copyError);
    return copied;
}

bool CopyAccountSetWithOwnSalt(const QString &sourcePath, const QString &targetPath, QString *error)
{
    if (!QFileInfo::exists(sourcePath)) {
        if (error)
            *error = QStringLiteral("文件不存在：") + QDir::toNativeSeparators(sourcePath);
        return false;
    }
    if (!foldLeftovers(sourcePath)) {
        if (error)
            *error = QStringLiteral("文件正被其他程序使用：")
                     + QDir::toNativeSeparators(sourcePath);
        return false;
    }
    return writeWithOwnSalt(sourcePath, targetPath, error);
}

bool GiveAccountSetOwnSalt(const QString &path, QString *error)
{
    if (!foldLeftovers(path)) {
        if (error)
            *error = QStringLiteral("文件正被其他程序使用：") + QDir::toNativeSeparators(path);
        return false;
    }
    const QString work = workFileBeside(path, QStringLiteral("new"));
    QString copyError;
    if (!copyWithNewSalt(path, work, &copyError)) {
        QFile::remove(work);
        if (error)
            *error = copyError;
        return false;
    }
    if (!replaceFileWith(work, path)) {
        QFile::remove(work);
        if (error)
            *error = QStringLiteral("无法写入文件：") + QDir::toNativeSeparators(path);
        return false;
    }
    return true;
}

AccountSetInfo LoadAccountSetInfo()
{
    AccountSetInfo info;
    info.name = GetVar(kKeyName);
    info.company = GetVar(kKeyCompany);
    info.address = GetVar(kKeyAddress);
    info.phone = GetVar(kKeyPhone);
    info.fax = GetVar(kKeyFax);
    info.web = GetVar(kKeyWeb);
    return info;
}

bool SaveAccountSetInfo(const AccountSetInfo &info, bool companyChanged)
{
    // All six lines or none: the list entry, and with it the window title,
    // changes only once the file holds the new texts.
    Connection conn;
    if (!OpenConn(conn))
        return false;
    const bool transaction = conn->execNative(QStringLiteral("BEGIN"));
    bool written = SetVar(kKeyName, info.name) && SetVar(kKeyCompany, info.company)
                   && SetVar(kKeyAddress, info.address) && SetVar(kKeyPhone, info.phone)
                   && SetVar(kKeyFax, info.fax) && SetVar(kKeyWeb, info.web);
    if (transaction) {
        if (written)
            written = conn->execNative(QStringLiteral("COMMIT"));
        if (!written)
            conn->execNative(QStringLiteral("ROLLBACK"));
    }
    if (!written)
        return false;
    if (CurrentAccountIndex >= 0 && CurrentAccountIndex < AccountSets.size()) {
        AccountSets[CurrentAccountIndex].Name = info.name;
        AccountSets[CurrentAccountIndex].Company = info.company;
    }
    if (companyChanged)
        ClearPrintHeaderCache();
    return true;
}

void ClearPrintHeaderCache()
{
    // In LIKE the '_' would match any character; compare the prefix itself so
    // that only keys that really start with 表格打印信息_ go.
    ExecSQL(QStringLiteral("DELETE FROM 参数 WHERE substr(Var, 1, 7) = '表格打印信息_'"));
}

} // namespace store
