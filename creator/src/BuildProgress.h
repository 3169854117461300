#pragma once

#include <QProgressDialog>
#include <QTimer>

class QProgressBar;

// The progress of a disc build: shown modally once the build has run for
// showAfterMs, naming the file being copied (0 shows it at once). It has no cancel button and ignores
// Esc and the close box, since a build is not stopped halfway.
class BuildProgress : public QProgressDialog {
    Q_OBJECT
public:
    BuildProgress(QWidget* owner, int showAfterMs);

    void update(const QString& fileName, qint64 done, qint64 total);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* bar_ = nullptr;
    QTimer showTimer_;
};
