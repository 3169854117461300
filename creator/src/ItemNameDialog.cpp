#include "ItemNameDialog.h"

#include "CreatorTexts.h"
#include "qev/Platform.h"

#include <QGuiApplication>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <limits>

ItemNameDialog::ItemNameDialog(qev::Platform& platform, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                         | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      platform_(platform)
{
    setObjectName(QStringLiteral("frmItem"));
    setWindowTitle(QStringLiteral("QEV Menu Creator"));
    // A prompt shows no icon of its own; set empty, it does not take the
    // main window's.
    setWindowIcon(QIcon());
    // Hidden between uses, it must never be what keeps the program running.
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(true);
    createControls();
    placeControls();
    connectHandlers();
}

void ItemNameDialog::createControls()
{
    nameEdit = new QLineEdit(this);
    nameEdit->setObjectName(QStringLiteral("txtItemName"));
    // Names have no length limit anywhere else; the box's default would cut
    // a typed or pasted name at 32,767 characters.
    nameEdit->setMaxLength(std::numeric_limits<int>::max());
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("cmdOK"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cmdCancel"));
    cancelButton->setAutoDefault(false);
    promptLabel = new QLabel(QStringLiteral("ItemName:"), this);
    promptLabel->setObjectName(QStringLiteral("Label1"));
}

void ItemNameDialog::placeControls()
{
    // Design sizes in twips, 15 to the pixel: client 4545 x 1155.
    setFixedSize(303, 77);
    nameEdit->setGeometry(80, 9, 195, 23);
    okButton->setGeometry(72, 40, 76, 26);
    cancelButton->setGeometry(168, 40, 76, 26);
    promptLabel->setGeometry(8, 8, 65, 17);
    setTabOrder(nameEdit, okButton);
    setTabOrder(okButton, cancelButton);
}

void ItemNameDialog::connectHandlers()
{
    connect(okButton, &QPushButton::clicked, this, &ItemNameDialog::okClicked);
    connect(cancelButton, &QPushButton::clicked, this, &ItemNameDialog::cancelClicked);
}

void ItemNameDialog::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed = frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        move(placed.topLeft());
    }
    fitPrompt();
    nameEdit->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}

void ItemNameDialog::fitPrompt()
{
    // The label's box was sized for a compact 8-point font; where the
    // desktop's font is wider, the prompt is set a little smaller rather
    // than cut off ("Project name:").
    QFont font = this->font();
    const qreal wanted = font.pointSizeF();
    for (qreal size = wanted; size >= 6.0; size -= 0.5) {
        font.setPointSizeF(size);
        if (QFontMetrics(font).horizontalAdvance(promptLabel->text()) <= promptLabel->width())
            break;
    }
    promptLabel->setFont(font);
}

void ItemNameDialog::okClicked()
{
    if (nameEdit->text().isEmpty()) {
        platform_.message(this, creator::AppTitle, QStringLiteral("A name should be provided"));
        return;
    }
    if (nameCheck_) {
        if (const QString problem = nameCheck_(nameEdit->text()); !problem.isEmpty()) {
            platform_.message(this, creator::AppTitle, problem);
            return;
        }
    }
    hide();
}

void ItemNameDialog::cancelClicked()
{
    nameEdit->clear();
    hide();
}

void ItemNameDialog::reject()
{
    cancelClicked();
    QDialog::reject();
}
