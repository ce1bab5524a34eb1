#pragma once

#include <QString>

namespace ui {

// The initials a Chinese user types to find a name: for each Chinese
// character the first letter of its pinyin (钢管 → "gg", 华东五金 → "hdwj"),
// for each other letter or digit the character itself in lower case
// (A型钢管 → "axgg", "Steel 6" → "steel6", full-width ones as their plain
// forms); blanks and punctuation are skipped. A character with several
// readings always takes the one ICU's Han-Latin transliteration gives for
// it alone, whatever the word (长 → z from zhǎng, 重 → z from zhòng). Empty
// when ICU has no such transliteration.
QString pinyinInitials(const QString &name);

} // namespace ui
