#include "clitool.h"

#include "clianalyse.h"
#include "cliargs.h"
#include "clilists.h"
#include "cliprompts.h"

#include "records/receipts.h"
#include "records/rights.h"
#include "records/staff.h"
#include "records/trades.h"
#include "store/access.h"
#include "store/accountsets.h"
#include "store/engine.h"
#include "store/filelocks.h"
#include "store/maintenance.h"
#include "store/programfolder.h"
#include "store/schema.h"
#include "store/servercopy.h"
#include "store/serverlinks.h"
#include "store/session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

// Display width of a text in a terminal: Chinese and other wide characters
// take two columns.
int displayWidth(const QString &text)
{
    int width = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF)
                          || (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF)
                          || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
                          || (u >= 0xFFE0 && u <= 0xFFE6);
        width += wide ? 2 : 1;
    }
    return width;
}

bool sameFile(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString padded(const QString &text, int width)
{
    return text + QString(qMax(0, width - displayWidth(text)), QLatin1Char(' '));
}

int setNumber(const QString &fileName)
{
    // A server set's link takes a number of the same row as the files.
    if (store::isServerLink(fileName))
        return store::accountSetNumber(fileName.chopped(4) + QStringLiteral(".qdt"));
    return store::accountSetNumber(fileName);
}

QString stamp(const QDateTime &when, bool withTime)
{
    if (!when.isValid())
        return QString();
    return withTime ? store::dateTimeText(when) : store::dateText(when.date());
}

// Whether a set that did not open is held by another program rather than
// damaged: a busy set opens again once the other program lets go.
bool isBusy(const store::AccountSet &set)
{
    return set.Damaged && store::DatabaseFileIsLocked(store::programFilePath(set.FileName));
}

QString stateText(const store::AccountSet &set)
{
    if (!set.Damaged)
        return QStringLiteral("正常");
    return isBusy(set) ? QStringLiteral("正被其他程序使用") : QStringLiteral("文件损坏");
}

// What the user is told for a set that cannot be used.
QString unusableMessage(const store::AccountSet &set)
{
    return isBusy(set) ? QStringLiteral("套账正被其他程序使用，请稍后再试：%1").arg(set.FileName)
                       : QStringLiteral("套账文件无法打开（文件损坏或不是本程序的套账）：%1")
                                 .arg(set.FileName);
}

int runSets(const Invocation &inv)
{
    store::BuildAccountSetList();
    const bool json = inv.options.contains(QStringLiteral("--json"));
    QJsonArray array;
    QVector<QStringList> rows;
    rows.append({QStringLiteral("编号"), QStringLiteral("文件"), QStringLiteral("名称"),
                 QStringLiteral("企业"), QStringLiteral("生成日期"), QStringLiteral("最近访问"),
                 QStringLiteral("状态")});
    for (const store::AccountSet &set : std::as_const(store::AccountSets)) {
        // The list has opened every set once already; a second key
        // derivation per set would double the time.
        const bool opens = !set.Damaged;
        const QString created = stamp(set.Created, false);
        const QString lastAccess = stamp(set.LastAccess, true);
        if (json) {
            QJsonObject entry;
            entry.insert(QStringLiteral("number"), setNumber(set.FileName));
            entry.insert(QStringLiteral("file"), set.FileName);
            entry.insert(QStringLiteral("name"), set.Name);
            entry.insert(QStringLiteral("company"), set.Company);
            entry.insert(QStringLiteral("created"), created);
            entry.insert(QStringLiteral("lastAccess"), lastAccess);
            entry.insert(QStringLiteral("opens"), opens);
            entry.insert(QStringLiteral("busy"), isBusy(set));
            array.append(entry);
        } else {
            const int number = setNumber(set.FileName); // 0: a set named otherwise
            rows.append({number > 0 ? QString::number(number) : QString(), set.FileName, set.Name,
                         set.Company, created, lastAccess, stateText(set)});
        }
    }
    if (json) {
        printOut(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)));
        return kDone;
    }
    QVector<int> widths(rows.first().size(), 0);
    for (const QStringList &row : std::as_const(rows)) {
        for (int c = 0; c < row.size(); ++c)
            widths[c] = qMax(widths[c], displayWidth(row.at(c)));
    }
    QString text;
    for (const QStringList &row : std::as_const(rows)) {
        QString line;
        for (int c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? padded(row.at(c), widths[c] + 2) : row.at(c);
        text += line.trimmed().isEmpty() ? QString() : line + QLatin1Char('\n');
    }
    printOut(text);
    return kDone;
}

int runCheck()
{
    const QStringList files = store::ListAccountSetFiles();
    int failed = 0;
    for (const QString &file : files) {
        const QString path = store::programFilePath(file);
        QString result;
        {
            QString error;
            const store::DatabasePtr db = store::Registry::open(path, &error);
            store::RecordSet rs;
            if (!db && store::DatabaseFileIsLocked(path)) {
                result = QStringLiteral("正被其他程序使用，未能检查");
            } else if (!db) {
                result = QStringLiteral("无法打开：%1").arg(error);
            } else if (!rs.open(db, QStringLiteral("PRAGMA integrity_check"), &error)) {
                result = QStringLiteral("无法检查：%1").arg(error);
            } else {
                QStringList lines;
                for (rs.moveFirst(); !rs.eof(); rs.moveNext())
                    lines << rs.value(0).toString();
                result = lines.join(QStringLiteral("; "));
            }
        }
        store::Registry::close(path);
        const bool ok = result == QLatin1String("ok");
        if (!ok)
            ++failed;
        printOut(QStringLiteral("%1  %2\n").arg(file, ok ? QStringLiteral("完好") : result));
    }
    if (failed > 0) {
        printError(QStringLiteral("%1 个套账检查未通过。").arg(failed));
        return kDataError;
    }
    return kDone;
}

// Makes the server set connInfo names the current set for this run, through
// a link of its own in a temporary folder (the program folder keeps only the
// links the user made).
int useServerSet(const QString &connInfo)
{
    static QTemporaryDir linkFolder;
    const QString link = linkFolder.filePath(QStringLiteral("DATA00001.qsv"));
    QString error;
    if (!linkFolder.isValid()
        || (!QFileInfo::exists(link) && !store::writeServerLink(link, connInfo, &error))) {
        printError(error);
        return kDataError;
    }
    store::CurrentAccountFile = link;
    if (!store::Registry::open(link, &error)) {
        printError(error);
        return kDataError;
    }
    store::EnsureSchema(link);
    return kDone;
}

// Finds the set named on the command line (file name, any letter case, or
// the set's name; --server: a server set by its connection) or, without
// either, the one start-up would open.
int chooseSet(const Invocation &inv)
{
    if (inv.options.contains(QStringLiteral("--server"))) {
        if (inv.options.contains(QStringLiteral("--set"))) {
            printError(QStringLiteral("--set 和 --server 只能用一个。"));
            return kUsage;
        }
        return useServerSet(inv.options.value(QStringLiteral("--server")));
    }
    const QString wanted = inv.options.value(QStringLiteral("--set"));
    // The list keeps the connection of the current set: a set named by its
    // file is opened once, not once to list it and again to use it.
    if (wanted.endsWith(QLatin1String(".qdt"), Qt::CaseInsensitive))
        store::CurrentAccountFile = wanted;
    store::BuildAccountSetList();
    if (store::AccountSets.isEmpty()) {
        printError(QStringLiteral("程序文件夹中没有套账：%1").arg(store::programFolder()));
        return kDataError;
    }
    int index = store::CurrentAccountIndex;
    if (!wanted.isEmpty()) {
        index = -1;
        QVector<int> byName;
        for (int i = 0; i < store::AccountSets.size(); ++i) {
            const store::AccountSet &set = store::AccountSets.at(i);
            if (sameFile(set.FileName, wanted))
                index = i;
            else if (set.Name == wanted)
                byName << i;
        }
        if (index < 0 && byName.size() > 1) {
            printError(QStringLiteral("有 %1 个套账名为“%2”，请用文件名（DATAnnnnn.qdt）指定。")
                               .arg(byName.size())
                               .arg(wanted));
            return kUsage;
        }
        if (index < 0 && byName.size() == 1)
            index = byName.first();
        if (index < 0) {
            printError(QStringLiteral("没有找到套账：%1").arg(wanted));
            return kUsage;
        }
    }
    if (index < 0) {
        // Without --set the list names no set when none of them opens.
        printError(QStringLiteral("程序文件夹中没有能打开的套账："));
        for (const store::AccountSet &set : std::as_const(store::AccountSets))
            printError(unusableMessage(set));
        store::CurrentAccountFile.clear();
        return kDataError;
    }
    // The tool reads the set without making it the one the window opens
    // next: its last access stays as it is.
    const store::AccountSet &set = store::AccountSets.at(index);
    if (set.Damaged) {
        printError(unusableMessage(set));
        store::CurrentAccountFile.clear();
        return kDataError;
    }
    store::CurrentAccountIndex = index;
    store::CurrentAccountFile = set.FileName;
    // A set made by an older version gets the tables added since, as when
    // the window opens it.
    store::EnsureSchema(set.FileName);
    return kDone;
}

// Logs the user in; the password comes from KORVO_PASSWORD or, without it,
// from the terminal (three tries).
int login(const Invocation &inv)
{
    const QString user = inv.options.value(QStringLiteral("--user"));
    if (user.isEmpty()) {
        printError(QStringLiteral("请用 --user 指定登录的员工。"));
        return kRefused;
    }
    const bool fromEnvironment = qEnvironmentVariableIsSet("KORVO_PASSWORD");
    const int tries = fromEnvironment ? 1 : 3;
    for (int attempt = 0; attempt < tries; ++attempt) {
        const QString password = fromEnvironment
                                         ? qEnvironmentVariable("KORVO_PASSWORD")
                                         : readHiddenLine(QStringLiteral("%1 的密码：").arg(user));
        records::StaffLogin staff;
        const records::LoginOutcome outcome = records::checkLogin(user, password, staff);
        if (outcome == records::LoginOutcome::LoggedIn) {
            records::applyLogin(staff);
            return kDone;
        }
        printError(records::loginRefusalMessage(outcome));
        // A set that cannot be read lets nobody in, and a quote in the name
        // stays there whatever password comes next.
        if (outcome == records::LoginOutcome::Unreadable)
            return kDataError;
        if (records::containsQuote(user))
            break;
    }
    return kRefused;
}

// The file named by --out, or the message that it is missing.
QString outputPath(const Invocation &inv)
{
    const QString out = inv.options.value(QStringLiteral("--out"));
    if (out.isEmpty())
        printError(QStringLiteral("请用 --out 指定输出文件。"));
    return out;
}

int runBackup(const Invocation &inv)
{
    if (!holdsRights({records::kAllRights}))
        return kRefused;
    QString path = outputPath(inv);
    if (path.isEmpty())
        return kUsage;
    // A name without an extension gets the backup extension, as in the window.
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".qdb");
    QString error;
    if (!store::BackupAccountSet(store::CurrentAccountFile, QFileInfo(path).absoluteFilePath(),
                                 &error)) {
        printError(QStringLiteral("数据套账备份失败：") + error);
        return kDataError;
    }
    printError(QStringLiteral("数据套账备份完成！"));
    return kDone;
}

int runRestore(const Invocation &inv)
{
    if (!holdsRights({records::kAllRights}))
        return kRefused;
    const QString path = QFileInfo(inv.words.first()).absoluteFilePath();
    if (!QFileInfo(path).isFile()) {
        printError(QStringLiteral("文件不存在：%1").arg(inv.words.first()));
        return kDataError;
    }
    if (!store::IsBackupFileName(path)) {
        printError(QStringLiteral("文件类型错误！"));
        return kDataError;
    }
    QString error;
    const int index = store::ImportAccountSet(path, &error);
    if (index < 0) {
        printError(error);
        return kDataError;
    }
    printOut(store::AccountSets.at(index).FileName + QLatin1Char('\n'));
    printError(QStringLiteral("数据套账导入完成！"));
    return kDone;
}

// A link to the server set in the program folder, so that the program and
// --set find it; its file name is printed.
int linkServerSet(const QString &connInfo)
{
    const QString link
            = QFileInfo(store::NextAccountSetPath()).completeBaseName() + QStringLiteral(".qsv");
    QString error;
    if (!store::writeServerLink(store::programFilePath(link), connInfo, &error)) {
        printError(error);
        return kDataError;
    }
    printOut(link + QLatin1Char('\n'));
    return kDone;
}

// server init|upload|download. Init and download need no set of the folder:
// init makes one on an empty database, download logs in on the server set.
int runServer(const Invocation &inv)
{
    const QString connInfo = inv.options.value(QStringLiteral("--server"));
    const QString action = inv.words.first();
    if (connInfo.isEmpty() || !QStringList{"init", "upload", "download"}.contains(action)) {
        printError(QStringLiteral("用法：%1").arg(commandHelp(inv.command)));
        return kUsage;
    }
    QString error;
    if (action == QLatin1String("init")) {
        const QString name = inv.options.value(QStringLiteral("--name"));
        const QString company = inv.options.value(QStringLiteral("--company"));
        if (name.trimmed().isEmpty() || company.trimmed().isEmpty()) {
            printError(QStringLiteral("请用 --name 和 --company 指定套账名称和所属企业。"));
            return kUsage;
        }
        const QString role = inv.options.value(QStringLiteral("--role"));
        if (role.isEmpty()) {
            if (!store::InitServerSet(connInfo, name.trimmed(), company.trimmed(), &error)) {
                printError(error);
                return kDataError;
            }
            return linkServerSet(connInfo);
        }
        const QString password
                = qEnvironmentVariableIsSet("KORVO_ROLE_PASSWORD")
                          ? qEnvironmentVariable("KORVO_ROLE_PASSWORD")
                          : readHiddenLine(QStringLiteral("服务器用户 %1 的密码：").arg(role));
        if (!store::InitServerSetForRole(connInfo, name.trimmed(), company.trimmed(), role,
                                         password, &error)) {
            printError(error);
            return kDataError;
        }
        // The last user= of a connection string is the one that counts.
        return linkServerSet(connInfo + QStringLiteral(" user=") + role);
    }
    if (action == QLatin1String("upload")) {
        // --server names where the set goes; --set the set.
        Invocation source = inv;
        source.options.remove(QStringLiteral("--server"));
        int code = chooseSet(source);
        if (code == kDone)
            code = login(source);
        if (code != kDone)
            return code;
        if (!holdsRights({records::kAllRights}))
            return kRefused;
        if (store::isServerLink(store::CurrentAccountFile)) {
            printError(QStringLiteral("该套账已在服务器上。"));
            return kUsage;
        }
        if (!store::UploadAccountSet(store::programFilePath(store::CurrentAccountFile), connInfo,
                                     &error)) {
            printError(error);
            return kDataError;
        }
        return linkServerSet(connInfo);
    }
    if (const int code = useServerSet(connInfo); code != kDone)
        return code;
    int code = login(inv);
    if (code == kDone && !holdsRights({records::kAllRights}))
        code = kRefused;
    store::CurrentAccountFile.clear();
    if (code != kDone)
        return code;
    const QString path = store::NextAccountSetPath();
    if (!store::DownloadAccountSet(connInfo, path, &error)) {
        printError(error);
        return kDataError;
    }
    printOut(QFileInfo(path).fileName() + QLatin1Char('\n'));
    return kDone;
}

int runCompact()
{
    if (!holdsRights({records::kAllRights}))
        return kRefused;
    const QString file = store::CurrentAccountFile;
    if (!QFileInfo::exists(store::programFilePath(file))) {
        printError(QStringLiteral("没有找到要压缩的数据库文件！"));
        return kDataError;
    }
    QString error;
    if (!store::CompactAccount(file, &error)) {
        printError(QStringLiteral("数据库压缩失败（") + error + QStringLiteral("）！"));
        return kDataError;
    }
    return kDone;
}

int runTidy()
{
    if (!holdsRights({records::kAllRights}))
        return kRefused;
    QString error;
    const int deleted = store::DeleteOrphanSales(&error);
    if (deleted < 0) {
        printError(QStringLiteral("数据整理失败（") + error + QStringLiteral("）！"));
        return kDataError;
    }
    printOut(QStringLiteral("删除了 %1 条孤立的销售记录。\n").arg(deleted));
    return kDone;
}

// The ID of the one row of table named name: 0 (and a message) when there
// is none or several share the name.
qint64 namedRow(const QString &table, const QString &word, const QString &name)
{
    store::Connection conn;
    store::RecordSet rs;
    store::OpenBoundQuery(
            conn, rs, QStringLiteral("SELECT ID FROM ") + table + QStringLiteral(" WHERE Name=?"),
            {name});
    const int found = rs.recordCount();
    const qint64 id = found == 1 ? rs.value(0).toLongLong() : 0;
    store::CloseQuery(conn, rs);
    if (found == 0)
        printError(QStringLiteral("没有找到%1：%2").arg(word, name));
    else if (found > 1)
        printError(QStringLiteral("有 %1 个%2名为“%3”，请先在窗口中合并或改名。")
                           .arg(found)
                           .arg(word, name));
    return id;
}

// receive and pay: one receipt (payment) for the named customer (vendor),
// with the window's right and refusals.
int runSettle(const Invocation &inv, bool payment)
{
    const records::SettlementKind &kind = payment ? records::paymentKind() : records::receiptKind();
    if (!holdsRights({kind.right}))
        return kRefused;
    const QString partnerOption
            = payment ? QStringLiteral("--vendor") : QStringLiteral("--customer");
    const QList<QPair<QString, QString>> required
            = {{partnerOption, kind.partnerWord},
               {QStringLiteral("--amount"), kind.actionWord + QStringLiteral("金额")},
               {QStringLiteral("--account"), kind.actionWord + QStringLiteral("账号")}};
    for (const auto &[option, what] : required) {
        if (inv.options.value(option).isEmpty()) {
            printError(QStringLiteral("请用 %1 指定%2。").arg(option, what));
            return kUsage;
        }
    }
    records::SettlementEntry entry;
    if (!records::parseAmount(inv.options.value(QStringLiteral("--amount")), entry.cents)) {
        printError(
                QStringLiteral("金额无效：%1").arg(inv.options.value(QStringLiteral("--amount"))));
        return kUsage;
    }
    entry.date = QDate::currentDate();
    if (inv.options.contains(QStringLiteral("--date"))) {
        entry.date = parseDate(inv.options.value(QStringLiteral("--date")));
        if (!entry.date.isValid()) {
            printError(QStringLiteral("日期无效：%1（应为 yyyy-MM-dd）")
                               .arg(inv.options.value(QStringLiteral("--date"))));
            return kUsage;
        }
    }
    entry.partnerId = namedRow(kind.trade->partnerTable, kind.partnerWord,
                               inv.options.value(partnerOption));
    if (entry.partnerId == 0)
        return kUsage;
    entry.accountId = namedRow(QStringLiteral("Acc"), QStringLiteral("账号"),
                               inv.options.value(QStringLiteral("--account")));
    if (entry.accountId == 0)
        return kUsage;
    entry.staffId = store::CurrentUserID;
    entry.memo = inv.options.value(QStringLiteral("--memo"));
    const records::SettlementResult result = records::settle(kind, entry);
    const QString message = records::settlementMessage(kind, result);
    if (result.outcome == records::SettlementResult::Outcome::Done) {
        printOut(message + QLatin1Char('\n'));
        return kDone;
    }
    printError(message);
    return result.outcome == records::SettlementResult::Outcome::Failed ? kDataError : kUsage;
}

} // namespace

bool needsWidgets(const QStringList &args)
{
    Invocation inv;
    QString error;
    if (!parseArguments(args, inv, &error))
        return false;
    static const QStringList drawing = {QStringLiteral("export"), QStringLiteral("analyse"),
                                        QStringLiteral("print"), QStringLiteral("import")};
    return drawing.contains(inv.command) && !inv.help;
}

std::thread startOpeningSet(const QStringList &args)
{
    Invocation inv;
    QString error;
    if (!parseArguments(args, inv, &error) || inv.help || inv.command.isEmpty()
        || !checkInvocation(inv, &error))
        return std::thread();
    // The folder run() will use; without --folder it is the executable's
    // own, found as the application finds it (no application exists yet).
    QString folder = inv.options.value(QStringLiteral("--folder"));
    if (folder.isEmpty())
        folder = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return std::thread();
    store::setProgramFolder(QDir(folder).absolutePath());
    QStringList paths;
    const QString wanted = inv.options.value(QStringLiteral("--set"));
    if (wanted.endsWith(QLatin1String(".qdt"), Qt::CaseInsensitive)) {
        paths << store::programFilePath(wanted);
    } else {
        const int batch = qMax(2, QThread::idealThreadCount());
        for (const QString &file : store::ListAccountSetFiles().mid(0, batch))
            paths << store::programFilePath(file);
    }
    // A set another program holds would only be waited for twice, here and
    // when the list is read.
    paths.erase(std::remove_if(paths.begin(), paths.end(), store::DatabaseFileIsLocked),
                paths.end());
    return std::thread([paths] { store::Registry::openAhead(paths); });
}

int run(const QStringList &args)
{
    Invocation inv;
    QString error;
    if (!parseArguments(args, inv, &error)) {
        printError(error);
        return kUsage;
    }
    if (inv.command.isEmpty() && inv.help) {
        printOut(helpText());
        return kDone;
    }
    if (inv.help) {
        const QString help = commandHelp(inv.command);
        if (help.isEmpty()) {
            printError(QStringLiteral("未知命令：%1。用 --help 查看用法。").arg(inv.command));
            return kUsage;
        }
        printOut(help);
        return kDone;
    }
    if (!checkInvocation(inv, &error)) {
        printError(error);
        return kUsage;
    }

    const QString folder = inv.options.value(QStringLiteral("--folder"));
    if (!folder.isEmpty()) {
        if (!QFileInfo(folder).isDir()) {
            printError(QStringLiteral("程序文件夹不存在：%1").arg(folder));
            return kUsage;
        }
        store::setProgramFolder(QDir(folder).absolutePath());
    }

    CliPrompts prompts;
    if (inv.command == QLatin1String("sets"))
        return runSets(inv);
    if (inv.command == QLatin1String("check"))
        return runCheck();

    if (inv.command == QLatin1String("server"))
        return runServer(inv);

    int code = chooseSet(inv);
    if (code != kDone)
        return code;
    code = login(inv);
    if (code != kDone)
        return code;
    if (inv.command == QLatin1String("export"))
        return runExport(inv);
    if (inv.command == QLatin1String("analyse"))
        return runAnalyse(inv);
    if (inv.command == QLatin1String("print"))
        return runPrint(inv);
    if (inv.command == QLatin1String("import"))
        return runImport(inv);
    if (inv.command == QLatin1String("backup"))
        return runBackup(inv);
    if (inv.command == QLatin1String("restore"))
        return runRestore(inv);
    if (inv.command == QLatin1String("compact"))
        return runCompact();
    if (inv.command == QLatin1String("tidy"))
        return runTidy();
    if (inv.command == QLatin1String("receive") || inv.command == QLatin1String("pay"))
        return runSettle(inv, inv.command == QLatin1String("pay"));
    printError(QStringLiteral("命令 %1 尚未提供。").arg(inv.command));
    return kUsage;
}

} // namespace cli
