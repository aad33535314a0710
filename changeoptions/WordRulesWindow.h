#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Word Rules": whether Proper Case and Sentence case follow the word rules,
// the user's own words (added, removed, imported from a file of one word per
// line), the program's own list, and a sample shown before and after as it
// is typed. Every change is saved at once. Escape closes it.
class WordRulesWindow : public QWidget {
    Q_OBJECT

public:
    explicit WordRulesWindow(QWidget *parent = nullptr);

    // Adds the words of a UTF-8 file of one word per line; false when the
    // file is refused (a message says why).
    bool importWords(const QString &path);
    // Adds the word typed in the word box.
    void addTypedWord();
    void removeSelectedWords();

    QCheckBox *onBox = nullptr;
    QListWidget *userWordList = nullptr;
    QLineEdit *wordBox = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *removeButton = nullptr;
    QPushButton *importButton = nullptr;
    QListWidget *shippedWordList = nullptr;
    QLineEdit *sampleBox = nullptr;
    QLabel *sampleResult = nullptr;
    QPushButton *closeButton = nullptr;

private:
    void addWords(const QStringList &words);
    void saveWords();
    void showSample();
    void chooseFile();
    QStringList userWords() const;
};
