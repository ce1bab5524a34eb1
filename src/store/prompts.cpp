#include "prompts.h"

#include <QDebug>

namespace store {

namespace {

// Used until the program or a test installs real prompts: nothing can be
// shown, so messages are logged and every question gets the cautious answer.
class LoggingPrompts : public Prompts
{
public:
    void message(const QString &text) override { qWarning().noquote() << text; }
    bool question(const QString &text) override
    {
        qWarning().noquote() << text << "-> 否";
        return false;
    }
    QString openFileName(const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    QString saveFileName(const QString &, const QString &, const QString &) override
    {
        return QString();
    }
    bool chooseFont(FontChoice &) override { return false; }
};

LoggingPrompts loggingPrompts;
Prompts *installed = nullptr;

} // namespace

QString Prompts::choosePrinter(const QStringList &, const QString &)
{
    return QString();
}

QString Prompts::password(const QString &)
{
    return QString();
}

Prompts &prompts()
{
    return installed ? *installed : loggingPrompts;
}

void setPrompts(Prompts *p)
{
    installed = p;
}

} // namespace store
