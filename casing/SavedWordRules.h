#pragma once

#include "casing/WordRules.h"

#include <QString>
#include <QStringList>

#include <memory>

// The word rules as the settings remember them: switched on or off, and the
// user's own words.
namespace SavedWordRules {

bool isOn();
void setOn(bool on);
QStringList userWords();
void setUserWords(const QStringList &words);

// The rules a run follows: the shipped words and the user's saved ones, with
// `extraWords` on top; none when `on` is false.
std::shared_ptr<const WordRules> rules(bool on, const QStringList &extraWords = {});

// The mode text a journal and the history show: "<mode>, word rules" when the
// rules change what the mode writes.
QString modeText(const QString &modeText, bool rulesOn);

} // namespace SavedWordRules
