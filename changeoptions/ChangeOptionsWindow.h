#pragma once

#include "changeoptions/ReportList.h"
#include "changeoptions/RunInWindow.h"
#include "connection/LoginFields.h"
#include "connection/TableName.h"

#include <QCursor>
#include <QWidget>

#include <functional>
#include <optional>

class ChangePreviewWindow;
class HistoryWindow;
class WordRulesWindow;
class QComboBox;
class QGroupBox;
class QPushButton;
class QTreeWidget;
class ProgressBar;

// The change options window: the table list, the field list and the preview,
// the mode box, "Start Changing", "Switch SQL Server Database" and the progress bar.
class ChangeOptionsWindow : public QWidget {
    Q_OBJECT

public:
    // Builds the controls; the window flow then runs load() once.
    explicit ChangeOptionsWindow(LoginFieldsSource loginFields, QWidget *parent = nullptr);

    void load();

    void tableChosen(); // field-list fill, then the preview fill
    void fieldChosen(); // preview fill
    void modeChosen(); // remembers the chosen mode
    void startChanging(); // "Start Changing"
    void switchDatabase(); // "Switch SQL Server Database"

    // Beyond the window's own controls, by shortcut and context menu:
    void undoLastChange(); // Ctrl+Z: the newest run on the selected field, undone after a question
    void showHistory(); // Ctrl+H: "Change History"
    void previewChange(); // Ctrl+D, and the preview list's menu: a dry run of the selected field
    void showWordRules(); // Ctrl+R: "Word Rules", what Proper Case and Sentence case follow

    // The journals' folder the history and the undo read.
    void setJournalsFolder(const QString &folder) { m_journalsFolder = folder; }
    HistoryWindow *historyWindow() const { return m_history; }
    ChangePreviewWindow *changePreviewWindow() const { return m_changePreview; }
    WordRulesWindow *wordRulesWindow() const { return m_wordRules; }

    // What "Switch SQL Server Database" calls to show the login window.
    void setShowLoginWindow(std::function<void()> show) { m_showLoginWindow = std::move(show); }
    // What closing the window calls to end the program (by default the event loop ends at once).
    void setEndProgram(std::function<void()> end) { m_endProgram = std::move(end); }

    // The hand cursor of the push buttons, when the cursor file was there at load.
    const std::optional<QCursor> &handCursor() const { return m_handCursor; }

    ReportList *tableList = nullptr;
    ReportList *fieldList = nullptr; // the selected table's fields
    ReportList *previewList = nullptr; // the first values of the selected field
    QGroupBox *optionsFrame = nullptr;
    QComboBox *modeBox = nullptr;
    QPushButton *startChangingButton = nullptr;
    QPushButton *switchDatabaseButton = nullptr;
    ProgressBar *progressBar = nullptr;

    // Rows the preview shows at most.
    static constexpr int PreviewRows = 101;

protected:
    void closeEvent(QCloseEvent *event) override; // ends the program

private:
    void buildControls();
    void addShortcuts();
    void restoreMode();
    struct RunInWindow::Controls changeControls();
    // Runs a step that yields with the lists held still, as "Start Changing" does.
    template <typename Step>
    void withListsHeld(Step &&step);

    LoginFieldsSource m_loginFields;
    std::function<void()> m_showLoginWindow;
    std::function<void()> m_endProgram;
    std::optional<QCursor> m_handCursor;

    // Choosing another table or field while a fill yields starts a new fill; the
    // one it interrupted sees its number outdated and stops without touching the lists.
    int m_fieldFill = 0;
    int m_previewFill = 0;
    QString m_journalsFolder;
    HistoryWindow *m_history = nullptr;
    ChangePreviewWindow *m_changePreview = nullptr;
    WordRulesWindow *m_wordRules = nullptr;
    TableName m_fieldsOf; // the table whose fields the field list holds
    bool m_loading = false; // the load sets the mode box; that is no choice of the user's
};
