#include "app/SplashForm.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

TSplashForm::TSplashForm(bool debugMode, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("SplashForm"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    QFont big = font();
    big.setPointSize(big.pointSize() * 3);
    big.setBold(true);
    for (const QString& text : {QStringLiteral("АРХИВ"), QStringLiteral("ИНСТИТУТА")}) {
        auto* label = new QLabel(text, this);
        label->setFont(big);
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    auto* company = new QLabel(QStringLiteral("Кварцелит"), this);
    company->setAlignment(Qt::AlignCenter);
    layout->addWidget(company);
    m_debug = new QLabel(QStringLiteral("DEBUG"), this);
    QFont bold = font();
    bold.setBold(true);
    m_debug->setFont(bold);
    m_debug->setAlignment(Qt::AlignCenter);
    m_debug->setVisible(debugMode);
    layout->addWidget(m_debug);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 10);
    m_progress->setTextVisible(false);
    layout->addWidget(m_progress);
    resize(420, 260);
}

void TSplashForm::Step() {
    m_progress->setValue(std::min(m_progress->value() + 1, m_progress->maximum()));
    repaint();
}

void TSplashForm::Finish() {
    m_progress->setValue(m_progress->maximum());
    repaint();
}

void TSplashForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            m_wasActive = true;
        else if (m_wasActive)
            hide();
    }
}
