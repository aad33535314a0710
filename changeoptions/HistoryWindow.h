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
// to its database) or its journal deleted; the journals' folder can be opened.
class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    // `undo` puts a journal's run back and says whether it ran to its end.
    HistoryWindow(QString folder, LoginFieldsSource loginFields, std::function<bool(const QString &)> undo,
        QWidget *parent = nullptr);

    // Reads the journals again.
    void refresh();

    QTreeWidget *List = nullptr;
    QPushButton *UndoButton = nullptr;
    QPushButton *OpenFolderButton = nullptr;
    QPushButton *DeleteButton = nullptr;
    QPushButton *CloseButton = nullptr;
    QLabel *DiskUsage = nullptr;

private:
    const JournalCatalogue::Entry *selectedEntry() const;
    void updateButtons();
    void undoSelected();
    void openFolder();
    void deleteSelected();

    QString m_folder;
    LoginFieldsSource m_loginFields;
    std::function<bool(const QString &)> m_undo;
    QList<JournalCatalogue::Entry> m_entries;
};
