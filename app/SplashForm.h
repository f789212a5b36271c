#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The splash window shown while the program starts. It closes itself when
// it loses activation.
class TSplashForm : public QWidget {
    Q_OBJECT

public:
    explicit TSplashForm(bool debugMode, QWidget* parent = nullptr);

    QProgressBar* ProgressBar() const { return m_progress; }
    QLabel* DebugLabel() const { return m_debug; }
    // Advances the progress bar by one step and repaints at once (start-up
    // work blocks the event loop).
    void Step();
    void Finish();

protected:
    void changeEvent(QEvent* event) override;

private:
    QLabel* m_debug;
    QProgressBar* m_progress;
    bool m_wasActive = false;
};
