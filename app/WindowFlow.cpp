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
    m_form1 = std::make_unique<LoginWindow>();
    m_form1->setChangeOptionsWindow([this] { return useChangeOptionsWindow(); });
}

WindowFlow::~WindowFlow() = default;

void WindowFlow::start()
{
    m_form1->load();
    if (!(m_form2 && m_form2->isVisible()) && !ProgramEnd::requested())
        m_form1->show();
}

ChangeOptionsSide *WindowFlow::useChangeOptionsWindow()
{
    if (!m_form2) {
        m_form2 = std::make_unique<ChangeOptionsWindow>(m_form1->loginFieldsSource());
        m_form2->setShowLoginWindow([this] { m_form1->show(); });
        m_form2->load();
        m_handOver = std::make_unique<ChangeOptionsHandOver>(m_form2.get());
    }
    return m_handOver.get();
}
