#include "BuildProgress.h"

#include "CreatorTexts.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QProgressBar>

#include <limits>

BuildProgress::BuildProgress(QWidget* owner, int showAfterMs)
    : QProgressDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("buildProgress"));
    setWindowTitle(creator::AppTitle);
    setWindowModality(Qt::WindowModal);
    setCancelButton(nullptr);
    setAutoClose(false);
    setAutoReset(false);
    // The dialog's own setValue() runs the event queue while a modal dialog
    // is shown; the bar is set directly so that progress reports never
    // nest inside one another.
    bar_ = new QProgressBar(this);
    setBar(bar_);
    setRange(0, 1000);
    setMinimumWidth(360);
    // Shown by our own timer: the dialog's would show it only when the
    // value changes, and a single large file may take a while between
    // reports.
    setMinimumDuration(std::numeric_limits<int>::max());
    showTimer_.setSingleShot(true);
    connect(&showTimer_, &QTimer::timeout, this, [this] { show(); });
    if (showAfterMs <= 0)
        show();
    else
        showTimer_.start(showAfterMs);
}

void BuildProgress::update(const QString& fileName, qint64 done, qint64 total)
{
    const QString label = QStringLiteral("Copying %1").arg(fileName);
    if (labelText() != label)
        setLabelText(label);
    const int permille = total > 0 ? int(done * 1000 / total) : 1000;
    bar_->setValue(permille);
}

void BuildProgress::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QProgressDialog::keyPressEvent(event);
}

void BuildProgress::closeEvent(QCloseEvent* event)
{
    event->ignore();
}
