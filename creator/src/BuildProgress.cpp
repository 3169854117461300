#include "BuildProgress.h"

#include "CreatorTexts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>

BuildProgress::BuildProgress(QWidget* owner, int showAfterMs)
    : QProgressDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      showAfterMs_(showAfterMs)
{
    setObjectName(QStringLiteral("buildProgress"));
    setWindowTitle(creator::AppTitle);
    setWindowModality(Qt::WindowModal);
    setCancelButton(nullptr);
    setAutoClose(false);
    setAutoReset(false);
    setRange(0, 1000);
    setMinimumWidth(360);
    // Shown by update() once the build has taken long enough, not by the
    // dialog's own timer, which would need the event loop.
    setMinimumDuration(std::numeric_limits<int>::max());
    started_.start();
}

void BuildProgress::update(const QString& fileName, qint64 done, qint64 total)
{
    const QString label = QStringLiteral("Copying %1").arg(fileName);
    if (labelText() != label)
        setLabelText(label);
    const int permille = total > 0 ? int(done * 1000 / total) : 1000;
    setValue(permille);
    if (!isVisible() && started_.elapsed() >= showAfterMs_)
        show();
    // Keeps the dialog painted; the window itself is blocked by it.
    if (isVisible())
        QCoreApplication::processEvents();
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
