#pragma once

#include "connection/LoginFields.h"
#include "journal/JournalCatalogue.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QTreeWidget;

// "Change History": every run journalled on this computer, newest first, with
// its time, server and database, table and field, mode, records, and whether
// and when it was undone. The selected run can be undone (only while logged in
// to its database, and after a Yes/No box) or its journal deleted (never
// while an undo runs); the journals' folder can be opened. Escape closes it.
class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    // `undo` asks whether to put a journal's run back, and does; it says
    // whether the undo ran to its end.
    HistoryWindow(QString folder, LoginFieldsSource loginFields,
        std::function<bool(const JournalCatalogue::Entry &)> undo, QWidget *parent = nullptr);

    // Reads the journals again.
    void refresh();

    QTreeWidget *List = nullptr;
    QPushButton *UndoButton = nullptr;
    QPushButton *OpenFolderButton = nullptr;
    QPushButton *DeleteButton = nullptr;
    QPushButton *CloseButton = nullptr;
    QLabel *DiskUsage = nullptr;
    QLabel *FolderPath = nullptr; // where the journals lie

private:
    const JournalCatalogue::Entry *selectedEntry() const;
    void updateButtons();
    void undoSelected();
    void openFolder();
    void deleteSelected();

    QString m_folder;
    LoginFieldsSource m_loginFields;
    std::function<bool(const JournalCatalogue::Entry &)> m_undo;
    QList<JournalCatalogue::Entry> m_entries;
};
