#include "changes.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <set>

namespace store {

namespace {

// One entry per file name ever opened, so that a connection's callback can
// hold a stable pointer to its file's name.
std::set<QString> &watchedFiles()
{
    static std::set<QString> files;
    return files;
}

std::set<QString> &changedFiles()
{
    static std::set<QString> files;
    return files;
}

// The same file named in different ways is one entry.
QString fileKey(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool countsAsData(const char *table)
{
    if (!table)
        return false;
    const QString name = QString::fromUtf8(table);
    return name != QStringLiteral("参数") && !name.startsWith(QLatin1String("T_"))
           && !name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive);
}

// Authorizer: sees every action of a statement while it is prepared and
// never refuses one. Only the file's own tables count: not the temporary
// schema, not a database attached for a copy.
int noteWrites(void *file, int action, const char *first, const char *second, const char *database,
               const char *)
{
    const char *table = nullptr;
    switch (action) {
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
    case SQLITE_CREATE_TABLE:
    case SQLITE_DROP_TABLE:
        if (database && qstrcmp(database, "main") == 0)
            table = first;
        break;
    case SQLITE_ALTER_TABLE:
        // Named the other way round: the database first, then the table.
        if (first && qstrcmp(first, "main") == 0)
            table = second;
        break;
    default:
        break;
    }
    if (countsAsData(table))
        changedFiles().insert(*static_cast<const QString *>(file));
    return SQLITE_OK;
}

} // namespace

void watchDataChanges(sqlite3 *db, const QString &path)
{
    const auto entry = watchedFiles().insert(fileKey(path)).first;
    // std::set never moves its elements, so the pointer stays valid.
    sqlite3_set_authorizer(db, noteWrites, const_cast<QString *>(&*entry));
}

void noteDataChange(const QString &path, const QString &table)
{
    if (countsAsData(table.toUtf8().constData()) && !table.startsWith(QLatin1String("t_")))
        changedFiles().insert(fileKey(path));
}

void noteDataChangeOf(const QString &path, const QString &sql)
{
    static const QRegularExpression writes(
            QStringLiteral("^\\s*(?:INSERT\\s+INTO|UPDATE|DELETE\\s+FROM|ALTER\\s+TABLE|"
                           "DROP\\s+TABLE)\\s+\"?([^\\s\"(;]+)"),
            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = writes.match(sql);
    if (match.hasMatch())
        noteDataChange(path, match.captured(1));
}

bool dataChanged(const QString &path)
{
    return changedFiles().count(fileKey(path)) > 0;
}

void forgetDataChanges(const QString &path)
{
    changedFiles().erase(fileKey(path));
}

} // namespace store
