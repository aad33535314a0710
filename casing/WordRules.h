#pragma once

#include "casing/Case.h"

#include <QHash>
#include <QString>
#include <QStringList>

// Word rules for Proper Case and Sentence case: right on names, places and
// the user's own words, where the plain rules only lower the text and raise
// the letters after blanks.
//
// With the rules, Proper Case also starts a word after a hyphen, an
// apostrophe, a slash or an opening parenthesis or bracket (but not the
// endings of "don't" or "Smith's"); writes listed words as the list spells
// them; raises the letter after Mc, after Mac in Scottish and Irish names,
// and after O'; keeps a word that is already written with capitals inside it
// (McDonald, DeGeneres) and, in a text not typed in one case, a word in
// capitals (an acronym); and mends a caps-lock slip ("jOHN"). Sentence case
// also starts a sentence after ". ", "! " and "? ", and writes listed words as
// the list spells them. Every change is one of letter case, character for
// character: a listed spelling of another length than the text it would
// replace is not applied there. UPPER CASE and lower case are not touched.
class WordRules {
public:
    // The program's own list: joining words and particles written in lower
    // case inside a text, titles and Roman numerals.
    static const QStringList &shippedWords();

    // The shipped words with the user's words on top (theirs win).
    explicit WordRules(const QStringList &userWords = {});

    // The rule for values written to the database, and for the preview.
    QString convert(
        Case::Mode mode, const QString &text, Case::Separators separators = Case::Separators::StoredValue) const;

    // Why a word cannot be one of the user's words, or empty: a word is a
    // letter or digit followed by letters, digits and marks, at most 200
    // characters.
    static QString refusal(const QString &word);

private:
    QString properCase(const QString &text, Case::Separators separators) const;
    QString sentenceCase(const QString &text) const;
    // The spelling of a listed word, found in any letter case; empty when
    // the word is not listed.
    const QString *listed(QStringView word, bool *joining = nullptr) const;

    struct Spelling {
        QString text;
        bool joining = false; // written in lower case inside a text, raised at its start
    };
    QHash<QString, Spelling> m_words; // by the word in lower case
    qsizetype m_longest = 0; // the longest word listed, in UTF-16 units
};
