#include "changeoptions/WordRulesWindow.h"

#include "casing/SavedWordRules.h"
#include "casing/WordListFile.h"
#include "common/Messages.h"
#include "platform/Failure.h"
#include "ui/WindowSetup.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

WordRulesWindow::WordRulesWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("WordRulesWindow"));
    setWindowTitle(QStringLiteral("Word Rules"));
    resize(640, 460);

    onBox = new QCheckBox(QStringLiteral("Proper Case and Sentence case follow the word rules"), this);
    onBox->setToolTip(QStringLiteral("Names such as McDonald, O'Brien, de la Cruz and Henry VIII, acronyms and your "
                                     "own words come out as they are written."));
    userWordList = new QListWidget(this);
    userWordList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    userWordList->setSortingEnabled(true);
    wordBox = new QLineEdit(this);
    wordBox->setPlaceholderText(QStringLiteral("A word as it must be written, e.g. IBM"));
    addButton = new QPushButton(QStringLiteral("Add"), this);
    removeButton = new QPushButton(QStringLiteral("Remove"), this);
    importButton = new QPushButton(QStringLiteral("Import\u2026"), this);
    shippedWordList = new QListWidget(this);
    shippedWordList->addItems(WordRules::shippedWords());
    shippedWordList->setSelectionMode(QAbstractItemView::NoSelection);
    sampleBox = new QLineEdit(this);
    sampleBox->setPlaceholderText(QStringLiteral("Type a sample, e.g. MARIA DE LA CRUZ"));
    sampleResult = new QLabel(this);
    sampleResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    sampleResult->setWordWrap(true);
    closeButton = new QPushButton(QStringLiteral("Close"), this);

    auto *lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("Your words (they win):"), this), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("The program's words:"), this), 0, 1);
    lists->addWidget(userWordList, 1, 0);
    lists->addWidget(shippedWordList, 1, 1);
    auto *editing = new QHBoxLayout;
    editing->addWidget(wordBox, 1);
    editing->addWidget(addButton);
    editing->addWidget(removeButton);
    editing->addWidget(importButton);
    lists->addLayout(editing, 2, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(onBox);
    layout->addLayout(lists, 1);
    layout->addWidget(new QLabel(QStringLiteral("Sample:"), this));
    layout->addWidget(sampleBox);
    layout->addWidget(sampleResult);
    layout->addLayout(buttons);
    WindowSetup::closeOnEscape(this);

    onBox->setChecked(SavedWordRules::isOn());
    userWordList->addItems(SavedWordRules::userWords());
    connect(onBox, &QCheckBox::toggled, this, [this](bool on) {
        try {
            SavedWordRules::setOn(on);
        } catch (const std::exception &e) {
            Messages::show(this, describeFailure(e));
        }
        showSample();
    });
    connect(addButton, &QPushButton::clicked, this, &WordRulesWindow::addTypedWord);
    connect(wordBox, &QLineEdit::returnPressed, this, &WordRulesWindow::addTypedWord);
    connect(removeButton, &QPushButton::clicked, this, &WordRulesWindow::removeSelectedWords);
    connect(importButton, &QPushButton::clicked, this, &WordRulesWindow::chooseFile);
    connect(sampleBox, &QLineEdit::textChanged, this, &WordRulesWindow::showSample);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    showSample();
}

QStringList WordRulesWindow::userWords() const
{
    QStringList words;
    for (int i = 0; i < userWordList->count(); ++i)
        words << userWordList->item(i)->text();
    return words;
}

void WordRulesWindow::addWords(const QStringList &words)
{
    QStringList all = userWords();
    for (const QString &word : words) {
        // One spelling per word: a new one replaces the one in another case.
        all.removeIf([&](const QString &known) { return known.compare(word, Qt::CaseInsensitive) == 0; });
        all << word;
    }
    userWordList->clear();
    userWordList->addItems(all);
    saveWords();
}

void WordRulesWindow::addTypedWord()
{
    const QString word = wordBox->text().trimmed();
    if (word.isEmpty())
        return;
    if (const QString refusal = WordRules::refusal(word); !refusal.isEmpty()) {
        Messages::show(this, QStringLiteral("The word was not added: %1.").arg(refusal));
        return;
    }
    addWords({ word });
    wordBox->clear();
}

void WordRulesWindow::removeSelectedWords()
{
    qDeleteAll(userWordList->selectedItems());
    saveWords();
}

bool WordRulesWindow::importWords(const QString &path)
{
    const std::variant<QStringList, QString> read = WordListFile::read(path);
    if (const QString *refusal = std::get_if<QString>(&read)) {
        Messages::show(this, *refusal + QStringLiteral(" No word was added."));
        return false;
    }
    addWords(std::get<QStringList>(read));
    return true;
}

void WordRulesWindow::chooseFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Import Words"), QString(), QStringLiteral("Text files (*.txt);;All files (*)"));
    if (!path.isEmpty())
        importWords(path);
}

void WordRulesWindow::saveWords()
{
    try {
        SavedWordRules::setUserWords(userWords());
    } catch (const std::exception &e) {
        Messages::show(this, describeFailure(e));
    }
    showSample();
}

void WordRulesWindow::showSample()
{
    const QString sample = sampleBox->text();
    if (sample.isEmpty()) {
        sampleResult->clear();
        return;
    }
    const WordRules rules(userWords());
    const auto shown = [&](Case::Mode mode) {
        return onBox->isChecked() ? rules.convert(mode, sample) : Case::convertForStorage(mode, sample);
    };
    sampleResult->setText(
        QStringLiteral("Proper Case: %1\nSentence case: %2")
            .arg(Messages::visibleText(shown(Case::Mode::Proper)), Messages::visibleText(shown(Case::Mode::Sentence))));
}
