#include "cliprompts.h"

#include <cstdio>

namespace cli {

CliPrompts::CliPrompts()
{
    store::setPrompts(this);
}

CliPrompts::~CliPrompts()
{
    store::setPrompts(nullptr);
}

void CliPrompts::message(const QString &text)
{
    messages << text;
    printError(text);
}

bool CliPrompts::question(const QString &text)
{
    // Overwriting the file the user named on the command line is what the
    // user asked for; every other question (deleting, clearing) is not.
    const bool overwrite
            = text.contains(QStringLiteral("覆盖")) || text.contains(QStringLiteral("已存在"));
    return overwrite && !fileName.isEmpty();
}

QString CliPrompts::openFileName(const QString &, const QString &, const QString &)
{
    return fileName;
}

QString CliPrompts::saveFileName(const QString &, const QString &, const QString &)
{
    return fileName;
}

bool CliPrompts::chooseFont(store::FontChoice &)
{
    return false;
}

void printError(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void printOut(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace cli
