#include "engine.h"

#include <QByteArray>
#include <QCollator>
#include <QHash>
#include <QLocale>

#include <sqlite3.h>

#include <cstring>

namespace store {

namespace {

// Sort keys of the texts compared lately. An ORDER BY compares the same few
// names over and over; comparing two cached keys is far cheaper than running
// the collation on both texts each time.
class PinyinKeys
{
public:
    PinyinKeys()
        : m_collator(QLocale(QLocale::Chinese, QLocale::China))
    {
        m_collator.setCaseSensitivity(Qt::CaseSensitive);
    }

    QCollatorSortKey key(const char *text, int length)
    {
        const auto found = m_keys.constFind(QByteArray::fromRawData(text, length));
        if (found != m_keys.constEnd())
            return found.value();
        if (m_keys.size() >= kLimit)
            m_keys.clear();
        const QCollatorSortKey key = m_collator.sortKey(QString::fromUtf8(text, length));
        m_keys.insert(QByteArray(text, length), key);
        return key;
    }

private:
    static constexpr qsizetype kLimit = 50000;
    QCollator m_collator;
    QHash<QByteArray, QCollatorSortKey> m_keys;
};

int pinyinCompare(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    const int common = qMin(lengthA, lengthB);
    const int bytes = std::memcmp(a, b, size_t(common));
    if (bytes == 0 && lengthA == lengthB)
        return 0;
    thread_local PinyinKeys keys;
    const int order = keys.key(static_cast<const char *>(a), lengthA)
                              .compare(keys.key(static_cast<const char *>(b), lengthB));
    if (order != 0)
        return order;
    // Equal for the collation but not the same text: fall back to the bytes
    // (code point order) so that only identical texts are equal.
    return bytes != 0 ? bytes : lengthA - lengthB;
}

} // namespace

void registerCollations(sqlite3 *db)
{
    sqlite3_create_collation_v2(db, kTextCollation, SQLITE_UTF8, nullptr, pinyinCompare, nullptr);
}

} // namespace store
