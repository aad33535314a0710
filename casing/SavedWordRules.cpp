#include "casing/SavedWordRules.h"

#include "common/Settings.h"

namespace SavedWordRules {

bool isOn()
{
    return Settings::read(Settings::WordRulesOn, QStringLiteral("0")) == QLatin1String("1");
}

void setOn(bool on)
{
    Settings::write(Settings::WordRulesOn, on ? QStringLiteral("1") : QStringLiteral("0"));
}

QStringList userWords()
{
    return Settings::read(Settings::UserWords).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void setUserWords(const QStringList &words)
{
    Settings::write(Settings::UserWords, words.join(QLatin1Char('\n')));
}

std::shared_ptr<const WordRules> rules(bool on, const QStringList &extraWords)
{
    if (!on)
        return nullptr;
    return std::make_shared<const WordRules>(userWords() + extraWords);
}

QString modeText(const QString &modeText, bool rulesOn)
{
    const std::optional<Case::Mode> mode = Case::modeOf(modeText);
    if (rulesOn && (mode == Case::Mode::Proper || mode == Case::Mode::Sentence))
        return modeText + QStringLiteral(", word rules");
    return modeText;
}

} // namespace SavedWordRules
