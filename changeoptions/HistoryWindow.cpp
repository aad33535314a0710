#include "changeoptions/HistoryWindow.h"

#include "changeoptions/RunInWindow.h"
#include "common/AppTitle.h"
#include "common/Messages.h"
#include "journal/JournalUndo.h"
#include "platform/Failure.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"
#include "ui/WindowSetup.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int EntryRole = Qt::UserRole;

QString shownTime(const QDateTime &time)
{
    return time.isValid() ? QLocale::system().toString(time.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                          : QString();
}

} // namespace

HistoryWindow::HistoryWindow(QString folder, LoginFieldsSource loginFields,
    std::function<bool(const JournalCatalogue::Entry &)> undo, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_folder(std::move(folder))
    , m_loginFields(std::move(loginFields))
    , m_undo(std::move(undo))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("Change History"));
    resize(960, 380);

    List = new QTreeWidget(this);
    List->setObjectName(QStringLiteral("List"));
    List->setHeaderLabels(
        { QStringLiteral("Time"), QStringLiteral("Server"), QStringLiteral("Database"), QStringLiteral("Table"),
            QStringLiteral("Field"), QStringLiteral("Mode"), QStringLiteral("Records"), QStringLiteral("Undone") });
    List->setRootIsDecorated(false);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->header()->setSectionResizeMode(QHeaderView::Interactive);
    List->setTextElideMode(Qt::ElideMiddle);

    const auto button = [this](const char *name, const QString &text) {
        auto *made = new QPushButton(text, this);
        made->setObjectName(QLatin1String(name));
        return made;
    };
    UndoButton = button("UndoButton", QStringLiteral("Undo"));
    OpenFolderButton = button("OpenFolderButton", QStringLiteral("Open Journals Folder"));
    DeleteButton = button("DeleteButton", QStringLiteral("Delete"));
    CloseButton = button("CloseButton", QStringLiteral("Close"));
    DiskUsage = new QLabel(this);
    DiskUsage->setObjectName(QStringLiteral("DiskUsage"));
    FolderPath = new QLabel(QStringLiteral("Journals folder: ") + QDir::toNativeSeparators(m_folder), this);
    FolderPath->setObjectName(QStringLiteral("FolderPath"));
    FolderPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FolderPath->setWordWrap(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(UndoButton);
    buttons->addWidget(DeleteButton);
    buttons->addWidget(OpenFolderButton);
    buttons->addStretch();
    buttons->addWidget(DiskUsage);
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(List);
    layout->addWidget(FolderPath);
    layout->addLayout(buttons);
    WindowSetup::closeOnEscape(this);

    connect(List, &QTreeWidget::currentItemChanged, this, &HistoryWindow::updateButtons);
    connect(UndoButton, &QPushButton::clicked, this, &HistoryWindow::undoSelected);
    connect(OpenFolderButton, &QPushButton::clicked, this, &HistoryWindow::openFolder);
    connect(DeleteButton, &QPushButton::clicked, this, &HistoryWindow::deleteSelected);
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    refresh();
}

void HistoryWindow::refresh()
{
    m_entries = JournalCatalogue::list(m_folder);
    List->clear();
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        const JournalCatalogue::Entry &entry = m_entries[i];
        const JournalHeader &h = entry.header;
        auto *row = new QTreeWidgetItem(List,
            { shownTime(h.time), h.server, h.database, TableName { h.schema, h.table }.shownText(), h.field, h.mode,
                Messages::number(entry.records),
                entry.undoneText(entry.undoneAt ? shownTime(*entry.undoneAt) : QString()) });
        row->setData(0, EntryRole, i);
        // A long name is cut in its column; the whole of it shows on the row's tooltip.
        for (int column = 0; column < row->columnCount(); ++column)
            row->setToolTip(column, row->text(column));
    }
    // Every column as wide as its contents, but none wider than a third of the list.
    List->header()->resizeSections(QHeaderView::ResizeToContents);
    for (int column = 0; column < List->columnCount(); ++column)
        List->header()->resizeSection(
            column, std::min(List->header()->sectionSize(column), std::max(120, List->width() / 3)));
    if (List->topLevelItemCount() > 0)
        List->setCurrentItem(List->topLevelItem(0));
    DiskUsage->setText(QStringLiteral("The journals take %1.")
                           .arg(QLocale::system().formattedDataSize(JournalCatalogue::totalBytes(m_entries))));
    updateButtons();
}

const JournalCatalogue::Entry *HistoryWindow::selectedEntry() const
{
    const QTreeWidgetItem *row = List->currentItem();
    if (!row)
        return nullptr;
    const qsizetype index = row->data(0, EntryRole).toLongLong();
    return index >= 0 && index < m_entries.size() ? &m_entries[index] : nullptr;
}

void HistoryWindow::updateButtons()
{
    const JournalCatalogue::Entry *entry = selectedEntry();
    const QString elsewhere
        = entry && m_loginFields ? JournalUndo::elsewhere(entry->header, m_loginFields()) : QString();
    const bool sentNothing = entry && entry->records == 0;
    UndoButton->setEnabled(entry && elsewhere.isEmpty() && !sentNothing && !RunInWindow::isRunning());
    UndoButton->setToolTip(!elsewhere.isEmpty() ? QStringLiteral("Log in to its database to undo it: ") + elsewhere
            : sentNothing ? QStringLiteral("This run changed no record: there is nothing to undo.")
                          : QString());
    DeleteButton->setEnabled(entry != nullptr && !RunInWindow::isRunning());
}

void HistoryWindow::undoSelected()
{
    const JournalCatalogue::Entry *entry = selectedEntry();
    if (!entry || !m_undo)
        return;
    const JournalCatalogue::Entry run = *entry;
    UndoButton->setEnabled(false);
    DeleteButton->setEnabled(false);
    m_undo(run);
    refresh();
}

void HistoryWindow::openFolder()
{
    try {
        QDir().mkpath(m_folder);
        Shell::instance().open(m_folder);
    } catch (const std::exception &e) {
        Messages::show(this,
            QStringLiteral("The journals folder %1 could not be opened: %2")
                .arg(QDir::toNativeSeparators(m_folder), describeFailure(e)));
    }
}

void HistoryWindow::deleteSelected()
{
    const JournalCatalogue::Entry *entry = selectedEntry();
    if (!entry)
        return;
    // A journal goes only while no undo reads it.
    if (RunInWindow::isRunning()) {
        Messages::show(this, QStringLiteral("Please wait until the case change is done."));
        return;
    }
    const JournalHeader &h = entry->header;
    const QString question
        = QStringLiteral("Delete the journal of the change of %1 (the field \"%2\" of \"%3\" in %4, %5)? "
                         "The change can then no longer be undone.")
              .arg(shownTime(h.time), h.field, TableName { h.schema, h.table }.shownText(), h.database,
                  Messages::counted(entry->records, QStringLiteral("record"), QStringLiteral("records")));
    if (!MessageBoxes::instance().ask(this, question, AppTitle::text()))
        return;
    if (!JournalCatalogue::remove(entry->path))
        Messages::show(
            this, QStringLiteral("The journal %1 could not be deleted.").arg(QDir::toNativeSeparators(entry->path)));
    refresh();
}
