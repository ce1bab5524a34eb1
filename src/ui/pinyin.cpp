#include "pinyin.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <memory>

#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace ui {

namespace {

// Transliterates one character at a time and keeps each result: a list of
// 10,000 names holds only a few thousand distinct characters, and ICU takes
// microseconds per call.
class InitialsTable
{
public:
    InitialsTable()
    {
        UErrorCode status = U_ZERO_ERROR;
        m_toLatin.reset(icu::Transliterator::createInstance("Han-Latin; Latin-ASCII",
                                                            UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            m_toLatin.reset();
    }

    bool isUsable() const { return m_toLatin != nullptr; }

    // The initial of a Chinese character, a null QChar when ICU gives no
    // letter for it.
    QChar initialOf(char32_t han)
    {
        const auto found = m_initials.constFind(han);
        if (found != m_initials.constEnd())
            return *found;
        icu::UnicodeString text{UChar32(han)};
        m_toLatin->transliterate(text);
        QChar initial;
        for (int i = 0; i < text.length(); ++i) {
            const QChar c(text.charAt(i));
            if (c.isLetter() && c.unicode() < 0x80) {
                initial = c.toLower();
                break;
            }
        }
        m_initials.insert(han, initial);
        return initial;
    }

private:
    std::unique_ptr<icu::Transliterator> m_toLatin;
    QHash<char32_t, QChar> m_initials;
};

} // namespace

QString pinyinInitials(const QString &name)
{
    static QMutex mutex;
    static InitialsTable table;
    const QMutexLocker lock(&mutex);
    if (!table.isUsable())
        return QString();
    QString initials;
    initials.reserve(name.size());
    for (const char32_t c : name.toUcs4()) {
        if (QChar::script(c) == QChar::Script_Han) {
            const QChar initial = table.initialOf(c);
            if (!initial.isNull())
                initials += initial;
        } else if (QChar::isLetterOrNumber(c)) {
            // Full-width letters and digits count as the ones typed.
            initials
                    += QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KC).toLower();
        }
    }
    return initials;
}

} // namespace ui
