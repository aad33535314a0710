#include "app/WindowFlow.h"

#include "app/AppIcon.h"
#include "app/ChangeOptionsHandOver.h"
#include "app/ProgramEnd.h"

#include "browser/Form2.h"
#include "connection/Form1.h"

#include <QApplication>

WindowFlow::WindowFlow()
{
    // Both windows and every message box take the program's icon.
    QApplication::setWindowIcon(AppIcon::icon());
    m_form1 = std::make_unique<Form1>();
    m_form1->setChangeOptionsWindow([this] { return useChangeOptionsWindow(); });
}

WindowFlow::~WindowFlow() = default;

void WindowFlow::start()
{
    m_form1->Form_Load();
    if (!(m_form2 && m_form2->isVisible()) && !ProgramEnd::requested())
        m_form1->show();
}

ChangeOptionsSide *WindowFlow::useChangeOptionsWindow()
{
    if (!m_form2) {
        m_form2 = std::make_unique<Form2>(m_form1->loginFieldsSource());
        m_form2->setShowLoginWindow([this] { m_form1->show(); });
        m_form2->Form_Load();
        m_handOver = std::make_unique<ChangeOptionsHandOver>(m_form2.get());
    }
    return m_handOver.get();
}
