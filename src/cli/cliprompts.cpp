#include "cliprompts.h"

#include <cstdio>
#include <termios.h>
#include <unistd.h>

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

// Reads a password from the terminal without showing it.
QString readHiddenLine(const QString &prompt)
{
    FILE *tty = std::fopen("/dev/tty", "r+");
    FILE *in = tty ? tty : stdin;
    std::fputs(prompt.toUtf8().constData(), tty ? tty : stderr);
    std::fflush(tty ? tty : stderr);
    termios saved{};
    const bool terminal = isatty(fileno(in)) && tcgetattr(fileno(in), &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fileno(in), TCSAFLUSH, &quiet);
    }
    QByteArray line;
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (terminal) {
        tcsetattr(fileno(in), TCSAFLUSH, &saved);
        std::fputc('\n', tty ? tty : stderr);
    }
    if (tty)
        std::fclose(tty);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

QString CliPrompts::password(const QString &text)
{
    return readHiddenLine(text);
}

} // namespace cli
