#include "app/WindowFlow.h"

#include "app/ChangeOptionsHandOver.h"
#include "common/ProgramEnd.h"
#include "ui/AppIcon.h"

#include "changeoptions/ChangeOptionsWindow.h"
#include "login/LoginWindow.h"

#include <QApplication>

WindowFlow::WindowFlow()
{
    // Both windows and every message box take the program's icon.
    QApplication::setWindowIcon(AppIcon::icon());
    m_loginWindow = std::make_unique<LoginWindow>();
    m_loginWindow->setChangeOptionsWindow([this] { return useChangeOptionsWindow(); });
}

WindowFlow::~WindowFlow() = default;

void WindowFlow::start()
{
    m_loginWindow->load();
    if (!(m_changeOptionsWindow && m_changeOptionsWindow->isVisible()) && !ProgramEnd::requested())
        m_loginWindow->show();
}

ChangeOptionsSide *WindowFlow::useChangeOptionsWindow()
{
    if (!m_changeOptionsWindow) {
        m_changeOptionsWindow = std::make_unique<ChangeOptionsWindow>(m_loginWindow->loginFieldsSource());
        m_changeOptionsWindow->setShowLoginWindow([this] { m_loginWindow->show(); });
        m_changeOptionsWindow->load();
        m_handOver = std::make_unique<ChangeOptionsHandOver>(m_changeOptionsWindow.get());
    }
    return m_handOver.get();
}
